#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "support/scratch.h"
#include "support/window_driver.h"

namespace {

using enum ControlId;

// Each test runs a copy of the program in a folder of its own, started from another folder, and
// drives it through its window; the settings file lies beside that copy.
class FolderSettingsTest : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    makeFolder(path(L"elsewhere"));
    exe_ = installProgramCopy(path(L"program"));
  }
  void TearDown() override {
    endProgram(program);
    ScratchTest::TearDown();
  }

  void start() {
    program = startProgram(exe_, path(L"elsewhere"));
    ASSERT_NE(program.window, nullptr);
  }
  void close() { EXPECT_EQ(closeWithEscape(program), 0u); }

  std::wstring settingsFile() const { return path(wide("program\\相关文件夹位置.ini")); }
  std::string settingsBytes() const { return readFileBytes(settingsFile()); }
  void type(ControlId edit, const std::string& gbkText) { setControlText(program.window, edit, gbkText); }
  std::string text(ControlId id) const { return controlText(program.window, id); }

  StartedProgram program;

 private:
  std::wstring exe_;
};

const std::string kSavedCaption = gbk("已保存");

TEST_F(FolderSettingsTest, NoSettingsFileLeavesTheBoxesEmptyAndCreatesNothing) {
  start();
  for (const ControlId edit : {Edit1, Edit2, Edit3}) EXPECT_EQ(text(edit), "");
  close();
  EXPECT_FALSE(exists(settingsFile()));
}

