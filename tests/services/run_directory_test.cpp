#include "services/run_directory.h"

#include <windows.h>

#include "support/scratch.h"

namespace {

TEST(RunDirectoryTest, IsTheFolderOfTheProgramFile) {
  const std::wstring longFolder = L"D:\\" + std::wstring(300, L'x');
  const struct {
    std::wstring module;
    std::wstring expected;
  } cases[] = {
      {wide(u8"D:\\工具\\存档备份.exe"), wide(u8"D:\\工具")},
      {wide(u8"E:\\存档备份.exe"), L"E:"},
      // GBK 9C 5C: the last byte is a backslash's, but the character is none.
      {wide(u8"D:\\工具\\淺.exe"), wide(u8"D:\\工具")},
      {wide(u8"D:\\淺\\存档备份.exe"), wide(u8"D:\\淺")},
      {longFolder + L"\\a.exe", longFolder},
      {L"\\\\server\\share\\a.exe", L"\\\\server\\share"},
      {L"a.exe", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(runDirectoryOf(c.module), c.expected) << gbkFromWide(c.module);
}

using RunDirectoryStartTest = ScratchTest;

TEST_F(RunDirectoryStartTest, BecomesTheCurrentDirectory) {
  // The fixture made the scratch folder current; the program's folder is elsewhere.
  initRunDirectory();
  const std::wstring folder = wideFromGbk(runDirectory());
  EXPECT_NE(folder, root());
  EXPECT_TRUE(exists(folder + L"\\services_tests.exe"));

  wchar_t current[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, current);
  EXPECT_EQ(std::wstring(current), folder);
  EXPECT_TRUE(exists(L"services_tests.exe"));  // a relative path names a file beside the program
}

}  // namespace
