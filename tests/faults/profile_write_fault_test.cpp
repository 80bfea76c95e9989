#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <functional>
#include <iterator>
#include <memory>
#include <set>
#include <string>

#include "faults/fault_support.h"
#include "services/scoped_win.h"

namespace {

using enum ControlId;

// The settings file beside the program, with the section of the folders first and, after it, a
// section of other programs' keys large enough (about 2 MB) that writing the file takes a while.
class ProfileWriteFault : public ProgramFault {
 protected:
  void SetUp() override {
    ProgramFault::SetUp();
    settingsFile = path(wide("program\\相关文件夹位置.ini"));
    for (int i = 0; i < 40000; ++i) tail += "key" + std::to_string(i) + "=some value of another program\r\n";
  }

  // The file's bytes with `saveFolder` stored for 编辑框1.
  std::string settingsWith(const std::string& saveFolder) const {
    return gbk("[文件夹位置]\r\n初始存档文件夹位置=") + saveFolder + gbk("\r\n备份文件夹位置=E:\\备份\r\n[其他]\r\n") + tail;
  }

  std::wstring settingsFile;
  std::string tail;
};

// The program is killed at moments spread over a write of 按钮4's location, some while the new
// content is being written beside the file: each time the file holds the old content or the new
// one, whole, and the next start reads it.
TEST_F(ProfileWriteFault, AKillDuringAWriteLeavesTheOldFileOrTheNewOne) {
  const std::wstring leftover = settingsFile + L".tmp";
  std::string current = "D:\\old";
  writeFileBytes(settingsFile, settingsWith(current));
  // The write takes some tens of milliseconds under Wine; kills spread over it and after it.
  const DWORD delays[] = {0, 2, 5, 10, 15, 20, 25, 30, 40, 60, 100, 400, 1500};
  constexpr int kKillsOnTheTemporaryFile = 3;
  int keptOld = 0, tookNew = 0, leftTemporary = 0;
  for (int kill = 0; kill < static_cast<int>(std::size(delays)) + kKillsOnTheTemporaryFile; ++kill) {
    const bool onTemporaryFile = kill >= static_cast<int>(std::size(delays));
    SCOPED_TRACE(onTemporaryFile ? "once the temporary file exists" : "after " + std::to_string(delays[kill]) + " ms");
    const std::string next = "D:\\" + std::to_string(kill);
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_TRUE(typeWithin(program, Edit1, wideFromGbk(next)));
    removeScratchTree(leftover);
    postClick(program, Button4);
    if (onTemporaryFile) {
      EXPECT_TRUE(waitFor(program, [&] { return exists(leftover); }, 20000));
    } else {
      Sleep(delays[kill]);
    }
    killProgram(program);

    const std::string bytes = readFileBytes(settingsFile);
    if (bytes == settingsWith(next)) {
      ++tookNew;
      current = next;
    } else {
      EXPECT_TRUE(bytes == settingsWith(current)) << "the file is neither the old one nor the new one";
      ++keptOld;
    }
    if (exists(leftover)) ++leftTemporary;
    std::set<std::wstring> names = entryNames(path(L"program"));
    names.erase(L"korvenel.exe");
    names.erase(wide("相关文件夹位置.ini"));
    names.erase(wide("相关文件夹位置.ini.tmp"));
    EXPECT_TRUE(names.empty()) << "nothing else appeared beside the program";
  }
  std::printf("kills: %d kept the old file, %d found the new one, %d left the temporary file\n", keptOld, tookNew,
              leftTemporary);
  EXPECT_GT(leftTemporary, 0) << "no kill landed while the new content was written";
  EXPECT_GT(tookNew, 0) << "no kill landed after the write";

  // The next start reads what the file holds, and the next write takes the place of what was left.
  ASSERT_NO_FATAL_FAILURE(start());
  bool answered = true;
  EXPECT_EQ(textWithin(program, Edit1, answered), current);
  ASSERT_TRUE(typeWithin(program, Edit1, L"D:\\last"));
  ASSERT_TRUE(clickWithin(program, Button4, 60000));
  EXPECT_EQ(textWithin(program, Button4, answered), gbk("已保存"));
  EXPECT_TRUE(answered);
  EXPECT_TRUE(readFileBytes(settingsFile) == settingsWith("D:\\last"));
  EXPECT_FALSE(exists(leftover));
  EXPECT_EQ(closeWithEscape(program), 0u);
}

// Writes that fail show "保存失败" and leave the old file whole, readable at the next start, and
// nothing beside it.
TEST_F(ProfileWriteFault, AFailedWriteKeepsTheOldFileWhole) {
  const std::wstring programFolder = path(L"program");
  struct Case {
    const char* what;
    bool failsUnderWine;  // as on Windows
    bool failsOnWindows;
    std::function<void()> arrange;
  };
  std::unique_ptr<ScopedFileHandle> held;
  auto holdFile = [&](DWORD share) {
    held = std::make_unique<ScopedFileHandle>(
        CreateFileW(settingsFile.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held->valid());
  };
  const Case cases[] = {
      {"a folder stands where the new content is written first", true, true,
       [&] { makeFolder(settingsFile + L".tmp"); }},
      {"an editor holds the file without sharing", true, true, [&] { holdFile(0); }},
      // The new content is written, but the file cannot be replaced.
      {"a program holds the file without sharing its deletion", true, true,
       [&] { holdFile(FILE_SHARE_READ | FILE_SHARE_WRITE); }},
      // Windows refuses to replace a read-only file; under Wine the tests run as root, and the
      // file is replaced. Either way the file is whole and the caption tells which.
      {"the file is read-only", false, true,
       [&] { ASSERT_TRUE(SetFileAttributesW(settingsFile.c_str(), FILE_ATTRIBUTE_READONLY)); }},
      // The read-only mark of a folder does not stop writes in it on Windows (only access rights
      // do, which Wine does not have), nor under Wine: the write succeeds, whole.
      {"the program's folder is read-only", false, false,
       [&] { ASSERT_TRUE(SetFileAttributesW(programFolder.c_str(), FILE_ATTRIBUTE_READONLY)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string old = settingsWith("D:\\old");
    writeFileBytes(settingsFile, old);
    const TreeSnapshot before = snapshotTree(root());
    c.arrange();
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_TRUE(typeWithin(program, Edit1, L"D:\\new"));
    ASSERT_TRUE(clickWithin(program, Button4, 60000));
    bool answered = true;
    const std::string caption = textWithin(program, Button4, answered);
    EXPECT_TRUE(answered);
    killProgram(program);  // the write is over; a kill is quicker than closing under Wine
    // What the case arranged is undone before the disk is compared.
    held.reset();
    SetFileAttributesW(settingsFile.c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesW(programFolder.c_str(), FILE_ATTRIBUTE_DIRECTORY);
    if (isFolder(settingsFile + L".tmp")) removeScratchTree(settingsFile + L".tmp");

    const bool fails = runsUnderWine() ? c.failsUnderWine : c.failsOnWindows;
    if (fails) {
      EXPECT_EQ(caption, gbk("保存失败"));
      EXPECT_EQ(treeDifference(snapshotTree(root()), before), "") << "the file and its folder are as they were";
    } else {
      EXPECT_EQ(caption, gbk("已保存"));
      EXPECT_TRUE(readFileBytes(settingsFile) == settingsWith("D:\\new"));
      EXPECT_FALSE(exists(settingsFile + L".tmp"));
    }

    ASSERT_NO_FATAL_FAILURE(start());
    EXPECT_EQ(textWithin(program, Edit1, answered), fails ? "D:\\old" : "D:\\new") << "the next start reads the file";
    killProgram(program);
  }
}

}  // namespace
