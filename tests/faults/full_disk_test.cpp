#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>

#include "faults/fault_support.h"
#include "services/folder_removal.h"
#include "services/scoped_win.h"

namespace {

using enum ControlId;

constexpr DWORD kClickTimeoutMs = 60000;

// A small drive of its own for the tests of a full disk: scripts/test.sh mounts a tmpfs of 2 MB
// and maps it as the drive named by KORVENEL_FULL_DRIVE (T:), with the same marker file as the
// test drive at its root. The tests work in T:\scratch\<test> only, and fill the drive there.
std::wstring fullDrive() {
  wchar_t buffer[8] = {};
  const DWORD length = GetEnvironmentVariableW(L"KORVENEL_FULL_DRIVE", buffer, 8);
  return length == 2 && buffer[1] == L':' ? std::wstring(buffer, 2) : std::wstring();
}

// The program with its save, backup and temporary folders spread over the test drive and the
// small drive, which is filled up to a few bytes before each click.
class FullDiskFault : public ProgramFault {
 protected:
  void SetUp() override {
    const std::wstring drive = fullDrive();
    if (drive.empty()) {
      GTEST_SKIP() << "no small drive: scripts/test.sh maps one as T: where it may mount a tmpfs "
                      "(mount -t tmpfs needs root); the full-disk tests are skipped";
    }
    ASSERT_TRUE(exists(drive + L"\\korvenel-test-drive")) << "the small drive has no marker file: refusing to work on it";
    ProgramFault::SetUp();
    CreateDirectoryW((drive + L"\\scratch").c_str(), nullptr);
    fullRoot = drive + L"\\scratch\\" + root().substr(root().rfind(L'\\') + 1);
    removeFullTree(fullRoot);
    ASSERT_TRUE(CreateDirectoryW(fullRoot.c_str(), nullptr));
    filler = fullRoot + L"\\filler";
  }
  void TearDown() override {
    endProgram(program);
    if (!fullRoot.empty() && !HasFailure()) removeFullTree(fullRoot);
    ProgramFault::TearDown();
  }

  // Removes a tree inside this test's folder on the small drive, and nothing else.
  void removeFullTree(const std::wstring& tree) const {
    const std::wstring guard = fullDrive() + L"\\scratch\\";
    ASSERT_TRUE(tree.size() > guard.size() && _wcsnicmp(tree.c_str(), guard.c_str(), guard.size()) == 0);
    removeTreeUtf16(tree + L'\0');
  }

  // Fills the small drive until at most `leftBytes` are free.
  void fillDrive(ULONGLONG leftBytes) const {
    const ScopedFileHandle file(
        CreateFileW(filler.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.valid());
    SetFilePointer(file.get(), 0, nullptr, FILE_END);
    const std::string chunk(4096, 'f');
    for (;;) {
      ULARGE_INTEGER free{};
      ASSERT_TRUE(GetDiskFreeSpaceExW((fullDrive() + L"\\").c_str(), &free, nullptr, nullptr));
      if (free.QuadPart <= leftBytes) break;
      DWORD written = 0;
      if (!WriteFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr) || written == 0) break;
    }
  }
  void emptyDrive() const { DeleteFileW(filler.c_str()); }

  std::string text(ControlId id) {
    bool answered = true;
    const std::string value = textWithin(program, id, answered);
    EXPECT_TRUE(answered) << "the window does not answer";
    return value;
  }
  void click(ControlId button) {
    ASSERT_TRUE(clickWithin(program, button, kClickTimeoutMs)) << "the click did not end within a minute";
    ASSERT_TRUE(isRunning(program)) << "the program ended: it crashed";
  }

