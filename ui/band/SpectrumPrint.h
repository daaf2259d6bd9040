#pragma once
// The spectrum's print preview: the band analyzer's chart on the page of the
// shared preview, in a chosen detail and optionally monochrome, on white and
// without the search band.
#include "ui/PrintPreview.h"

class QCheckBox;
class TChart;
class TColorBandTool;

class TPrintPreviewForm : public TPrintPreviewBase {
 public:
  TPrintPreviewForm(TChart& Chart, TColorBandTool& SearchBand, bool ShowSearchBand, QWidget* Owner = nullptr);

  QSlider* Detail;  // -100 (fine) .. 0 (normal)
  QCheckBox* cbMonochrome;

 protected:
  TSize ContentSize() override;
  void DrawContent(IDeviceContext& Dc, const TRect& R) override;

 private:
  TChart& chart_;
  TColorBandTool& band_;
  bool showBand_;
};
