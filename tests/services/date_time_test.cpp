#include "services/date_time.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

std::ostream& operator<<(std::ostream& out, const DateTimeFields& f) {
  return out << f.year << '-' << f.month << '-' << f.day << ' ' << f.hour << ':' << f.minute << ':' << f.second;
}

namespace {

// The six characters of the date-time text, as GBK bytes.
const std::string kYear = "\xC4\xEA";    // 年
const std::string kMonth = "\xD4\xC2";   // 月
const std::string kDay = "\xC8\xD5";     // 日
const std::string kHour = "\xCA\xB1";    // 时
const std::string kMinute = "\xB7\xD6";  // 分
const std::string kSecond = "\xC3\xEB";  // 秒

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

constexpr int64_t kDay20240503 = 45415;
constexpr int64_t kDay20241231 = 45657;

// A value written out directly: a day number and a time of day, for days from 1899-12-30 on.
double at(int64_t day, int hour, int minute, double second) {
  return static_cast<double>(day) + (hour * 3600 + minute * 60 + second) / 86400.0;
}

std::string date20240503(const std::string& time = "") {
  return "2024" + kYear + "5" + kMonth + "3" + kDay + time;
}

// Days since 1899-12-30 of a calendar date, and the date of such a day, both by std::chrono.
std::chrono::sys_days chronoDay(int year, unsigned month, unsigned day) {
  return std::chrono::sys_days{std::chrono::year{year} / std::chrono::month{month} / std::chrono::day{day}};
}

const std::chrono::sys_days kDayZero = chronoDay(1899, 12, 30);

DateTimeFields fieldsOfDay(std::chrono::sys_days day, int hour = 0, int minute = 0, int second = 0) {
  const std::chrono::year_month_day date{day};
  return {static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
          static_cast<int>(static_cast<unsigned>(date.day())), hour, minute, second};
}

int64_t utcSeconds(const DateTimeFields& f) {
  const auto days = (chronoDay(f.year, f.month, f.day) - std::chrono::sys_days{}).count();
  return int64_t{days} * 86400 + f.hour * 3600 + f.minute * 60 + f.second;
}

TEST(FormatDateTimeText, WritesTheDateAndTheTimeUpToItsLastNonZeroField) {
  const struct {
    double value;
    std::string text;
  } cases[] = {
      {at(kDay20240503, 14, 5, 9), date20240503("14" + kHour + "5" + kMinute + "9" + kSecond)},
      {at(kDay20240503, 14, 0, 9), date20240503("14" + kHour + "0" + kMinute + "9" + kSecond)},
      {at(kDay20240503, 0, 5, 0), date20240503("0" + kHour + "5" + kMinute)},
      {at(kDay20240503, 0, 0, 7), date20240503("0" + kHour + "0" + kMinute + "7" + kSecond)},
      {at(kDay20240503, 14, 0, 0), date20240503("14" + kHour)},
      {at(kDay20240503, 0, 0, 0), date20240503()},
      {0.0, "1899" + kYear + "12" + kMonth + "30" + kDay},
      {-1.25, "1899" + kYear + "12" + kMonth + "29" + kDay + "6" + kHour},
      {-1.0 - 3661.0 / 86400.0, "1899" + kYear + "12" + kMonth + "29" + kDay + "1" + kHour + "1" + kMinute + "1" + kSecond},
      {-0.5, "1899" + kYear + "12" + kMonth + "30" + kDay + "12" + kHour},
      {2.5, "1900" + kYear + "1" + kMonth + "1" + kDay + "12" + kHour},
      // A tenth of a second before midnight rounds into the next day.
      {at(kDay20240503, 23, 59, 59.9), "2024" + kYear + "5" + kMonth + "4" + kDay},
      {at(kDay20240503, 23, 59, 59.4), date20240503("23" + kHour + "59" + kMinute + "59" + kSecond)},
      // Beyond the range, or not a number: clamped to its ends.
      {2958465.5, "9999" + kYear + "12" + kMonth + "31" + kDay},
      {1e10, "9999" + kYear + "12" + kMonth + "31" + kDay},
      {kInfinity, "9999" + kYear + "12" + kMonth + "31" + kDay},
      {kNaN, "9999" + kYear + "12" + kMonth + "31" + kDay},
      {-kNaN, "9999" + kYear + "12" + kMonth + "31" + kDay},
      {-1e10, "100" + kYear + "1" + kMonth + "1" + kDay},
      {-657434.5, "100" + kYear + "1" + kMonth + "1" + kDay},
      {-kInfinity, "100" + kYear + "1" + kMonth + "1" + kDay},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "value " << c.value);
    EXPECT_EQ(formatDateTimeText(c.value), c.text);
  }
}

