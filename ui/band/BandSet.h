#pragma once
// The band analyzer's settings dialog: zoom origin, scan range mode, which of
// the analyzer's curves are shown and their colours. The check boxes and
// colour buttons act on the analyzer's chart at once; OK keeps the choices in
// the settings record. The record is saved on OK and on Cancel alike, and the
// analyzer then shows what the record holds.
#include <QDialog>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "logstore/SettingsRecord.h"

class QCheckBox;
class QPushButton;
class QRadioButton;
class QToolButton;

// The analyzer's curves and band, in the dialog's order.
enum TBandVisual { bvDiscrete, bvSmooth, bvFill, bvSearchBand, kBandVisuals };

// What the dialog changes on the band analyzer window while it is open.
class IBandSetView {
 public:
  virtual ~IBandSetView() = default;
  virtual void ShowVisual(TBandVisual Visual, bool Shown) = 0;
  virtual void SetVisualColor(TBandVisual Visual, int32_t Color) = 0;
  // The range edits and their labels.
  virtual void ShowRangeEdits(bool Shown) = 0;
  virtual void SetRangeTexts(const std::string& Start, const std::string& End) = 0;
  virtual void HideStationLabels() = 0;
  // After the dialog: range edits, visibilities and colours from the record.
  virtual void ApplySettings(const TSettingsRecord& Settings) = 0;
};

// The colours a fresh settings record holds: discrete, smooth, fill, band.
inline constexpr std::array<int32_t, kBandVisuals> kDefaultBandColors = {0x0000FF, 0xFF0000, 0xFF0000, 0x808040};

class TBandSetForm : public QDialog {
  Q_OBJECT
 public:
  // View may be null (no analyzer window to act on).
  TBandSetForm(IBandSetView* View, QWidget* Owner = nullptr);
  ~TBandSetForm() override;

  QRadioButton* rbZoomCenter;
  QRadioButton* rbZoomMarker;
  QCheckBox* discrete;
  QCheckBox* smooth;
  QCheckBox* area;
  QCheckBox* SearchStop;
  QToolButton* sbDiscrete;
  QToolButton* sbSmooth;
  QToolButton* sbArea;
  QToolButton* sbSArea;
  QRadioButton* FullRange;
  QRadioButton* CustomRange;
  QPushButton* btnClearBaloons;
  QPushButton* btnDefaults;
  QPushButton* btnOK;
  QPushButton* btnCancel;

  // Colour chooser: the confirmed colour, or nullopt. Tests set it; by
  // default the system colour dialog.
  std::function<std::optional<int32_t>(int32_t Initial)> ChooseColor;

  // The colours being edited (discrete, smooth, fill, band).
  const std::array<int32_t, kBandVisuals>& Colors() const { return colors_; }
  // The colour a button's glyph shows.
  int32_t GlyphColor(TBandVisual Visual) const;

  // Opening: colours, radio buttons and check boxes from the settings.
  void Preset(const TSettingsRecord& Settings);
  // Closing: on OK the settings take the dialog's choices; then, OK or not,
  // the record is saved and the view shows what it holds.
  void Finish(bool Accepted, TSettingsRecord& Settings, const std::function<void(const TSettingsRecord&)>& Save);

  // The analyzer's Settings button: preset, run modally, finish.
  static bool Execute(QWidget* Owner, IBandSetView* View, TSettingsRecord& Settings,
                      const std::function<void(const TSettingsRecord&)>& Save);

  void ColorClick(TBandVisual Visual);
  void btnDefaultsClick();
  void btnClearBaloonsClick();

 private:
  void SetGlyph(TBandVisual Visual, int32_t Color);
  void RangeClick(bool Full);

  IBandSetView* view_;
  std::array<int32_t, kBandVisuals> colors_ = kDefaultBandColors;
  std::array<QToolButton*, kBandVisuals> colorButtons_{};
  std::array<QCheckBox*, kBandVisuals> boxes_{};
};
