#include "chart/ChartExport.h"

#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QMimeData>

#include <algorithm>

#include "chart/ChartBmpOptions.h"
#include "chart/ChartConst.h"
#include "chart/ChartEmfOptions.h"
#include "platform/AtomicFile.h"

using ChartConst::Msg;

// --- Base and saving

TChartExportFormat::~TChartExportFormat() = default;

TCustomChartPanel& TChartExportFormat::RequirePanel() const {
  if (!Panel) throw EChartExportError(Msg(ChartConst::cmPanelPropertyIsNotSetInExport));
  return *Panel;
}

void TChartExportFormat::FillSize() {
  TCustomChartPanel& panel = RequirePanel();
  if (Width == 0) Width = panel.Width();
  if (Height == 0) Height = panel.Height();
}

void SaveToFile(TChartExportFormat& format, const QString& fileName) {
  format.FillSize();  // the no-panel error, before anything is written
  format.Options(true);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  format.SaveToStream(buffer);
  SaveFileAtomically(fileName, bytes);
}

namespace {

std::vector<TChartExportFormatClass>& Registered() {
  static std::vector<TChartExportFormatClass> list;
  return list;
}

}  // namespace

void TChartExportFormats::Register(TChartExportFormatClass cls) {
  if (std::find(Registered().begin(), Registered().end(), cls) == Registered().end()) Registered().push_back(cls);
}

void TChartExportFormats::Unregister(TChartExportFormatClass cls) { std::erase(Registered(), cls); }

const std::vector<TChartExportFormatClass>& TChartExportFormats::Classes() { return Registered(); }

// --- Bitmap writer

