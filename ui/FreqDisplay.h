#pragma once
// The frequency readout: four digits and a decimal point drawn from glyph
// pictures onto a paint box (any plain widget the owner places), through an
// off-screen bitmap the size of the box.
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <array>
#include <cstdint>

#include "receiver/shared.h"
#include "ui/Pictures.h"

class QWidget;

struct TGlyphPlacement {
  int Glyph;  // index in the glyph list
  int X;      // left edge in the box; every glyph sits at y = 0
  bool operator==(const TGlyphPlacement&) const = default;
};

// The glyphs that show `tenths` (a frequency in tenths of MHz), in drawing
// order: the point, then the tenths digit over the point's right part, the
// units, the tens and the hundreds (blank when 0). Dimmed glyphs when not
// enabled.
std::array<TGlyphPlacement, 5> FreqGlyphPlan(int32_t tenths, bool enabled);

class TFreqDisplay : public QObject {
  Q_OBJECT
 public:
  // The band in tenths of MHz.
  static constexpr int32_t kMinTenths = static_cast<int32_t>(kBandLowMHz * 10);
  static constexpr int32_t kMaxTenths = static_cast<int32_t>(kBandHighMHz * 10);

  // Takes over the box's painting; the glyph list is not owned.
  TFreqDisplay(QWidget* Box, TImageList* Glyphs);
  ~TFreqDisplay() override;

  // Only while enabled: stores the value clamped to 87.0..108.0 MHz and repaints.
  void SetValue(int32_t Tenths);
  int32_t Value() const { return Value_; }
  void SetEnabled(bool On);
  bool Enabled() const { return Enabled_; }

  // Draws the readout into the bitmap (nothing without glyphs) and returns it.
  const QImage& Render();
  const QImage& Bitmap() const { return Bitmap_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QWidget> Box;
  QPointer<TImageList> Glyphs;
  QImage Bitmap_;
  int32_t Value_ = kMinTenths;
  bool Enabled_ = false;
};
