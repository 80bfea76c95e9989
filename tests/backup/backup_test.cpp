#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <set>
#include <string>

#include "app/app_state.h"
#include "support/scratch.h"
#include "support/window_driver.h"

namespace {

using enum ControlId;

// The date-time text of a clock reading, written out independently of the program's own code:
// the time part shortens when the seconds, or the minutes and seconds, are zero.
std::string dateTimeName(const SYSTEMTIME& t) {
  std::string text = std::to_string(t.wYear) + "年" + std::to_string(t.wMonth) + "月" + std::to_string(t.wDay) + "日";
  if (t.wSecond) {
    text += std::to_string(t.wHour) + "时" + std::to_string(t.wMinute) + "分" + std::to_string(t.wSecond) + "秒";
  } else if (t.wMinute) {
    text += std::to_string(t.wHour) + "时" + std::to_string(t.wMinute) + "分";
  } else if (t.wHour) {
    text += std::to_string(t.wHour) + "时";
  }
  return gbk(text);
}

SYSTEMTIME utcShiftedBy(int hours) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER units{{now.dwLowDateTime, now.dwHighDateTime}};
  units.QuadPart += static_cast<ULONGLONG>(hours) * 3600ULL * 10000000ULL;
  const FILETIME shifted{units.LowPart, units.HighPart};
  SYSTEMTIME result;
  FileTimeToSystemTime(&shifted, &result);
  return result;
}

class BackupTest : public ScratchTest {
 protected:
  void SetUp() override {
    // A fixed zone, eight hours east of UTC, in the form the C runtime reads.
    _putenv_s("TZ", "CST-8");
    ScratchTest::SetUp();
    saveFolder = path(wide("存档"));
    backupFolder = path(wide("备份"));
    tempFolder = path(wide("临时"));
    makeFolder(saveFolder);
    makeFolder(backupFolder);
    makeFolder(tempFolder);
  }

  // Wine's CopyFolder fails where a sub-folder exists on both sides (Windows merges them), so the
  // tests that copy into the same folder twice use a save without sub-folders.
  void fillFlatSaveFolder() {
    writeFileBytes(saveFolder + L"\\slot1.sav", "save one");
    writeFileBytes(saveFolder + wide("\\进度.dat"), gbk("进度"));
  }

  void fillSaveFolder() {
    writeFileBytes(saveFolder + L"\\slot1.sav", "save one");
    makeFolder(saveFolder + wide("\\角色"));
    writeFileBytes(saveFolder + wide("\\角色\\进度.dat"), gbk("进度"));
    makeFolder(saveFolder + wide("\\角色\\深层"));
    makeFolder(saveFolder + wide("\\角色\\深层\\更深"));
    writeFileBytes(saveFolder + wide("\\角色\\深层\\更深\\淺.bin"), std::string("\0\x5C\xFF", 3));
    writeFileBytes(saveFolder + wide("\\세이브 🎮.dat"), "outside GBK");
  }

  void typeFolders(const std::wstring& save, const std::wstring& backup, const std::wstring& temp) const {
    window.type(Edit1, gbkFromWide(save));
    window.type(Edit2, gbkFromWide(backup));
    window.type(Edit3, gbkFromWide(temp));
  }

  std::set<std::wstring> datedFolders() const {
    std::set<std::wstring> names;
    for (const auto& [name, contents] : snapshotTree(backupFolder)) {
      if (name.find(L'\\') == std::wstring::npos) names.insert(name);
    }
    return names;
  }

  InProcessWindow window;
  std::wstring saveFolder, backupFolder, tempFolder;
};

TEST_F(BackupTest, CopiesTheSaveIntoAFolderNamedByTheClockAndIntoTheTemporaryFolder) {
  fillSaveFolder();
  writeFileBytes(tempFolder + L"\\slot1.sav", "an older save");
  writeFileBytes(tempFolder + L"\\extra.txt", "kept");
  typeFolders(saveFolder, backupFolder, tempFolder);
  appState().tempFolderPath = "left by an earlier click";

  const SYSTEMTIME before = utcShiftedBy(8);
  window.click(Button3);
  const SYSTEMTIME after = utcShiftedBy(8);

  const std::string caption = window.text(Button3);
  EXPECT_TRUE(caption == dateTimeName(before) || caption == dateTimeName(after))
      << "the caption is the local time of the click in the zone of TZ";
  EXPECT_EQ(window.text(Label5), gbk("已备份"));
  EXPECT_EQ(datedFolders(), std::set<std::wstring>{wideFromGbk(caption)}) << "one folder, named as the caption";

  const TreeSnapshot save = snapshotTree(saveFolder);
  EXPECT_EQ(snapshotTree(backupFolder + L"\\" + wideFromGbk(caption)), save) << "the whole tree, at every depth";
  TreeSnapshot expectedTemp = save;
  expectedTemp[L"extra.txt"] = snapshotTree(tempFolder)[L"extra.txt"];
  EXPECT_EQ(snapshotTree(tempFolder), expectedTemp) << "same-named files replaced, other files kept";
  EXPECT_EQ(readFileBytes(tempFolder + L"\\extra.txt"), "kept");

  EXPECT_EQ(appState().gameSavePath, gbkFromWide(saveFolder));
  EXPECT_EQ(appState().backupTimeText, caption);
  EXPECT_EQ(appState().backupPath, gbkFromWide(backupFolder) + "\\" + caption);
  EXPECT_EQ(appState().tempFolderPath, "left by an earlier click") << "the backup leaves tempFolderPath alone";
}

