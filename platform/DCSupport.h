#pragma once
// What the two device-context backends share: Qt fonts for font
// descriptions (so a recorded layout measures exactly like a drawn one), the
// hatch patterns and the arc geometry.
#include <QFont>
#include <QFontMetrics>
#include <QPainterPath>

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/DeviceContext.h"

// A resolved font: the Qt font drawn with and its integer metrics.
struct TDCResolvedFont {
  TDCResolvedFont(const QFont& font, const QFontMetrics& metrics, const TDCTextMetrics& text)
      : Font(font), Metrics(metrics), Text(text) {}
  QFont Font;
  QFontMetrics Metrics;
  TDCTextMetrics Text;

  // The advance of a Latin-1 text, remembered: a chart measures the same
  // labels in every frame, and shaping them is the costly part.
  int Advance(std::string_view text) const;

 private:
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  static constexpr size_t kMaxRemembered = 2048;
  mutable std::mutex lock_;  // fonts may be shared between threads
  mutable std::unordered_map<std::string, int, Hash, std::equal_to<>> advances_;
};

// Resolves a description; the last few are cached, so repeated selection of
// the same fonts costs a lookup.
std::shared_ptr<const TDCResolvedFont> ResolveFont(const TDCFont& font);

// Width of a Latin-1 text in the font, with `extra` pixels after each character.
int TextWidth(const TDCResolvedFont& font, std::string_view text, int extra);

// The 8×8 hatch bits of a hatched brush style, row by row, bit 7 the leftmost pixel.
const uint8_t* HatchBits(TDCBrushStyle style);

// Angles in degrees (counter-clockwise from 3 o'clock, y up) of the radials
// through `start` and `end` from the centre of `r`, and the counter-clockwise
// span between them (360 when they coincide).
struct TArcAngles {
  double Start = 0, Span = 360;
};
TArcAngles ArcAngles(const TRect& r, TPoint start, TPoint end, bool clockwise);

inline QString Latin1(std::string_view text) {
  return QString::fromLatin1(text.data(), qsizetype(text.size()));
}
