#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <functional>
#include <set>
#include <string>

#include "faults/fault_support.h"

namespace {

using enum ControlId;

// A save of 2,000 files in 40 folders: under Wine its restore takes long enough for kills to land
// before the rename, during the copy and during the removal of the old save.
constexpr int kFolders = 40;
constexpr int kFilesPerFolder = 50;
constexpr int kTopEntries = kFolders + 2;  // the sub-folders and the two files of writeSaveTree

// Where a kill left the old save.
enum class Outcome { Untouched, OldAside, Restored };

// The program is killed during a restore; whatever the moment, the old save must survive whole,
// under its own name or under the name it was moved aside to, unless the copy of the backup was
// already complete, and nothing else may change but the count.
class RestoreKillFault : public ProgramFault {
 protected:
  void SetUp() override {
    ProgramFault::SetUp();
    saveFolder = path(wide("存档"));
    asideFolder = saveFolder + L".korvenel-old";
    tempFolder = path(wide("临时"));
    counterFile = tempFolder + wide("\\计数器.ini");
    leftoverCounter = counterFile + L".tmp";
    backupFolder = path(wide("备份"));
    writeSaveTree(tempFolder, kFolders, kFilesPerFolder, 1);
    writeFileBytes(counterFile, oldCounter);
    makeFolder(backupFolder);
    writeSaveTree(backupFolder + wide("\\2024年5月3日14时5分9秒"), 3, 4, 3);
    writeSaveTree(saveFolder, kFolders, kFilesPerFolder, 2);
    oldSave = snapshotTree(saveFolder);
    tempBefore = snapshotTree(tempFolder);
    backupBefore = snapshotTree(backupFolder);
  }

  // The old save back in place and the count as it was, for the next kill. An old save found whole
  // beside goes back by a rename, which is quicker than writing it anew.
  void resetDisk(Outcome last) {
    if (last == Outcome::OldAside) {
      removeScratchTree(saveFolder);
      ASSERT_TRUE(MoveFileExW(asideFolder.c_str(), saveFolder.c_str(), 0));
    } else if (last == Outcome::Restored) {
      removeScratchTree(saveFolder);
      removeScratchTree(asideFolder);
      writeSaveTree(saveFolder, kFolders, kFilesPerFolder, 2);
    }
    removeScratchTree(leftoverCounter);
    writeFileBytes(counterFile, oldCounter);
  }

  std::wstring saveFolder, asideFolder, tempFolder, counterFile, leftoverCounter, backupFolder;
  TreeSnapshot oldSave, tempBefore, backupBefore;
  const std::string oldCounter = gbk("[节名称]\r\n配置项名称=7\r\n");
  const std::string newCounter = gbk("[节名称]\r\n配置项名称=8\r\n");
};

const char* nameOf(Outcome outcome) {
  switch (outcome) {
    case Outcome::Untouched: return "old save untouched";
    case Outcome::OldAside: return "old save whole beside, copy partial";
    case Outcome::Restored: return "copy complete, old save being removed";
  }
  return "";
}

TEST_F(RestoreKillFault, AKillAtAnyMomentLeavesTheOldSaveWholeOrTheRestoreComplete) {
  // A condition lists the save folder only once it has been moved aside: a listing holds the folder
  // open, and a rename at that instant would fail (as it does on Windows while a file manager
  // shows the folder), failing the restore before it began.
  const KillMoment moments[] = {
      {"at once", 0, nullptr},
      {"after 30 ms", 30, nullptr},
      {"once the old save is moved aside", 0, [&] { return isFolder(asideFolder); }},
      {"once the copy has begun", 0, [&] { return isFolder(asideFolder) && isFolder(saveFolder); }},
      {"with the copy half-way", 0,
       [&] { return isFolder(asideFolder) && countEntries(saveFolder) >= kTopEntries / 2; }},
      {"after 1500 ms", 1500, nullptr},
      {"while the old save is removed", 0,
       [&] {
         return isFolder(asideFolder) && countEntries(saveFolder) == kTopEntries + 1 &&
                countEntries(asideFolder) < kTopEntries;
       }},
  };
  std::set<Outcome> seen;
  Outcome last = Outcome::Untouched;
  for (const KillMoment& moment : moments) {
    SCOPED_TRACE(moment.what);
    resetDisk(last);
    ASSERT_NO_FATAL_FAILURE(start({{Edit1, saveFolder}, {Edit3, tempFolder}}));

    const double killedAt = clickAndKill(program, Button1, moment);

    const MaybeTree save = maybeSnapshot(saveFolder);
    const MaybeTree aside = maybeSnapshot(asideFolder);
    const TreeSnapshot temp = snapshotTree(tempFolder);
    Outcome outcome;
    if (save.exists && save.tree == oldSave && !aside.exists) {
      outcome = Outcome::Untouched;
    } else if (aside.exists && aside.tree == oldSave) {
      outcome = Outcome::OldAside;
      EXPECT_TRUE(!save.exists || isPartOf(save.tree, temp)) << "the save folder holds only what the copy wrote";
    } else {
      outcome = Outcome::Restored;
      EXPECT_TRUE(save.exists) << "the old save is lost";
      EXPECT_EQ(treeDifference(save.tree, temp), "") << "the old save is lost and no complete copy replaced it";
      EXPECT_TRUE(!aside.exists || isPartOf(aside.tree, oldSave)) << "the folder moved aside holds only the old save";
    }
    seen.insert(outcome);
    last = outcome;
    std::printf("killed %-34s after %7.1f ms: %s\n", moment.what, killedAt, nameOf(outcome));

    // A kill while the count is written may leave the write's temporary file, which the next
    // write of the count replaces.
    const std::wstring counterName = wide("计数器.ini");
    EXPECT_EQ(treeDifference(without(without(temp, counterName), counterName + L".tmp"), without(tempBefore, counterName)), "")
        << "the backup itself is untouched";
    const std::string counter = readFileBytes(counterFile);
    EXPECT_TRUE(counter == oldCounter || counter == newCounter) << "the counter file is whole: " << counter;
    EXPECT_EQ(treeDifference(snapshotTree(backupFolder), backupBefore), "");
    std::set<std::wstring> names = entryNames(root());
    names.erase(wide("存档"));
    names.erase(wide("存档.korvenel-old"));
    EXPECT_EQ(names, (std::set<std::wstring>{L"program", wide("临时"), wide("备份")})) << "nothing else appeared";
  }
  // A kill right after the click may land before or after the rename, by the machine's speed; the
  // moments read off the disk land during and after the copy.
  EXPECT_TRUE(seen.contains(Outcome::OldAside) && seen.contains(Outcome::Restored))
      << "the kills were meant to land during and after the copy";
}

}  // namespace
