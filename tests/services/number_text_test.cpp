#include "services/number_text.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr int64_t kInt64Min = std::numeric_limits<int64_t>::min();

// Texts with bytes spelled out: GBK full-width characters and embedded zero bytes.
std::string bytes(const char* data, size_t size) {
  return std::string(data, size);
}

TEST(FormatIntegerText, WritesPlainSignedDecimals) {
  const struct {
    int32_t value;
    const char* text;
  } cases[] = {
      {0, "0"}, {-1, "-1"}, {7, "7"}, {1000, "1000"}, {2147483647, "2147483647"}, {-2147483647 - 1, "-2147483648"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(formatIntegerText(c.value), c.text);
  }
}

TEST(FoldFullWidthText, TurnsFullWidthAsciiIntoAscii) {
  const struct {
    std::string text;
    std::string folded;
  } cases[] = {
      {"\xA3\xB0\xA3\xB9", "09"},                // ０９
      {"\xA3\xAE\xA3\xAD\xA3\xAB", ".-+"},       // ．－＋
      {"\xA3\xA1\xA3\xC1\xA3\xE5\xA3\xFE", "!Ae~"},  // ！Ａｅ and the last of the row, ￣
      {"\xA1\xA1", " "},                         // ideographic space
      {"\xA1\xAB", "~"},
      {"\xA1\xEE\xA1\xEF", "**"},
      {"a b\tc", "a b\tc"},
      // Other pairs stay as they are, including ones next to the folded row.
      {"\xC4\xEA", "\xC4\xEA"},                  // 年
      {"\xA3\xA0\xA3\xFF", "\xA3\xA0\xA3\xFF"},
      {"\xA1\xA2", "\xA1\xA2"},
      {"\xA3\x41", "\xA3\x41"},                  // any byte follows a lead byte in the pair
      // A lead byte without a second byte is dropped; the text ends at a zero byte.
      {"1\xA3", "1"},
      {"\xA3\xA3\xB1", "#"},
      {bytes("12\0" "34", 5), "12"},
      {bytes("\xA3\0" "9", 3), ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    EXPECT_EQ(foldFullWidthText(c.text), c.folded);
  }
}

TEST(ParseNumberText, ReadsTheNumberAtTheStart) {
  const struct {
    std::string text;
    double number;
  } cases[] = {
      {"", 0},
      {"abc", 0},
      {".", 0},
      {"-", 0},
      {"+", 0},
      {"0x1A", 0},
      {"inf", 0},
      {"nan", 0},
      {"--1", 0},
      {"+-1", 0},
      {".e1", 0},
      {"e5", 0},
      {"12", 12},
      {"  12", 12},
      {"\t12", 12},
      {"\n\v\f\r 12", 12},
      {"12abc", 12},
      {"12 34", 12},
      {"\xA3\xB1\xA3\xB2", 12},                // １２
      {"\xA1\xA1\xA3\xB5", 5},                 // ideographic space, ５
      {"\xA3\xB2.\xA3\xB5", 2.5},              // ２.５
      {"\xA3\xB1\xA3\xAE\xA3\xB5", 1.5},       // １．５
      {"\xA3\xAD\xA3\xB3", -3},                // －３
      {"\xA3\xB1\xA3\xE5\xA3\xB3", 1000},      // １ｅ３
      {"-3", -3},
      {"+4", 4},
      {".5", 0.5},
      {"-.5e1", -5},
      {"12.", 12},
      {"12.e1", 120},
      {"0.1", 0.1},
      {"1e3", 1000},
      {"1E3", 1000},
      {"1d3", 1000},
      {"1D3", 1000},
      {"1e+2", 100},
      {"1E-2", 0.01},
      {"1D-2", 0.01},
      {"1e", 1},
      {"1e+", 1},
      {"1ex", 1},
      {"1+2", 1},
      {"1-2", 1},
      {"1.5.5", 1.5},
      {"007", 7},
      {"123456789012345", 123456789012345.0},
      {"9007199254740993", 9007199254740992.0},  // rounded to the nearest double, ties to even
      {"2147483648", 2147483648.0},
      {"1e308", 1e308},
      {"1e-320", 1e-320},  // a subnormal
      {"1e400", kInfinity},
      {"-1e400", -kInfinity},
      {"1e99999999999999999999", kInfinity},
      {"1e-400", 0},
      {"1e-99999999999999999999", 0},
      {"0." + std::string(50, '0') + "1e51", 1},
      {"1" + std::string(400, '0') + "e-400", 1},
      {"0." + std::string(400, '0') + "25e400", 0.25},
      {"\x80", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    EXPECT_EQ(parseNumberText(c.text), c.number);
  }
}

TEST(ParseNumberText, KeepsTheSignOfZero) {
  EXPECT_TRUE(std::signbit(parseNumberText("-0")));
  EXPECT_TRUE(std::signbit(parseNumberText("-0e-500")));
  EXPECT_FALSE(std::signbit(parseNumberText("0")));
}

// Restores the rounding mode that a test changed.
class RoundingModeGuard {
 public:
  RoundingModeGuard() : saved_(std::fegetround()) {}
  ~RoundingModeGuard() { std::fesetround(saved_); }
  RoundingModeGuard(const RoundingModeGuard&) = delete;
  RoundingModeGuard& operator=(const RoundingModeGuard&) = delete;

 private:
  int saved_;
};

TEST(TruncateToInteger, CutsTowardZeroInEveryRoundingMode) {
  const struct {
    double value;
    int64_t integer;
  } cases[] = {
      {2.9, 2},
      {-2.9, -2},
      {2.5, 2},
      {-2.5, -2},
      {3.5, 3},
      {0.5, 0},
      {-0.5, 0},
      {-0.0, 0},
      {4294967295.9, 4294967295},
      {1e15 + 0.5, 1000000000000000},
      {0x1p63 - 1024, 9223372036854774784},  // the largest double below 2^63
      {-0x1p63, kInt64Min},                  // in the range
      {0x1p63, kInt64Min},
      {std::nextafter(-0x1p63, -kInfinity), kInt64Min},
      {1e19, kInt64Min},
      {-1e19, kInt64Min},
      {kInfinity, kInt64Min},
      {-kInfinity, kInt64Min},
      {std::numeric_limits<double>::quiet_NaN(), kInt64Min},
  };
  const RoundingModeGuard guard;
  for (const int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    ASSERT_EQ(std::fesetround(mode), 0);
    for (const auto& c : cases) {
      EXPECT_EQ(truncateToInteger(c.value), c.integer) << "value " << c.value << ", rounding mode " << mode;
    }
  }
}

}  // namespace
