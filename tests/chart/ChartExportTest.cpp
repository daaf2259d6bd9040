// Picture export: format names and choices, every format read back by an
// outside reader, replay of a display list, and saves that fail whole.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSpinBox>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/mount.h>

#include <jpeglib.h>

#include "ChartPanelFixture.h"
#include "chart/Chart.h"
#include "chart/ChartBmpOptions.h"
#include "chart/ChartEmfOptions.h"
#include "chart/ChartJPEG.h"
#include "platform/AtomicFile.h"
#include "chart/Series.h"
#include "platform/PainterDC.h"
#include "support/EmfPlayer.h"
#include "support/QtApp.h"

namespace {

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

uint32_t U32At(const QByteArray& b, int at) {
  return uint8_t(b[at]) | uint8_t(b[at + 1]) << 8 | uint8_t(b[at + 2]) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}

struct JpegInfo {
  int width = 0, height = 0, components = 0;
  bool progressive = false;
  int dcStep = 0;  // the first entry of the luminance quantisation table
};

// The header as libjpeg reads it.
JpegInfo ReadJpegHeader(const QByteArray& bytes) {
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size());
  jpeg_read_header(&cinfo, TRUE);
  JpegInfo info{int(cinfo.image_width), int(cinfo.image_height), cinfo.num_components, bool(cinfo.progressive_mode),
                cinfo.quant_tbl_ptrs[0] ? cinfo.quant_tbl_ptrs[0]->quantval[0] : 0};
  jpeg_destroy_decompress(&cinfo);
  return info;
}

// A tmpfs of `size` bytes, read-only when asked; only root may mount one.
struct TinyDisk {
  QTemporaryDir dir;
  bool mounted = false;
  TinyDisk(const char* options) {
    mounted = ::mount("tmpfs", dir.path().toLocal8Bit().constData(), "tmpfs", 0, options) == 0;
  }
  ~TinyDisk() {
    if (mounted) ::umount(dir.path().toLocal8Bit().constData());
  }
};

struct Exported : ::testing::Test {
  bool app = EnsureQApplication() != nullptr;  // before the panel measures any font
  QTemporaryDir dir;
  TSamplePanel panel;
  void SetUp() override { panel.SetBounds(300, 200); }
  QString Path(const char* name) { return dir.filePath(name); }
};

}  // namespace

TEST_F(Exported, FormatNamesAndChoices) {
  TBMPExportFormat bmp;
  TJPEGExportFormat jpeg;
  TEMFExportFormat emf;
  struct Row {
    TChartExportFormat* f;
    const char *description, *suffix, *filter;
  } rows[] = {{&bmp, "as &Bitmap", "bmp", "Bitmaps (*.bmp)|*.bmp"},
              {&jpeg, "as &JPEG", "jpg", "JPEG files (*.jpg)|*.jpg"},
              {&emf, "as &Metafile", "emf", "Enhanced Metafiles (*.emf)|*.emf|Metafiles (*.wmf)|*.wmf"}};
  int counter = 0;
  for (const Row& r : rows) {
    EXPECT_EQ(r.f->Description(), r.description);
    EXPECT_EQ(r.f->FileSuffix(), r.suffix);
    EXPECT_EQ(r.f->DialogFilter(), r.filter);
    r.f->TakeFilterPosition(counter);
  }
  EXPECT_EQ(counter, 4) << "the metafile takes two filter entries";
  EXPECT_EQ(emf.FilterIndex(), 3);
  EXPECT_FALSE(bmp.UsesFilterPosition(3));
  EXPECT_TRUE(emf.UsesFilterPosition(4));
  EXPECT_FALSE(emf.EMFOptions()->CBEnhanced->isChecked());
  EXPECT_EQ(emf.FileSuffix(), "wmf");
  EXPECT_EQ(emf.FilterIndex(), 4);
  EXPECT_EQ(TChartExportFormats::Classes().size(), 3u);
}

