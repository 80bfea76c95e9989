#include "ui/window_ops.h"

#include <windows.h>

#include <string>

#include "services/encoding.h"
#include "ui/main_window.h"

namespace {

HWND control(ControlId id) { return GetDlgItem(mainWindow(), static_cast<int>(id)); }

void setText(ControlId id, const Text& text) { SetWindowTextW(control(id), gbkToWide(text).c_str()); }

}  // namespace

Text readEditText(ControlId edit) {
  // WM_GETTEXT rather than GetWindowTextW: it reads the box's text from any process as well.
  HWND box = control(edit);
  const auto length = static_cast<size_t>(SendMessageW(box, WM_GETTEXTLENGTH, 0, 0));
  std::wstring text(length + 1, L'\0');
  const auto copied = static_cast<size_t>(SendMessageW(box, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data())));
  text.resize(copied);
  return wideToGbk(text);
}

void setEditText(ControlId edit, const Text& text) { setText(edit, text); }
void setLabelCaption(ControlId label, const Text& text) { setText(label, text); }
void setButtonCaption(ControlId button, const Text& text) { setText(button, text); }

ScopedWaitCursor::ScopedWaitCursor() : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
ScopedWaitCursor::~ScopedWaitCursor() { SetCursor(static_cast<HCURSOR>(previous_)); }
