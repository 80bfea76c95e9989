#include "services/profile_file.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "support/scratch.h"

namespace {

constexpr std::size_t kReadBufferBytes = 10240;

std::string utf8(std::u8string_view text) { return std::string(reinterpret_cast<const char*>(text.data()), text.size()); }

std::string utf16LeWithBom(std::u8string_view text) {
  const std::wstring units = wide(text);
  return std::string("\xFF\xFE").append(reinterpret_cast<const char*>(units.data()), units.size() * sizeof(wchar_t));
}

// The Windows profile functions, as the program used them before it read profiles itself: with the
// leading bytes 1..32 of every text skipped, and no call when a text is empty afterwards.
std::string skipLeadingControls(const std::string& text) {
  std::size_t at = 0;
  while (at < text.size() && static_cast<unsigned char>(text[at]) >= 1 && static_cast<unsigned char>(text[at]) <= 32) ++at;
  return text.substr(at);
}

std::string systemRead(const std::string& file, const std::string& section, const std::string& key) {
  const std::string f = skipLeadingControls(file), s = skipLeadingControls(section), k = skipLeadingControls(key);
  if (f.empty() || s.empty() || k.empty()) return {};
  std::vector<char> buffer(kReadBufferBytes, '\0');
  GetPrivateProfileStringA(s.c_str(), k.c_str(), "", buffer.data(), kReadBufferBytes, f.c_str());
  return buffer.data();
}

bool systemWrite(const std::string& file, const std::string& section, const std::string& key, const std::string& value) {
  return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != FALSE;
}

// The ANSI profile functions read and write GBK only where the system's code page is 936.
bool systemUsesGbk() { return GetACP() == 936; }

class ProfileFileTest : public ScratchTest {
 protected:
  // The GBK path of a file in the test's folder.
  std::string file(std::u8string_view name) const { return gbkFromWide(path(wide(name))); }
  std::wstring widePath(std::u8string_view name) const { return path(wide(name)); }
};

struct ReadCase {
  const char* what;
  std::optional<std::string> content;  // nothing: no file
  std::string section;
  std::string key;
  std::string expected;
};

std::vector<ReadCase> readCases() {
  const std::string section = gbk(u8"文件夹位置");
  const std::string key = gbk(u8"初始存档文件夹位置");
  const std::string value = gbk(u8"D:\\游戏\\存档");
  const std::string trailBracket = gbk(u8"癩");  // GBK B0 5D: trail byte ']'
  const std::string trailBackslash = gbk(u8"淺");  // GBK 9C 5C: trail byte '\'
  return {
      {"the settings file", "[" + section + "]\r\n" + key + "=" + value + "\r\n", section, key, value},
      {"blanks and case", "  [ Sec ]  \r\n\t KEY \t=  v w  \r\n", "sEC", "key", "v w"},
      {"blank-prefixed names", "[s]\r\nk=v\r\n", " \t\x01s", "\x1F k", "v"},
      {"blank names", "[s]\r\nk=v\r\n", " ", "k", ""},
      {"double quotes", "[s]\r\nk=\" v \"\r\n", "s", "k", " v "},
      {"single quotes", "[s]\r\nk='v'\r\n", "s", "k", "v"},
      {"unmatched quotes", "[s]\r\nk=\"v'\r\n", "s", "k", "\"v'"},
      {"lone quote", "[s]\r\nk=\"\r\n", "s", "k", "\""},
      {"inner quotes", "[s]\r\nk=\"a\"b\"\r\n", "s", "k", "a\"b"},
      {"empty value", "[s]\r\nk=\r\n", "s", "k", ""},
      {"value holding '='", "[s]\r\nk==v\r\n", "s", "k", "=v"},
      {"key without '='", "[s]\r\nk\r\nk=v\r\n", "s", "k", ""},
      {"first of two keys", "[s]\r\nk=1\r\nk=2\r\n", "s", "k", "1"},
      {"first of two sections", "[s]\r\na=1\r\n[s]\r\nk=2\r\n", "s", "k", ""},
      {"';' starts a key", "[s]\r\n;k=v\r\n", "s", ";k", "v"},
      {"commented key", "[s]\r\n;k=v\r\n", "s", "k", ""},
      {"text after ']'", "[s]x\r\nk=v\r\n", "s", "k", "v"},
      {"last ']'", "[a]b]\r\nk=v\r\n", "a]b", "k", "v"},
      {"'[' without ']'", "[s]\r\n[t\r\nk=v\r\n", "s", "k", "v"},
      {"LF line ends", "[s]\nk=v\n", "s", "k", "v"},
      {"CR line ends", "[s]\rk=v\rj=w\r", "s", "j", "w"},
      {"no final line end", "[s]\r\nk=v", "s", "k", "v"},
      {"keys before any section", "k=v\r\n[s]\r\n", "s", "k", ""},
      {"missing section", "[s]\r\nk=v\r\n", "t", "k", ""},
      {"missing key", "[s]\r\nk=v\r\n", "s", "j", ""},
      {"missing file", std::nullopt, "s", "k", ""},
      {"GBK trail ']' in a section name", "[" + trailBracket + "]\r\nk=v\r\n", trailBracket, "k", "v"},
      {"GBK trail '\\' in a value", "[s]\r\nk=" + trailBackslash + "\r\n", "s", "k", trailBackslash},
      {"GBK trail letters keep their case", "[s]\r\n" + gbk(u8"丄") + "=v\r\n", "s", gbk(u8"乤"), ""},
      {"UTF-8 byte-order mark", "\xEF\xBB\xBF[s]\r\nk=v\r\n", "s", "k", "v"},
      {"UTF-16 LE", utf16LeWithBom(u8"[文件夹位置]\r\nk=存档\r\n"), section, "k", gbk(u8"存档")},
      {"value of 12,000 bytes", "[s]\r\nk=" + std::string(12000, 'a') + "\r\n", "s", "k", std::string(kMaxProfileValueBytes, 'a')},
  };
}

TEST_F(ProfileFileTest, ReadsTheStoredValue) {
  int index = 0;
  for (const ReadCase& c : readCases()) {
    const std::string name = file(u8"读取") + std::to_string(index++) + ".ini";
    if (c.content) writeFileBytes(wideFromGbk(name), *c.content);
    EXPECT_EQ(readProfileText(name, c.section, c.key), c.expected) << c.what;
  }
}

TEST_F(ProfileFileTest, ReadsWhatTheProfileFunctionsRead) {
  if (!systemUsesGbk()) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 936";
  int index = 0;
  for (const ReadCase& c : readCases()) {
    const std::string name = file(u8"读取") + std::to_string(index++) + ".ini";
    if (c.content) writeFileBytes(wideFromGbk(name), *c.content);
    EXPECT_EQ(readProfileText(name, c.section, c.key), systemRead(name, c.section, c.key)) << c.what;
  }
}

struct WriteCase {
  const char* what;
  std::optional<std::string> content;  // nothing: no file
  std::string section;
  std::string key;
  std::string value;
};

// The cases are files as the profile functions write them: Wine's functions rewrite the whole file
// in that form, where Windows changes only the value, and the two agree only on such files.
TEST_F(ProfileFileTest, WritesWhatTheProfileFunctionsWrite) {
  if (!systemUsesGbk()) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 936";
  const std::string section = gbk(u8"节名称");
  const std::string key = gbk(u8"配置项名称");
  const std::string counter = "[" + section + "]\r\n" + key + "=7\r\n";
  const std::string folders = gbk(u8"[文件夹位置]\r\n初始存档文件夹位置=D:\\存档\r\n备份文件夹位置=E:\\备份\r\n");
  const WriteCase cases[] = {
      {"new file", std::nullopt, section, key, "1"},
      {"empty file", "", section, key, "1"},
      {"count raised", counter, section, key, "8"},
      {"count with more digits", counter, section, key, "10"},
      {"value emptied", counter, section, key, ""},
      {"same value", counter, section, key, "7"},
      {"GBK value with trail bytes", folders, gbk(u8"文件夹位置"), gbk(u8"备份文件夹位置"), gbk(u8"E:\\淺\\癩")},
      {"new key at the end of the first section", folders + "[t]\r\nx=1\r\n", gbk(u8"文件夹位置"), gbk(u8"临时文件夹位置"), "F:\\tmp"},
      {"new key at the end of the last section", folders + "[t]\r\nx=1\r\n", "t", "y", "2"},
      {"new section", folders, section, key, "1"},
      {"key matched without regard to case", "[Sec]\r\nKey=1\r\n", "sec", "KEY", "2"},
      {"key without '='", "[s]\r\nk\r\nj=1\r\n", "s", "k", "v"},
      {"first of two keys", "[s]\r\nk=1\r\nk=2\r\n", "s", "k", "v"},
      {"first of two sections", "[s]\r\na=1\r\n[s]\r\nk=2\r\n", "s", "k", "v"},
      {"comment kept", "[s]\r\n;note\r\nk=1\r\n", "s", "k", "2"},
      {"quoted value replaced", "[s]\r\nk=\"1\"\r\n", "s", "k", "2"},
      {"value with trailing blanks", "[s]\r\nk=1\r\n", "s", "k", "v  "},
      {"new key after a last line without line end", "[s]\r\nk=1", "s", "j", "2"},
      {"new section after a last line without line end", "[s]\r\nk=1", "t", "j", "2"},
      {"UTF-8 byte-order mark", "\xEF\xBB\xBF[s]\r\nk=1\r\n", "s", "k", gbk(u8"存档")},
      {"UTF-16 LE", utf16LeWithBom(u8"[存档]\r\nk=1\r\n"), gbk(u8"存档"), "j", gbk(u8"备份")},
  };
  int index = 0;
  for (const WriteCase& c : cases) {
    const std::string ours = file(u8"写入") + std::to_string(index) + ".ini";
    const std::string system = file(u8"对照") + std::to_string(index) + ".ini";
    ++index;
    if (c.content) {
      writeFileBytes(wideFromGbk(ours), *c.content);
      writeFileBytes(wideFromGbk(system), *c.content);
    }
    const bool systemResult = systemWrite(system, c.section, c.key, c.value);
    EXPECT_EQ(writeProfileText(ours, c.section, c.key, c.value), systemResult) << c.what;
    EXPECT_EQ(readFileBytes(wideFromGbk(ours)), readFileBytes(wideFromGbk(system))) << c.what;
  }
}

// Wine's functions reformat every file they rewrite (blanks around '=' and blank lines dropped,
// line ends made CRLF, leading blanks of a value dropped); Windows keeps every byte but the value.
// So these are checked against the bytes expected on Windows.
TEST_F(ProfileFileTest, KeepsEveryOtherByteOfTheFile) {
  const struct {
    const char* what;
    std::string content;
    std::string section;
    std::string key;
    std::string value;
    std::string expected;
  } cases[] = {
      {"blanks around the value", "[s]\r\n  k  =  1  \r\n", "s", "k", "22", "[s]\r\n  k  =  22  \r\n"},
      {"blank lines and comments", "; top\r\n\r\n[s]\r\n; note\r\nk=1\r\n\r\n[t]\r\n", "s", "j", "2",
       "; top\r\n\r\n[s]\r\n; note\r\nk=1\r\nj=2\r\n\r\n[t]\r\n"},
      {"LF line ends", "[s]\nk=1\n[t]\n", "s", "k", "2", "[s]\nk=2\n[t]\n"},
      {"no final line end", "[s]\r\nk=1", "s", "k", "2", "[s]\r\nk=2"},
      {"value with leading blanks", "[s]\r\nk=1\r\n", "s", "k", "  v", "[s]\r\nk=  v\r\n"},
  };
  int index = 0;
  for (const auto& c : cases) {
    const std::wstring name = path(L"keep" + std::to_wstring(index++) + L".ini");
    writeFileBytes(name, c.content);
    EXPECT_TRUE(writeProfileText(gbkFromWide(name), c.section, c.key, c.value)) << c.what;
    EXPECT_EQ(readFileBytes(name), c.expected) << c.what;
  }
}

TEST_F(ProfileFileTest, ValuesWrittenAreReadBack) {
  const std::string settings = file(u8"相关文件夹位置.ini");
  const std::string section = gbk(u8"文件夹位置");
  const std::string values[] = {gbk(u8"D:\\游戏\\存档"), gbk(u8"E:\\淺"), gbk(u8"癩]"), "", "a=b"};
  for (const std::string& value : values) {
    ASSERT_TRUE(writeProfileText(settings, section, gbk(u8"备份文件夹位置"), value));
    EXPECT_EQ(readProfileText(settings, section, gbk(u8"备份文件夹位置")), value);
  }
  // An empty value keeps its key.
  EXPECT_EQ(readFileBytes(wideFromGbk(settings)), gbk(u8"[文件夹位置]\r\n备份文件夹位置=a=b\r\n"));
  ASSERT_TRUE(writeProfileText(settings, section, gbk(u8"备份文件夹位置"), ""));
  EXPECT_EQ(readFileBytes(wideFromGbk(settings)), gbk(u8"[文件夹位置]\r\n备份文件夹位置=\r\n"));
}

TEST_F(ProfileFileTest, SkipsLeadingControlBytesOfTheNamesWhenReading) {
  writeFileBytes(widePath(u8"计数器.ini"), gbk(u8"[节名称]\r\n配置项名称=5\r\n"));
  const std::string counter = file(u8"计数器.ini");
  EXPECT_EQ(readProfileText(" \t\x01" + counter, "\x1F " + gbk(u8"节名称"), "\n" + gbk(u8"配置项名称")), "5");
  // A relative name resolves against the current directory.
  EXPECT_EQ(readProfileText("  " + gbk(u8"计数器.ini"), gbk(u8"节名称"), gbk(u8"配置项名称")), "5");
  for (const std::string& blank : {std::string(), std::string(" \t\x01\x20")}) {
    EXPECT_EQ(readProfileText(blank, gbk(u8"节名称"), gbk(u8"配置项名称")), "");
    EXPECT_EQ(readProfileText(counter, blank, gbk(u8"配置项名称")), "");
    EXPECT_EQ(readProfileText(counter, gbk(u8"节名称"), blank), "");
  }
}

TEST_F(ProfileFileTest, WritesNothingForBlankNames) {
  const std::wstring name = widePath(u8"计数器.ini");
  const std::string content = "k=1\r\n[s]\r\nk=1\r\n";
  writeFileBytes(name, content);
  for (const std::string& blank : {std::string(), std::string(" \t")}) {
    EXPECT_FALSE(writeProfileText(gbkFromWide(name), blank, "k", "2"));
    EXPECT_FALSE(writeProfileText(gbkFromWide(name), "s", blank, "2"));
  }
  EXPECT_EQ(readFileBytes(name), content);
}

TEST_F(ProfileFileTest, CutsLongValuesOnACharacterBoundary) {
  const std::wstring name = widePath(u8"长.ini");
  writeFileBytes(name, "[s]\r\nk=" + std::string(12000, 'a') + "\r\n");
  EXPECT_EQ(readProfileText(gbkFromWide(name), "s", "k"), std::string(kMaxProfileValueBytes, 'a'));

  // 10,239 bytes would end inside a character. (Wine's function leaves a stray byte in that
  // place, so there is nothing to compare with.)
  std::string characters;
  for (int i = 0; i < 6000; ++i) characters += gbk(u8"第");
  writeFileBytes(name, "[s]\r\nk=" + characters + "\r\n");
  EXPECT_EQ(readProfileText(gbkFromWide(name), "s", "k"), characters.substr(0, kMaxProfileValueBytes - 1));
  writeFileBytes(name, "[s]\r\nk=a" + characters + "\r\n");
  EXPECT_EQ(readProfileText(gbkFromWide(name), "s", "k"), "a" + characters.substr(0, kMaxProfileValueBytes - 1));
}

// Files that an editor saved as UTF-8 or UTF-16 are read in their encoding and stay in it.
TEST_F(ProfileFileTest, KeepsTheEncodingOfTheFile) {
  const std::u8string text = u8"[文件夹位置]\r\n初始存档文件夹位置 = D:\\游戏\\存档\r\n";
  const std::u8string expected = text + u8"备份文件夹位置=E:\\淺\r\n";
  const struct {
    const char* what;
    std::string before;
    std::string after;
  } cases[] = {
      {"UTF-8", utf8(text), utf8(expected)},
      {"UTF-8 with byte-order mark", "\xEF\xBB\xBF" + utf8(text), "\xEF\xBB\xBF" + utf8(expected)},
      {"UTF-16 LE", utf16LeWithBom(text), utf16LeWithBom(expected)},
  };
  int index = 0;
  for (const auto& c : cases) {
    const std::wstring name = path(L"encoding" + std::to_wstring(index++) + L".ini");
    writeFileBytes(name, c.before);
    EXPECT_EQ(readProfileText(gbkFromWide(name), gbk(u8"文件夹位置"), gbk(u8"初始存档文件夹位置")), gbk(u8"D:\\游戏\\存档"))
        << c.what;
    EXPECT_TRUE(writeProfileText(gbkFromWide(name), gbk(u8"文件夹位置"), gbk(u8"备份文件夹位置"), gbk(u8"E:\\淺"))) << c.what;
    EXPECT_EQ(readFileBytes(name), c.after) << c.what;
    EXPECT_EQ(readProfileText(gbkFromWide(name), gbk(u8"文件夹位置"), gbk(u8"备份文件夹位置")), gbk(u8"E:\\淺")) << c.what;
  }
}

TEST_F(ProfileFileTest, WritesNewAndAsciiFilesInGbk) {
  const std::wstring created = widePath(u8"新.ini");
  EXPECT_TRUE(writeProfileText(gbkFromWide(created), gbk(u8"节名称"), gbk(u8"配置项名称"), gbk(u8"存档")));
  EXPECT_EQ(readFileBytes(created), gbk(u8"[节名称]\r\n配置项名称=存档\r\n"));

  const std::wstring ascii = widePath(u8"ascii.ini");
  writeFileBytes(ascii, "[s]\r\nk=1\r\n");
  EXPECT_TRUE(writeProfileText(gbkFromWide(ascii), "s", "k", gbk(u8"存档")));
  EXPECT_EQ(readFileBytes(ascii), gbk(u8"[s]\r\nk=存档\r\n"));
}

TEST_F(ProfileFileTest, AFailedWriteLeavesTheOldFileAndNoTemporaryFile) {
  const std::wstring name = widePath(u8"计数器.ini");
  const std::string content = gbk(u8"[节名称]\r\n配置项名称=7\r\n");
  writeFileBytes(name, content);

  // A folder stands where the new content would be written first.
  makeFolder(name + L".tmp");
  TreeSnapshot before = snapshotTree(root());
  EXPECT_FALSE(writeProfileText(gbkFromWide(name), gbk(u8"节名称"), gbk(u8"配置项名称"), "8"));
  EXPECT_EQ(snapshotTree(root()), before);
  RemoveDirectoryW((name + L".tmp").c_str());

  // The file is open elsewhere without sharing deletion, so it cannot be replaced. (A read-only
  // file cannot be replaced on Windows either, but under Wine the tests run as root, which may.)
  before = snapshotTree(root());
  {
    HANDLE held = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(writeProfileText(gbkFromWide(name), gbk(u8"节名称"), gbk(u8"配置项名称"), "8"));
    CloseHandle(held);
  }
  EXPECT_EQ(snapshotTree(root()), before);
  EXPECT_EQ(readFileBytes(name), content);
}

TEST_F(ProfileFileTest, FailsWithoutTraceWhereNoFileCanBe) {
  makeFolder(widePath(u8"文件夹"));
  const TreeSnapshot before = snapshotTree(root());
  EXPECT_FALSE(writeProfileText(file(u8"缺少\\计数器.ini"), "s", "k", "1"));  // missing folder
  EXPECT_FALSE(writeProfileText(file(u8"文件夹"), "s", "k", "1"));  // a folder
  EXPECT_FALSE(writeProfileText("", "s", "k", "1"));
  EXPECT_EQ(snapshotTree(root()), before);
  EXPECT_EQ(readProfileText(file(u8"文件夹"), "s", "k"), "");
}

TEST_F(ProfileFileTest, ReplacesALeftoverTemporaryFileAndKeepsTheFileHidden) {
  const std::wstring name = widePath(u8"相关文件夹位置.ini");
  writeFileBytes(name, "[s]\r\nk=1\r\n");
  ASSERT_TRUE(SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_HIDDEN));
  writeFileBytes(name + L".tmp", "left by a crash");

  EXPECT_TRUE(writeProfileText(gbkFromWide(name), "s", "k", "2"));
  EXPECT_EQ(readFileBytes(name), "[s]\r\nk=2\r\n");
  EXPECT_NE(GetFileAttributesW(name.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_FALSE(exists(name + L".tmp"));
}

}  // namespace
