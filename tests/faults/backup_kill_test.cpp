#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <functional>
#include <set>
#include <string>

#include "faults/fault_support.h"

namespace {

using enum ControlId;

// As for the restore: 2,000 files in 40 folders, a backup long enough under Wine for kills to land
// in the dated copy and in the copy to the temporary folder.
constexpr int kFolders = 40;
constexpr int kFilesPerFolder = 50;
constexpr int kTopEntries = kFolders + 2;

// How far a killed backup had come.
enum class Outcome { NothingWritten, DatedCopyPartial, TempCopyPartial };

// The program is killed during a backup: the save folder and the earlier dated backups must be
// untouched whatever the moment; only the new dated folder and the temporary folder may hold a
// part of the copy. The temporary folder does not exist before, so that Wine's CopyFolder, which
// fails on a sub-folder present on both sides, copies into it as Windows would.
class BackupKillFault : public ProgramFault {
 protected:
  void SetUp() override {
    ProgramFault::SetUp();
    saveFolder = path(wide("存档"));
    backupFolder = path(wide("备份"));
    tempFolder = path(wide("临时"));
    writeSaveTree(saveFolder, kFolders, kFilesPerFolder, 4);
    makeFolder(backupFolder);
    writeSaveTree(backupFolder + wide("\\2024年5月3日14时5分9秒"), 3, 4, 5);
    writeSaveTree(backupFolder + wide("\\2024年5月4日"), 2, 3, 6);
    saveBefore = snapshotTree(saveFolder);
    backupBefore = snapshotTree(backupFolder);
    earlierBackups = entryNames(backupFolder);
  }

  // The dated folder this backup made, or an empty text.
  std::wstring newDatedFolder() const {
    for (const std::wstring& name : entryNames(backupFolder)) {
      if (!earlierBackups.contains(name)) return backupFolder + L"\\" + name;
    }
    return {};
  }

  std::wstring saveFolder, backupFolder, tempFolder;
  TreeSnapshot saveBefore, backupBefore;
  std::set<std::wstring> earlierBackups;
};

const char* nameOf(Outcome outcome) {
  switch (outcome) {
    case Outcome::NothingWritten: return "nothing written";
    case Outcome::DatedCopyPartial: return "dated copy partial";
    case Outcome::TempCopyPartial: return "dated copy whole, temporary copy partial";
  }
  return "";
}

TEST_F(BackupKillFault, AKillAtAnyMomentLeavesTheSaveAndTheEarlierBackupsUntouched) {
  const KillMoment moments[] = {
      {"at once", 0, nullptr},
      {"after 30 ms", 30, nullptr},
      {"once the dated folder exists", 0, [&] { return !newDatedFolder().empty(); }},
      {"with the dated copy half-way", 0,
       [&] {
         const std::wstring dated = newDatedFolder();
         return !dated.empty() && countEntries(dated) >= kTopEntries / 2;
       }},
      {"once the temporary folder exists", 0, [&] { return isFolder(tempFolder); }},
      {"with the temporary copy half-way", 0, [&] { return countEntries(tempFolder) >= kTopEntries / 2; }},
  };
  std::set<Outcome> seen;
  for (const KillMoment& moment : moments) {
    SCOPED_TRACE(moment.what);
    ASSERT_NO_FATAL_FAILURE(start({{Edit1, saveFolder}, {Edit2, backupFolder}, {Edit3, tempFolder}}));

    const double killedAt = clickAndKill(program, Button3, moment);

    EXPECT_EQ(treeDifference(snapshotTree(saveFolder), saveBefore), "") << "the save folder is untouched";
    const std::wstring dated = newDatedFolder();
    const TreeSnapshot backups = snapshotTree(backupFolder);
    const std::wstring datedName = dated.empty() ? std::wstring() : dated.substr(backupFolder.size() + 1);
    EXPECT_EQ(treeDifference(datedName.empty() ? backups : without(backups, datedName), backupBefore), "")
        << "the earlier dated backups are untouched and only one folder is new";
    const MaybeTree datedCopy = maybeSnapshot(dated);
    const MaybeTree tempCopy = maybeSnapshot(tempFolder);
    EXPECT_TRUE(!datedCopy.exists || isPartOf(datedCopy.tree, saveBefore)) << "the dated folder holds only the save";
    EXPECT_TRUE(!tempCopy.exists || isPartOf(tempCopy.tree, saveBefore)) << "the temporary folder holds only the save";
    std::set<std::wstring> expectedNames{L"program", wide("存档"), wide("备份")};
    if (tempCopy.exists) expectedNames.insert(wide("临时"));
    EXPECT_EQ(entryNames(root()), expectedNames) << "nothing else appeared";

    Outcome outcome = Outcome::NothingWritten;
    if (tempCopy.exists) {
      outcome = Outcome::TempCopyPartial;
      EXPECT_EQ(treeDifference(datedCopy.tree, saveBefore), "") << "the temporary copy follows a whole dated copy";
    } else if (datedCopy.exists) {
      outcome = Outcome::DatedCopyPartial;
    }
    seen.insert(outcome);
    std::printf("killed %-34s after %7.1f ms: %s\n", moment.what, killedAt, nameOf(outcome));

    if (!dated.empty()) removeScratchTree(dated);
    removeScratchTree(tempFolder);
  }
  // As for the restore, only the moments read off the disk are sure to land where they are meant.
  EXPECT_TRUE(seen.contains(Outcome::DatedCopyPartial) && seen.contains(Outcome::TempCopyPartial))
      << "the kills were meant to land during each copy";
}

}  // namespace