TEST(FormatDateTimeText, LongestTextHas26Bytes) {
  const Text text = formatDateTimeText(at(kDay20241231, 23, 59, 59));
  EXPECT_EQ(text, "2024" + kYear + "12" + kMonth + "31" + kDay + "23" + kHour + "59" + kMinute + "59" + kSecond);
  EXPECT_EQ(text.size(), 26u);
}

TEST(MakeDateTime, CountsDaysFrom18991230AndTheTimeInTheFraction) {
  const struct {
    DateTimeFields fields;
    double value;
  } cases[] = {
      {{1899, 12, 30, 0, 0, 0}, 0.0},
      {{1899, 12, 31, 0, 0, 0}, 1.0},
      {{1900, 1, 1, 12, 0, 0}, 2.5},
      {{1900, 3, 1, 0, 0, 0}, 61.0},  // 1900 has no 29 February
      {{2000, 1, 1, 0, 0, 0}, 36526.0},
      {{2000, 3, 1, 0, 0, 0}, 36586.0},  // 2000 has one
      {{2024, 5, 3, 0, 0, 0}, 45415.0},
      {{2024, 5, 3, 14, 5, 9}, at(kDay20240503, 14, 5, 9)},
      {{1899, 12, 29, 6, 0, 0}, -1.25},  // before day 0 the time is subtracted
      {{1899, 12, 29, 18, 0, 0}, -1.75},
      {{100, 1, 1, 0, 0, 0}, kFirstDateTime},
      {{9999, 12, 31, 0, 0, 0}, kLastDateTime},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.fields);
    const std::optional<DateTimeValue> value = makeDateTime(c.fields);
    ASSERT_TRUE(value.has_value());
    EXPECT_DOUBLE_EQ(*value, c.value);
  }
}

TEST(MakeDateTime, FailsForFieldsOutsideTheirRanges) {
  const DateTimeFields invalid[] = {
      {2023, 2, 29, 0, 0, 0}, {1900, 2, 29, 0, 0, 0}, {2100, 2, 29, 0, 0, 0}, {2024, 2, 30, 0, 0, 0},
      {2024, 4, 31, 0, 0, 0}, {2024, 13, 1, 0, 0, 0}, {2024, 0, 1, 0, 0, 0},  {2024, 1, 0, 0, 0, 0},
      {2024, 1, 32, 0, 0, 0}, {2024, 1, 1, 24, 0, 0}, {2024, 1, 1, 0, 60, 0}, {2024, 1, 1, 0, 0, 60},
      {2024, 1, 1, -1, 0, 0}, {10000, 1, 1, 0, 0, 0},
  };
  for (const DateTimeFields& fields : invalid) {
    EXPECT_FALSE(makeDateTime(fields).has_value()) << fields;
  }
  const DateTimeFields leapDays[] = {{2024, 2, 29, 0, 0, 0}, {2000, 2, 29, 0, 0, 0}, {1600, 2, 29, 0, 0, 0}};
  for (const DateTimeFields& fields : leapDays) {
    EXPECT_TRUE(makeDateTime(fields).has_value()) << fields;
  }
}

