#pragma once
// Writing a chart panel as a picture: the export formats with their dialog
// filters and option forms, the global list of registered formats, and the
// bitmap writers.
//
// Every save builds the picture in memory and puts the file in place whole
// (SaveFileAtomically): a failed save leaves no partial file and keeps an
// existing one, and its error reaches the caller.
#include <QByteArray>
#include <QImage>
#include <QString>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "chart/ChartPanel.h"

class QIODevice;
class QWidget;
class TBMPOptions;
class TEMFOptions;

class EChartExportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TChartExportFormat {
 public:
  virtual ~TChartExportFormat();
  int Height = 0;  // 0: the panel's
  TCustomChartPanel* Panel = nullptr;
  int Width = 0;   // 0: the panel's

  virtual void PutOnClipboard() = 0;
  // Position of this format's first entry in a file dialog's filter.
  virtual int FilterIndex() const { return filterIndex_; }
  // Takes the next position(s) of a running counter.
  virtual void TakeFilterPosition(int& counter) { filterIndex_ = ++counter; }
  // Whether a chosen dialog filter index is this format's.
  virtual bool UsesFilterPosition(int index) { return index == FilterIndex(); }
  virtual std::string Description() const = 0;
  virtual std::string FileSuffix() const = 0;
  virtual std::string DialogFilter() const = 0;
  virtual void SaveToStream(QIODevice& stream) = 0;
  // The options form, created when asked (owned by the format).
  virtual QWidget* Options(bool create = true) = 0;

  // Width and Height, the panel's where 0.
  void FillSize();

 protected:
  // The panel or the no-panel error.
  TCustomChartPanel& RequirePanel() const;
  int filterIndex_ = 0;
};

// Saves the format's picture; the no-panel error comes before the file is touched.
void SaveToFile(TChartExportFormat& format, const QString& fileName);

using TChartExportFormatClass = std::unique_ptr<TChartExportFormat> (*)();

// The formats of the program, registered by each format unit at start.
class TChartExportFormats {
 public:
  static void Register(TChartExportFormatClass cls);
  static void Unregister(TChartExportFormatClass cls);
  static const std::vector<TChartExportFormatClass>& Classes();
};

class TBMPExportFormat : public TChartExportFormat {
 public:
  TBMPExportFormat();
  ~TBMPExportFormat() override;
  void PutOnClipboard() override;
  std::string Description() const override;
  std::string FileSuffix() const override { return "bmp"; }
  std::string DialogFilter() const override;
  void SaveToStream(QIODevice& stream) override;
  QWidget* Options(bool create = true) override;
  TBMPOptions* BMPOptions(bool create = true);
  // The bitmap of the panel at the chosen depth.
  QImage Bitmap();

 private:
  std::unique_ptr<TBMPOptions> options_;
};

class TEMFExportFormat : public TChartExportFormat {
 public:
  TEMFExportFormat();
  ~TEMFExportFormat() override;
  void PutOnClipboard() override;
  int FilterIndex() const override;
  void TakeFilterPosition(int& counter) override;
  bool UsesFilterPosition(int index) override;
  std::string Description() const override;
  std::string FileSuffix() const override;
  std::string DialogFilter() const override;
  void SaveToStream(QIODevice& stream) override;
  QWidget* Options(bool create = true) override;
  TEMFOptions* EMFOptions(bool create = true);
  bool Enhanced() const;
  QByteArray MetafileBytes();

 private:
  std::unique_ptr<TEMFOptions> options_;
};

// The bytes of a .bmp file of `image` at a pixel format of the depth combo
// (0 default and 6 24-bit through Qt; 1 = 1 bit, 2 = 4, 3 = 8, 4 = 15, 5 = 16,
// 7 = 32 bit with our writer).
QByteArray BitmapFileBytes(const QImage& image, int pixelFormat);

// A bitmap of the panel of `r`'s size, saved with the bitmap export.
void WriteChartBitmap(TCustomChartPanel& panel, const QString& fileName, const TRect& r);
