#include "backup/restore.h"

#include <cstdint>
#include <optional>
#include <string>

#include "app/app_state.h"
#include "backup/restore_counter.h"
#include "services/encoding.h"
#include "services/folder_copy.h"
#include "services/folder_removal.h"
#include "services/path_relations.h"
#include "services/run_directory.h"
#include "services/save_swap.h"
#include "ui/window_ops.h"

namespace {

constexpr char kUpdatedCaption[] = "\xD2\xD1\xB8\xFC\xD0\xC2";  // 已更新
constexpr char kFailedCaption[] = "\xCA\xA7\xB0\xDC";           // 失败

// The full path of a text without trailing backslashes, resolved against the current directory;
// empty when the platform cannot resolve it or GBK cannot spell the result (a relative path below a
// folder whose name lies outside GBK). Every step of a restore works on these, so the folder that
// was checked is the one renamed, copied to and removed, and "D:\存档\" means the folder D:\存档
// itself, not a folder inside it.
Text fullPathText(const Text& path) {
  const std::wstring full = comparableFullPath(path);
  const Text text = wideToGbk(full);
  return !full.empty() && gbkToWide(text) == full ? text : Text();
}

// A folder name cannot hold * or ?, and a character outside GBK typed into a box arrives as "?".
bool holdsWildcard(const Text& text) { return text.find_first_of("*?") != Text::npos; }

bool isDrivesOrSharesRoot(const Text& fullPath) { return namesRootFolder(gbkToWide(fullPath) + L"\\"); }

// "\\.\D:\存档" names D:\存档 in a spelling that the comparisons below do not see through.
bool isDevicePath(const Text& fullPath) { return fullPath.starts_with("\\\\.\\"); }

// Whether a restore from `tempFolder` into `saveFolder` (both full paths from fullPathText) may
// touch the disk; `typedSave` and `typedTemp` are the boxes' texts. A restore that goes ahead
// renames the save folder, so what must never be renamed or replaced is refused here: a root, the
// program's folder, the current directory and the folders above them. A restore with no backup to
// copy would only take the save away.
bool restoreMayStart(const Text& typedSave, const Text& typedTemp, const Text& saveFolder, const Text& tempFolder) {
  if (holdsWildcard(typedSave) || holdsWildcard(typedTemp) || saveFolder.empty() || tempFolder.empty()) return false;
  if (isDevicePath(saveFolder) || isDevicePath(tempFolder)) return false;
  if (isDrivesOrSharesRoot(saveFolder) || isSameOrInside(runDirectory(), saveFolder) ||
      isSameOrInside(".", saveFolder)) {
    return false;
  }
  if (isExistingFile(saveFolder) || !parentFolderExists(saveFolder)) return false;
  // A root as the temporary folder would copy a whole drive.
  if (isDrivesOrSharesRoot(tempFolder) || !isExistingFolder(tempFolder) ||
      !holdsAnythingBut(tempFolder, kCounterFileName)) {
    return false;
  }
  return !isSameOrInside(tempFolder, saveFolder) && !isSameOrInside(saveFolder, tempFolder);
}

// The restore once the boxes have been read: true when the save folder has been replaced. When it
// gives false, the disk is as it was before the click: the old save folder is back under its name
// and the counter file holds what it held.
bool replaceSaveFolder() {
  AppState& state = appState();
  const Text saveFolder = fullPathText(state.restoreSavePath);
  const Text tempFolder = fullPathText(state.tempFolderPath);
  if (!restoreMayStart(state.restoreSavePath, state.tempFolderPath, saveFolder, tempFolder)) return false;

  const std::optional<KeptFile> counter = keepFile(counterFilePath());
  if (!counter) return false;
  // Empty when there was no save folder to move aside.
  Text oldFolder;
  if (isExistingFolder(saveFolder)) {
    oldFolder = moveFolderAside(saveFolder);
    if (oldFolder.empty()) return false;  // held open by the game, for instance: nothing has changed
  }
  const int32_t previousCount = state.restoreCount;
  const Text previousCountText = state.restoreCountText;

  // The count goes into the temporary folder first, so that the copy carries it. A count that
  // cannot be stored would leave the restored save with the old one: the restore stops instead.
  bool copied = false;
  if (advanceRestoreCount()) {
    const ScopedWaitCursor waitCursor;
    copied = copyFolder(tempFolder, saveFolder);
    if (!copied) removeFolderTree(saveFolder);  // whatever the copy left
  }
  if (!copied) {
    if (!oldFolder.empty()) renameFolder(oldFolder, saveFolder);
    putFileBack(*counter);
    state.restoreCount = previousCount;
    state.restoreCountText = previousCountText;
    return false;
  }
  if (!oldFolder.empty()) removeFolderTree(oldFolder);
  return true;
}

}  // namespace

void onRestoreClicked() {
  AppState& state = appState();
  state.tempFolderPath = readEditText(ControlId::Edit3);
  state.restoreSavePath = readEditText(ControlId::Edit1);
  if (!replaceSaveFolder()) {
    // 标签1 keeps the count that the counter file still holds.
    setLabelCaption(ControlId::Label4, kFailedCaption);
    return;
  }
  setLabelCaption(ControlId::Label1, state.restoreCountText);
  setLabelCaption(ControlId::Label4, kUpdatedCaption);
}
