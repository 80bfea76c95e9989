#include <gtest/gtest.h>

#include <windows.h>

#include <random>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "faults/fault_support.h"
#include "services/profile_file.h"

namespace {

using enum ControlId;

constexpr DWORD kClickTimeoutMs = 60000;

// Bytes of a text in the byte orders an editor may save; UTF-16 and UTF-32 with their marks.
std::string utf16(const std::wstring& text, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const wchar_t unit : text) {
    const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
    bytes += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}
std::string utf32(const std::wstring& text, bool bigEndian) {
  std::string bytes = bigEndian ? std::string("\0\0\xFE\xFF", 4) : std::string("\xFF\xFE\0\0", 4);
  for (const wchar_t unit : text) {  // the texts here lie in the Basic Multilingual Plane
    const std::string little{static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8), '\0', '\0'};
    bytes += bigEndian ? std::string(little.rbegin(), little.rend()) : little;
  }
  return bytes;
}
std::string utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

std::string randomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> byte(0, 255);
  std::string bytes(size, '\0');
  for (char& b : bytes) b = static_cast<char>(byte(random));
  return bytes;
}

// A malformed profile file: what it is, its bytes, and what a read of the key finds in it where
// that is plain (nothing where any text will do).
struct BadFile {
  std::string what;
  std::string bytes;
  std::optional<std::string> found;  // UTF-8
};

// The same kinds of damage for either file, around `section` and `key` holding `value`.
std::vector<BadFile> badFiles(const std::string& section, const std::string& key, const std::string& value) {
  const std::wstring line = wide("[" + section + "]\r\n" + key + "=" + value + "\r\n");
  std::string tenMegabytes = "[other]\r\n";
  while (tenMegabytes.size() < 10 * 1024 * 1024) tenMegabytes += "key" + std::to_string(tenMegabytes.size()) + "=value\r\n";
  tenMegabytes += gbk("[" + section + "]\r\n" + key + "=" + value + "\r\n");
  return {
      {"random bytes", randomBytes(65536, 7), std::nullopt},
      {"10 MB with the key at the end", tenMegabytes, value},
      {"NUL bytes in the value and between lines", gbk("[" + section + "]\r\n" + key + "=") + std::string("4\0" "2\r\n\0\0\0", 8), std::nullopt},
      {"invalid GBK sequences", gbk("[" + section + "]\r\n" + key + "=") + "\x81\x7F\xFF\x80\x81\r\n\x80\xFF=\x81", std::nullopt},
      {"a lead byte as the last byte", gbk("[" + section + "]\r\n" + key + "=") + "\x81", std::nullopt},
      {"lines without =", gbk("[" + section + "]\r\n" + key + "\r\n只有一行\r\n[没有结尾"), ""},
      {"UTF-8 with its mark", "\xEF\xBB\xBF" + utf8(line), value},
      {"UTF-16 LE with its mark", utf16(line, false), value},
      {"UTF-16 LE cut after an odd byte", utf16(line, false) + "x", std::nullopt},
      {"UTF-16 BE with its mark", utf16(line, true), std::nullopt},
      {"UTF-32 LE with its mark", utf32(line, false), std::nullopt},
      {"UTF-32 BE with its mark", utf32(line, true), std::nullopt},
      {"a UTF-16 LE mark alone", "\xFF\xFE", std::nullopt},
      {"empty", "", std::nullopt},
  };
}

// The program started from a copy in "program", a save, a backup and a temporary folder beside it.
class BadInputFault : public ProgramFault {
 protected:
  void SetUp() override {
    ProgramFault::SetUp();
    settingsFile = path(wide("program\\相关文件夹位置.ini"));
    saveFolder = path(wide("存档"));
    backupFolder = path(wide("备份"));
    tempFolder = path(wide("临时"));
    // Without sub-folders: Wine's CopyFolder fails on a sub-folder present on both sides, and
    // several backups here copy into the same temporary folder.
    makeFolder(saveFolder);
    writeFileBytes(saveFolder + L"\\slot1.sav", "played");
    writeFileBytes(saveFolder + wide("\\进度.dat"), gbk("进度"));
    makeFolder(backupFolder);
    makeFolder(tempFolder);
    writeFileBytes(tempFolder + L"\\slot1.sav", "backed up");
  }

