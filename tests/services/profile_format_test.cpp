#include "services/profile_format.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using Charset = ProfileCharset;

// GBK characters whose trail byte is ASCII syntax or a letter.
constexpr char kGbkTrailBracket[] = "\x81\x5D";  // trail byte ']'
constexpr char kGbkTrailA[] = "\x81\x41";  // trail byte 'A'
constexpr char kGbkTrailLowerA[] = "\x81\x61";  // trail byte 'a': another character
constexpr char kGbkDi[] = "\xB5\xDA";  // "第"

struct LookupCase {
  const char* what;
  std::string content;
  Charset charset;
  std::string section;
  std::string key;
  std::optional<std::string> expected;
};

TEST(ProfileFormatTest, FindsValuesAsTheProfileFunctionsDo) {
  const LookupCase cases[] = {
      {"plain", "[s]\r\nk=v\r\n", Charset::Gbk, "s", "k", "v"},
      {"ASCII case ignored", "[Sec]\r\nKey=v\r\n", Charset::Gbk, "sEC", "kEY", "v"},
      {"blanks around everything", "  [ s ]  \r\n \t k \t = \t v \x0B\x1A \r\n", Charset::Gbk, " s ", " k ", "v"},
      {"blanks inside kept", "[a b]\r\nk 1=x  y\r\n", Charset::Gbk, "a b", "k 1", "x  y"},
      {"control byte is not a blank", "[s]\r\n\x01k=v\r\n", Charset::Gbk, "s", "k", std::nullopt},
      {"full-width space is not a blank", "[s]\r\n\xA1\xA1k=v\r\n", Charset::Gbk, "s", "k", std::nullopt},
      {"double quotes dropped", "[s]\r\nk=\" v \"\r\n", Charset::Gbk, "s", "k", " v "},
      {"single quotes dropped", "[s]\r\nk='v'\r\n", Charset::Gbk, "s", "k", "v"},
      {"empty quotes", "[s]\r\nk=\"\"\r\n", Charset::Gbk, "s", "k", ""},
      {"lone quote kept", "[s]\r\nk=\"\r\n", Charset::Gbk, "s", "k", "\""},
      {"unmatched quotes kept", "[s]\r\nk=\"v'\r\n", Charset::Gbk, "s", "k", "\"v'"},
      {"only the outer pair goes", "[s]\r\nk=\"a\"b\"\r\n", Charset::Gbk, "s", "k", "a\"b"},
      {"quote then text kept", "[s]\r\nk=\"v\" x\r\n", Charset::Gbk, "s", "k", "\"v\" x"},
      {"value holding '='", "[s]\r\nk = = v\r\n", Charset::Gbk, "s", "k", "= v"},
      {"empty value", "[s]\r\nk = \r\n", Charset::Gbk, "s", "k", ""},
      {"key without '='", "[s]\r\nk\r\n", Charset::Gbk, "s", "k", ""},
      {"first of two keys", "[s]\r\nk=1\r\nk=2\r\n", Charset::Gbk, "s", "k", "1"},
      {"a key without '=' hides a later one", "[s]\r\nk\r\nk=v\r\n", Charset::Gbk, "s", "k", ""},
      {"only the first section of a name", "[s]\r\na=1\r\n[s]\r\nk=2\r\n", Charset::Gbk, "s", "k", std::nullopt},
      {"no comments: ';' starts a key", "[s]\r\n;k=v\r\n", Charset::Gbk, "s", ";k", "v"},
      {"commented key is not the key", "[s]\r\n;k=v\r\n", Charset::Gbk, "s", "k", std::nullopt},
      {"text after ']' ignored", "[s] ; note\r\nk=v\r\n", Charset::Gbk, "s", "k", "v"},
      {"name up to the last ']'", "[a]b]\r\nk=v\r\n", Charset::Gbk, "a]b", "k", "v"},
      {"'[' without ']' is a key", "[s]\r\n[t\r\nk=v\r\n", Charset::Gbk, "s", "k", "v"},
      {"key in another section", "[s]\r\nk=v\r\n[t]\r\n", Charset::Gbk, "t", "k", std::nullopt},
      {"keys before any section", "k=v\r\n[s]\r\n", Charset::Gbk, "s", "k", std::nullopt},
      {"missing section", "[s]\r\nk=v\r\n", Charset::Gbk, "t", "k", std::nullopt},
      {"empty content", "", Charset::Gbk, "s", "k", std::nullopt},
      {"LF line ends", "[s]\nk=v\n", Charset::Gbk, "s", "k", "v"},
      {"CR line ends", "[s]\rk=v\rj=w", Charset::Gbk, "s", "j", "w"},
      {"no final line end", "[s]\r\nk=v", Charset::Gbk, "s", "k", "v"},
      {"blank lines", "\r\n[s]\r\n\r\n\r\nk=v\r\n\r\n", Charset::Gbk, "s", "k", "v"},
      {"GBK names and value", std::string("[") + kGbkDi + "]\r\n" + kGbkDi + "=" + kGbkDi + "\r\n", Charset::Gbk, kGbkDi, kGbkDi, kGbkDi},
      {"GBK trail ']' is no bracket", std::string("[") + kGbkTrailBracket + "]\r\nk=v\r\n", Charset::Gbk, kGbkTrailBracket, "k", "v"},
      {"GBK trail ']' does not end the name", std::string("[") + kGbkTrailBracket + "]\r\nk=v\r\n", Charset::Gbk, "\x81", "k", std::nullopt},
      {"GBK trail letter keeps its case", std::string("[s]\r\n") + kGbkTrailA + "=v\r\n", Charset::Gbk, "s", kGbkTrailLowerA, std::nullopt},
      {"GBK trail '\\' in a value", "[s]\r\nk=\x81\x5C\r\n", Charset::Gbk, "s", "k", "\x81\x5C"},
      {"GBK lead byte before a line end", "[s]\r\nk=\x81\r\nj=w\r\n", Charset::Gbk, "s", "j", "w"},
      {"UTF-8 names and value", "[\xE7\xAC\xAC]\r\n\xE7\xAC\xAC=\xE7\xAC\xAC\r\n", Charset::Utf8, "\xE7\xAC\xAC", "\xE7\xAC\xAC", "\xE7\xAC\xAC"},
      {"UTF-8 has no lead bytes", "[\x81]]\r\nk=v\r\n", Charset::Utf8, "\x81]", "k", "v"},
  };
  for (const LookupCase& c : cases) {
    EXPECT_EQ(findProfileValue(c.content, c.charset, c.section, c.key), c.expected) << c.what;
  }
}