  std::wstring fullRoot, filler;
};

// All on one drive that the cases share, so in one test: ctest runs tests side by side.
TEST_F(FullDiskFault, BackupRestoreAndCountFailOnAFullDiskAndLoseNothing) {
  const std::wstring saveFolder = path(wide("存档"));
  const std::wstring tempFolder = path(wide("临时"));
  writeSaveTree(saveFolder, 4, 25, 8);  // about 400 KB: more than the small drive keeps free
  const TreeSnapshot save = snapshotTree(saveFolder);
  {
    SCOPED_TRACE("a backup into a folder on the full drive");
    const std::wstring backupFolder = fullRoot + wide("\\备份");
    const std::wstring earlierName = wide("2024年5月3日14时5分9秒");
    makeFolder(backupFolder);
    writeSaveTree(backupFolder + L"\\" + earlierName, 1, 3, 9);
    const TreeSnapshot earlier = snapshotTree(backupFolder);
    fillDrive(64 * 1024);
    ASSERT_NO_FATAL_FAILURE(start({{Edit1, saveFolder}, {Edit2, backupFolder}, {Edit3, tempFolder}}));
    click(Button3);
    EXPECT_EQ(text(Button3), gbk("备份失败"));
    EXPECT_EQ(text(Label5), gbk("失败"));
    killProgram(program);
    EXPECT_EQ(treeDifference(snapshotTree(saveFolder), save), "") << "the save is untouched";
    // The dated folder of this backup holds what fitted; the earlier one is untouched.
    TreeSnapshot backups = snapshotTree(backupFolder);
    for (const std::wstring& name : entryNames(backupFolder)) {
      if (name != earlierName) backups = without(backups, name);
    }
    EXPECT_EQ(treeDifference(backups, earlier), "");
    EXPECT_LE(entryNames(backupFolder).size(), 2u);
    removeFullTree(backupFolder);
    emptyDrive();
  }
  // The backup filled the temporary folder on the test drive: the restore's source.
  ASSERT_EQ(treeDifference(snapshotTree(tempFolder), save), "");
  const std::wstring counterFile = tempFolder + wide("\\计数器.ini");
  const std::string counter = gbk("[节名称]\r\n配置项名称=7\r\n");
  writeFileBytes(counterFile, counter);
  const TreeSnapshot temp = snapshotTree(tempFolder);
  {
    SCOPED_TRACE("a restore into a save folder on the full drive");
    const std::wstring fullSave = fullRoot + wide("\\存档");
    writeSaveTree(fullSave, 1, 4, 10);
    const TreeSnapshot oldSave = snapshotTree(fullSave);
    fillDrive(64 * 1024);
    ASSERT_NO_FATAL_FAILURE(start({{Edit1, fullSave}, {Edit2, L""}, {Edit3, tempFolder}}));
    click(Button1);
    EXPECT_EQ(text(Label4), gbk("失败"));
    EXPECT_EQ(text(Label1), gbk("数字")) << "the count was taken back";
    killProgram(program);
    EXPECT_EQ(treeDifference(snapshotTree(fullSave), oldSave), "") << "the old save is back, whole";
    EXPECT_EQ(entryNames(fullRoot), (std::set<std::wstring>{wide("存档"), L"filler"})) << "nothing is left beside it";
    EXPECT_EQ(treeDifference(snapshotTree(tempFolder), temp), "") << "the count is as it was";
    removeFullTree(fullSave);
    emptyDrive();
  }
  {
    SCOPED_TRACE("a count in a temporary folder on the full drive");
    const std::wstring fullTemp = fullRoot + wide("\\临时");
    makeFolder(fullTemp);
    writeFileBytes(fullTemp + L"\\slot1.sav", "backed up");
    writeFileBytes(fullTemp + wide("\\计数器.ini"), counter);
    const TreeSnapshot before = snapshotTree(fullRoot);
    fillDrive(0);
    ASSERT_NO_FATAL_FAILURE(start({{Edit1, saveFolder}, {Edit2, L""}, {Edit3, fullTemp}}));
    click(Button1);
    EXPECT_EQ(text(Label4), gbk("失败")) << "a count that cannot be stored stops the restore";
    click(Button2);
    EXPECT_EQ(text(Label1), gbk("失败")) << "the reset cannot store the count";
    killProgram(program);
    EXPECT_EQ(treeDifference(snapshotTree(saveFolder), save), "");
    EXPECT_EQ(treeDifference(without(snapshotTree(fullRoot), L"filler"), without(before, L"filler")), "")
        << "the counter file is whole and nothing was left beside it";
  }
}

}  // namespace
