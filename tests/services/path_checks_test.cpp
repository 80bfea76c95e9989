#include "services/path_checks.h"

#include <windows.h>

#include "support/scratch.h"

namespace {

class PathChecksTest : public ScratchTest {
 protected:
  std::string at(std::u8string_view relative) const { return gbkFromWide(path(wide(relative))); }
};

TEST_F(PathChecksTest, FollowsThePlatformsSearchRules) {
  makeFolder(path(wide(u8"存档")));
  writeFileBytes(path(wide(u8"存档\\1.sav")), "save");
  writeFileBytes(path(wide(u8"存档\\隐藏.ini")), "hidden");
  ASSERT_TRUE(SetFileAttributesW(path(wide(u8"存档\\隐藏.ini")).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  makeFolder(path(wide(u8"淺")));  // GBK 9C 5C: its last byte is a backslash's

  const struct {
    std::string path;
    bool expected;
  } cases[] = {
      {at(u8"存档"), true},
      {at(u8"存档\\1.sav"), true},
      {at(u8"存档\\隐藏.ini"), true},
      {at(u8"淺"), true},
      {gbk(u8"存档"), true},  // relative to the current directory
      {at(u8"存档\\*.sav"), true},
      {at(u8"存档\\?.sav"), true},
      {at(u8"存档\\*.bak"), false},
      {at(u8"存档\\"), false},
      {at(u8"存档\\1.sav\\"), false},
      {gbkFromWide(testDrive() + L"\\"), false},
      {"", false},
      {at(u8"缺少"), false},
      {at(u8"缺少\\1.sav"), false},
  };
  for (const auto& c : cases) EXPECT_EQ(pathExists(c.path), c.expected) << c.path;
}

TEST_F(PathChecksTest, CreatesTheLastFolderOnly) {
  EXPECT_FALSE(createFolder(at(u8"上\\下")));
  EXPECT_TRUE(snapshotTree(root()).empty());

  EXPECT_TRUE(createFolder(at(u8"上")));
  EXPECT_TRUE(createFolder(gbk(u8"上\\下")));  // relative to the current directory
  EXPECT_TRUE(isFolder(path(wide(u8"上\\下"))));

  writeFileBytes(path(wide(u8"上\\下\\1.sav")), "save");
  const TreeSnapshot before = snapshotTree(root());
  EXPECT_FALSE(createFolder(at(u8"上\\下")));  // exists already: nothing changes
  EXPECT_FALSE(createFolder(""));
  EXPECT_EQ(snapshotTree(root()), before);
}

}  // namespace
