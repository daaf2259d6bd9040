#include "chart/ChartProcs.h"

#include <algorithm>
#include <cstdlib>
#include <map>

#include "chart/ChartConst.h"

const std::array<TColor, 20> kDefaultPalette = {
    0x0000FF, 0x008000, 0x00FFFF, 0xFF0000, 0xFFFFFF, 0x808080, 0xFF00FF,
    0x808000, 0x800000, 0x000080, 0x00FF00, 0x008080, 0x800080, 0xC0C0C0,
    0xFFFF00, 0x000000, 0xC0DCC0, 0xF0CAA6, 0xF0FBFF, 0xA4A0A0};

namespace {

std::vector<TColor>& Palette() {
  static std::vector<TColor> palette(kDefaultPalette.begin(), kDefaultPalette.end());
  return palette;
}

constexpr double kDay = 1.0;
constexpr double kSec = 1.0 / 86400.0;

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

using Wide = __int128;  // products of two pixel differences exceed 64 bits only here

}  // namespace

TColor PaletteColorAt(int index) {
  const auto& p = Palette();
  const int n = int(p.size());
  return p[((index % n) + n) % n];
}

void ReplacePalette(const std::vector<TColor>& colors) {
  if (colors.empty()) Palette().assign(kDefaultPalette.begin(), kDefaultPalette.end());
  else Palette() = colors;
}

const std::array<double, dtNone> DateTimeStep = {
    1.0 / 86400000000.0, 1.0 / 86400000.0, kSec, 5 * kSec, 10 * kSec, 15 * kSec, 30 * kSec,
    60 * kSec, 300 * kSec, 600 * kSec, 900 * kSec, 1800 * kSec, 1.0 / 24, 2.0 / 24, 6.0 / 24,
    12.0 / 24, kDay, 2 * kDay, 3 * kDay, 7 * kDay, 15 * kDay, 30 * kDay, 60 * kDay, 90 * kDay,
    120 * kDay, 182 * kDay, 365 * kDay};

double FollowingDateStep(double length) {
  for (int i = dtSixMonths; i >= dtOneMicroSecond; --i)
    if (length >= DateTimeStep[i]) return DateTimeStep[i + 1];
  return DateTimeStep[dtOneYear];
}

TDateTimeStep NearestDateStep(double length) {
  for (int i = dtOneYear; i >= dtOneMicroSecond; --i)
    if (std::abs(DateTimeStep[i] - length) < DateTimeStep[dtOneMicroSecond]) return TDateTimeStep(i);
  return dtNone;
}

const std::string& DateStepWording(double value) {
  return value <= 1 ? ChartConst::DateStepSingular : ChartConst::DateStepPlural;
}

TDateTime TruncateDateToStep(TDateTimeStep step, TDateTime date) {
  if (date < dt::EncodeDate(1900, 1, 1)) return date;
  dt::TDateParts p = dt::Decode(date);
  switch (step) {
    case dtHalfMonth: p.Day = p.Day >= 15 ? 15 : 1; break;
    case dtOneMonth: case dtTwoMonths: case dtThreeMonths: case dtFourMonths: case dtSixMonths:
      p.Day = 1;
      break;
    case dtOneYear: p.Day = 1, p.Month = 1; break;
    default: break;
  }
  return dt::EncodeDate(p.Year, p.Month, p.Day);
}

void MonthsForward(int months, int& year, int& month, int& day) {
  month += months;
  while (month > 12) month -= 12, ++year;
  day = std::min(day, DaysInMonth(year, month));
}

void MonthsBack(int months, int& year, int& month, int& day) {
  month -= months;
  while (month < 1) month += 12, --year;
  day = std::min(day, DaysInMonth(year, month));
}

void StepDateTime(bool isDateTime, bool increment, TDateTime& date, TDateTimeStep step,
                  double stepLength) {
  if (!isDateTime || step < dtHalfMonth || step > dtOneYear) {
    date += increment ? stepLength : -stepLength;
    return;
  }
  dt::TDateParts p = dt::Decode(date);
  int y = p.Year, m = p.Month, d = p.Day;
  static constexpr int kMonths[] = {0, 1, 2, 3, 4, 6};  // by step from dtHalfMonth
  if (step == dtHalfMonth) {
    if (increment) {
      // Always forward: before the 15th to the 15th, from it to the next 1st.
      if (d < 15) d = 15;
      else d = 1, MonthsForward(1, y, m, d);
    } else if (d > 15) {
      d = 15;
    } else if (d > 1) {
      d = 1;
    } else {
      d = 15, MonthsBack(1, y, m, d);
    }
  } else if (step == dtOneYear) {
    y += increment ? 1 : -1;
    d = std::min(d, DaysInMonth(y, m));
  } else if (increment) {
    MonthsForward(kMonths[step - dtHalfMonth], y, m, d);
  } else {
    MonthsBack(kMonths[step - dtHalfMonth], y, m, d);
  }
  date = dt::EncodeDate(y, m, d);
}

