#include "backup/restore_counter.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>

#include "app/app_state.h"
#include "services/profile_file.h"
#include "services/scoped_win.h"
#include "support/scratch.h"
#include "support/window_driver.h"

namespace {

using enum ControlId;

const std::string kInitialCountCaption = gbk("数字");

class RestoreCounterTest : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    tempFolder = path(wide("临时"));
    makeFolder(tempFolder);
    appState().tempFolderPath = gbkFromWide(tempFolder);
  }

  static std::wstring counterFile(const std::wstring& folder) { return folder + wide("\\计数器.ini"); }
  static void writeCounter(const std::wstring& folder, const std::string& utf8Content) {
    writeFileBytes(counterFile(folder), gbk(utf8Content));
  }
  static void writeCount(const std::wstring& folder, const std::string& count) {
    writeCounter(folder, "[节名称]\r\n配置项名称=" + count + "\r\n");
  }
  static std::string storedCount(const std::wstring& folder) {
    return readProfileText(gbkFromWide(counterFile(folder)), gbk("节名称"), gbk("配置项名称"));
  }

  // A folder with a backup in it, as a restore needs one.
  static void fillBackup(const std::wstring& folder) {
    makeFolder(folder);
    writeFileBytes(folder + L"\\slot1.sav", "backed up");
  }

  std::wstring tempFolder;
};

TEST_F(RestoreCounterTest, RaisesTheStoredCountByOne) {
  struct Case {
    const char* content;  // of the counter file, UTF-8 here, GBK on disk
    int32_t expected;
  };
  const Case cases[] = {
      {"[节名称]\r\n配置项名称=7\r\n", 8},
      {"[节名称]\r\n配置项名称=2.9\r\n", 3},
      {"[节名称]\r\n配置项名称=-2.5\r\n", -1},
      {"[节名称]\r\n配置项名称=abc\r\n", 1},
      {"[节名称]\r\n配置项名称=\r\n", 1},
      {"[节名称]\r\n配置项名称=2147483647\r\n", INT32_MIN},
      {"[节名称]\r\n配置项名称=4294967301\r\n", 6},  // 2^32 + 5: its low 32 bits are 5
      {"[节名称]\r\n配置项名称=-4294967297\r\n", 0},  // low 32 bits -1
      {"[节名称]\r\n配置项名称=1e30\r\n", 1},         // beyond 64 bits: counts as 0
      {"[其他]\r\n配置项名称=7\r\n", 1},              // the file without the key
      {"", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content);
    writeCounter(tempFolder, c.content);
    EXPECT_TRUE(advanceRestoreCount());
    EXPECT_EQ(appState().restoreCount, c.expected);
    EXPECT_EQ(appState().restoreCountText, std::to_string(c.expected));
    EXPECT_EQ(storedCount(tempFolder), std::to_string(c.expected));
  }
}

TEST_F(RestoreCounterTest, WithoutACounterFileTheCountStartsAtOneInANewFile) {
  appState().restoreCount = 41;  // the next count comes from the file, never from the state
  EXPECT_TRUE(advanceRestoreCount());
  EXPECT_EQ(appState().restoreCount, 1);
  EXPECT_EQ(appState().restoreCountText, "1");
  EXPECT_EQ(readFileBytes(counterFile(tempFolder)), gbk("[节名称]\r\n配置项名称=1\r\n"));
}

// The counter file is built anew from tempFolderPath at every use.
TEST_F(RestoreCounterTest, CountsInTheFolderThatTempFolderPathNamesNow) {
  const std::wstring other = path(wide("另一个"));
  makeFolder(other);
  writeCount(tempFolder, "10");
  writeCount(other, "20");
  ASSERT_TRUE(advanceRestoreCount());
  appState().tempFolderPath = gbkFromWide(other);
  ASSERT_TRUE(advanceRestoreCount());
  EXPECT_EQ(storedCount(tempFolder), "11");
  EXPECT_EQ(storedCount(other), "21");
}

