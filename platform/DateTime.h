#pragma once
// Time stamps as the program stores and shows them: days since 1899-12-30 in
// local time, the fraction being the time of day.
#include <chrono>
#include <cstdint>
#include <string>

using TDateTime = double;

namespace dt {

constexpr double kMsPerDay = 86400000.0;

struct TDateParts {
  int Year = 1899, Month = 12, Day = 30;
  int Hour = 0, Minute = 0, Second = 0, MilliSecond = 0;
};

// Local wall-clock time now.
TDateTime Now();
// A system-clock instant in local time.
TDateTime FromTimePoint(std::chrono::system_clock::time_point tp);
std::chrono::system_clock::time_point ToTimePoint(TDateTime t);

TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int ms);
TDateTime Encode(const TDateParts& p);
TDateParts Decode(TDateTime t);

// Day of week 1 = Sunday .. 7 = Saturday.
int DayOfWeek(TDateTime t);

// Milliseconds between two stamps (b - a), rounded to the nearest ms.
int64_t MillisecondsBetween(TDateTime a, TDateTime b);
TDateTime AddMilliseconds(TDateTime t, int64_t ms);

// The 8-byte stamp appended to every device packet (IEEE-754 little-endian).
void StampToBytes(TDateTime t, uint8_t out[8]);
TDateTime StampFromBytes(const uint8_t in[8]);

// "yyyy-mm-dd hh:nn:ss.zzz" for logs and tests.
std::string ToIsoText(TDateTime t);

}  // namespace dt
