#include "platform/DeviceContext.h"

#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "platform/DCSupport.h"

namespace {

// Our fixed system colours (a light desktop theme), indexed by the low byte.
constexpr std::array<TColor, 31> kSystemColors = {
    RGB(200, 200, 200), RGB(0, 0, 0),       RGB(153, 180, 209), RGB(191, 205, 219),
    RGB(240, 240, 240), RGB(255, 255, 255), RGB(100, 100, 100), RGB(0, 0, 0),
    RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(180, 180, 180), RGB(244, 247, 252),
    RGB(171, 171, 171), RGB(51, 153, 255),  RGB(255, 255, 255), RGB(240, 240, 240),
    RGB(160, 160, 160), RGB(109, 109, 109), RGB(0, 0, 0),       RGB(67, 78, 84),
    RGB(255, 255, 255), RGB(105, 105, 105), RGB(227, 227, 227), RGB(0, 0, 0),
    RGB(255, 255, 225), RGB(0, 0, 0),       RGB(0, 102, 204),   RGB(185, 209, 234),
    RGB(215, 228, 242), RGB(51, 153, 255),  RGB(240, 240, 240)};

constexpr uint8_t kHatches[6][8] = {
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF},  // horizontal
    {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08},  // vertical
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},  // forward diagonal "\"
    {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},  // backward diagonal "/"
    {0x08, 0x08, 0x08, 0xFF, 0x08, 0x08, 0x08, 0x08},  // cross
    {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},  // diagonal cross
};

}  // namespace

TColor ColorToRGB(TColor color) {
  if ((color & 0xFF000000) == clSystemColor) {
    const unsigned index = color & 0xFF;
    return index < kSystemColors.size() ? kSystemColors[index] : clBlack;
  }
  return color & 0x00FFFFFF;
}

std::string MapFontFace(const std::string& name) {
  // Metric-compatible faces, so layouts do not depend on the machine's fonts.
  static const std::pair<const char*, const char*> kFaces[] = {
      {"Arial", "Liberation Sans"},         {"Helvetica", "Liberation Sans"},
      {"MS Sans Serif", "Liberation Sans"}, {"Tahoma", "Liberation Sans"},
      {"Times New Roman", "Liberation Serif"}, {"Courier New", "Liberation Mono"},
      {"Courier", "Liberation Mono"}};
  for (const auto& [from, to] : kFaces)
    if (QString::fromLatin1(name.c_str()).compare(QLatin1String(from), Qt::CaseInsensitive) == 0)
      return to;
  return name;
}

std::shared_ptr<const TDCResolvedFont> ResolveFont(const TDCFont& desc) {
  struct Entry {
    TDCFont Desc;
    std::shared_ptr<const TDCResolvedFont> Font;
  };
  thread_local std::vector<Entry> cache;
  for (size_t i = 0; i < cache.size(); ++i)
    if (cache[i].Desc == desc) {
      if (i > 0) std::swap(cache[i], cache[i - 1]);  // keep hot fonts in front
      return cache[i > 0 ? i - 1 : 0].Font;
    }

  QFont f(QString::fromLatin1(MapFontFace(desc.Name).c_str()));
  f.setKerning(false);
  f.setWeight(QFont::Weight(std::clamp(desc.Weight, 1, 1000)));
  f.setItalic(desc.Italic);
  f.setUnderline(desc.Underline);
  f.setStrikeOut(desc.StrikeOut);
  int em = desc.Height < 0 ? -desc.Height : 12;
  if (desc.Height > 0) {  // a cell height: find the em size whose cell it is
    f.setPixelSize(desc.Height);
    QFontMetrics m(f);
    const int cell = std::max(1, m.ascent() + m.descent());
    em = std::max(1, int(std::lround(double(desc.Height) * desc.Height / cell)));
  }
  f.setPixelSize(std::max(1, em));
  QFontMetrics m(f);
  TDCTextMetrics tm;
  tm.Ascent = m.ascent();
  tm.Descent = m.descent();
  tm.Height = tm.Ascent + tm.Descent;
  tm.InternalLeading = std::max(0, tm.Height - f.pixelSize());
  tm.AveCharWidth = m.averageCharWidth();
  auto font = std::make_shared<const TDCResolvedFont>(f, m, tm);
  if (cache.size() >= 16) cache.pop_back();
  cache.insert(cache.begin(), Entry{desc, font});
  return font;
}

int TDCResolvedFont::Advance(std::string_view text) const {
  const std::lock_guard hold(lock_);
  if (const auto it = advances_.find(text); it != advances_.end()) return it->second;
  if (advances_.size() >= kMaxRemembered) advances_.clear();
  const int w = Metrics.horizontalAdvance(Latin1(text));
  advances_.emplace(std::string(text), w);
  return w;
}

int TextWidth(const TDCResolvedFont& font, std::string_view text, int extra) {
  if (text.empty()) return 0;
  return font.Advance(text) + extra * int(text.size());
}

const uint8_t* HatchBits(TDCBrushStyle style) {
  const int i = int(style) - int(TDCBrushStyle::Horizontal);
  return i >= 0 && i < 6 ? kHatches[i] : nullptr;
}

TArcAngles ArcAngles(const TRect& r, TPoint start, TPoint end, bool clockwise) {
  const double cx = (r.Left + r.Right) / 2.0, cy = (r.Top + r.Bottom) / 2.0;
  auto angle = [&](TPoint p) {
    return std::atan2(cy - p.Y, p.X - cx) * 180.0 / std::numbers::pi;
  };
  TArcAngles a;
  a.Start = angle(start);
  double span = angle(end) - a.Start;
  if (clockwise) {
    while (span >= 0) span -= 360;
  } else {
    while (span <= 0) span += 360;
  }
  a.Span = span;
  return a;
}