  // The program still runs and its window answers.
  void expectAlive() {
    ASSERT_TRUE(isRunning(program)) << "the program ended: it crashed";
    bool answered = true;
    textWithin(program, Label1, answered);
    ASSERT_TRUE(answered) << "the window does not answer";
  }

  std::string text(ControlId id) {
    bool answered = true;
    const std::string value = textWithin(program, id, answered);
    EXPECT_TRUE(answered) << "the window does not answer";
    return value;
  }

  // A click, its captions cleared first so that the ones it sets can be told.
  void click(ControlId button, std::initializer_list<ControlId> captions) {
    for (const ControlId caption : captions) ASSERT_TRUE(typeWithin(program, caption, L"-"));
    ASSERT_TRUE(clickWithin(program, button, kClickTimeoutMs)) << "the click did not end within a minute";
    expectAlive();
  }

  std::wstring settingsFile, saveFolder, backupFolder, tempFolder;
};

// A damaged settings file: the program starts and shows its window, a location saved into the
// file is stored and read back at the next start, and nothing else on the disk changes.
TEST_F(BadInputFault, DamagedSettingsFilesNeitherCrashNorHangAndTakeTheNextSave) {
  for (const BadFile& file : badFiles("文件夹位置", "初始存档文件夹位置", "D:\\深处")) {
    SCOPED_TRACE(file.what);
    writeFileBytes(settingsFile, file.bytes);
    const TreeSnapshot before = snapshotTree(root());
    ASSERT_NO_FATAL_FAILURE(start());
    expectAlive();
    const std::string loaded = text(Edit1);
    if (file.found) {
      EXPECT_EQ(loaded, gbk(*file.found));
    }
    text(Edit2);
    text(Edit3);

    ASSERT_TRUE(typeWithin(program, Edit1, wide("D:\\新存档")));
    click(Button4, {Button4});
    EXPECT_EQ(text(Button4), gbk("已保存"));
    killProgram(program);
    EXPECT_FALSE(exists(settingsFile + L".tmp"));
    EXPECT_EQ(treeDifference(without(snapshotTree(root()), wide("program\\相关文件夹位置.ini")),
                             without(before, wide("program\\相关文件夹位置.ini"))),
              "");

    ASSERT_NO_FATAL_FAILURE(start());
    EXPECT_EQ(text(Edit1), gbk("D:\\新存档")) << "the saved location is read back";
    killProgram(program);
  }
}

// A damaged counter file in the temporary folder: the restore goes ahead and counts on from what
// it can read, the save becomes the backup with the new count, and the reset stores 1.
TEST_F(BadInputFault, DamagedCounterFilesNeitherCrashNorHangTheRestoreOrTheReset) {
  const std::wstring counterFile = tempFolder + wide("\\计数器.ini");
  ASSERT_NO_FATAL_FAILURE(start());
  for (const BadFile& file : badFiles("节名称", "配置项名称", "41")) {
    SCOPED_TRACE(file.what);
    writeFileBytes(counterFile, file.bytes);
    ASSERT_TRUE(typeWithin(program, Edit1, saveFolder));
    ASSERT_TRUE(typeWithin(program, Edit3, tempFolder));

    click(Button1, {Label1, Label4});
    EXPECT_EQ(text(Label4), gbk("已更新"));
    const std::string count = text(Label1);
    if (file.found) {
      EXPECT_EQ(count, file.found->empty() ? "1" : "42");
    }
    EXPECT_EQ(readProfileText(gbkFromWide(counterFile), gbk("节名称"), gbk("配置项名称")), count)
        << "the count shown is the count stored";
    EXPECT_EQ(treeDifference(snapshotTree(saveFolder), snapshotTree(tempFolder)), "");
    EXPECT_EQ(entryNames(root()), (std::set<std::wstring>{L"program", wide("存档"), wide("备份"), wide("临时")}));

    click(Button2, {Label1});
    EXPECT_EQ(text(Label1), "1");
    EXPECT_EQ(readProfileText(gbkFromWide(counterFile), gbk("节名称"), gbk("配置项名称")), "1");
  }
}

