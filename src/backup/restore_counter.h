#pragma once

#include "services/text.h"

// The restore count in "计数器.ini" inside the temporary folder.

// The counter file's name, "计数器.ini" (GBK).
extern const char kCounterFileName[];

// The counter file of the temporary folder as `tempFolderPath` names it at this moment.
Text counterFilePath();

// Raises the stored count by one (1 when there is no counter file) and writes it back. Gives
// whether the new count was stored.
bool advanceRestoreCount();

// A click on 按钮2: the count back to 1, when the counter file exists.
void onResetCountClicked();
