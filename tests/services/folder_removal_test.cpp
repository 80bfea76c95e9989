#include "services/folder_removal.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <iterator>
#include <string>
#include <vector>

#include "services/encoding.h"
#include "services/scoped_win.h"
#include "support/scratch.h"

namespace {

// One entry of a test tree: a path below the tree (UTF-8 here), a folder or a file (whose content is
// its own path), and the marks it gets once everything is in place.
struct TreeEntry {
  std::string path;
  bool folder;
  DWORD attributes = 0;
};

void buildTree(const std::wstring& tree, const std::vector<TreeEntry>& entries) {
  makeFolder(tree);
  for (const TreeEntry& entry : entries) {
    const std::wstring where = tree + L"\\" + wide(entry.path);
    if (entry.folder) {
      makeFolder(where);
    } else {
      writeFileBytes(where, entry.path);
    }
  }
  // Marks last: a folder's read-only mark must not get in the way of filling it.
  for (const TreeEntry& entry : entries) {
    if (entry.attributes) {
      ASSERT_TRUE(SetFileAttributesW((tree + L"\\" + wide(entry.path)).c_str(), entry.attributes));
    }
  }
}

// Plain, hidden, read-only and hidden read-only files at each of three levels, names that only begin
// with dots, names in GBK and names outside it (Korean, an emoji), and empty and hidden folders.
std::vector<TreeEntry> mixedTree() {
  std::vector<TreeEntry> entries;
  std::string level;
  for (const char* folder : {"", "一级", "二级", "三级"}) {
    if (*folder) {
      level += std::string(folder) + "\\";
      entries.push_back({level, true});
    }
    entries.push_back({level + "plain.sav", false});
    entries.push_back({level + "hidden.sav", false, FILE_ATTRIBUTE_HIDDEN});
    entries.push_back({level + "readonly.sav", false, FILE_ATTRIBUTE_READONLY});
    entries.push_back({level + "hidden-readonly.sav", false, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY});
  }
  for (const std::string& deepest : {std::string(), level}) {
    for (const char* name : {".sav", "..x", "存档1.sav", "세이브.dat", "\xF0\x9F\x98\x80.txt" /* grinning face */}) {
      entries.push_back({deepest + name, false});
    }
  }
  entries.push_back({"空", true});
  entries.push_back({"隐藏", true, FILE_ATTRIBUTE_HIDDEN});
  entries.push_back({"隐藏\\inside.sav", false});
  return entries;
}

// Opens a file the way a running game might: reading shared, deleting not.
ScopedFileHandle holdOpen(const std::wstring& file) {
  return ScopedFileHandle(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
}

Text gbkPath(const std::wstring& path) { return wideToGbk(path); }

Text upperCase(Text ascii) {
  for (char& c : ascii) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return ascii;
}

using FolderRemoval = ScratchTest;

TEST_F(FolderRemoval, RemovesEveryKindOfEntryAtEveryDepthHoweverThePathIsWritten) {
  // Beside the tree: a folder whose name begins like the tree's, and a file; both must stay.
  buildTree(path(wide("存档2")), {{"keep.sav", false}});
  writeFileBytes(path(L"outside.sav"), "outside");
  const TreeSnapshot around = snapshotTree(root());

  const Text absolute = gbkPath(path(wide("存档")));
  const Text onTheDrive = gbkPath(testDrive()) + gbk("存档");  // relative to the drive's current directory
  for (const Text& given :
       {absolute, absolute + "\\", "\\\\?\\" + absolute, gbk("存档"), gbk("存档\\"), gbk(".\\存档"), onTheDrive}) {
    SCOPED_TRACE(wideToUtf8(gbkToWide(given)));
    buildTree(path(wide("存档")), mixedTree());
    EXPECT_NE(removeFolderTree(given), 0);
    EXPECT_FALSE(exists(path(wide("存档"))));
    EXPECT_EQ(snapshotTree(root()), around);
  }
}

TEST_F(FolderRemoval, RemovesAnEmptyFolder) {
  makeFolder(path(L"empty"));
  EXPECT_NE(removeFolderTree(gbkPath(path(L"empty"))), 0);
  EXPECT_FALSE(exists(path(L"empty")));
}

TEST_F(FolderRemoval, AMissingFolderOrAFileChangesNothing) {
  buildTree(path(L"tree"), {{"file.sav", false}, {"readonly.sav", false, FILE_ATTRIBUTE_READONLY}});
  const TreeSnapshot before = snapshotTree(root());
  for (const char* given :
       {"missing", "missing\\", "tree\\missing", "tree\\file.sav", "tree\\file.sav\\", "tree\\readonly.sav"}) {
    SCOPED_TRACE(given);
    EXPECT_EQ(removeFolderTree(given), 0);
    EXPECT_EQ(snapshotTree(root()), before);
  }
}

// The folder's last character, 淺, ends with the byte 0x5C, the byte of "\": only the last UTF-16
// unit tells whether the path already ends with a backslash.
TEST_F(FolderRemoval, AFolderWhoseLastGbkByteIsABackslashGetsItsOwnSearch) {
  ASSERT_EQ(gbk("淺").back(), '\\');
  buildTree(path(wide("存档")), {{"淺.sav", false}, {"淺淺", true}, {"淺淺\\keep.sav", false}});
  const TreeSnapshot neighbours = snapshotTree(path(wide("存档")));
  buildTree(path(wide("存档\\淺")), {{"a.sav", false}, {"深", true}, {"深\\b.sav", false}});

  EXPECT_NE(removeFolderTree(gbkPath(path(wide("存档\\淺")))), 0);
  EXPECT_FALSE(exists(path(wide("存档\\淺"))));
  EXPECT_EQ(snapshotTree(path(wide("存档"))), neighbours);
}

// A file held open without delete sharing stays, and so do the folders that hold it up to the
// top; everything else goes. Wine honours the sharing mode as Windows does. The held file, hidden
// and read-only, shows that only its read-only mark was cleared.
TEST_F(FolderRemoval, AFileHeldOpenStaysWithEveryFolderAboveIt) {
  buildTree(path(L"tree"), {{"a", true},
                            {"a\\b", true},
                            {"a\\b\\held.sav", false, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY},
                            {"a\\b\\other.sav", false},
                            {"a\\b\\sub", true},
                            {"a\\b\\sub\\deep.sav", false},
                            {"a\\other.sav", false},
                            {"c", true},
                            {"c\\other.sav", false},
                            {"other.sav", false, FILE_ATTRIBUTE_READONLY}});
  const ScopedFileHandle held = holdOpen(path(L"tree\\a\\b\\held.sav"));
  ASSERT_TRUE(held.valid());

  EXPECT_EQ(removeFolderTree(gbkPath(path(L"tree"))), 0);
  const TreeSnapshot expected{
      {L"a", "<dir> attr=16"}, {L"a\\b", "<dir> attr=16"}, {L"a\\b\\held.sav", "a\\b\\held.sav attr=2"}};
  EXPECT_EQ(snapshotTree(path(L"tree")), expected);
}

// A folder's marks are never changed, its read-only mark included; what it holds goes all the same.
// A held file keeps the folder in place so that its marks can be read afterwards. Wine keeps no
// read-only mark on folders (it reports them without it), so there only the hidden mark shows.
TEST_F(FolderRemoval, AReadOnlySubFolderKeepsItsMarksAndLosesItsContents) {
  const DWORD marks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
  buildTree(path(L"tree"), {{"locked", true},
                            {"locked\\held.sav", false},
                            {"locked\\other.sav", false, FILE_ATTRIBUTE_READONLY},
                            {"locked\\sub", true},
                            {"locked\\sub\\deep.sav", false}});
  ASSERT_TRUE(SetFileAttributesW(path(L"tree\\locked").c_str(), marks));
  const DWORD before = GetFileAttributesW(path(L"tree\\locked").c_str());
  const ScopedFileHandle held = holdOpen(path(L"tree\\locked\\held.sav"));
  ASSERT_TRUE(held.valid());

  EXPECT_EQ(removeFolderTree(gbkPath(path(L"tree"))), 0);
  EXPECT_EQ(GetFileAttributesW(path(L"tree\\locked").c_str()), before);
  EXPECT_TRUE(exists(path(L"tree\\locked\\held.sav")));
  EXPECT_FALSE(exists(path(L"tree\\locked\\other.sav")));
  EXPECT_FALSE(exists(path(L"tree\\locked\\sub")));
}

// A name with trailing dots or blanks, such as ".. ", which only a "\\?\" path can make, is not the
// name that the ordinary path functions read: they take "tree\.. " for the folder above the tree or
// (Wine) for the tree itself, while a search below it may find the real entry. Such an entry is
// passed over with all it holds, like an entry that cannot be deleted, and nothing beside the tree
// is reached through it.
TEST_F(FolderRemoval, PassesOverANameThePlatformWouldReadAsAnotherPath) {
  const std::wstring odd = L"\\\\?\\" + path(L"tree\\.. ");
  makeFolder(path(L"tree"));
  ASSERT_TRUE(CreateDirectoryW(odd.c_str(), nullptr));
  writeFileBytes(odd + L"\\same.sav", "inside");
  writeFileBytes(path(L"tree\\plain.sav"), "inside");
  writeFileBytes(path(L"same.sav"), "outside");

  EXPECT_EQ(removeFolderTree(gbkPath(path(L"tree"))), 0);
  EXPECT_EQ(readFileBytes(path(L"same.sav")), "outside");
  EXPECT_EQ(readFileBytes(odd + L"\\same.sav"), "inside");
  EXPECT_FALSE(exists(path(L"tree\\plain.sav")));

  // The scratch clean-up cannot reach these names either.
  EXPECT_TRUE(DeleteFileW((odd + L"\\same.sav").c_str()));
  EXPECT_TRUE(RemoveDirectoryW(odd.c_str()));
}

TEST_F(FolderRemoval, ConvertsThroughCodePage936AndWorksUpToTheFirstNul) {
  // Whatever the system's code page (the tests run under 936 and 1252).
  EXPECT_EQ(textToUtf16(gbk("存档\\淺")), wide("存档\\淺") + L'\0');
  EXPECT_EQ(textToUtf16(""), std::wstring(1, L'\0'));

  buildTree(path(L"tree"), {{"a.sav", false}});
  EXPECT_NE(removeTreeUtf16(path(L"tree") + L'\0' + L"\\ignored"), 0);
  EXPECT_FALSE(exists(path(L"tree")));
}

// Paths that name a root, the current directory or a folder above it are refused in every spelling
// the platform accepts. The current directory is a sub-folder of the test's folder, so ".." is the
// test's folder; nothing anywhere may change.
TEST_F(FolderRemoval, RefusesRootsAndTheCurrentDirectoryAndTheFoldersAboveIt) {
  buildTree(path(L"work"), {{"a.sav", false}, {"sub", true}, {"sub\\b.sav", false}});
  writeFileBytes(path(L"c.sav"), "c");
  ASSERT_TRUE(SetCurrentDirectoryW(path(L"work").c_str()));
  const TreeSnapshot before = snapshotTree(root());
  const std::wstring marker = testDrive() + L"\\korvenel-test-drive";

  const Text drive = gbkPath(testDrive());  // e.g. "S:"
  const Text own = gbkPath(root());         // the test's folder, above the current directory
  wchar_t shortName[MAX_PATH] = {};
  ASSERT_NE(GetShortPathNameW(root().c_str(), shortName, MAX_PATH), 0u);
  const std::vector<Text> refused{
      "",
      drive + "\\",
      drive,
      drive + "/",
      drive + "\\.",
      drive + "\\..",
      drive + "\\ ",
      drive + ".",
      drive + "..",
      "\\",
      "/",
      "\\.",
      ".",
      "..",
      ".\\",
      "..\\",
      "./",
      "...",
      ". ",
      ".. ",
      "sub\\..",
      "sub\\..\\..",
      "..\\work",
      "..\\..\\..",
      "\\\\?\\" + drive + "\\",
      "\\\\?\\" + drive,
      "\\\\.\\" + drive + "\\",
      "\\??\\" + drive + "\\",
      "//?/" + drive + "/",
      own,
      own + "\\",
      own + "\\work",
      upperCase(own),
      gbkPath(shortName),
      gbkPath(shortName) + "\\work",
      "\\scratch",
  };
  for (const Text& given : refused) {
    SCOPED_TRACE("path: [" + given + "]");
    EXPECT_EQ(removeFolderTree(given), 0);
    EXPECT_EQ(snapshotTree(root()), before);
    EXPECT_TRUE(exists(marker));
  }
}

// The spellings of roots that no test can make here (shares, other drives, device paths), read
// without touching the disk; the test drive's own root in its spellings is refused on the disk above.
TEST(FolderRemovalSpelling, TellsEverySpellingOfARootFromTheFoldersBelowIt) {
  const wchar_t* const roots[] = {
      L"",
      L"C:\\",
      L"c:/",
      L"C:\\\\",
      L"C:\\.",
      L"C:\\x\\..",
      L"C:\\x\\..\\..",
      L"\\",
      L"/",
      L"\\\\server\\share",
      L"\\\\server\\share\\",
      L"//server/share/",
      L"\\\\server\\share\\x\\..",
      L"\\\\server",
      L"\\\\?\\C:\\",
      L"\\\\?\\c:",
      L"\\\\.\\C:\\",
      L"\\??\\C:\\",
      L"//?/C:/",
      L"\\\\?\\UNC\\server\\share",
      L"\\\\?\\UNC\\server\\share\\",
      // Device paths that are neither a drive's nor a share's cannot be read, so they count as roots.
      L"\\\\?\\Volume{01234567-89ab-cdef-0123-456789abcdef}\\folder",
      L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\folder",
      L"\\\\.\\PhysicalDrive0",
  };
  for (const wchar_t* path : roots) EXPECT_TRUE(namesRootFolder(path)) << wideToUtf8(path);

  const wchar_t* const belowRoots[] = {
      L"C:\\x",
      L"C:\\x\\",
      L"c:/x",
      L"C:\\x\\y\\..",
      L"C:x",
      L"\\x",
      L"x",
      L"..x",
      L"\\\\server\\share\\x",
      L"//server/share/x",
      L"\\\\?\\C:\\x",
      L"\\\\?\\UNC\\server\\share\\x",
  };
  for (const wchar_t* path : belowRoots) EXPECT_FALSE(namesRootFolder(path)) << wideToUtf8(path);
}

// A path such as "D:" or "D:x" is read against D:'s own current directory, which a process inherits
// from its starter in the variable "=D:". Here a drive letter without a drive gets one in the
// test's folder: "D:x" removes the folder it names there, and "D:" itself is refused. What that
// refusal prevents shows only on Windows: the search of "D:" is "D:\*.*", which lists the drive's
// root folder. Wine cannot lend the letter a drive (DefineDosDeviceW reports success and maps
// nothing), so here that search finds nothing either way.
TEST_F(FolderRemoval, RefusesTheOwnCurrentDirectoryOfAnotherDrive) {
  const DWORD drives = GetLogicalDrives();
  wchar_t letter = L'Z';
  while (letter > L'D' && (drives & (1u << (letter - L'A')))) --letter;
  ASSERT_FALSE(drives & (1u << (letter - L'A'))) << "no free drive letter";
  const std::wstring variable = std::wstring(L"=") + letter + L":";
  buildTree(path(L"work"), {{"a.sav", false}, {"sub", true}, {"sub\\b.sav", false}});
  ASSERT_TRUE(SetEnvironmentVariableW(variable.c_str(), path(L"work").c_str()));
  const TreeSnapshot before = snapshotTree(root());
  const Text drive = gbkPath(std::wstring(1, letter) + L":");

  EXPECT_EQ(removeFolderTree(drive), 0);
  EXPECT_EQ(snapshotTree(root()), before);
  EXPECT_NE(removeFolderTree(drive + "sub"), 0);
  EXPECT_FALSE(exists(path(L"work\\sub")));
  EXPECT_TRUE(exists(path(L"work\\a.sav")));
  SetEnvironmentVariableW(variable.c_str(), nullptr);
}

// Links go as themselves and their targets are never entered. Wine cannot make links, so
// scripts/test.sh makes Unix symbolic links on the test drive (under S:\scratch\fixtures) before
// the tests run; without them these tests are skipped. Wine shows such a link as a folder with the
// reparse-point mark, but its remove and delete calls act on the link's target or fail there: the
// link itself stays (Windows removes it), so here only the target's survival can be shown.
class FolderRemovalLinks : public ScratchTest {
 protected:
  // The fixture's folder, or empty when it is missing or already used.
  std::wstring fixture(const wchar_t* name) {
    const std::wstring folder = testDrive() + L"\\scratch\\fixtures\\" + name;
    const DWORD link = GetFileAttributesW((folder + L"\\tree\\link").c_str());
    const bool complete = link != INVALID_FILE_ATTRIBUTES && (link & FILE_ATTRIBUTE_REPARSE_POINT) &&
                          exists(folder + L"\\tree\\sub\\gone.sav") && exists(folder + L"\\target\\deeper\\kept.sav");
    return complete ? folder : std::wstring();
  }
};

TEST_F(FolderRemovalLinks, ALinkInsideTheTreeLeavesItsTarget) {
  const std::wstring folder = fixture(L"link-inside");
  if (folder.empty()) GTEST_SKIP() << "no link fixture S:\\scratch\\fixtures\\link-inside (scripts/test.sh makes it)";
  const TreeSnapshot target = snapshotTree(folder + L"\\target");
  ASSERT_FALSE(target.empty());

  const int result = removeFolderTree(gbkPath(folder + L"\\tree"));
  EXPECT_EQ(snapshotTree(folder + L"\\target"), target);
  EXPECT_FALSE(exists(folder + L"\\tree\\sub"));
  EXPECT_FALSE(exists(folder + L"\\tree\\plain.sav"));
  // Windows: the link goes, then the tree. Wine: the link stays, and so does the tree.
  EXPECT_EQ(result != 0, !exists(folder + L"\\tree"));
}

TEST_F(FolderRemovalLinks, ALinkGivenAsThePathGoesAsItself) {
  const std::wstring folder = fixture(L"link-given");
  if (folder.empty()) GTEST_SKIP() << "no link fixture S:\\scratch\\fixtures\\link-given (scripts/test.sh makes it)";
  const TreeSnapshot around = snapshotTree(folder);

  const int result = removeFolderTree(gbkPath(folder + L"\\tree\\link"));
  // Windows: only the link goes. Wine: nothing goes.
  TreeSnapshot expected = around;
  if (result != 0) {
    for (auto entry = expected.begin(); entry != expected.end();) {
      entry = entry->first.rfind(L"tree\\link", 0) == 0 ? expected.erase(entry) : std::next(entry);
    }
  }
  EXPECT_EQ(snapshotTree(folder), expected);
  EXPECT_EQ(result != 0, !exists(folder + L"\\tree\\link"));
}

}  // namespace
