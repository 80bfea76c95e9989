#include "services/folder_copy.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "services/encoding.h"
#include "services/scoped_win.h"
#include "support/scratch.h"

namespace {

// Files (path below the folder, UTF-8 here, and content) with the folders they need; a path ending
// in "\" is a folder of its own.
using FileList = std::vector<std::pair<std::string, std::string>>;

void writeTree(const std::wstring& folder, const FileList& files) {
  makeFolder(folder);
  for (const auto& [relative, content] : files) {
    const std::wstring where = folder + L"\\" + wide(relative);
    for (size_t slash = where.find(L'\\', folder.size() + 1); slash != std::wstring::npos;
         slash = where.find(L'\\', slash + 1)) {
      makeFolder(where.substr(0, slash));
    }
    if (!relative.empty() && relative.back() != '\\') writeFileBytes(where, content);
  }
}

Text gbkPath(const std::wstring& path) { return wideToGbk(path); }

// CoInitialize on this thread: S_OK when the thread had no COM, S_FALSE when it had (balanced here).
HRESULT comProbe() {
  const HRESULT result = CoInitialize(nullptr);
  if (SUCCEEDED(result)) CoUninitialize();
  return result;
}

// Start-up initialises OLE for the window thread, and copyFolder nests inside that.
class FolderCopy : public ScratchTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ole_.succeeded());
    ScratchTest::SetUp();
  }

  // Copies a tree into an existing one: afterwards the destination holds what it held, with the
  // source's files laid over it.
  void expectCopiedOver(const FileList& sourceFiles, const FileList& destinationFiles) {
    writeTree(path(L"source"), sourceFiles);
    writeTree(path(L"temp"), destinationFiles);
    TreeSnapshot expected = snapshotTree(path(L"temp"));
    for (const auto& [relative, content] : snapshotTree(path(L"source"))) expected[relative] = content;

    EXPECT_TRUE(copyFolder(gbkPath(path(L"source")), gbkPath(path(L"temp"))));
    EXPECT_EQ(snapshotTree(path(L"temp")), expected);
  }

 private:
  ScopedOleInit ole_;
};

// Names in GBK (the dated folder of a backup among them) and names outside it, at every depth.
const FileList kSaveFiles{
    {"存档1.sav", "slot one"},
    {"세이브.dat", "korean"},
    {"\xF0\x9F\x98\x80.txt", "emoji"},  // grinning face
    {".hidden-config", "dots"},
    {"一级\\角色.sav", "level one"},
    {"一级\\空\\", ""},
    {"一级\\二级\\三级\\深.sav", std::string(100000, 'x')},
};

TEST_F(FolderCopy, CopiesEveryFileAndFolderAtEveryDepth) {
  writeTree(path(wide("存档")), kSaveFiles);
  makeFolder(path(wide("备份")));
  const TreeSnapshot source = snapshotTree(path(wide("存档")));

  EXPECT_TRUE(copyFolder(gbkPath(path(wide("存档"))), gbkPath(path(wide("备份\\2024年5月3日14时5分9秒")))));
  EXPECT_EQ(snapshotTree(path(wide("备份\\2024年5月3日14时5分9秒"))), source);
  EXPECT_EQ(snapshotTree(path(wide("存档"))), source);
}

TEST_F(FolderCopy, IntoAnExistingFolderReplacesSameNamedFilesAndKeepsTheOthers) {
  expectCopiedOver({{"same.sav", "new"}, {"added.sav", "added"}, {"新\\deep.sav", "deep"}},
                   {{"same.sav", "old and longer"}, {"extra.sav", "extra"}, {"extra\\x.sav", "x"}});
}

bool runsUnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// Windows merges a sub-folder that both sides hold. Wine 8's file-system object stops with an error
// at the first such sub-folder (after the files of the top level), so only Windows can show this.
TEST_F(FolderCopy, IntoAnExistingFolderMergesSubFoldersThatBothSidesHold) {
  if (runsUnderWine()) GTEST_SKIP() << "Wine's CopyFolder fails on a sub-folder that exists on both sides";
  expectCopiedOver({{"一级\\same.sav", "new"}, {"一级\\二级\\added.sav", "added"}},
                   {{"一级\\same.sav", "old and longer"}, {"一级\\二级\\extra.sav", "extra"}});
}