namespace {

struct TBmpHeader {
  QByteArray Data;
  void U16(unsigned v) { Data.append(char(v & 0xFF)), Data.append(char((v >> 8) & 0xFF)); }
  void U32(uint32_t v) { U16(v & 0xFFFF), U16(v >> 16); }
};

// The 16 colours of a 4-bit bitmap.
QList<QRgb> SixteenColours() {
  return {qRgb(0, 0, 0),     qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
          qRgb(0, 0, 128),   qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
          qRgb(128, 128, 128), qRgb(255, 0, 0), qRgb(0, 255, 0),   qRgb(255, 255, 0),
          qRgb(0, 0, 255),   qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
}

// Our writer for the depths Qt does not write: 1, 4, 8, 15, 16 and 32 bits.
QByteArray OwnBitmapBytes(const QImage& source, int bits, bool fiveSixFive) {
  QImage img = source.convertToFormat(QImage::Format_RGB32);
  if (bits == 1) img = img.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
  else if (bits == 4) img = img.convertToFormat(QImage::Format_Indexed8, SixteenColours(), Qt::ThresholdDither);
  else if (bits == 8) img = img.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
  const int w = img.width(), h = img.height();
  const QList<QRgb> palette = bits <= 8 ? img.colorTable() : QList<QRgb>();
  const int colours = bits <= 8 ? (1 << bits) : 0;
  const int masks = fiveSixFive ? 12 : 0;
  const int stride = ((w * bits + 31) / 32) * 4;
  const uint32_t offBits = 14 + 40 + masks + colours * 4, size = offBits + uint32_t(stride) * h;
  TBmpHeader b;
  b.Data.append("BM"), b.U32(size), b.U32(0), b.U32(offBits);
  b.U32(40), b.U32(w), b.U32(h), b.U16(1), b.U16(bits), b.U32(fiveSixFive ? 3 : 0), b.U32(uint32_t(stride) * h);
  b.U32(3780), b.U32(3780), b.U32(colours), b.U32(0);
  if (fiveSixFive) b.U32(0xF800), b.U32(0x07E0), b.U32(0x001F);
  for (int i = 0; i < colours; ++i) b.U32(i < palette.size() ? palette[i] & 0xFFFFFF : 0);
  QByteArray out = b.Data;
  QByteArray row(stride, '\0');
  for (int y = h - 1; y >= 0; --y) {
    row.fill('\0');
    uint8_t* o = reinterpret_cast<uint8_t*>(row.data());
    const uint8_t* line = img.constScanLine(y);
    const QRgb* rgb = reinterpret_cast<const QRgb*>(line);
    for (int x = 0; x < w; ++x) {
      switch (bits) {
        case 1: if (x % 8 == 0) o[x / 8] = line[x / 8]; break;  // Qt's mono rows are MSB first as well
        case 4: o[x / 2] |= uint8_t((line[x] & 0x0F) << (x % 2 ? 0 : 4)); break;
        case 8: o[x] = line[x]; break;
        case 16: {
          const unsigned r = qRed(rgb[x]), g = qGreen(rgb[x]), bl = qBlue(rgb[x]);
          const unsigned v = fiveSixFive ? ((r >> 3) << 11) | ((g >> 2) << 5) | (bl >> 3)
                                         : ((r >> 3) << 10) | ((g >> 3) << 5) | (bl >> 3);
          o[2 * x] = uint8_t(v), o[2 * x + 1] = uint8_t(v >> 8);
          break;
        }
        default:
          o[4 * x] = uint8_t(qBlue(rgb[x])), o[4 * x + 1] = uint8_t(qGreen(rgb[x])), o[4 * x + 2] = uint8_t(qRed(rgb[x]));
          break;
      }
    }
    out.append(row);
  }
  return out;
}

}  // namespace

QByteArray BitmapFileBytes(const QImage& image, int pixelFormat) {
  switch (pixelFormat) {
    case 1: return OwnBitmapBytes(image, 1, false);
    case 2: return OwnBitmapBytes(image, 4, false);
    case 3: return OwnBitmapBytes(image, 8, false);
    case 4: return OwnBitmapBytes(image, 16, false);
    case 5: return OwnBitmapBytes(image, 16, true);
    case 7: return OwnBitmapBytes(image, 32, false);
    default: {  // the device's depth and 24 bit: Qt writes 24-bit bitmaps
      QByteArray bytes;
      QBuffer buffer(&bytes);
      buffer.open(QIODevice::WriteOnly);
      if (!image.convertToFormat(QImage::Format_RGB32).save(&buffer, "BMP"))
        throw EChartExportError("Cannot write the bitmap");
      return bytes;
    }
  }
}

// --- Bitmap format

TBMPExportFormat::TBMPExportFormat() = default;
TBMPExportFormat::~TBMPExportFormat() = default;

std::string TBMPExportFormat::Description() const { return Msg(ChartConst::cmAsBitmap); }
std::string TBMPExportFormat::DialogFilter() const { return Msg(ChartConst::cmBitmapsBmpBmp); }

TBMPOptions* TBMPExportFormat::BMPOptions(bool create) {
  if (!options_ && create) options_ = std::make_unique<TBMPOptions>();
  return options_.get();
}

QWidget* TBMPExportFormat::Options(bool create) { return BMPOptions(create); }

QImage TBMPExportFormat::Bitmap() {
  BMPOptions(true);
  FillSize();
  TCustomChartPanel& panel = *Panel;
  return panel.MakeSizedBitmap(panel.Color(), {0, 0, Width, Height});
}

void TBMPExportFormat::SaveToStream(QIODevice& stream) {
  const QImage bitmap = Bitmap();
  int format = options_->CBMono->isChecked() ? 1 : options_->CBColors->currentIndex();
  if (Panel->Canvas().IsAlternateRenderer()) format = 6;
  stream.write(BitmapFileBytes(bitmap, format));
}

void TBMPExportFormat::PutOnClipboard() { QGuiApplication::clipboard()->setImage(Bitmap()); }

// --- Metafile format

TEMFExportFormat::TEMFExportFormat() = default;
TEMFExportFormat::~TEMFExportFormat() = default;

std::string TEMFExportFormat::Description() const { return Msg(ChartConst::cmAsMetafile); }
std::string TEMFExportFormat::DialogFilter() const {
  return Msg(ChartConst::cmEnhancedMetafilesEmfEmfMetafilesWmfWmf);
}

TEMFOptions* TEMFExportFormat::EMFOptions(bool create) {
  if (!options_ && create) options_ = std::make_unique<TEMFOptions>();
  return options_.get();
}

QWidget* TEMFExportFormat::Options(bool create) { return EMFOptions(create); }

bool TEMFExportFormat::Enhanced() const { return !options_ || options_->CBEnhanced->isChecked(); }

int TEMFExportFormat::FilterIndex() const { return Enhanced() ? filterIndex_ : filterIndex_ + 1; }

void TEMFExportFormat::TakeFilterPosition(int& counter) {
  TChartExportFormat::TakeFilterPosition(counter);
  ++counter;  // the plain metafile's entry
}

bool TEMFExportFormat::UsesFilterPosition(int index) {
  if (index == filterIndex_) return true;
  if (index != filterIndex_ + 1) return false;
  EMFOptions(true)->CBEnhanced->setChecked(false);
  return true;
}

std::string TEMFExportFormat::FileSuffix() const { return Enhanced() ? "emf" : "wmf"; }

QByteArray TEMFExportFormat::MetafileBytes() {
  FillSize();
  const TDisplayList list = Panel->BuildMetafile({0, 0, Width, Height});
  return Enhanced() ? EnhancedMetafileBytes(list) : PlainMetafileBytes(list);
}

void TEMFExportFormat::SaveToStream(QIODevice& stream) { stream.write(MetafileBytes()); }

void TEMFExportFormat::PutOnClipboard() {
  auto* data = new QMimeData;
  data->setData(Enhanced() ? "image/x-emf" : "image/x-wmf", MetafileBytes());
  QGuiApplication::clipboard()->setMimeData(data);
}

// --- Save routine and registration

void WriteChartBitmap(TCustomChartPanel& panel, const QString& fileName, const TRect& r) {
  TBMPExportFormat format;
  format.Panel = &panel;
  format.Width = r.Width(), format.Height = r.Height();
  SaveToFile(format, fileName);
}

namespace {

std::unique_ptr<TChartExportFormat> NewBMP() { return std::make_unique<TBMPExportFormat>(); }
std::unique_ptr<TChartExportFormat> NewEMF() { return std::make_unique<TEMFExportFormat>(); }

struct TRegistration {
  TRegistration() { TChartExportFormats::Register(NewBMP), TChartExportFormats::Register(NewEMF); }
  ~TRegistration() { TChartExportFormats::Unregister(NewBMP), TChartExportFormats::Unregister(NewEMF); }
} registration;

}  // namespace