TEST(ProfileFormatTest, BlankNamesFindAndSetNothing) {
  const std::string content = "k=v\r\n[s]\r\nk=v\r\n[]\r\nk=v\r\n";
  for (const char* blank : {"", " ", "\t\r\n"}) {
    EXPECT_EQ(findProfileValue(content, Charset::Gbk, blank, "k"), std::nullopt);
    EXPECT_EQ(findProfileValue(content, Charset::Gbk, "s", blank), std::nullopt);
    EXPECT_EQ(setProfileValue(content, Charset::Gbk, blank, "k", "x"), std::nullopt);
    EXPECT_EQ(setProfileValue(content, Charset::Gbk, "s", blank, "x"), std::nullopt);
  }
}

struct EditCase {
  const char* what;
  std::string content;
  std::string section;
  std::string key;
  std::string value;
  std::string expected;
};

TEST(ProfileFormatTest, EditsChangeOnlyWhatTheyMust) {
  const EditCase cases[] = {
      {"new content", "", "s", "k", "v", "[s]\r\nk=v\r\n"},
      {"value replaced", "[s]\r\nk=old\r\n", "s", "k", "new", "[s]\r\nk=new\r\n"},
      {"blanks and case kept", "  [S]  \r\n  K  =  old  \r\n", "s", "k", "new", "  [S]  \r\n  K  =  new  \r\n"},
      {"quoted value replaced whole", "[s]\r\nk=\"old\" \r\n", "s", "k", "v", "[s]\r\nk=v \r\n"},
      {"empty value filled", "[s]\r\nk=   \r\n", "s", "k", "v", "[s]\r\nk=v   \r\n"},
      {"value emptied", "[s]\r\nk=1\r\n", "s", "k", "", "[s]\r\nk=\r\n"},
      {"key without '=' gets one", "[s]\r\nk  \r\n", "s", "k", "v", "[s]\r\nk=v  \r\n"},
      {"first of two keys", "[s]\r\nk=1\r\nk=2\r\n", "s", "k", "v", "[s]\r\nk=v\r\nk=2\r\n"},
      {"value written as it is", "[s]\r\nk=1\r\n", "s", "k", " \"v\" ", "[s]\r\nk= \"v\" \r\n"},
      {"new key after the section's last entry", "[s]\r\na=1\r\n\r\n; note\r\n\r\n[t]\r\nb=2\r\n", "s", "k", "v",
       "[s]\r\na=1\r\n\r\n; note\r\nk=v\r\n\r\n[t]\r\nb=2\r\n"},
      {"new key after a bare header", "[s]\r\n\r\n[t]\r\n", "s", "k", "v", "[s]\r\nk=v\r\n\r\n[t]\r\n"},
      {"new key in the first section of a name", "[s]\r\na=1\r\n[s]\r\nk=2\r\n", "s", "k", "v",
       "[s]\r\na=1\r\nk=v\r\n[s]\r\nk=2\r\n"},
      {"new key after a last line without line end", "[s]\r\na=1", "s", "k", "v", "[s]\r\na=1\r\nk=v\r\n"},
      {"new key after a header without line end", "[s]", "s", "k", "v", "[s]\r\nk=v\r\n"},
      {"new key in an LF file", "[s]\na=1\n[t]\n", "s", "k", "v", "[s]\na=1\nk=v\r\n[t]\n"},
      {"new section at the end", "[s]\r\na=1\r\n\r\n", "t", "k", "v", "[s]\r\na=1\r\n\r\n[t]\r\nk=v\r\n"},
      {"new section after a last line without line end", "[s]\r\na=1", "t", "k", "v", "[s]\r\na=1\r\n[t]\r\nk=v\r\n"},
      {"new names written without their blanks", "[s]\r\n", " t\t", " k ", "v", "[s]\r\n[t]\r\nk=v\r\n"},
      {"GBK trail ']' in a section name", std::string("[") + kGbkTrailBracket + "]\r\nk=1\r\n", kGbkTrailBracket, "k", kGbkDi,
       std::string("[") + kGbkTrailBracket + "]\r\nk=" + kGbkDi + "\r\n"},
      {"GBK trail letter is another key", std::string("[s]\r\n") + kGbkTrailA + "=1\r\n", "s", kGbkTrailLowerA, "2",
       std::string("[s]\r\n") + kGbkTrailA + "=1\r\n" + kGbkTrailLowerA + "=2\r\n"},
  };
  for (const EditCase& c : cases) {
    EXPECT_EQ(setProfileValue(c.content, Charset::Gbk, c.section, c.key, c.value), c.expected) << c.what;
  }
}

