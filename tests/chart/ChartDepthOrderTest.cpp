// The painting order of several series in 3-D: whichever way the view is
// turned, a series behind another never paints over the nearer one's line,
// pointers or marks.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <cstdlib>
#include <string>

#include "chart/ChartSetup.h"
#include "chart/Series.h"
#include "support/QtApp.h"

namespace {

void SaveShot(const QImage& image, const std::string& name) {
  if (const char* dir = std::getenv("FW_SCREENSHOT_DIR"); dir && *dir)
    image.save(QDir(QString::fromLocal8Bit(dir)).filePath(QString::fromStdString(name) + ".png"), "PNG");
}

// Does the square of `radius` around `at` hold `rgb`?
bool Near(const QImage& image, TPoint at, int radius, QRgb rgb, int up = 0) {
  for (int y = at.Y - radius - up; y <= at.Y + radius; ++y)
    for (int x = at.X - radius; x <= at.X + radius; ++x)
      if (image.valid(x, y) && image.pixel(x, y) == rgb) return true;
  return false;
}

struct TViewCase {
  const char* name;
  bool orthogonal;
  int angle;  // the orthogonal angle, or the rotation
  // The line is the nearer series: first in the list (depth 0) when the view
  // looks at the front, second when it looks from behind.
  bool lineFirst;
};

}  // namespace

// A red line with red pointers and yellow marks in front of a tall blue area
// that covers it once projected: the line, its pointers and its marks show.
TEST(ChartDepthOrder, NearerSeriesIsNeverPaintedOver) {
  EnsureQApplication();
  const TViewCase cases[] = {
      {"ortho45", true, 45, true},     {"ortho135", true, 135, true}, {"rotation340", false, 340, true},
      {"rotation20", false, 20, true}, {"rotation200", false, 200, false}, {"rotation160", false, 160, false},
  };
  for (const TViewCase& v : cases) {
    SCOPED_TRACE(v.name);
    auto c = MakePlainChart(10, 10, 10, 10, 480, 360);
    c->SetView3D(true);
    c->SetChart3DPercent(30);
    c->View3DOptions().SetOrthogonal(v.orthogonal);
    if (v.orthogonal) {
      c->View3DOptions().SetOrthoAngle(v.angle);
    } else {
      c->View3DOptions().SetRotation(v.angle);
      c->View3DOptions().SetElevation(345);
      c->View3DOptions().SetPerspective(0);
    }
    TCustomSeries* line = nullptr;
    TAreaSeries* area = nullptr;
    auto addLine = [&] {
      line = AddChartSeries<TCustomSeries>(*c, clRed, "line");
      line->Pointer().SetVisible(true);
      line->Marks().SetVisible(true);
      line->Marks().SetColor(clYellow);
      for (int i = 0; i < 6; ++i) line->AppendPoint(i, 45 + (i % 2) * 10);
    };
    auto addArea = [&] {
      area = AddChartSeries<TAreaSeries>(*c, clBlue, "area");
      area->SetUseYOrigin(true);
      area->SetYOrigin(0);
      for (int i = 0; i < 6; ++i) area->AppendPoint(i, 100);
    };
    if (v.lineFirst) addLine(), addArea();
    else addArea(), addLine();
    QImage image;
    c->AssignTo(image);
    SaveShot(image, std::string("depth_order_") + v.name);
    ASSERT_NE(line->StartZ, area->StartZ);
    const QRgb red = qRgb(255, 0, 0), yellow = qRgb(255, 255, 0), blue = qRgb(0, 0, 255);
    for (int i = 1; i <= 4; ++i) {
      const TPoint p = c->Canvas().ProjectToPoint(line->PointPixelX(i), line->PointPixelY(i), line->StartZ);
      EXPECT_TRUE(Near(image, p, 2, red)) << "line or pointer of point " << i << " at " << p.X << "," << p.Y;
      EXPECT_TRUE(Near(image, p, 12, yellow, 30)) << "mark of point " << i;
      // The area behind is drawn around them.
      EXPECT_TRUE(Near(image, p, 12, blue)) << "area around point " << i;
    }
  }
}
