#pragma once
// Small routines the chart engine, axes, series and tools share: the default
// series palette, the date-time step table with its rounding and stepping
// rules, hit tests, a generic index sort, text fields, the check box and the
// chart's hand cursor.
#include <Qt>

#include <array>
#include <string>
#include <vector>

#include "platform/DateTime.h"
#include "platform/DeviceContext.h"

// --- Palette

// The 20 default series colours.
extern const std::array<TColor, 20> kDefaultPalette;
// palette[index mod size], for any index (negative ones too).
TColor PaletteColorAt(int index);
// Replaces the palette; an empty list restores the default one.
void ReplacePalette(const std::vector<TColor>& colors);

// --- Date-time steps

enum TDateTimeStep : int {
  dtOneMicroSecond, dtOneMillisecond, dtOneSecond, dtFiveSeconds, dtTenSeconds,
  dtFifteenSeconds, dtThirtySeconds, dtOneMinute, dtFiveMinutes, dtTenMinutes,
  dtFifteenMinutes, dtThirtyMinutes, dtOneHour, dtTwoHours, dtSixHours, dtTwelveHours,
  dtOneDay, dtTwoDays, dtThreeDays, dtOneWeek, dtHalfMonth, dtOneMonth, dtTwoMonths,
  dtThreeMonths, dtFourMonths, dtSixMonths, dtOneYear, dtNone
};

// Length of each step in days (dtNone has none).
extern const std::array<double, dtNone> DateTimeStep;

// The step after the largest one not above `length`; 365 days when `length`
// is at least 182 days or below one microsecond.
double FollowingDateStep(double length);
// The step whose length is within a microsecond of `length`, else dtNone.
TDateTimeStep NearestDateStep(double length);
// The chart table's wording of a step count: singular up to 1, plural above.
const std::string& DateStepWording(double value);
// A date from 1900-01-01 on rounded down to the step's calendar boundary (the
// day, the 1st or 15th, the 1st of the month, the 1st of January); earlier
// dates come back unchanged.
TDateTime TruncateDateToStep(TDateTimeStep step, TDateTime date);
// Moves `date` one step forward or back. Calendar steps (half month and up)
// of date-time values keep the date only and stay inside the month: a day
// past the end of the target month becomes its last day.
void StepDateTime(bool isDateTime, bool increment, TDateTime& date, TDateTimeStep step, double stepLength);
// Month arithmetic with year carry; the day is cut to the new month's length.
void MonthsForward(int months, int& year, int& month, int& day);
void MonthsBack(int months, int& year, int& month, int& day);

// --- Hit tests (exact for any int coordinates)

// Within about one pixel of the line A-B and inside its bounding box widened
// by `tolerance`. A degenerate segment contains no point.
bool PointNearLine(TPoint p, TPoint a, TPoint b, int tolerance = 0);
// Even-odd crossing test over points[0..lastIndex].
bool PointInsidePolygon(TPoint p, const TPoint* points, int lastIndex);

// --- Sorting

// In-place quicksort of the index range [first, last] through the caller's
// compare(a, b) (< 0, 0, > 0) and swap(a, b).
template <class Compare, class Swap>
void SortIndexRange(int first, int last, Compare&& compare, Swap&& swap) {
  if (first >= last) return;  // an empty list comes as (0, -1): nothing to read
  int i = first, j = last, pivot = first + (last - first) / 2;
  do {
    while (compare(i, pivot) < 0) ++i;
    while (compare(pivot, j) < 0) --j;
    if (i <= j) {
      if (i != j) {
        swap(i, j);
        if (pivot == i) pivot = j;
        else if (pivot == j) pivot = i;
      }
      ++i;
      --j;
    }
  } while (i <= j);
  if (first < j) SortIndexRange(first, j, compare, swap);
  if (i < last) SortIndexRange(i, last, compare, swap);
}

// --- Texts

// The separator NthField uses by default.
extern std::string FieldSeparator;
// Field n (from 1); empty for an empty text or n < 1; past the last separator
// the text after it.
std::string NthField(const std::string& text, int n);
std::string NthField(const std::string& text, int n, const std::string& separator);
// Every `ch` replaced by `replacement`; a replacement of '\0' deletes them.
std::string ReplaceEveryChar(std::string text, char ch, char replacement);

// --- Check box and cursor

// A 13×13 check box (or radio button) with its top-left at (x, y).
void PaintCheckBox(int x, int y, IDeviceContext& dc, bool checkBox, bool checked);

constexpr int crChartHand = 2020;
// The shape registered under a chart cursor number (the hand while the unit lives).
Qt::CursorShape ChartCursor(int id);
