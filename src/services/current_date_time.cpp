// The clock reading and the system's time zone; the rest of the date-time code is portable.

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <variant>

#include "services/date_time.h"

namespace {

constexpr int64_t kUnitsPerSecond = 10'000'000;  // FILETIME counts 100-nanosecond units
constexpr int64_t kUnitsFrom1601To1970 = 116'444'736'000'000'000;

// The time zone of the process: the TZ variable when it is set and not empty (the C runtime's own
// rule, which takes precedence over the system's as it does for localtime), else the system's zone.
using LocalTimeRule = std::variant<TimeZoneRule, DYNAMIC_TIME_ZONE_INFORMATION>;

LocalTimeRule readLocalTimeRule() {
  const char* tz = std::getenv("TZ");
  if (tz != nullptr && *tz != '\0') return parseTimeZoneText(tz);
  DYNAMIC_TIME_ZONE_INFORMATION zone{};
  if (GetDynamicTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID) return TimeZoneRule{};  // UTC
  return zone;
}

// Read at the first conversion and kept: a change of zone shows after a restart.
const LocalTimeRule& localTimeRule() {
  static const LocalTimeRule rule = readLocalTimeRule();
  return rule;
}

// The zone's rules for one year. GetTimeZoneInformationForYear knows the zone's historic and future
// rule changes; when the user turned automatic daylight time off, the zone as read (without
// daylight dates) is the rule.
TIME_ZONE_INFORMATION zoneRulesOfYear(const DYNAMIC_TIME_ZONE_INFORMATION& zone, WORD year) {
  TIME_ZONE_INFORMATION rules{};
  DYNAMIC_TIME_ZONE_INFORMATION query = zone;
  if (!zone.DynamicDaylightTimeDisabled && GetTimeZoneInformationForYear(year, &query, &rules)) return rules;
  rules.Bias = zone.Bias;
  std::memcpy(rules.StandardName, zone.StandardName, sizeof rules.StandardName);
  rules.StandardDate = zone.StandardDate;
  rules.StandardBias = zone.StandardBias;
  std::memcpy(rules.DaylightName, zone.DaylightName, sizeof rules.DaylightName);
  rules.DaylightDate = zone.DaylightDate;
  rules.DaylightBias = zone.DaylightBias;
  return rules;
}

// SystemTimeToTzSpecificLocalTime with the rules of the local year, which differs from the UTC
// year around New Year. (SystemTimeToTzSpecificLocalTimeEx would do this itself, but needs
// Windows 8 and is missing in Wine 8.)
DateTimeFields systemLocalFields(const DYNAMIC_TIME_ZONE_INFORMATION& zone, const FILETIME& utc) {
  SYSTEMTIME utcTime{};
  FileTimeToSystemTime(&utc, &utcTime);
  SYSTEMTIME local = utcTime;
  TIME_ZONE_INFORMATION rules = zoneRulesOfYear(zone, utcTime.wYear);
  if (SystemTimeToTzSpecificLocalTime(&rules, &utcTime, &local) && local.wYear != utcTime.wYear) {
    rules = zoneRulesOfYear(zone, local.wYear);
    if (!SystemTimeToTzSpecificLocalTime(&rules, &utcTime, &local)) local = utcTime;
  }
  return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}

}  // namespace

DateTimeValue currentDateTime() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER units{};
  units.LowPart = now.dwLowDateTime;
  units.HighPart = now.dwHighDateTime;
  const auto count = static_cast<int64_t>(units.QuadPart);  // below 2^63 until the year 30828
  const int64_t wholeUnits = count - count % kUnitsPerSecond;  // the fraction of a second dropped

  const LocalTimeRule& rule = localTimeRule();
  DateTimeFields fields;
  if (const auto* tzRule = std::get_if<TimeZoneRule>(&rule)) {
    fields = localDateTimeFields((wholeUnits - kUnitsFrom1601To1970) / kUnitsPerSecond, *tzRule);
  } else {
    units.QuadPart = static_cast<ULONGLONG>(wholeUnits);
    const FILETIME wholeSeconds{units.LowPart, units.HighPart};
    fields = systemLocalFields(std::get<DYNAMIC_TIME_ZONE_INFORMATION>(rule), wholeSeconds);
  }
  // Only a clock beyond the year 9999 has no value: the last one stands for it.
  return makeDateTime(fields).value_or(kLastDateTime);
}