// Another program holds the counter file open without sharing writes, so no new count can be
// stored; a missing temporary folder cannot take one either.
TEST_F(RestoreCounterTest, ACountThatCannotBeStoredIsReportedAndTheFileKeepsItsValue) {
  writeCount(tempFolder, "7");
  const std::string before = readFileBytes(counterFile(tempFolder));
  {
    const ScopedFileHandle held(CreateFileW(counterFile(tempFolder).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.valid());
    EXPECT_FALSE(advanceRestoreCount());

    InProcessWindow window;
    window.click(Button2);
    EXPECT_EQ(window.text(Label1), gbk("失败")) << "no count is shown that the file does not hold";
  }
  EXPECT_EQ(readFileBytes(counterFile(tempFolder)), before);

  appState().tempFolderPath = gbkFromWide(path(wide("缺少")));
  EXPECT_FALSE(advanceRestoreCount());
  EXPECT_FALSE(exists(path(wide("缺少"))));
}

TEST_F(RestoreCounterTest, AResetWithoutACounterFileChangesNothing) {
  InProcessWindow window;
  const TreeSnapshot before = snapshotTree(root());
  window.click(Button2);
  EXPECT_EQ(window.text(Label1), kInitialCountCaption);
  EXPECT_EQ(snapshotTree(root()), before);
  EXPECT_EQ(appState().restoreCount, 0);
  EXPECT_EQ(appState().restoreCountText, "");
}

TEST_F(RestoreCounterTest, AResetStoresOneAndTheNextRestoreShowsTwo) {
  InProcessWindow window;
  const std::wstring saveFolder = path(wide("存档"));
  fillBackup(saveFolder);
  fillBackup(tempFolder);
  writeCount(tempFolder, "5");

  window.click(Button2);
  EXPECT_EQ(window.text(Label1), "1");
  EXPECT_EQ(storedCount(tempFolder), "1");
  EXPECT_EQ(appState().restoreCount, 1);
  EXPECT_EQ(window.text(Label4), gbk("未更新")) << "the reset leaves 标签4 alone";

  window.type(Edit1, gbkFromWide(saveFolder));
  window.type(Edit3, gbkFromWide(tempFolder));
  window.click(Button1);
  EXPECT_EQ(window.text(Label1), "2");
  EXPECT_EQ(storedCount(saveFolder), "2");
}

// The reset reads no box: it works on the temporary folder that the last restore (or 保存 click)
// read, not on what 编辑框3 holds now.
TEST_F(RestoreCounterTest, AResetWorksOnTheFolderTheLastRestoreRead) {
  InProcessWindow window;
  const std::wstring saveFolder = path(wide("存档"));
  const std::wstring typedLater = path(wide("另一个"));
  fillBackup(tempFolder);
  fillBackup(typedLater);
  writeCount(tempFolder, "5");
  writeCount(typedLater, "9");
  window.type(Edit1, gbkFromWide(saveFolder));
  window.type(Edit3, gbkFromWide(tempFolder));
  window.click(Button1);
  ASSERT_EQ(window.text(Label1), "6");

  window.type(Edit3, gbkFromWide(typedLater));
  window.click(Button2);
  EXPECT_EQ(window.text(Label1), "1");
  EXPECT_EQ(storedCount(tempFolder), "1");
  EXPECT_EQ(storedCount(typedLater), "9");

  // As a 保存 click leaves it.
  appState().tempFolderPath = gbkFromWide(typedLater);
  window.click(Button2);
  EXPECT_EQ(storedCount(typedLater), "1");
}

// The restore carries its count into the save folder; a later backup brings that file back over
// the temporary folder's, so a reset in between is undone and the count goes on from the restore's.
TEST_F(RestoreCounterTest, AResetUndoneByABackupThatBroughtTheOldCounterBack) {
  InProcessWindow window;
  const std::wstring saveFolder = path(wide("存档"));
  const std::wstring backupFolder = path(wide("备份"));
  makeFolder(backupFolder);
  fillBackup(tempFolder);
  writeCount(tempFolder, "3");
  window.type(Edit1, gbkFromWide(saveFolder));
  window.type(Edit2, gbkFromWide(backupFolder));
  window.type(Edit3, gbkFromWide(tempFolder));
  window.click(Button1);
  ASSERT_EQ(window.text(Label1), "4");

  window.click(Button2);
  ASSERT_EQ(storedCount(tempFolder), "1");
  window.click(Button3);
  ASSERT_EQ(window.text(Label5), gbk("已备份"));
  EXPECT_EQ(storedCount(tempFolder), "4");

  window.click(Button1);
  EXPECT_EQ(window.text(Label1), "5");
}

}  // namespace
