// The rotated (not orthogonal) 3-D view: the series' lines follow the
// projection through their own pointers, and the projected chart fits its
// panel with its labels whole.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <cstdlib>
#include <set>
#include <string>

#include "chart/ChartSetup.h"
#include "chart/Series.h"
#include "platform/RecordingDC.h"
#include "support/QtApp.h"

namespace {

void SaveShot(const QImage& image, const char* name) {
  if (const char* dir = std::getenv("FW_SCREENSHOT_DIR"); dir && *dir)
    image.save(QDir(QString::fromLocal8Bit(dir)).filePath(QString::fromLatin1(name) + ".png"), "PNG");
}

struct TView {
  int rotation, elevation, perspective;
};

std::unique_ptr<TChart> MakeRotated(TView view) {
  auto c = MakePlainChart(10, 10, 10, 10, 480, 360);
  c->SetView3D(true);
  c->View3DOptions().SetOrthogonal(false);
  c->View3DOptions().SetRotation(view.rotation);
  c->View3DOptions().SetElevation(view.elevation);
  c->View3DOptions().SetPerspective(view.perspective);
  for (int k = 0; k < 2; ++k) {
    auto* s = AddChartSeries<TCustomSeries>(*c, k ? clBlue : clRed, k ? "b" : "a");
    s->Pointer().SetVisible(true);
    s->Marks().SetVisible(true);
    s->Marks().SetColor(clYellow);
    for (int i = 0; i < 6; ++i) s->AppendPoint(i, 10 + 5 * k + (i % 3) * 7);
  }
  return c;
}

}  // namespace

const TView kViews[] = {{340, 345, 20}, {300, 330, 50}};

// The lines run through their own pointers: every line end is a point's
// projected position at the series' front depth.
TEST(ChartRotated, LinesFollowTheProjectionThroughTheirPointers) {
  EnsureQApplication();
  for (TView v : kViews) {
    SCOPED_TRACE(v.rotation);
    auto c = MakeRotated(v);
    const TDisplayList list = c->BuildMetafile(c->PanelRectangle());
    auto* s = static_cast<TCustomSeries*>(c->SeriesList()[0]);
    std::vector<TPoint> ends;
    std::vector<TRect> boxes;
    for (const TDCRecord& r : list.Records) {
      if ((r.Op == TDCOp::LineTo || r.Op == TDCOp::MoveTo) && r.Pen.Color == clRed) ends.push_back({r.Args[0], r.Args[1]});
      if (r.Op == TDCOp::Rectangle && r.Brush.Color == clYellow) boxes.push_back({r.Args[0], r.Args[1], r.Args[2], r.Args[3]});
    }
    ASSERT_FALSE(ends.empty());
    for (int i = 0; i < s->Count(); ++i) {
      const TPoint p = c->Canvas().ProjectToPoint(s->PointPixelX(i), s->PointPixelY(i), s->StartZ);
      bool hit = false;
      for (TPoint e : ends) hit = hit || (std::abs(e.X - p.X) <= 1 && std::abs(e.Y - p.Y) <= 1);
      EXPECT_TRUE(hit) << "point " << i << " at " << p.X << "," << p.Y;
      // Its mark stands just above it, where the arrow ends (moved sideways
      // at the plot's ends to stay on it).
      bool marked = false;
      for (const TRect& b : boxes) marked = marked || (b.Left <= p.X && p.X <= b.Right && b.Bottom <= p.Y && b.Bottom >= p.Y - 30);
      EXPECT_TRUE(marked) << "mark of point " << i;
    }
  }
}

// The projected chart fits its panel: nothing drawn touches the panel's
// edge, every bottom label is there with its anchor inside.
TEST(ChartRotated, ProjectedChartFitsItsPanelWithLabelsWhole) {
  EnsureQApplication();
  for (TView v : kViews) {
    SCOPED_TRACE(v.rotation);
    auto c = MakeRotated(v);
    QImage image;
    c->AssignTo(image);
    SaveShot(image, ("rotated_" + std::to_string(v.rotation)).c_str());
    const QRgb back = image.pixel(0, 0);
    int onEdge = 0;
    for (int x = 0; x < image.width(); ++x) onEdge += (image.pixel(x, 0) != back) + (image.pixel(x, image.height() - 1) != back);
    for (int y = 0; y < image.height(); ++y) onEdge += (image.pixel(0, y) != back) + (image.pixel(image.width() - 1, y) != back);
    EXPECT_EQ(onEdge, 0);
    std::set<std::string> labels;
    const int fontHeight = c->Canvas().FontPixelHeight();
    for (const TDCRecord& r : c->BuildMetafile(c->PanelRectangle()).Records) {
      if (r.Op != TDCOp::TextOut) continue;
      labels.insert(r.Text);
      EXPECT_GE(r.Args[0], 0) << r.Text;
      EXPECT_LT(r.Args[0], image.width()) << r.Text;
      EXPECT_GE(r.Args[1], 0) << r.Text;
      EXPECT_LE(r.Args[1] + fontHeight / 2, image.height()) << r.Text;
    }
    for (const char* l : {"0", "1", "2", "3", "4", "5"}) EXPECT_TRUE(labels.count(l)) << l;
  }
}