// Texts no folder can have, typed into each box: every click ends, shows the failure caption of
// its action, and changes nothing but the folders the other boxes name (a backup refreshes the
// temporary folder even when its dated copy failed, and makes its dated copy even when the
// temporary folder is bad).
TEST_F(BadInputFault, UnusableFolderTextsFailEveryActionAndChangeNothingElse) {
  struct BadText {
    std::wstring text;
    bool failsUnderWine;
  };
  const BadText texts[] = {
      {std::wstring(100000, L'x'), true},
      {std::wstring(100000, wide("存")[0]), true},
      {L"   ", true},
      {L"CON", true},
      {L"NUL", true},
      {path(L"COM1"), true},
      {path(L"a<b"), true},
      {path(L"a>b"), true},
      // On Windows a colon cannot be part of a folder's name (on NTFS "a:b" names the stream b of
      // a file a); Wine takes it as part of the name and makes the folder, so only Windows shows
      // this case.
      {path(L"a:b"), false},
      {path(L"a\"b"), true},
      {path(L"a|b"), true},
      {path(L"a?b"), true},
      {path(L"a*b"), true},
      {L"\\\\korvenel-no-such-host\\share\\" + wide("存档"), true},
  };
  ASSERT_NO_FATAL_FAILURE(start());
  for (const auto& [bad, failsUnderWine] : texts) {
    SCOPED_TRACE(gbkFromWide(bad.substr(0, 60)));
    if (runsUnderWine() && !failsUnderWine) continue;
    struct Action {
      ControlId box;        // holds the bad text; the others hold the usable folders
      ControlId button;
      std::wstring mayChange;  // a folder the action may write to, relative to the root
    };
    const Action actions[] = {
        {Edit1, Button3, L""},
        {Edit1, Button1, L""},
        {Edit2, Button3, wide("临时")},
        {Edit3, Button3, wide("备份")},
        {Edit3, Button1, L""},
    };
    for (const Action& action : actions) {
      SCOPED_TRACE(static_cast<int>(action.box) * 1000 + static_cast<int>(action.button));
      ASSERT_TRUE(typeWithin(program, Edit1, action.box == Edit1 ? bad : saveFolder));
      ASSERT_TRUE(typeWithin(program, Edit2, action.box == Edit2 ? bad : backupFolder));
      ASSERT_TRUE(typeWithin(program, Edit3, action.box == Edit3 ? bad : tempFolder));
      const TreeSnapshot before = snapshotTree(root());
      if (action.button == Button3) {
        click(Button3, {Button3, Label5});
        EXPECT_EQ(text(Button3), gbk("备份失败"));
        EXPECT_EQ(text(Label5), gbk("失败"));
      } else {
        click(Button1, {Label4});
        EXPECT_EQ(text(Label4), gbk("失败"));
      }
      TreeSnapshot after = snapshotTree(root());
      TreeSnapshot expected = before;
      if (!action.mayChange.empty()) {
        after = without(after, action.mayChange);
        expected = without(expected, action.mayChange);
      }
      EXPECT_EQ(treeDifference(after, expected), "");
    }

    // The 保存 buttons store any text; 按钮5 and 按钮6 make no folder of it.
    for (const auto& [box, button] : {std::pair{Edit1, Button4}, std::pair{Edit2, Button5}, std::pair{Edit3, Button6}}) {
      SCOPED_TRACE(static_cast<int>(button));
      ASSERT_TRUE(typeWithin(program, box, bad));
      const TreeSnapshot before = snapshotTree(root());
      click(button, {button});
      EXPECT_EQ(text(button), gbk("已保存"));
      const std::wstring settingsName = wide("program\\相关文件夹位置.ini");
      EXPECT_EQ(treeDifference(without(snapshotTree(root()), settingsName), without(before, settingsName)), "");
    }
  }
  killProgram(program);
}

}  // namespace
