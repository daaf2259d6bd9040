#pragma once
// The JPEG export: the options record and form, the format, the compressor
// over libjpeg and WriteChartJpeg.
#include <QWidget>

#include "chart/ChartExport.h"

class QCheckBox;
class QGroupBox;
class QRadioButton;
class QSpinBox;

// The JPEG options record; JPEGDefaults holds the starting values.
struct TJPEGDefaults {
  uint8_t CompressionQuality = 90;
  bool GrayScale = false;
  uint8_t Performance = 0;  // 0 best quality, 1 best speed (the DCT method)
  uint8_t PixelFormat = 0;  // 0 = 24 bit
  bool ProgressiveDisplay = false;
  bool ProgressiveEncoding = false;
  uint8_t Scale = 0;  // 0 = full size
  bool Smoothing = true;
};
static_assert(sizeof(TJPEGDefaults) == 8);
extern TJPEGDefaults JPEGDefaults;

// The bytes of a JPEG file of `image`; the display-side fields (pixel
// format, progressive display, scale, smoothing) are kept by the image, not
// by the file.
QByteArray JpegBytes(const QImage& image, const TJPEGDefaults& options);

class TChartJPEGOptions : public QWidget {
 public:
  explicit TChartJPEGOptions(QWidget* parent = nullptr);
  QCheckBox* CBGray;
  QGroupBox* RGPerf;
  QRadioButton* RBQuality;
  QRadioButton* RBSpeed;
  QSpinBox* EQuality;  // with its up-down, 1..100
  int Performance() const;
};

class TJPEGExportFormat : public TChartExportFormat {
 public:
  TJPEGExportFormat();
  ~TJPEGExportFormat() override;
  void PutOnClipboard() override;
  std::string Description() const override;
  std::string FileSuffix() const override { return "jpg"; }
  std::string DialogFilter() const override;
  void SaveToStream(QIODevice& stream) override;
  QWidget* Options(bool create = true) override;
  TChartJPEGOptions* JPEGOptions(bool create = true);
  QByteArray Jpeg();

 private:
  std::unique_ptr<TChartJPEGOptions> options_;
};

// Saves the panel as a JPEG of quality 100; a name without extension gets
// ".jpg", a width or height below 1 is the panel's.
void WriteChartJpeg(TCustomChartPanel& panel, const QString& fileName, int width, int height);