TEST_F(Exported, OptionForms) {
  TBMPOptions bmp;
  EXPECT_EQ(bmp.CBColors->count(), 8);
  EXPECT_EQ(bmp.CBColors->currentText(), "Default");
  bmp.CBMono->setChecked(true);
  EXPECT_FALSE(bmp.CBColors->isEnabled()) << "no depth while monochrome";
  EXPECT_EQ(TChartJPEGOptions().EQuality->value(), 95);
}

TEST_F(Exported, NoPanelFailsBeforeTouchingTheFile) {
  TBMPExportFormat f;
  QFile keep(Path("keep.bmp"));
  SaveFileAtomically(Path("keep.bmp"), "old");
  try {
    SaveToFile(f, Path("keep.bmp"));
    FAIL();
  } catch (const EChartExportError& e) {
    EXPECT_STREQ(e.what(), "Panel property is not set in Export format");
  }
  EXPECT_EQ(ReadAll(Path("keep.bmp")), "old");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}

// A size left out (0) is the panel's own, each along its own side.
TEST_F(Exported, JpegTakesTheSizeLeftOutFromThePanel) {
  struct Case {
    const char* name;
    int width, height;
    QSize expected;
  } cases[] = {{"whole", 0, 0, {300, 200}}, {"tall", 0, 260, {300, 260}}, {"narrow", 120, 0, {120, 200}}};
  for (const Case& k : cases) {
    WriteChartJpeg(panel, Path(k.name), k.width, k.height);
    const QByteArray bytes = ReadAll(Path(k.name) + ".jpg");
    ASSERT_FALSE(bytes.isEmpty()) << k.name;
    EXPECT_EQ(QImage::fromData(bytes, "JPG").size(), k.expected) << k.name;
    const JpegInfo info = ReadJpegHeader(bytes);
    EXPECT_EQ(QSize(info.width, info.height), k.expected) << k.name;
  }
}

TEST_F(Exported, JpegReadBackByQtAndLibjpeg) {
  WriteChartJpeg(panel, Path("x"), 0, 120);
  const QByteArray plain = ReadAll(Path("x.jpg"));
  ASSERT_FALSE(plain.isEmpty()) << "\"x\" becomes \"x.jpg\"";
  EXPECT_EQ(QImage::fromData(plain).size(), QSize(300, 120)) << "width 0: the panel's";
  EXPECT_EQ(ReadJpegHeader(plain).dcStep, 1) << "quality 100";
  // Quality q scales the standard luminance table (DC step 16) by 50 / q below 50, by 2 - q / 50 above.
  struct Case {
    bool gray, progressive;
    int components;
    const char* sof;
    int quality, dcStep;
  } cases[] = {{false, false, 3, "\xFF\xC0", 50, 16}, {true, false, 1, "\xFF\xC0", 10, 80}, {false, true, 3, "\xFF\xC2", 90, 3}};
  const QImage picture = panel.MakeSizedBitmap(panel.Color(), {0, 0, 64, 48});
  for (const Case& c : cases) {
    TJPEGDefaults o;
    o.GrayScale = c.gray, o.ProgressiveEncoding = c.progressive, o.CompressionQuality = uint8_t(c.quality);
    const QByteArray bytes = JpegBytes(picture, o);
    const JpegInfo info = ReadJpegHeader(bytes);
    EXPECT_EQ(QSize(info.width, info.height), QSize(64, 48));
    EXPECT_EQ(info.components, c.components);
    EXPECT_EQ(info.progressive, c.progressive);
    EXPECT_EQ(info.dcStep, c.dcStep) << c.quality;
    EXPECT_TRUE(bytes.contains(QByteArray(c.sof, 2)));
    EXPECT_EQ(QImage::fromData(bytes).isGrayscale(), c.gray);
  }
}

