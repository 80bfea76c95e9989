#pragma once

#include <cstdint>

#include "services/date_time.h"
#include "services/text.h"

// The values that the event handlers keep between clicks. One instance for the life of the process,
// touched only by the window thread.
struct AppState {
  Text tempFolderPath;
  Text restoreSavePath;
  int32_t restoreCount = 0;
  Text restoreCountText;
  Text gameSavePath;
  DateTimeValue backupTime = 0.0;
  Text backupTimeText;
  Text backupPath;
};

AppState& appState();

// Releases the six texts at shutdown; the two numbers keep their values.
void releaseAppState();
