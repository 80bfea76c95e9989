#include "backup/backup.h"

#include "app/app_state.h"
#include "services/date_time.h"
#include "services/folder_copy.h"
#include "services/path_relations.h"
#include "ui/window_ops.h"

namespace {

constexpr char kBackedUpCaption[] = "\xD2\xD1\xB1\xB8\xB7\xDD";        // 已备份
constexpr char kBackupFailedCaption[] = "\xB1\xB8\xB7\xDD\xCA\xA7\xB0\xDC";  // 备份失败
constexpr char kFailedCaption[] = "\xCA\xA7\xB0\xDC";                  // 失败

// An empty backup or temporary folder would put the copy into the root of the program's drive,
// and one inside the save folder would copy every earlier backup into the next.
bool backupMayStart(const Text& saveFolder, const Text& backupFolder, const Text& tempFolder) {
  return isExistingFolder(saveFolder) && !backupFolder.empty() && !tempFolder.empty() &&
         !isSameOrInside(backupFolder, saveFolder) && !isSameOrInside(tempFolder, saveFolder);
}

}  // namespace

void onBackupClicked() {
  AppState& state = appState();
  state.gameSavePath = readEditText(ControlId::Edit1);
  state.backupTime = currentDateTime();
  state.backupTimeText = formatDateTimeText(state.backupTime);
  const Text backupFolder = readEditText(ControlId::Edit2);
  state.backupPath = backupFolder + "\\" + state.backupTimeText;
  // The temporary folder is the backup's own value: `tempFolderPath` stays as it was.
  const Text tempFolder = readEditText(ControlId::Edit3);

  bool succeeded = false;
  if (backupMayStart(state.gameSavePath, backupFolder, tempFolder)) {
    const ScopedWaitCursor waitCursor;
    const bool datedCopied = copyFolder(state.gameSavePath, state.backupPath);
    // The temporary folder is refreshed even when the dated copy failed, as before.
    const bool tempCopied = copyFolder(state.gameSavePath, tempFolder);
    succeeded = datedCopied && tempCopied;
  }
  setButtonCaption(ControlId::Button3, succeeded ? state.backupTimeText : kBackupFailedCaption);
  setLabelCaption(ControlId::Label5, succeeded ? kBackedUpCaption : kFailedCaption);
}
