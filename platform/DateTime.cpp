#include "platform/DateTime.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace dt {
namespace {

// Days from 0001-01-01 (proleptic Gregorian) using the civil-from-days trick.
int64_t DaysFromCivil(int y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;  // days since 1970-01-01
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

const int64_t kEpochOffsetDays = -DaysFromCivil(1899, 12, 30);  // 1970-01-01 minus 1899-12-30

}  // namespace

TDateTime EncodeDate(int year, int month, int day) {
  return static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month),
                                           static_cast<unsigned>(day)) +
                             kEpochOffsetDays);
}

TDateTime EncodeTime(int hour, int minute, int second, int ms) {
  return (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + ms) / kMsPerDay;
}

TDateTime Encode(const TDateParts& p) {
  const double date = EncodeDate(p.Year, p.Month, p.Day);
  const double time = EncodeTime(p.Hour, p.Minute, p.Second, p.MilliSecond);
  // Before the epoch the fraction counts away from zero, as the stored format does.
  return date < 0 ? date - time : date + time;
}

TDateParts Decode(TDateTime t) {
  TDateParts p;
  int64_t totalMs = std::llround(std::fabs(t) * kMsPerDay);
  int64_t days = totalMs / 86400000;
  int64_t msOfDay = totalMs % 86400000;
  if (t < 0) days = -days;
  CivilFromDays(days - kEpochOffsetDays, p.Year, p.Month, p.Day);
  p.Hour = static_cast<int>(msOfDay / 3600000);
  p.Minute = static_cast<int>(msOfDay / 60000 % 60);
  p.Second = static_cast<int>(msOfDay / 1000 % 60);
  p.MilliSecond = static_cast<int>(msOfDay % 1000);
  return p;
}

int DayOfWeek(TDateTime t) {
  // 1899-12-30 was a Saturday (7).
  int64_t days = static_cast<int64_t>(std::floor(t));
  int64_t r = ((days + 6) % 7 + 7) % 7;  // 0 = Sunday
  return static_cast<int>(r) + 1;
}

TDateTime FromTimePoint(std::chrono::system_clock::time_point tp) {
  using namespace std::chrono;
  const auto ms = duration_cast<milliseconds>(tp.time_since_epoch()).count();
  std::time_t secs = static_cast<std::time_t>(ms >= 0 ? ms / 1000 : (ms - 999) / 1000);
  int msPart = static_cast<int>(ms - static_cast<int64_t>(secs) * 1000);
  std::tm local{};
  localtime_r(&secs, &local);
  TDateParts p{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
               local.tm_hour, local.tm_min, local.tm_sec, msPart};
  return Encode(p);
}

std::chrono::system_clock::time_point ToTimePoint(TDateTime t) {
  TDateParts p = Decode(t);
  std::tm local{};
  local.tm_year = p.Year - 1900;
  local.tm_mon = p.Month - 1;
  local.tm_mday = p.Day;
  local.tm_hour = p.Hour;
  local.tm_min = p.Minute;
  local.tm_sec = p.Second;
  local.tm_isdst = -1;
  std::time_t secs = mktime(&local);
  return std::chrono::system_clock::from_time_t(secs) + std::chrono::milliseconds(p.MilliSecond);
}

TDateTime Now() { return FromTimePoint(std::chrono::system_clock::now()); }

int64_t MillisecondsBetween(TDateTime a, TDateTime b) {
  return std::llround((b - a) * kMsPerDay);
}

TDateTime AddMilliseconds(TDateTime t, int64_t ms) { return t + static_cast<double>(ms) / kMsPerDay; }

void StampToBytes(TDateTime t, uint8_t out[8]) {
  uint64_t bits;
  std::memcpy(&bits, &t, 8);
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(bits >> (8 * i));
}

TDateTime StampFromBytes(const uint8_t in[8]) {
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(in[i]) << (8 * i);
  TDateTime t;
  std::memcpy(&t, &bits, 8);
  return t;
}

std::string ToIsoText(TDateTime t) {
  TDateParts p = Decode(t);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", p.Year, p.Month, p.Day,
                p.Hour, p.Minute, p.Second, p.MilliSecond);
  return buf;
}

}  // namespace dt
