#include "settings/folder_settings.h"

#include "app/app_state.h"
#include "services/path_checks.h"
#include "services/profile_file.h"
#include "services/run_directory.h"
#include "ui/window_ops.h"

namespace {

constexpr char kSettingsFileName[] = "\\\xCF\xE0\xB9\xD8\xCE\xC4\xBC\xFE\xBC\xD0\xCE\xBB\xD6\xC3.ini";  // \相关文件夹位置.ini
constexpr char kSection[] = "\xCE\xC4\xBC\xFE\xBC\xD0\xCE\xBB\xD6\xC3";                            // 文件夹位置
constexpr char kGameSaveKey[] = "\xB3\xF5\xCA\xBC\xB4\xE6\xB5\xB5\xCE\xC4\xBC\xFE\xBC\xD0\xCE\xBB\xD6\xC3";  // 初始存档文件夹位置
constexpr char kBackupKey[] = "\xB1\xB8\xB7\xDD\xCE\xC4\xBC\xFE\xBC\xD0\xCE\xBB\xD6\xC3";           // 备份文件夹位置
constexpr char kTempKey[] = "\xC1\xD9\xCA\xB1\xCE\xC4\xBC\xFE\xBC\xD0\xCE\xBB\xD6\xC3";             // 临时文件夹位置
constexpr char kSavedCaption[] = "\xD2\xD1\xB1\xA3\xB4\xE6";                                      // 已保存
constexpr char kSaveFailedCaption[] = "\xB1\xA3\xB4\xE6\xCA\xA7\xB0\xDC";                           // 保存失败

Text settingsFilePath() { return runDirectory() + kSettingsFileName; }

// Stores one location and tells on the button whether it was stored.
void storeLocation(const char* key, const Text& value, ControlId button) {
  const bool stored = writeProfileText(settingsFilePath(), kSection, key, value);
  setButtonCaption(button, stored ? kSavedCaption : kSaveFailedCaption);
}

void createFolderIfMissing(const Text& folder) {
  if (!pathExists(folder)) createFolder(folder);
}

}  // namespace

void onWindowCreated() {
  const Text file = settingsFilePath();
  if (!pathExists(file)) return;
  setEditText(ControlId::Edit1, readProfileText(file, kSection, kGameSaveKey));
  setEditText(ControlId::Edit2, readProfileText(file, kSection, kBackupKey));
  setEditText(ControlId::Edit3, readProfileText(file, kSection, kTempKey));
}

void onSaveGameSavePathClicked() {
  AppState& state = appState();
  state.tempFolderPath = readEditText(ControlId::Edit3);
  state.gameSavePath = readEditText(ControlId::Edit1);
  storeLocation(kGameSaveKey, state.gameSavePath, ControlId::Button4);
}

void onSaveBackupPathClicked() {
  AppState& state = appState();
  state.tempFolderPath = readEditText(ControlId::Edit3);
  state.backupPath = readEditText(ControlId::Edit2);
  createFolderIfMissing(state.backupPath);
  storeLocation(kBackupKey, state.backupPath, ControlId::Button5);
}

void onSaveTempPathClicked() {
  AppState& state = appState();
  state.tempFolderPath = readEditText(ControlId::Edit3);
  createFolderIfMissing(state.tempFolderPath);
  // The caption comes after the write, since it reports the write's outcome.
  storeLocation(kTempKey, state.tempFolderPath, ControlId::Button6);
}
