#include "services/date_time.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

constexpr int64_t kSecondsPerDay = 86400;
constexpr double kDaysPerSecond = 1.0 / 86400.0;  // the double nearest to 1/86400
constexpr double kHalfSecondInDays = 1.0 / 172800.0;
constexpr int64_t kDayOf1970 = 25569;  // 1970-01-01 as a day number (days since 1899-12-30)

// The range of DateTimeValue's calendar, as seconds since 1970-01-01 00:00:00.
constexpr int64_t kFirstLocalSecond = (static_cast<int64_t>(kFirstDateTime) - kDayOf1970) * kSecondsPerDay;
constexpr int64_t kLastLocalSecond = (static_cast<int64_t>(kLastDateTime) - kDayOf1970) * kSecondsPerDay;
// Clock readings are kept within about three million years, so that no offset can overflow.
constexpr int64_t kUtcSecondsBound = int64_t{1} << 47;

constexpr int kDaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

constexpr char kYearSign[] = "\xC4\xEA";    // 年
constexpr char kMonthSign[] = "\xD4\xC2";   // 月
constexpr char kDaySign[] = "\xC8\xD5";     // 日
constexpr char kHourSign[] = "\xCA\xB1";    // 时
constexpr char kMinuteSign[] = "\xB7\xD6";  // 分
constexpr char kSecondSign[] = "\xC3\xEB";  // 秒

int64_t floorDiv(int64_t a, int64_t b) {
  const int64_t quotient = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? quotient - 1 : quotient;
}

bool isLeapYear(int64_t year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int daysInMonth(int64_t year, int month) {
  constexpr int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29 : kLengths[month - 1];
}

// Days since 1899-12-30 of a calendar date.
int64_t dayNumber(int64_t year, int month, int day) {
  int64_t days = 365 * year + floorDiv(year, 4) - floorDiv(year, 100) + floorDiv(year, 400) +
                 kDaysBeforeMonth[month - 1] + day - 693959;
  if (isLeapYear(year) && month <= 2) --days;
  return days;
}

// 0 for Sunday to 6 for Saturday; 1899-12-30 was a Saturday.
int weekday(int64_t dayNumber) {
  return static_cast<int>(((dayNumber + 6) % 7 + 7) % 7);
}

struct CalendarDate {
  int64_t year;
  int month;
  int day;
};

// The calendar date `days` days after 1899-12-30, counting in whole 400-year cycles of 146097 days
// from a 1 March, so that the leap day falls at the end of each counted year.
CalendarDate calendarDate(int64_t days) {
  const int64_t fromMarch0000 = days - kDayOf1970 + 719468;
  const int64_t cycle = floorDiv(fromMarch0000, 146097);
  const int64_t dayOfCycle = fromMarch0000 - cycle * 146097;
  const int64_t yearOfCycle = (dayOfCycle - dayOfCycle / 1460 + dayOfCycle / 36524 - dayOfCycle / 146096) / 365;
  const int64_t dayOfYear = dayOfCycle - (365 * yearOfCycle + yearOfCycle / 4 - yearOfCycle / 100);
  const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
  const int day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
  const int month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
  return {yearOfCycle + cycle * 400 + (month <= 2 ? 1 : 0), month, day};
}

// Calendar fields of a count of seconds since 1970-01-01 00:00:00 (of whatever zone).
DateTimeFields fieldsOfSeconds(int64_t seconds) {
  const int64_t days = floorDiv(seconds, kSecondsPerDay);
  const int secondOfDay = static_cast<int>(seconds - days * kSecondsPerDay);
  const CalendarDate date = calendarDate(days + kDayOf1970);
  return {static_cast<int>(date.year), date.month, date.day, secondOfDay / 3600, secondOfDay / 60 % 60,
          secondOfDay % 60};
}

// The day of the month of the n-th Sunday (1 to 4), or of the last one when n is 0.
int sundayOfMonth(int64_t year, int month, int n) {
  if (n == 0) {
    const int lastDay = daysInMonth(year, month);
    return lastDay - weekday(dayNumber(year, month, lastDay));
  }
  const int firstSunday = 1 + (7 - weekday(dayNumber(year, month, 1))) % 7;
  return firstSunday + 7 * (n - 1);
}

// Whether a local standard time lies in the daylight time of the C runtime's US rule. Daylight time
// begins at 02:00 standard time and ends at 02:00 daylight time, which is 01:00 standard time.
bool isUsDaylightTime(const DateTimeFields& standard) {
  const bool before2007 = standard.year < 2007;
  const int beginMonth = before2007 ? 4 : 3;
  const int endMonth = before2007 ? 10 : 11;
  const int beginDay = sundayOfMonth(standard.year, beginMonth, before2007 ? 1 : 2);
  const int endDay = sundayOfMonth(standard.year, endMonth, before2007 ? 0 : 1);
  // Moments of the year compared as (month, day, second of the day).
  const auto moment = [](int month, int day, int secondOfDay) {
    return (static_cast<int64_t>(month) * 32 + day) * kSecondsPerDay + secondOfDay;
  };
  const int64_t now =
      moment(standard.month, standard.day, standard.hour * 3600 + standard.minute * 60 + standard.second);
  return now >= moment(beginMonth, beginDay, 2 * 3600) && now < moment(endMonth, endDay, 1 * 3600);
}

// The integer the C runtime's atol reads at `p`: blanks, an optional sign, digits. Held within the
// range of a 32-bit long.
int64_t leadingInteger(const char* p) {
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  const bool negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  int64_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) value = std::min<int64_t>(value * 10 + (*p - '0'), int64_t{1} << 31);
  return negative ? -value : std::min<int64_t>(value, (int64_t{1} << 31) - 1);
}