bool PointNearLine(TPoint p, TPoint a, TPoint b, int tolerance) {
  const int64_t dx = int64_t(b.X) - a.X, dy = int64_t(b.Y) - a.Y;
  const Wide m = std::max(std::abs(dy), std::abs(dx));
  Wide c = Wide(dy) * (int64_t(p.X) - a.X) - Wide(int64_t(p.Y) - a.Y) * dx;
  if (c < 0) c = -c;
  if (!(m > c)) return false;
  auto beyond = [tolerance](int64_t v, int64_t lo, int64_t hi) {
    return v < lo - tolerance || v > hi + tolerance;
  };
  return !beyond(p.X, std::min(a.X, b.X), std::max(a.X, b.X)) &&
         !beyond(p.Y, std::min(a.Y, b.Y), std::max(a.Y, b.Y));
}

bool PointInsidePolygon(TPoint p, const TPoint* pts, int lastIndex) {
  bool inside = false;
  for (int i = 0, j = lastIndex; i <= lastIndex; j = i++) {
    const TPoint& u = pts[i];
    const TPoint& v = pts[j];
    if ((p.Y >= std::min(u.Y, v.Y)) && (p.Y < std::max(u.Y, v.Y))) {
      // p.X < u.X + (p.Y - u.Y)(v.X - u.X) / (v.Y - u.Y), without dividing.
      const int64_t ey = int64_t(v.Y) - u.Y;
      const Wide lhs = Wide(int64_t(p.X) - u.X) * ey;
      const Wide rhs = Wide(int64_t(p.Y) - u.Y) * (int64_t(v.X) - u.X);
      if (ey > 0 ? lhs < rhs : lhs > rhs) inside = !inside;
    }
  }
  return inside;
}

std::string FieldSeparator = ";";

std::string NthField(const std::string& text, int n) { return NthField(text, n, FieldSeparator); }

std::string NthField(const std::string& text, int n, const std::string& separator) {
  if (text.empty() || n < 1) return {};
  if (separator.empty()) return n == 1 ? text : std::string();
  size_t start = 0;
  for (int k = 1; k < n; ++k) {
    const size_t at = text.find(separator, start);
    if (at == std::string::npos) return text.substr(start);
    start = at + separator.size();
  }
  const size_t end = text.find(separator, start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string ReplaceEveryChar(std::string text, char ch, char replacement) {
  if (replacement == '\0') {
    std::erase(text, ch);
  } else {
    std::replace(text.begin(), text.end(), ch, replacement);
  }
  return text;
}

void PaintCheckBox(int x, int y, IDeviceContext& dc, bool checkBox, bool checked) {
  const TDCPen savedPen = dc.Pen();
  const TDCBrush savedBrush = dc.Brush();
  // A sunken 3-D edge round a white face, as the platform's button frames look.
  auto edge = [&](int inset, TColor topLeft, TColor bottomRight) {
    const int l = x + inset, t = y + inset, r = x + 12 - inset, b = y + 12 - inset;
    dc.SetPen({TDCPenStyle::Solid, 1, topLeft});
    dc.MoveTo(l, b - 1), dc.LineTo(l, t), dc.LineTo(r, t);
    dc.SetPen({TDCPenStyle::Solid, 1, bottomRight});
    dc.MoveTo(l, b), dc.LineTo(r, b), dc.LineTo(r, t - 1);
  };
  if (checkBox) {
    edge(0, clBtnShadow, clBtnHighlight);
    edge(1, cl3DDkShadow, cl3DLight);
    dc.SetBrush({TDCBrushStyle::Solid, clWindow, {}});
    dc.FillRect({x + 2, y + 2, x + 11, y + 11});
    if (checked) {
      dc.SetPen({TDCPenStyle::Solid, 1, clWindowText});
      for (int k = 0; k < 3; ++k) {  // a tick three pixels thick
        const TPoint tick[] = {{x + 3, y + 5 + k}, {x + 5, y + 7 + k}, {x + 10, y + 2 + k}};
        dc.Polyline(tick, 3);
      }
    }
  } else {
    dc.SetPen({TDCPenStyle::Solid, 1, clBtnShadow});
    dc.SetBrush({TDCBrushStyle::Solid, clWindow, {}});
    dc.Ellipse({x, y, x + 13, y + 13});
    if (checked) {
      dc.SetPen({TDCPenStyle::Clear, 1, clWindowText});
      dc.SetBrush({TDCBrushStyle::Solid, clWindowText, {}});
      dc.Ellipse({x + 4, y + 4, x + 10, y + 10});
    }
  }
  dc.SetPen(savedPen);
  dc.SetBrush(savedBrush);
}

namespace {

std::map<int, Qt::CursorShape>& CursorList() {
  static std::map<int, Qt::CursorShape> list;
  return list;
}

// The hand cursor lives as long as the unit.
struct TCursorRegistration {
  TCursorRegistration() { CursorList()[crChartHand] = Qt::PointingHandCursor; }
  ~TCursorRegistration() { CursorList().erase(crChartHand); }
} gHandCursor;

}  // namespace

Qt::CursorShape ChartCursor(int id) {
  const auto it = CursorList().find(id);
  return it == CursorList().end() ? Qt::ArrowCursor : it->second;
}