TEST_F(BackupTest, TwoBackupsWithinOneSecondShareTheirFolder) {
  fillFlatSaveFolder();
  typeFolders(saveFolder, backupFolder, tempFolder);
  // Start right after a second begins, so both clicks fall into it.
  SYSTEMTIME now;
  do {
    Sleep(5);
    GetSystemTime(&now);
  } while (now.wMilliseconds > 50);
  window.click(Button3);
  const std::string first = window.text(Button3);
  writeFileBytes(saveFolder + L"\\slot1.sav", "changed in between");
  window.click(Button3);
  const std::string second = window.text(Button3);

  ASSERT_EQ(first, second) << "the two clicks fell into different seconds; the machine is too slow for this test";
  EXPECT_EQ(datedFolders().size(), 1u);
  EXPECT_EQ(readFileBytes(backupFolder + L"\\" + wideFromGbk(first) + L"\\slot1.sav"), "changed in between")
      << "the second backup copies over the first one's files";
}

// Every refusal leaves the disk as it was and shows the failure captions.
TEST_F(BackupTest, RefusesUnsafeOrMissingFoldersAndChangesNothing) {
  fillSaveFolder();
  writeFileBytes(path(L"a-file"), "x");
  const std::wstring inside = saveFolder + L"\\inner";
  makeFolder(inside);
  struct Case {
    const char* why;
    std::wstring save, backup, temp;
  };
  const Case cases[] = {
      {"empty save folder", L"", backupFolder, tempFolder},
      {"missing save folder", path(L"missing"), backupFolder, tempFolder},
      {"save folder names a file", path(L"a-file"), backupFolder, tempFolder},
      {"empty backup folder", saveFolder, L"", tempFolder},
      {"empty temporary folder", saveFolder, backupFolder, L""},
      {"backup folder is the save folder", saveFolder, saveFolder, tempFolder},
      {"backup folder inside the save folder", saveFolder, inside, tempFolder},
      {"backup folder inside, other case and trailing backslash", saveFolder, path(wide("存档\\INNER\\")), tempFolder},
      {"temporary folder is the save folder with a backslash", saveFolder, backupFolder, saveFolder + L"\\"},
      {"temporary folder inside the save folder", saveFolder, backupFolder, inside},
      {"relative temporary folder inside the save folder", saveFolder, backupFolder, wide("存档\\inner")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const TreeSnapshot before = snapshotTree(root());
    typeFolders(c.save, c.backup, c.temp);
    window.click(Button3);
    EXPECT_EQ(window.text(Button3), gbk("备份失败"));
    EXPECT_EQ(window.text(Label5), gbk("失败"));
    EXPECT_EQ(snapshotTree(root()), before);
  }
}

TEST_F(BackupTest, AFailedCopyShowsTheFailureCaptions) {
  fillFlatSaveFolder();
  // The backup folder's parent is missing, so the dated folder cannot be made.
  typeFolders(saveFolder, path(L"missing\\backups"), tempFolder);
  window.click(Button3);
  EXPECT_EQ(window.text(Button3), gbk("备份失败"));
  EXPECT_EQ(window.text(Label5), gbk("失败"));
  EXPECT_FALSE(exists(path(L"missing")));
  EXPECT_EQ(snapshotTree(tempFolder), snapshotTree(saveFolder)) << "the temporary folder is still refreshed";

  // A later backup that works shows its time again.
  typeFolders(saveFolder, backupFolder, tempFolder);
  window.click(Button3);
  EXPECT_EQ(window.text(Label5), gbk("已备份"));
  EXPECT_EQ(datedFolders(), std::set<std::wstring>{wideFromGbk(window.text(Button3))});
}

}  // namespace
