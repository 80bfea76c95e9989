#pragma once

#include <cstdint>
#include <optional>

#include "services/text.h"

// A local wall-clock date and time as days since 1899-12-30 00:00:00, the time of day in the
// fraction (0.5 is noon). For a negative value the integer part, taken toward zero, is the day and
// the fraction's absolute value the time of day: -1.25 is 1899-12-29 06:00:00. The calendar is the
// Gregorian one, extended backwards. The value carries no time zone.
using DateTimeValue = double;

// The values that have calendar fields: 0100-01-01 00:00:00 to 9999-12-31 00:00:00.
constexpr DateTimeValue kFirstDateTime = -657434.0;
constexpr DateTimeValue kLastDateTime = 2958465.0;

struct DateTimeFields {
  int year = 0;  // at most 9999
  int month = 0;  // 1 to 12
  int day = 0;  // 1 to the length of the month
  int hour = 0;  // 0 to 23
  int minute = 0;  // 0 to 59
  int second = 0;  // 0 to 59

  friend bool operator==(const DateTimeFields&, const DateTimeFields&) = default;
};

// The present local time, to the whole second (the fraction of the clock's second is dropped).
// The time zone is the one of a non-empty TZ variable, read as the C runtime reads it, else the
// system's; it is read at the first call and kept for the process. Windows only.
DateTimeValue currentDateTime();

// Fails for fields outside their ranges (see DateTimeFields; day 29 of February only in leap
// years). Years below 100 give values that splitDateTime rejects.
std::optional<DateTimeValue> makeDateTime(const DateTimeFields& fields);

// The fields of a value rounded to the nearest second (half a second before midnight is the next
// day). Fails outside kFirstDateTime..kLastDateTime and for a not-a-number.
std::optional<DateTimeFields> splitDateTime(DateTimeValue value);

// The text that names a backup folder, e.g. 2024年5月3日14时5分9秒 in GBK; trailing zero fields of
// the time are left out (2024年5月3日14时, 2024年5月3日). Values outside the calendar range are
// clamped to it first, a not-a-number to its end, so there is always a text (at most 26 bytes).
Text formatDateTimeText(DateTimeValue value);

// A local-time rule in the form the C runtime takes from TZ: "tzn[+|-]hh[:mm[:ss]][dzn]", e.g.
// "CST-8" (eight hours east of UTC) or "PST8PDT" (eight hours west, with daylight time).
struct TimeZoneRule {
  int64_t secondsWestOfUtc = 0;  // standard time is UTC minus this
  // Daylight time, one hour ahead, by the US rule the C runtime applies: from 02:00 on the second
  // Sunday of March to 02:00 daylight time on the first Sunday of November (before 2007: first
  // Sunday of April to last Sunday of October).
  bool observesDaylightTime = false;
};

// Reads a TZ text as the C runtime does: the first three characters name the zone, then come an
// optional "-", the hours, and optionally ":" minutes and ":" seconds; anything left names a
// daylight zone. A text of fewer than three characters (where the C runtime reads past its end)
// gives UTC without daylight time.
TimeZoneRule parseTimeZoneText(const Text& text);

// The local calendar fields of a moment given as seconds since 1970-01-01 00:00:00 UTC, for any
// year; kept within 0100-01-01 00:00:00 to 9999-12-31 00:00:00.
DateTimeFields localDateTimeFields(int64_t utcSeconds, const TimeZoneRule& rule);
