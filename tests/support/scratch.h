#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>

// Every test that touches the disk works in a fresh folder on the dedicated test drive (named by
// KORVENEL_TEST_DRIVE, e.g. "S:", and holding the marker file "korvenel-test-drive" at its root),
// with the current directory set there. The drive maps to a scratch folder of the build, so a
// removal gone wrong cannot reach anything else.
class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The test's own folder, e.g. S:\scratch\Suite.Name, without a trailing backslash.
  const std::wstring& root() const { return root_; }
  // root() + "\" + relative.
  std::wstring path(std::wstring_view relative) const;

 private:
  std::wstring root_;
  std::wstring previousDirectory_;
};

// The test drive's root, e.g. "S:" (no backslash). Fails the test when it is not set up.
std::wstring testDrive();

// UTF-8 source text to the program's GBK bytes, so tests can spell Chinese texts readably. Plain
// literals are UTF-8 with both compilers (MSVC builds with /utf-8); u8 literals work as well.
std::string gbk(std::string_view utf8);
std::wstring wide(std::string_view utf8);
inline std::string gbk(std::u8string_view utf8) {
  return gbk(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}
inline std::wstring wide(std::u8string_view utf8) {
  return wide(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}
std::string gbkFromWide(std::wstring_view text);
std::wstring wideFromGbk(std::string_view gbkText);

void writeFileBytes(const std::wstring& path, std::string_view bytes);
std::string readFileBytes(const std::wstring& path);
void makeFolder(const std::wstring& path);
bool exists(const std::wstring& path);
bool isFolder(const std::wstring& path);

// A snapshot of a tree: relative path -> contents ("<dir>" for folders, plus attributes), for
// before/after comparisons.
using TreeSnapshot = std::map<std::wstring, std::string>;
TreeSnapshot snapshotTree(const std::wstring& folder);

// Removes a tree below the test drive's scratch folder; refuses anything else.
void removeScratchTree(const std::wstring& path);
