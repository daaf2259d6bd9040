#include "chart/ChartJPEG.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIODevice>
#include <QMimeData>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "chart/ChartConst.h"
#include "platform/AtomicFile.h"

TJPEGDefaults JPEGDefaults;

// --- Compressor

namespace {

struct TJpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX] = {};
};

void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<TJpegError*>(cinfo->err);
  cinfo->err->format_message(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

}  // namespace

QByteArray JpegBytes(const QImage& source, const TJPEGDefaults& o) {
  const QImage img = source.convertToFormat(o.GrayScale ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
  jpeg_compress_struct cinfo{};
  TJpegError err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = ErrorExit;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  // Nothing with a destructor lives between here and the jump.
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    throw EChartExportError(std::string("JPEG compression failed: ") + err.message);
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = JDIMENSION(img.width());
  cinfo.image_height = JDIMENSION(img.height());
  cinfo.input_components = o.GrayScale ? 1 : 3;
  cinfo.in_color_space = o.GrayScale ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  if (o.ProgressiveEncoding) jpeg_simple_progression(&cinfo);
  jpeg_set_quality(&cinfo, std::clamp(int(o.CompressionQuality), 1, 100), TRUE);
  cinfo.dct_method = o.Performance == 0 ? JDCT_ISLOW : JDCT_IFAST;
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(img.constScanLine(int(cinfo.next_scanline)));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  QByteArray bytes(reinterpret_cast<const char*>(buffer), qsizetype(size));
  std::free(buffer);
  return bytes;
}

// --- Options form

TChartJPEGOptions::TChartJPEGOptions(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  CBGray = new QCheckBox("&Gray scale", this);
  CBGray->setObjectName("CBGray");
  RGPerf = new QGroupBox(this);
  RGPerf->setObjectName("RGPerf");
  auto* perf = new QVBoxLayout(RGPerf);
  RBQuality = new QRadioButton("Q&uality", RGPerf);
  RBSpeed = new QRadioButton("&Speed", RGPerf);
  perf->addWidget(RBQuality), perf->addWidget(RBSpeed);
  RBQuality->setChecked(true);
  EQuality = new QSpinBox(this);
  EQuality->setObjectName("EQuality");
  EQuality->setRange(1, 100);
  EQuality->setValue(95);
  layout->addWidget(CBGray), layout->addWidget(RGPerf), layout->addWidget(EQuality);
  layout->addStretch();
  if (parent) setGeometry(parent->rect());  // fills its parent
}

int TChartJPEGOptions::Performance() const { return RBSpeed->isChecked() ? 1 : 0; }

// --- Format

TJPEGExportFormat::TJPEGExportFormat() = default;
TJPEGExportFormat::~TJPEGExportFormat() = default;

std::string TJPEGExportFormat::Description() const { return ChartConst::Msg(ChartConst::cmAsJPEG); }
std::string TJPEGExportFormat::DialogFilter() const { return ChartConst::Msg(ChartConst::cmJPEGFilesJpgJpg); }

TChartJPEGOptions* TJPEGExportFormat::JPEGOptions(bool create) {
  if (!options_ && create) options_ = std::make_unique<TChartJPEGOptions>();
  return options_.get();
}

QWidget* TJPEGExportFormat::Options(bool create) { return JPEGOptions(create); }

QByteArray TJPEGExportFormat::Jpeg() {
  TChartJPEGOptions& form = *JPEGOptions(true);
  FillSize();
  TJPEGDefaults o = JPEGDefaults;
  o.GrayScale = form.CBGray->isChecked();
  o.CompressionQuality = uint8_t(form.EQuality->value());
  o.Performance = uint8_t(form.Performance());
  return JpegBytes(Panel->MakeSizedBitmap(Panel->Color(), {0, 0, Width, Height}), o);
}

void TJPEGExportFormat::SaveToStream(QIODevice& stream) { stream.write(Jpeg()); }

void TJPEGExportFormat::PutOnClipboard() {
  auto* data = new QMimeData;
  data->setData("image/jpeg", Jpeg());
  QGuiApplication::clipboard()->setMimeData(data);
}

// --- Save routine and registration

void WriteChartJpeg(TCustomChartPanel& panel, const QString& fileName, int width, int height) {
  TJPEGDefaults o = JPEGDefaults;
  o.CompressionQuality = 100, o.GrayScale = false, o.Performance = 0;
  if (width < 1) width = panel.Width();
  if (height < 1) height = panel.Height();
  const QString name = QFileInfo(fileName).suffix().isEmpty() ? fileName + ".jpg" : fileName;
  SaveFileAtomically(name, JpegBytes(panel.MakeSizedBitmap(panel.Color(), {0, 0, width, height}), o));
}

namespace {

std::unique_ptr<TChartExportFormat> NewJPEG() { return std::make_unique<TJPEGExportFormat>(); }

struct TRegistration {
  TRegistration() { TChartExportFormats::Register(NewJPEG); }
  ~TRegistration() { TChartExportFormats::Unregister(NewJPEG); }
} registration;

}  // namespace
