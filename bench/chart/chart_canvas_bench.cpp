// The chart canvas at the size of the band analyzer's spectrum: one frame of
// a 2,600-point line over a gradient back wall, and blending a band.
#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <cmath>
#include <vector>

#include "chart/ChartCanvas.h"
#include "platform/PainterDC.h"

namespace {

constexpr int kW = 1920, kH = 400, kPoints = 2600;

void EnsureApp() {
  static int argc = 1;
  static char name[] = "chart_canvas_bench";
  static char* argv[] = {name, nullptr};
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(argc, argv);
}

std::vector<TPoint> Spectrum() {
  std::vector<TPoint> pts(kPoints);
  for (int i = 0; i < kPoints; ++i)
    pts[i] = {20 + i * (kW - 40) / kPoints, 380 - int(150 + 120 * std::sin(i * 0.05) * std::cos(i * 0.013))};
  return pts;
}

void BM_Frame(benchmark::State& state) {
  EnsureApp();
  QImage screen(kW, kH, QImage::Format_RGB32);
  TPainterDC screenDC(&screen);
  TChartCanvas3D canvas(&screenDC);
  TChartPen line;
  line.SetColor(clRed);
  const std::vector<TPoint> pts = Spectrum();
  for (auto _ : state) {
    const TRect r = canvas.OpenFrame(&screenDC, nullptr, clWhite, false, {0, 0, kW, kH});
    canvas.Projection(0, r);
    canvas.GradientFill(r, clWhite, RGB(200, 220, 255), gdTopBottom, 50);
    canvas.PreparePen(line);
    canvas.Polyline(pts.data(), kPoints - 1);
    canvas.PresentBuffer(&screenDC, &screenDC, r);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Frame)->Unit(benchmark::kMillisecond);

// The pixel loop alone, over a 1920×400 band.
void BM_BlendPixels(benchmark::State& state) {
  std::vector<uint32_t> drawn(kW * kH, 0xFFC81E5Au), back(kW * kH, 0xFF102030u);
  for (auto _ : state) {
    BlendPixels(drawn.data(), back.data(), kW * kH, 70);
    benchmark::DoNotOptimize(drawn.data());
  }
  state.SetBytesProcessed(state.iterations() * kW * kH * 4);
}
BENCHMARK(BM_BlendPixels)->Unit(benchmark::kMillisecond);

// A transparent band through the canvas: the background kept, drawn over, blended.
void BM_TransparentBand(benchmark::State& state) {
  EnsureApp();
  QImage screen(kW, kH, QImage::Format_RGB32);
  TPainterDC screenDC(&screen);
  TChartCanvas3D canvas(&screenDC);
  const TRect r = canvas.OpenFrame(&screenDC, nullptr, clWhite, false, {0, 0, kW, kH});
  canvas.GradientFill(r, clWhite, clSilver, gdTopBottom, 50);
  canvas.DC().SetBrush({TDCBrushStyle::Solid, clBlue, {}});
  for (auto _ : state) {
    auto blend = canvas.StartTransparency(r, 70);
    canvas.FillRect(r);
    canvas.FinishTransparency(std::move(blend));
  }
  canvas.PresentBuffer(&screenDC, &screenDC, r);
}
BENCHMARK(BM_TransparentBand)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
