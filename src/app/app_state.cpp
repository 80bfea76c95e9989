#include "app/app_state.h"

AppState& appState() {
  static AppState state;
  return state;
}

void releaseAppState() {
  AppState& state = appState();
  for (Text* text : {&state.tempFolderPath, &state.restoreSavePath, &state.restoreCountText,
                     &state.gameSavePath, &state.backupTimeText, &state.backupPath}) {
    Text().swap(*text);
  }
}