TEST(SplitDateTime, RoundsToTheNearestSecond) {
  const struct {
    double value;
    DateTimeFields fields;
  } cases[] = {
      {-0.5, {1899, 12, 30, 12, 0, 0}},  // the same instant as 0.5
      {at(kDay20240503, 0, 0, 0.4), {2024, 5, 3, 0, 0, 0}},
      {at(kDay20240503, 0, 0, 0.6), {2024, 5, 3, 0, 0, 1}},
      {at(kDay20240503, 23, 59, 59.6), {2024, 5, 4, 0, 0, 0}},
      {-1.0 - 0.6 / 86400.0, {1899, 12, 29, 0, 0, 1}},
      // Negative values round away from zero too, into the day before.
      {-(1.0 - 0.1 / 86400.0), {1899, 12, 29, 0, 0, 0}},
      {kFirstDateTime, {100, 1, 1, 0, 0, 0}},
      {kLastDateTime, {9999, 12, 31, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "value " << c.value);
    const std::optional<DateTimeFields> fields = splitDateTime(c.value);
    ASSERT_TRUE(fields.has_value());
    EXPECT_EQ(*fields, c.fields);
  }
}

TEST(SplitDateTime, FailsOutsideTheCalendarRange) {
  const double outside[] = {
      kNaN, kInfinity, -kInfinity, std::nextafter(kLastDateTime, kInfinity), std::nextafter(kFirstDateTime, -kInfinity),
      *makeDateTime({100, 1, 1, 0, 0, 1}),  // of the first and last day only midnight is in the range
      *makeDateTime({9999, 12, 31, 0, 0, 1}),
  };
  for (const double value : outside) {
    EXPECT_FALSE(splitDateTime(value).has_value()) << "value " << value;
  }
}

// Whether makeDateTime numbers a day as std::chrono counts it from 1899-12-30 and splitDateTime
// gives it back, at both ends of the day.
bool dayRoundTrips(std::chrono::sys_days day) {
  const DateTimeFields midnight = fieldsOfDay(day);
  const DateTimeFields lastSecond = fieldsOfDay(day, 23, 59, 59);
  const std::optional<DateTimeValue> value = makeDateTime(midnight);
  const std::optional<DateTimeValue> lastValue = makeDateTime(lastSecond);
  return value && *value == static_cast<double>((day - kDayZero).count()) && lastValue &&
         splitDateTime(*value) == midnight && splitDateTime(*lastValue) == lastSecond;
}

// Every day of the years where leap-year and century rules bite, and a stride of 97 days (prime to
// weeks and months, so it lands on every day of the month) over 0100-01-02 to 9999-12-30.
TEST(DateTimeRoundTrip, DaysOverTheWholeRange) {
  const std::chrono::days oneDay{1};
  const std::chrono::sys_days firstDay = chronoDay(100, 1, 2);
  const std::chrono::sys_days lastDay = chronoDay(9999, 12, 30);
  for (const int year : {100, 101, 104, 400, 1600, 1700, 1800, 1899, 1900, 1970, 1999, 2000, 2023, 2024, 2038,
                         2100, 2400, 9996, 9999}) {
    const std::chrono::sys_days last = std::min(chronoDay(year, 12, 31), lastDay);
    for (std::chrono::sys_days day = std::max(chronoDay(year, 1, 1), firstDay); day <= last; day += oneDay) {
      if (!dayRoundTrips(day)) FAIL() << "round trip fails on " << fieldsOfDay(day);
    }
  }
  for (std::chrono::sys_days day = firstDay; day <= lastDay; day += 97 * oneDay) {
    if (!dayRoundTrips(day)) FAIL() << "round trip fails on " << fieldsOfDay(day);
  }
}

// Checks every `step`-th second of a day through makeDateTime and splitDateTime.
void expectSecondsRoundTrip(int64_t dayNumber, int step) {
  DateTimeFields fields = fieldsOfDay(kDayZero + std::chrono::days{dayNumber});
  for (int second = 0; second < 86400; second += step) {
    fields.hour = second / 3600;
    fields.minute = second / 60 % 60;
    fields.second = second % 60;
    const std::optional<DateTimeValue> value = makeDateTime(fields);
    if (!value || splitDateTime(*value) != fields) {
      ADD_FAILURE() << "round trip fails on " << fields;
      return;
    }
  }
}

// How the time of day comes back depends on the binary exponent of the value's magnitude, and the
// rounding is coarsest at the ends of the range. Every second of those days and of day 0, and
// every 61st second (so every second of the minute) of the first and last day of every exponent.
TEST(DateTimeRoundTrip, SecondsAtEveryMagnitude) {
  const int64_t lastDay = static_cast<int64_t>(kLastDateTime) - 1;
  const int64_t firstDay = static_cast<int64_t>(kFirstDateTime) + 1;
  for (const int64_t day : {int64_t{0}, lastDay, firstDay}) expectSecondsRoundTrip(day, 1);
  for (int64_t low = 1; low <= lastDay; low *= 2) {
    expectSecondsRoundTrip(low, 61);
    expectSecondsRoundTrip(std::min(2 * low - 1, lastDay), 61);
  }
  for (int64_t low = 1; low <= -firstDay; low *= 2) {
    expectSecondsRoundTrip(-low, 61);
    expectSecondsRoundTrip(std::max(-(2 * low - 1), firstDay), 61);
  }
}

TEST(ParseTimeZoneText, ReadsTheCRuntimeForm) {
  const struct {
    const char* text;
    int64_t secondsWestOfUtc;
    bool observesDaylightTime;
  } cases[] = {
      {"UTC0", 0, false},
      {"CST-8", -8 * 3600, false},
      {"EST5", 5 * 3600, false},
      {"EST+5", 5 * 3600, false},
      {"PST8PDT", 8 * 3600, true},
      {"IST-5:30", -(5 * 3600 + 30 * 60), false},
      {"XYZ3:15:20", 3 * 3600 + 15 * 60 + 20, false},
      {"ABC123XYZ", 123 * 3600, true},  // any three characters are a name, any rest a daylight zone
      {"EST5 ", 5 * 3600, true},
      {"GMT", 0, false},
      {"AB", 0, false},
      {"JST-9:00:00DST", -9 * 3600, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const TimeZoneRule rule = parseTimeZoneText(c.text);
    EXPECT_EQ(rule.secondsWestOfUtc, c.secondsWestOfUtc);
    EXPECT_EQ(rule.observesDaylightTime, c.observesDaylightTime);
  }
}

TEST(LocalDateTimeFields, AppliesTheOffsetAndTheUsDaylightRule) {
  const struct {
    const char* tz;
    DateTimeFields utc;
    DateTimeFields local;
  } cases[] = {
      {"UTC0", {1970, 1, 1, 0, 0, 0}, {1970, 1, 1, 0, 0, 0}},
      {"CST-8", {2024, 5, 3, 6, 5, 9}, {2024, 5, 3, 14, 5, 9}},
      {"CST-8", {2023, 12, 31, 20, 0, 0}, {2024, 1, 1, 4, 0, 0}},
      {"EST5", {2024, 3, 1, 2, 0, 0}, {2024, 2, 29, 21, 0, 0}},
      {"EST5", {1969, 12, 31, 0, 0, 0}, {1969, 12, 30, 19, 0, 0}},
      {"IST-5:30", {2024, 5, 3, 0, 0, 0}, {2024, 5, 3, 5, 30, 0}},
      {"XYZ3:15:20", {2024, 5, 3, 12, 0, 0}, {2024, 5, 3, 8, 44, 40}},
      {"EST5EDT", {2024, 1, 15, 12, 0, 0}, {2024, 1, 15, 7, 0, 0}},
      {"EST5EDT", {2024, 7, 1, 12, 0, 0}, {2024, 7, 1, 8, 0, 0}},
      // From 2007: 02:00 on the second Sunday of March to 02:00 on the first Sunday of November.
      {"PST8PDT", {2024, 3, 10, 9, 59, 59}, {2024, 3, 10, 1, 59, 59}},
      {"PST8PDT", {2024, 3, 10, 10, 0, 0}, {2024, 3, 10, 3, 0, 0}},
      {"PST8PDT", {2024, 11, 3, 8, 59, 59}, {2024, 11, 3, 1, 59, 59}},
      {"PST8PDT", {2024, 11, 3, 9, 0, 0}, {2024, 11, 3, 1, 0, 0}},
      {"PST8PDT", {2007, 3, 11, 10, 0, 0}, {2007, 3, 11, 3, 0, 0}},
      {"PST8PDT", {2007, 11, 4, 9, 0, 0}, {2007, 11, 4, 1, 0, 0}},
      // Before 2007: the first Sunday of April to the last Sunday of October.
      {"PST8PDT", {2006, 3, 12, 12, 0, 0}, {2006, 3, 12, 4, 0, 0}},
      {"PST8PDT", {2006, 4, 2, 9, 59, 59}, {2006, 4, 2, 1, 59, 59}},
      {"PST8PDT", {2006, 4, 2, 10, 0, 0}, {2006, 4, 2, 3, 0, 0}},
      {"PST8PDT", {2006, 10, 29, 8, 59, 59}, {2006, 10, 29, 1, 59, 59}},
      {"PST8PDT", {2006, 10, 29, 9, 0, 0}, {2006, 10, 29, 1, 0, 0}},
      // Past the end of 32-bit time.
      {"CST-8", {2038, 1, 19, 3, 14, 8}, {2038, 1, 19, 11, 14, 8}},
      {"PST8PDT", {2040, 3, 11, 9, 59, 59}, {2040, 3, 11, 1, 59, 59}},
      {"PST8PDT", {2040, 3, 11, 10, 0, 0}, {2040, 3, 11, 3, 0, 0}},
      {"PST8PDT", {2040, 11, 4, 9, 0, 0}, {2040, 11, 4, 1, 0, 0}},
      {"PST8PDT", {9999, 7, 1, 12, 0, 0}, {9999, 7, 1, 5, 0, 0}},
      {"CST-8", {9999, 12, 30, 15, 59, 59}, {9999, 12, 30, 23, 59, 59}},
      // Kept within the calendar's range.
      {"CST-8", {9999, 12, 30, 20, 0, 0}, {9999, 12, 31, 0, 0, 0}},
      {"EST5", {100, 1, 1, 3, 0, 0}, {100, 1, 1, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.tz << " at " << c.utc << " UTC");
    EXPECT_EQ(localDateTimeFields(utcSeconds(c.utc), parseTimeZoneText(c.tz)), c.local);
  }
}

TEST(LocalDateTimeFields, KeepsExtremeReadingsWithinTheRange) {
  const TimeZoneRule farWest = parseTimeZoneText("ABC99999999:99999999:99999999DST");
  const TimeZoneRule farEast = parseTimeZoneText("ABC-99999999:99999999:99999999DST");
  for (const TimeZoneRule& rule : {TimeZoneRule{}, farWest, farEast}) {
    EXPECT_EQ(localDateTimeFields(std::numeric_limits<int64_t>::max(), rule), (DateTimeFields{9999, 12, 31, 0, 0, 0}));
    EXPECT_EQ(localDateTimeFields(std::numeric_limits<int64_t>::min(), rule), (DateTimeFields{100, 1, 1, 0, 0, 0}));
  }
  EXPECT_EQ(localDateTimeFields(0, farWest), (DateTimeFields{100, 1, 1, 0, 0, 0}));
  EXPECT_EQ(localDateTimeFields(0, farEast), (DateTimeFields{9999, 12, 31, 0, 0, 0}));
}

}  // namespace
