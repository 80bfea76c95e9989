#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

#include "services/date_time.h"

namespace {

constexpr int64_t kUnitsPerSecond = 10'000'000;

// The clock in whole seconds since 1601, as Windows counts it.
int64_t clockSeconds() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER units;
  units.LowPart = now.dwLowDateTime;
  units.HighPart = now.dwHighDateTime;
  return static_cast<int64_t>(units.QuadPart) / kUnitsPerSecond;
}

SYSTEMTIME utcTimeAt(int64_t seconds) {
  ULARGE_INTEGER units;
  units.QuadPart = static_cast<ULONGLONG>(seconds * kUnitsPerSecond);
  const FILETIME time{units.LowPart, units.HighPart};
  SYSTEMTIME utc;
  FileTimeToSystemTime(&time, &utc);
  return utc;
}

DateTimeValue valueOf(const SYSTEMTIME& t) {
  return *makeDateTime({t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond});
}

// The local time a zone gives for a clock second, worked out by Windows alone.
using LocalTimeAt = std::function<SYSTEMTIME(int64_t clockSeconds)>;

LocalTimeAt fixedOffset(int64_t eastOfUtcSeconds) {
  return [eastOfUtcSeconds](int64_t seconds) { return utcTimeAt(seconds + eastOfUtcSeconds); };
}

SYSTEMTIME systemLocalTimeAt(int64_t seconds) {
  const SYSTEMTIME utc = utcTimeAt(seconds);
  SYSTEMTIME local;
  SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local);
  return local;
}

// Run in a process of its own, since the zone is read once per process: exits with 0 when
// currentDateTime gives the local time of a clock second read around the call.
[[noreturn]] void exitWithComparison(const LocalTimeAt& localTimeAt) {
  const int64_t before = clockSeconds();
  const DateTimeValue value = currentDateTime();
  const int64_t after = clockSeconds();
  for (int64_t second = before; second <= after; ++second) {
    if (value == valueOf(localTimeAt(second))) std::exit(0);
  }
  const SYSTEMTIME expected = localTimeAt(before);
  std::fprintf(stderr, "currentDateTime gave %.9f, the local time is %04u-%02u-%02u %02u:%02u:%02u (%.9f)\n", value,
               expected.wYear, expected.wMonth, expected.wDay, expected.wHour, expected.wMinute, expected.wSecond,
               valueOf(expected));
  std::exit(1);
}

// Each test runs its checks as death tests, which start the test program anew, and gives TZ back.
class CurrentDateTimeDeathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    if (tz != nullptr) savedTz_ = tz;
  }
  void TearDown() override { _putenv_s("TZ", savedTz_.value_or("").c_str()); }

 private:
  std::optional<std::string> savedTz_;
};

TEST_F(CurrentDateTimeDeathTest, FollowsAFixedZoneInTz) {
  const struct {
    const char* tz;
    int64_t eastOfUtcSeconds;
  } zones[] = {
      {"UTC0", 0}, {"CST-8", 8 * 3600}, {"EST5", -5 * 3600}, {"IST-5:30", 5 * 3600 + 30 * 60}, {"XYZ+3:15:20", -11720},
  };
  for (const auto& zone : zones) {
    SCOPED_TRACE(zone.tz);
    ASSERT_EQ(_putenv_s("TZ", zone.tz), 0);
    EXPECT_EXIT(exitWithComparison(fixedOffset(zone.eastOfUtcSeconds)), ::testing::ExitedWithCode(0), "");
  }
}

TEST_F(CurrentDateTimeDeathTest, KeepsTheZoneOfTheFirstReading) {
  ASSERT_EQ(_putenv_s("TZ", "CST-8"), 0);
  EXPECT_EXIT(
      {
        currentDateTime();
        _putenv_s("TZ", "EST5");
        exitWithComparison(fixedOffset(8 * 3600));
      },
      ::testing::ExitedWithCode(0), "");
}

// Under Wine the system's zone is the Linux host's; on Windows it is the one set in the system.
TEST_F(CurrentDateTimeDeathTest, FollowsTheSystemZoneWithoutTz) {
  ASSERT_EQ(_putenv_s("TZ", ""), 0);  // removes the variable
  EXPECT_EXIT(exitWithComparison(systemLocalTimeAt), ::testing::ExitedWithCode(0), "");
}

}  // namespace
