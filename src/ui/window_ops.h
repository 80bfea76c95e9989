#pragma once

#include "services/text.h"
#include "ui/layout.h"

// The only way handlers read and change the window. Texts cross here as GBK.
Text readEditText(ControlId edit);
void setEditText(ControlId edit, const Text& text);
void setLabelCaption(ControlId label, const Text& text);
void setButtonCaption(ControlId button, const Text& text);

// The wait cursor for the length of a long operation, the previous cursor back afterwards.
class ScopedWaitCursor {
 public:
  ScopedWaitCursor();
  ~ScopedWaitCursor();
  ScopedWaitCursor(const ScopedWaitCursor&) = delete;
  ScopedWaitCursor& operator=(const ScopedWaitCursor&) = delete;

 private:
  void* previous_;
};
