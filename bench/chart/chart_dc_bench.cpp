// What the device-context layer costs over bare QPainter: lines, filled
// rectangles and short texts into a 1920×400 chart buffer, the same work done
// both ways in the same run.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "platform/PainterDC.h"

namespace {

constexpr int kW = 1920, kH = 400, kBatch = 1000;

QGuiApplication& App() {
  static int argc = 1;
  static char name[] = "chart_dc_bench";
  static char* argv[] = {name, nullptr};
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(argc, argv);
  return app;
}

QImage& Buffer() {
  static QImage image(kW, kH, QImage::Format_RGB32);
  return image;
}

const char* const kLabels[] = {"87.5", "98.3 MHz", "-12 dB", "104.7", "PI 6204", "75 kHz"};

// Short segments, as a series polyline is made of.
void Lines(benchmark::State& state, bool layer) {
  App();
  Buffer().fill(Qt::white);
  for (auto _ : state) {
    if (layer) {
      TPainterDC dc(&Buffer());
      dc.SetPen({TDCPenStyle::Solid, 1, clBlue});
      for (int i = 0; i < kBatch; ++i) {
        dc.MoveTo(i % kW, (i * 13) % kH);
        dc.LineTo(i % kW + 3, (i * 17) % kH);
      }
    } else {
      QPainter p(&Buffer());
      QPen pen(QColor(0, 0, 255), 0);
      pen.setCapStyle(Qt::FlatCap);
      p.setPen(pen);
      for (int i = 0; i < kBatch; ++i) p.drawLine(QPoint(i % kW, (i * 13) % kH), QPoint(i % kW + 3, (i * 17) % kH));
    }
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

void Rects(benchmark::State& state, bool layer) {
  App();
  for (auto _ : state) {
    if (layer) {
      TPainterDC dc(&Buffer());
      for (int i = 0; i < kBatch; ++i) {
        dc.SetBrush({TDCBrushStyle::Solid, TColor(i & 1 ? clYellow : clTeal), {}});
        const int x = (i * 37) % (kW - 60), y = (i * 11) % (kH - 30);
        dc.FillRect({x, y, x + 60, y + 30});
      }
    } else {
      QPainter p(&Buffer());
      for (int i = 0; i < kBatch; ++i) {
        const QColor c = i & 1 ? QColor(255, 255, 0) : QColor(0, 128, 128);
        p.fillRect(QRect((i * 37) % (kW - 60), (i * 11) % (kH - 30), 60, 30), c);
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

void Texts(benchmark::State& state, bool layer) {
  App();
  for (auto _ : state) {
    if (layer) {
      TPainterDC dc(&Buffer());
      dc.SetBkMode(TDCBkMode::Transparent);
      for (int i = 0; i < kBatch; ++i) dc.TextOut((i * 53) % (kW - 80), (i * 17) % (kH - 20), kLabels[i % 6]);
    } else {
      QPainter p(&Buffer());
      QFont f(QStringLiteral("Liberation Sans"));
      f.setPixelSize(11);
      f.setKerning(false);
      p.setFont(f);
      p.setPen(Qt::black);
      const int ascent = QFontMetrics(f).ascent();
      for (int i = 0; i < kBatch; ++i)
        p.drawText(QPoint((i * 53) % (kW - 80), (i * 17) % (kH - 20) + ascent), QString::fromLatin1(kLabels[i % 6]));
    }
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

// Centred, opaque texts: the layer measures each one, as axis labels need.
void CentredOpaqueTexts(benchmark::State& state) {
  App();
  for (auto _ : state) {
    TPainterDC dc(&Buffer());
    dc.SetTextAlign(TA_CENTER | TA_TOP);
    for (int i = 0; i < kBatch; ++i) dc.TextOut(40 + (i * 53) % (kW - 80), (i * 17) % (kH - 20), kLabels[i % 6]);
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

}  // namespace

BENCHMARK_CAPTURE(Lines, bare_qpainter, false);
BENCHMARK_CAPTURE(Lines, layer, true);
BENCHMARK_CAPTURE(Rects, bare_qpainter, false);
BENCHMARK_CAPTURE(Rects, layer, true);
BENCHMARK_CAPTURE(Texts, bare_qpainter, false);
BENCHMARK_CAPTURE(Texts, layer, true);
BENCHMARK(CentredOpaqueTexts);

BENCHMARK_MAIN();