TEST_F(FolderCopy, AFailedCopyGivesFalseAndCreatesNothing) {
  writeTree(path(L"source"), {{"a.sav", "a"}});
  const Text source = gbkPath(path(L"source"));
  const struct {
    Text source;
    Text destination;
  } cases[] = {
      {gbkPath(path(L"missing")), gbkPath(path(L"copy"))},  // no source folder
      {source, gbkPath(path(L"missing\\copy"))},            // no parent for the destination
      {"", gbkPath(path(L"copy"))},                         // empty texts, null strings to the object
      {source, ""},
      {"", ""},
  };
  const TreeSnapshot before = snapshotTree(root());
  for (const auto& c : cases) {
    SCOPED_TRACE("[" + c.source + "] to [" + c.destination + "]");
    EXPECT_FALSE(copyFolder(c.source, c.destination));
    EXPECT_EQ(snapshotTree(root()), before);
  }
}

// An object whose ProgID does not resolve, and one that exists but has no CopyFolder method: the
// copy is not made, and COM is left as it was.
TEST_F(FolderCopy, AnObjectThatCannotCopyGivesFalse) {
  writeTree(path(L"source"), {{"a.sav", "a"}});
  for (const wchar_t* progId : {L"Korvenel.NoSuchObject", L"Scripting.Dictionary"}) {
    SCOPED_TRACE(wideToUtf8(progId));
    EXPECT_FALSE(copyFolderUsing(progId, gbkPath(path(L"source")), gbkPath(path(L"copy"))));
    EXPECT_FALSE(exists(path(L"copy")));
    EXPECT_EQ(comProbe(), S_FALSE);
  }
}

// Each call initialises COM and uninitialises it again, whatever the outcome: inside the thread's
// OLE initialisation that stays in place, and on a thread without COM none is left behind.
TEST_F(FolderCopy, LeavesTheThreadsComAsItFoundIt) {
  writeTree(path(L"source"), {{"a.sav", "a"}});
  // Two copies that succeed and two that fail, each with an object of its own.
  const auto copyInARow = [this](const wchar_t* destinations) {
    const std::wstring base = path(destinations);
    CreateDirectoryW(base.c_str(), nullptr);
    return std::vector<bool>{
        copyFolder(gbkPath(path(L"source")), gbkPath(base + L"\\first")),
        copyFolder(gbkPath(path(L"source")), gbkPath(base + L"\\second")),
        copyFolder(gbkPath(path(L"missing")), gbkPath(base + L"\\third")),
        copyFolderUsing(L"Korvenel.NoSuchObject", gbkPath(path(L"source")), gbkPath(base + L"\\fourth")),
    };
  };
  const std::vector<bool> expected{true, true, false, false};

  EXPECT_EQ(comProbe(), S_FALSE);
  EXPECT_EQ(copyInARow(L"window-thread"), expected);
  EXPECT_EQ(comProbe(), S_FALSE);

  // Results are checked here: the assertions of this GoogleTest build are for one thread only.
  std::vector<bool> oleResults;
  HRESULT insideOle = E_FAIL;
  HRESULT afterOle = E_FAIL;
  std::thread([&] {
    OleInitialize(nullptr);
    oleResults = copyInARow(L"ole-thread");
    insideOle = comProbe();
    OleUninitialize();
    afterOle = comProbe();
  }).join();
  EXPECT_EQ(oleResults, expected);
  EXPECT_EQ(insideOle, S_FALSE);
  EXPECT_EQ(afterOle, S_OK);

  std::vector<bool> bareResults;
  HRESULT before = E_FAIL;
  HRESULT after = E_FAIL;
  std::thread([&] {
    before = comProbe();
    bareResults = copyInARow(L"bare-thread");
    after = comProbe();
  }).join();
  EXPECT_EQ(before, S_OK);
  EXPECT_EQ(bareResults, expected);
  EXPECT_EQ(after, S_OK);
}

}  // namespace