TEST_F(FolderSettingsTest, LoadsEachBoxFromItsKeyAndLeavesMissingKeysEmpty) {
  struct Case {
    const char* file;  // UTF-8, stored as GBK
    const char* edit1;
    const char* edit2;
    const char* edit3;
  };
  const Case cases[] = {
      {"[文件夹位置]\r\n初始存档文件夹位置=D:\\存档\r\n备份文件夹位置=E:\\备份\\\r\n临时文件夹位置=临时\r\n", "D:\\存档",
       "E:\\备份\\", "临时"},
      {"[文件夹位置]\r\n备份文件夹位置=E:\\备份\r\n", "", "E:\\备份", ""},
      {"[其他]\r\n初始存档文件夹位置=X\r\n", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    writeFileBytes(settingsFile(), gbk(c.file));
    start();
    EXPECT_EQ(text(Edit1), gbk(c.edit1));
    EXPECT_EQ(text(Edit2), gbk(c.edit2));
    EXPECT_EQ(text(Edit3), gbk(c.edit3));
    close();
    endProgram(program);
    EXPECT_EQ(settingsBytes(), gbk(c.file)) << "loading never rewrites the file";
  }
}

TEST_F(FolderSettingsTest, EachSaveButtonStoresItsOwnKeyExactlyAsTyped) {
  const char* const original =
      "; 注释\r\n[文件夹位置]\r\n初始存档文件夹位置=旧1\r\n备份文件夹位置=旧2\r\n临时文件夹位置=旧3\r\n[其他]\r\n键=值\r\n";
  writeFileBytes(settingsFile(), gbk(original));
  start();

  type(Edit1, gbk("D:\\新存档\\"));
  clickButton(program.window, Button4);
  EXPECT_EQ(text(Button4), kSavedCaption);
  EXPECT_EQ(settingsBytes(), gbk("; 注释\r\n[文件夹位置]\r\n初始存档文件夹位置=D:\\新存档\\\r\n备份文件夹位置=旧2\r\n"
                                 "临时文件夹位置=旧3\r\n[其他]\r\n键=值\r\n"));

  type(Edit2, "");
  clickButton(program.window, Button5);
  EXPECT_EQ(text(Button5), kSavedCaption);
  EXPECT_EQ(settingsBytes(), gbk("; 注释\r\n[文件夹位置]\r\n初始存档文件夹位置=D:\\新存档\\\r\n备份文件夹位置=\r\n"
                                 "临时文件夹位置=旧3\r\n[其他]\r\n键=值\r\n"))
      << "an empty box stores an empty value and keeps the key";

  type(Edit3, gbk("临时新"));
  clickButton(program.window, Button6);
  clickButton(program.window, Button6);
  EXPECT_EQ(text(Button6), kSavedCaption) << "a second click keeps the caption";
  EXPECT_EQ(settingsBytes(), gbk("; 注释\r\n[文件夹位置]\r\n初始存档文件夹位置=D:\\新存档\\\r\n备份文件夹位置=\r\n"
                                 "临时文件夹位置=临时新\r\n[其他]\r\n键=值\r\n"));
  EXPECT_TRUE(isFolder(path(wide("program\\临时新")))) << "a relative folder is made in the program's folder";
  close();
}

TEST_F(FolderSettingsTest, TheFirstSaveCreatesTheFileAndTheNextStartLoadsIt) {
  start();
  type(Edit1, gbk("D:\\游戏\\存档"));
  clickButton(program.window, Button4);
  close();
  endProgram(program);
  EXPECT_EQ(settingsBytes(), gbk("[文件夹位置]\r\n初始存档文件夹位置=D:\\游戏\\存档\r\n"));

  start();
  EXPECT_EQ(text(Edit1), gbk("D:\\游戏\\存档"));
  close();
}

// Which folders 按钮4, 按钮5 and 按钮6 create: the last level only, and 按钮4 never.
TEST_F(FolderSettingsTest, SaveButtonsCreateOnlyAMissingLastLevel) {
  makeFolder(path(wide("备份")));
  writeFileBytes(path(L"a-file"), "x");
  struct Case {
    ControlId edit;
    ControlId button;
    std::wstring typed;
    std::wstring expectedFolder;  // empty: nothing is created
  };
  const Case cases[] = {
      {Edit2, Button5, path(wide("备份\\新")), path(wide("备份\\新"))},
      {Edit2, Button5, path(L"missing\\two"), L""},
      {Edit2, Button5, wide("备份"), path(wide("program\\备份"))},
      {Edit3, Button6, path(wide("备份\\临时")), path(wide("备份\\临时"))},
      {Edit3, Button6, path(L"a-file"), L""},
      {Edit1, Button4, path(wide("备份\\存档")), L""},
  };
  start();
  for (const Case& c : cases) {
    SCOPED_TRACE(gbkFromWide(c.typed));
    const TreeSnapshot before = snapshotTree(root());
    type(c.edit, gbkFromWide(c.typed));
    clickButton(program.window, c.button);
    EXPECT_EQ(text(c.button), kSavedCaption) << "the location is stored whether or not a folder was made";
    TreeSnapshot after = snapshotTree(root());
    if (!c.expectedFolder.empty()) {
      EXPECT_TRUE(isFolder(c.expectedFolder));
      after.erase(c.expectedFolder.substr(root().size() + 1));
    }
    // The settings file changes with every click; everything else must stay as it was.
    const std::wstring settingsEntry = wide("program\\相关文件夹位置.ini");
    TreeSnapshot expected = before;
    expected.erase(settingsEntry);
    after.erase(settingsEntry);
    EXPECT_EQ(after, expected) << "nothing else was created";
  }
  close();
}

TEST_F(FolderSettingsTest, AFailedWriteShowsTheFailureCaption) {
  // A folder where the settings file should be: the program's folder cannot take the file.
  makeFolder(settingsFile());
  start();
  type(Edit1, "D:\\x");
  clickButton(program.window, Button4);
  EXPECT_EQ(text(Button4), gbk("保存失败"));
  type(Edit1, "D:\\y");
  clickButton(program.window, Button4);
  EXPECT_EQ(text(Button4), gbk("保存失败"));
  EXPECT_TRUE(isFolder(settingsFile()));
  close();
}

// 按钮4 and 按钮5 take the temporary folder from 编辑框3 too: the reset of the restore count then works
// on the counter file in that folder, though 按钮6 was never clicked.
TEST_F(FolderSettingsTest, EverySaveButtonRefreshesTheTemporaryFolderForTheReset) {
  for (const ControlId button : {Button4, Button5}) {
    SCOPED_TRACE(static_cast<int>(button));
    const std::wstring temp = path(button == Button4 ? L"temp4" : L"temp5");
    makeFolder(temp);
    const std::wstring counter = temp + wide("\\计数器.ini");
    writeFileBytes(counter, gbk("[节名称]\r\n配置项名称=7\r\n"));
    start();
    type(Edit3, gbkFromWide(temp));
    clickButton(program.window, button);
    clickButton(program.window, Button2);
    EXPECT_EQ(text(Label1), "1");
    EXPECT_EQ(readFileBytes(counter), gbk("[节名称]\r\n配置项名称=1\r\n"));
    close();
    endProgram(program);
  }
}

}  // namespace