TEST_F(Exported, BitmapDepthsReadBackByQt) {
  TBMPExportFormat f;
  f.Panel = &panel;
  SaveToFile(f, Path("whole.bmp"));
  EXPECT_EQ(QImage(Path("whole.bmp")).size(), QSize(300, 200)) << "size 0 × 0: the panel's";
  const QImage picture = panel.MakeSizedBitmap(panel.Color(), {0, 0, 61, 33});
  // Pixel format -> bits per pixel in the file.
  const int bits[] = {24, 1, 4, 8, 16, 16, 24, 32};
  for (int format = 0; format < 8; ++format) {
    const QByteArray bytes = BitmapFileBytes(picture, format);
    EXPECT_EQ(uint8_t(bytes[28]), bits[format]) << format;
    EXPECT_EQ(U32At(bytes, 2), uint32_t(bytes.size())) << format;
    const QImage back = QImage::fromData(bytes, "BMP");
    ASSERT_EQ(back.size(), QSize(61, 33)) << format;
    // From 4 bits on every pixel keeps its colour, up to the palette's steps.
    if (format >= 2) { EXPECT_EQ(DifferingPixels(picture, back.convertToFormat(QImage::Format_RGB32), 64), 0) << format; }
  }
  WriteChartBitmap(panel, Path("sized.bmp"), {0, 0, 40, 30});
  EXPECT_EQ(QImage(Path("sized.bmp")).size(), QSize(40, 30));
}

TEST_F(Exported, EnhancedMetafileHeaderAndRecords) {
  TEMFExportFormat f;
  f.Panel = &panel;
  SaveToFile(f, Path("chart.emf"));
  for (const QByteArray& emf : {ReadAll(Path("chart.emf")), EnhancedMetafileBytes(panel.BuildMetafile({0, 0, 0, 0}))}) {
    ASSERT_GT(emf.size(), 108);
    EXPECT_EQ(U32At(emf, 0), 1u);
    EXPECT_EQ(U32At(emf, 40), 0x464D4520u);
    EXPECT_EQ(U32At(emf, 48), uint32_t(emf.size())) << "nBytes is the file size";
    ASSERT_EQ(U32At(emf, 60), 15u) << "description characters, both terminators counted";
    const QByteArray desc = emf.mid(U32At(emf, 64), 30);
    EXPECT_EQ(QString::fromUtf16(reinterpret_cast<const char16_t*>(desc.constData()), 15), QStringLiteral("Fenwisk\0Chart\0\0"));
    int at = 0, count = 0;
    uint32_t last = 0;
    while (at < emf.size()) {
      const uint32_t size = U32At(emf, at + 4);
      ASSERT_TRUE(size >= 8 && size % 4 == 0) << at;
      last = U32At(emf, at), at += int(size), ++count;
    }
    EXPECT_EQ(at, emf.size());
    EXPECT_EQ(last, 14u) << "EOF last";
    EXPECT_EQ(U32At(emf, 52), uint32_t(count));
  }
  EXPECT_EQ(panel.BuildMetafile({0, 0, 0, 0}).Size, (TSize{1, 1}));
}

// A chart with title, legend, axes, grid and two lines.
struct LineChart {
  TChart chart;
  LineChart() {
    chart.SetBounds(320, 200);
    chart.SetView3D(false);
    chart.Title().Text = {"Spectrum"};
    for (TColor colour : {clRed, clBlue}) {
      TFastLineSeries* s = static_cast<TFastLineSeries*>(chart.AddSeries(std::make_unique<TFastLineSeries>()));
      s->SetSeriesColor(colour);
      for (int k = 0; k < 8; ++k) s->AppendPoint(k, (k * (colour == clRed ? 3 : 5)) % 7);
    }
  }
};