const char* skipDigits(const char* p) {
  while (*p >= '0' && *p <= '9') ++p;
  return p;
}

}  // namespace

std::optional<DateTimeValue> makeDateTime(const DateTimeFields& fields) {
  const bool valid = fields.year <= 9999 && fields.month >= 1 && fields.month <= 12 && fields.day >= 1 &&
                     fields.day <= daysInMonth(fields.year, fields.month) && fields.hour >= 0 &&
                     fields.hour <= 23 && fields.minute >= 0 && fields.minute <= 59 && fields.second >= 0 &&
                     fields.second <= 59;
  if (!valid) return std::nullopt;
  const auto day = static_cast<double>(dayNumber(fields.year, fields.month, fields.day));
  const double time = (3600 * fields.hour + 60 * fields.minute + fields.second) * kDaysPerSecond;
  return day >= 0 ? day + time : day - time;
}

std::optional<DateTimeFields> splitDateTime(DateTimeValue value) {
  if (std::isnan(value) || value > kLastDateTime || value < kFirstDateTime) return std::nullopt;
  const double rounded = value > 0 ? value + kHalfSecondInDays : value - kHalfSecondInDays;
  const CalendarDate date = calendarDate(static_cast<int64_t>(std::trunc(rounded)));
  const double magnitude = std::fabs(rounded);
  const auto secondOfDay = static_cast<int>((magnitude - std::floor(magnitude)) * static_cast<double>(kSecondsPerDay));
  return DateTimeFields{static_cast<int>(date.year), date.month, date.day, secondOfDay / 3600, secondOfDay / 60 % 60,
                        secondOfDay % 60};
}

Text formatDateTimeText(DateTimeValue value) {
  // The negated test also sends a not-a-number to the end of the range.
  const DateTimeValue clamped = !(value <= kLastDateTime) ? kLastDateTime : std::max(value, kFirstDateTime);
  const DateTimeFields fields = *splitDateTime(clamped);
  Text text = std::to_string(fields.year) + kYearSign + std::to_string(fields.month) + kMonthSign +
              std::to_string(fields.day) + kDaySign;
  if (fields.second != 0) {
    text += std::to_string(fields.hour) + kHourSign + std::to_string(fields.minute) + kMinuteSign +
            std::to_string(fields.second) + kSecondSign;
  } else if (fields.minute != 0) {
    text += std::to_string(fields.hour) + kHourSign + std::to_string(fields.minute) + kMinuteSign;
  } else if (fields.hour != 0) {
    text += std::to_string(fields.hour) + kHourSign;
  }
  return text;
}

TimeZoneRule parseTimeZoneText(const Text& text) {
  TimeZoneRule rule;
  if (text.size() < 3) return rule;
  const char* p = text.c_str() + 3;  // past the zone's name
  const bool east = *p == '-';
  if (east) ++p;
  int64_t seconds = leadingInteger(p) * 3600;
  while (*p == '+' || (*p >= '0' && *p <= '9')) ++p;
  if (*p == ':') {
    ++p;
    seconds += leadingInteger(p) * 60;
    p = skipDigits(p);
    if (*p == ':') {
      ++p;
      seconds += leadingInteger(p);
      p = skipDigits(p);
    }
  }
  rule.secondsWestOfUtc = east ? -seconds : seconds;
  rule.observesDaylightTime = *p != '\0';
  return rule;
}

DateTimeFields localDateTimeFields(int64_t utcSeconds, const TimeZoneRule& rule) {
  const int64_t standard = std::clamp(utcSeconds, -kUtcSecondsBound, kUtcSecondsBound) - rule.secondsWestOfUtc;
  const bool daylight = rule.observesDaylightTime && isUsDaylightTime(fieldsOfSeconds(standard));
  return fieldsOfSeconds(std::clamp(standard + (daylight ? 3600 : 0), kFirstLocalSecond, kLastLocalSecond));
}
