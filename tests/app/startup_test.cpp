#include <gtest/gtest.h>

#include <windows.h>

#include "support/scratch.h"
#include "support/window_driver.h"

namespace {

using enum ControlId;

// The program started as its own process, the way a player starts it.
class StartupTest : public ScratchTest {
 protected:
  void TearDown() override {
    endProgram(program);
    ScratchTest::TearDown();
  }
  StartedProgram program;
};

TEST_F(StartupTest, StartsFromAnotherFolderShowsItsWindowAndEndsWithEscWritingNothing) {
  const std::wstring exe = installProgramCopy(path(L"program"));
  makeFolder(path(L"elsewhere"));
  const TreeSnapshot before = snapshotTree(root());

  program = startProgram(exe, path(L"elsewhere"));
  ASSERT_NE(program.window, nullptr);
  EXPECT_TRUE(IsWindowVisible(program.window));
  EXPECT_EQ(controlText(program.window, Button1), gbk("更新存档"));
  EXPECT_EQ(controlText(program.window, Edit1), "") << "no settings file: the boxes stay empty";

  EXPECT_EQ(closeWithEscape(program), 0u);
  EXPECT_EQ(snapshotTree(root()), before) << "closing the program writes nothing";
}

// The program's folder is found on the UTF-16 path, so the GBK trail byte 0x5C of 淺 (9C 5C) is
// never taken for a backslash; relative folders then resolve against the program's folder,
// whatever folder the program was started from.
TEST_F(StartupTest, ProgramFolderWithGbkTrailByteIsTheRunDirectory) {
  const std::wstring folder = path(wide("工具淺"));
  const std::wstring exe = installProgramCopy(folder, wide("淺.exe"));
  writeFileBytes(folder + wide("\\相关文件夹位置.ini"),
                 gbk("[文件夹位置]\r\n备份文件夹位置=新备份\r\n"));
  makeFolder(path(L"elsewhere"));

  program = startProgram(exe, path(L"elsewhere"));
  ASSERT_NE(program.window, nullptr);
  EXPECT_EQ(controlText(program.window, Edit2), gbk("新备份")) << "the settings beside the program were loaded";

  clickButton(program.window, Button5);
  EXPECT_TRUE(isFolder(folder + wide("\\新备份"))) << "a relative folder is made inside the program's folder";
  EXPECT_FALSE(exists(path(wide("elsewhere\\新备份"))));
  EXPECT_EQ(closeWithEscape(program), 0u);
}

// A program in a drive's root keeps the bare drive ("S:") as its folder, so the settings file is
// S:\相关文件夹位置.ini and not S:\\相关文件夹位置.ini.
TEST_F(StartupTest, ProgramInADriveRootFindsItsSettingsInTheRoot) {
  const std::wstring drive = testDrive();
  const std::wstring exe = installProgramCopy(drive, L"korvenel-root-test.exe");
  const std::wstring settings = drive + wide("\\相关文件夹位置.ini");
  writeFileBytes(settings, gbk("[文件夹位置]\r\n临时文件夹位置=S:\\临时\r\n"));

  program = startProgram(exe, root());
  EXPECT_EQ(controlText(program.window, Edit3), gbk("S:\\临时"));
  EXPECT_EQ(closeWithEscape(program), 0u);
  endProgram(program);

  DeleteFileW(exe.c_str());
  DeleteFileW(settings.c_str());
}

}  // namespace