// The exported metafiles hold the chart's picture: replayed and drawn by our
// reader of enhanced metafiles exactly, by libwmf nearly (its own fonts).
TEST_F(Exported, MetafilesReadBackAsTheBitmap) {
  LineChart c;
  c.chart.SetColor(clMoneyGreen);
  const TRect r = c.chart.PanelRectangle();
  const QImage direct = c.chart.MakeSizedBitmap(c.chart.Color(), r);
  const TDisplayList list = c.chart.BuildMetafile(r);
  QImage replayed(direct.size(), QImage::Format_RGB32);
  {
    TPainterDC dc(&replayed);
    ReplayDisplayList(list.Records, dc);
  }
  EXPECT_EQ(DifferingPixels(direct, replayed), 0);
  EXPECT_EQ(DifferingPixels(direct, RenderEnhancedMetafile(EnhancedMetafileBytes(list))), 0);

  const QByteArray wmf = PlainMetafileBytes(list);
  EXPECT_EQ(U32At(wmf, 0), 0x9AC6CDD7u);
  EXPECT_EQ(uint8_t(wmf[20]) | uint8_t(wmf[21]) << 8, PlaceableChecksum(reinterpret_cast<const uint8_t*>(wmf.data())));
  EXPECT_EQ(U32At(wmf, 22 + 6) * 2 + 22, uint32_t(wmf.size()));
  SaveFileAtomically(Path("chart.wmf"), wmf);
  QProcess p;
  p.start("wmf2gd", {"-t", "png", "--maxwidth=320", "--maxheight=200", "--maxsize", "-o", Path("chart.png"), Path("chart.wmf")});
  ASSERT_TRUE(p.waitForFinished(30000));
  ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  // Compared in blocks of 8 × 8 pixels: texts and dots may differ, shapes not.
  auto blocks = [](const QImage& i) { return i.scaled(40, 25, Qt::IgnoreAspectRatio, Qt::SmoothTransformation); };
  EXPECT_LE(DifferingPixels(blocks(direct), blocks(QImage(Path("chart.png")).convertToFormat(QImage::Format_RGB32)), 48), 10);
}

// Filled rectangles (pointers, legend boxes) stay filled when an outside
// reader draws the plain metafile.
TEST_F(Exported, PlainMetafileRectanglesReadBackFilled) {
  TChart chart;
  chart.SetBounds(320, 200);
  chart.SetView3D(false);
  chart.SetColor(clWhite);
  auto* s = static_cast<TCustomSeries*>(chart.AddSeries(std::make_unique<TCustomSeries>()));
  s->SetSeriesColor(clRed);
  s->Pointer().SetVisible(true);
  s->Pointer().SetStyle(psRectangle);
  s->Pointer().SetHorizSize(8), s->Pointer().SetVertSize(8);
  for (int k = 0; k < 4; ++k) s->AppendPoint(k, k % 2 ? 3 : 7);
  SaveFileAtomically(Path("boxes.wmf"), PlainMetafileBytes(chart.BuildMetafile(chart.PanelRectangle())));
  QProcess p;
  p.start("wmf2gd", {"-t", "png", "--maxwidth=320", "--maxheight=200", "--maxsize", "-o", Path("boxes.png"), Path("boxes.wmf")});
  ASSERT_TRUE(p.waitForFinished(30000));
  ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  const QImage read(Path("boxes.png"));
  ASSERT_EQ(read.size(), QSize(320, 200));
  for (int k = 0; k < 4; ++k) {
    const QColor c = read.pixelColor(s->PointPixelX(k) + 3, s->PointPixelY(k) + 3);
    EXPECT_TRUE(c.red() > 200 && c.green() < 60 && c.blue() < 60) << k << ": " << c.name().toStdString();
  }
}

TEST_F(Exported, FailedSavesLeaveNoPartialFile) {
  TinyDisk readOnly("size=1m,ro");
  TinyDisk full("size=64k");
  if (!readOnly.mounted || !full.mounted) GTEST_SKIP() << "needs root to mount a small disk";
  EXPECT_THROW(WriteChartBitmap(panel, readOnly.dir.filePath("a.bmp"), {0, 0, 50, 50}), EFileSaveError);
  EXPECT_TRUE(QDir(readOnly.dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
  SaveFileAtomically(full.dir.filePath("keep.jpg"), "old");
  // 24-bit 400 × 300 is about 360 kB: more than the disk holds.
  EXPECT_THROW(WriteChartBitmap(panel, full.dir.filePath("keep.jpg"), {0, 0, 400, 300}), EFileSaveError);
  EXPECT_THROW(WriteChartJpeg(panel, full.dir.filePath("big.jpg"), 3000, 3000), EFileSaveError);
  EXPECT_EQ(QDir(full.dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.jpg"});
  EXPECT_EQ(ReadAll(full.dir.filePath("keep.jpg")), "old");
}