TEST(ProfileFormatTest, EditedValuesReadBackAndOthersStay) {
  const std::string content = "[a]\r\nx=1\r\n[b]\r\ny=\"2\"\r\n[a]\r\nz=3\r\n";
  std::string edited = content;
  const struct {
    const char* section;
    const char* key;
    const char* value;
  } writes[] = {{"a", "x", "10"}, {"b", "new", "20"}, {"c", "k", "30"}, {"A", "Z", "40"}, {"b", "y", ""}};
  for (const auto& w : writes) {
    edited = setProfileValue(edited, Charset::Gbk, w.section, w.key, w.value).value();
    EXPECT_EQ(findProfileValue(edited, Charset::Gbk, w.section, w.key), w.value) << w.section << "/" << w.key;
  }
  EXPECT_EQ(findProfileValue(edited, Charset::Gbk, "a", "x"), "10");
  EXPECT_EQ(findProfileValue(edited, Charset::Gbk, "b", "new"), "20");
  EXPECT_EQ(findProfileValue(edited, Charset::Gbk, "c", "k"), "30");
  EXPECT_EQ(edited, "[a]\r\nx=10\r\nZ=40\r\n[b]\r\ny=\r\nnew=20\r\n[a]\r\nz=3\r\n[c]\r\nk=30\r\n");
}

TEST(ProfileFormatTest, RecognisesUtf8WithMultiByteCharacters) {
  const struct {
    std::string bytes;
    bool expected;
  } cases[] = {
      {"", false},
      {"plain ascii=1\r\n", false},
      {"k=\xE7\xAC\xAC", true},  // "第"
      {"\xC2\xA9 \xF0\x9F\x98\x80", true},  // two- and four-byte characters
      {"k=\xB5\xDA", false},  // "第" in GBK
      {"\xC0\xAF", false},  // overlong '/'
      {"\xE0\x80\xAF", false},  // overlong '/'
      {"\xED\xA0\x80", false},  // a surrogate
      {"\xF4\x90\x80\x80", false},  // past U+10FFFF
      {"\xE7\xAC", false},  // cut short
      {"\xE7\xAC\xAC\x80", false},  // stray continuation byte
  };
  for (const auto& c : cases) EXPECT_EQ(isMultiByteUtf8(c.bytes), c.expected) << c.bytes;
}

TEST(ProfileFormatTest, CutsGbkOnCharacterBoundaries) {
  EXPECT_EQ(cutGbkText("abcdef", 4), "abcd");
  EXPECT_EQ(cutGbkText("ab", 4), "ab");
  EXPECT_EQ(cutGbkText("a\xB5\xDA\xB5\xDA", 4), "a\xB5\xDA");  // would split the second character
  EXPECT_EQ(cutGbkText("\xB5\xDA\xB5\xDA", 4), "\xB5\xDA\xB5\xDA");
  EXPECT_EQ(cutGbkText("abc\x81\x0A", 4), "abc\x81");  // a lead byte without its trail stands alone
  EXPECT_EQ(cutGbkText("\xB5\xDA", 1), "");
}

}  // namespace
