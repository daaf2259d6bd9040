// Display lists: every kind of call replays as itself and every kind of call
// makes well-formed metafile records.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "platform/Metafile.h"
#include "platform/PainterDC.h"
#include "support/EmfPlayer.h"
#include "support/QtApp.h"

namespace {

// One call of every kind the recording backend keeps.
void DrawEveryCall(IDeviceContext& dc) {
  const TPoint tri[] = {{10, 10}, {40, 12}, {20, 30}};
  QImage img(4, 3, QImage::Format_RGB32);
  img.fill(Qt::green);
  TPainterDC src(&img);
  dc.SetPen({TDCPenStyle::Dash, 2, clRed});
  dc.SetBrush({TDCBrushStyle::Cross, clBlue, {}});
  dc.SetFont({"Arial", -14, 700, true});
  dc.SetTextColor(clNavy), dc.SetBkColor(clYellow), dc.SetBkMode(TDCBkMode::Transparent);
  dc.SetTextAlign(TA_CENTER | TA_BASELINE), dc.SetTextCharacterExtra(1), dc.SetRop2(TDCRop2::XorPen);
  dc.SetMapping({{0, 0}, {2, 2}, {5, 5}, {1, 1}});
  dc.SetMapping({});
  dc.PushClip(), dc.ClipRect({1, 2, 90, 80}), dc.ClipRoundRect({0, 0, 80, 70}, 8, 6);
  dc.ClipPolygon(tri, 3), dc.ClipEllipse({0, 0, 99, 99}, true), dc.PopClip();
  dc.MoveTo(3, 4), dc.LineTo(50, 60), dc.Polyline(tri, 3), dc.Polygon(tri, 3);
  dc.Rectangle({5, 6, 30, 40}), dc.RoundRect({5, 6, 30, 40}, 7, 9), dc.Ellipse({50, 50, 70, 60});
  dc.Arc({0, 0, 40, 40}, {40, 20}, {20, 0}), dc.ArcTo({0, 0, 40, 40}, {40, 20}, {20, 0}, true);
  dc.Pie({0, 0, 40, 40}, {20, 0}, {0, 20}), dc.FillRect({60, 5, 90, 25}), dc.PatBlt({1, 1, 9, 9}, TDCRop3::DstInvert);
  dc.BitBlt(70, 70, 4, 3, src, 0, 0, TDCRop3::SrcCopy), dc.StretchDraw({80, 0, 96, 12}, img);
  dc.SetPixel(99, 99, clLime), dc.TextOut(50, 90, "Radio 1");
  dc.PushClip(), dc.BeginPath(), dc.Rectangle({2, 2, 20, 20}), dc.CloseFigure(), dc.EndPath(), dc.ClipToPath();
  dc.PopClip();
  for (void (IDeviceContext::*path)() : {&IDeviceContext::StrokePath, &IDeviceContext::FillPath,
                                         &IDeviceContext::StrokeAndFillPath, &IDeviceContext::WidenPath}) {
    dc.BeginPath(), dc.Ellipse({10, 10, 30, 30}), dc.EndPath(), (dc.*path)();
  }
}

uint32_t U32At(const QByteArray& b, qsizetype at) {
  return uint8_t(b[at]) | uint8_t(b[at + 1]) << 8 | uint8_t(b[at + 2]) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}

}  // namespace

TEST(Metafile, ReplayRepeatsEveryCall) {
  EnsureQApplication();
  TRecordingDC original({100, 100});
  DrawEveryCall(original);
  TRecordingDC replayed({100, 100});
  ReplayDisplayList(original.List, replayed);
  ASSERT_EQ(replayed.List.size(), original.List.size());
  for (size_t i = 0; i < original.List.size(); ++i) {
    const TDCRecord &a = original.List[i], &b = replayed.List[i];
    EXPECT_EQ(int(a.Op), int(b.Op)) << i;
    EXPECT_EQ(a.Args, b.Args) << i;
    EXPECT_EQ(a.Points, b.Points) << i;
    EXPECT_EQ(a.Pen, b.Pen) << i;
    EXPECT_EQ(a.Text, b.Text) << i;
    EXPECT_EQ(a.Image, b.Image) << i;
  }
}

TEST(Metafile, EveryCallMakesWellFormedRecords) {
  EnsureQApplication();
  TRecordingDC dc({100, 100});
  DrawEveryCall(dc);
  const TDisplayList list{{100, 100}, dc.List};
  const QByteArray emf = EnhancedMetafileBytes(list);
  TRecordingDC played({100, 100});
  EXPECT_TRUE(PlayEnhancedMetafile(emf, played)) << "every record known and well formed, EOF last";
  EXPECT_EQ(U32At(emf, 48), uint32_t(emf.size()));

  QTemporaryDir dir;
  QFile wmf(dir.filePath("every.wmf"));
  ASSERT_TRUE(wmf.open(QIODevice::WriteOnly));
  wmf.write(PlainMetafileBytes(list));
  wmf.close();
  QProcess p;
  p.start("wmf2svg", {"-o", dir.filePath("every.svg"), wmf.fileName()});
  ASSERT_TRUE(p.waitForFinished(30000));
  EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  EXPECT_GT(QFileInfo(dir.filePath("every.svg")).size(), 200);
}
