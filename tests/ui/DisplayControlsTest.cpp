#include <gtest/gtest.h>

#include <QEnterEvent>
#include <algorithm>
#include <QPainter>
#include <QPointer>
#include <QBackingStore>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <memory>
#include <random>

#include "support/QtApp.h"
#include "ui/ColorButton.h"
#include "ui/DualImage1.h"
#include "ui/FreqDisplay.h"
#include "ui/Pictures.h"
#include "ui/blockerror.h"

namespace {

struct DisplayControls : ::testing::Test {
  void SetUp() override { EnsureQApplication(); }
};

// Counts the events of one type a widget receives.
struct TEventCounter : QObject {
  TEventCounter(QObject* target, QEvent::Type type, int& count) : Type(type), Count(count) {
    target->installEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* e) override {
    Count += e->type() == Type;
    return false;
  }
  QEvent::Type Type;
  int& Count;
};

// The block-error trace as the pen draws it from scratch.
QImage DrawnTrace(const TBlockError& graph, QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(ColorFromTColor(kBlockErrorBackground));
  QPainter pen(&image);
  for (const TTraceSegment& s : BlockErrorTrace(graph.Samples(), graph.Pos(), TBlockError::kStep, graph.YScale())) {
    pen.setPen(QPen(ColorFromTColor(s.Color), 0));
    pen.drawLine(s.X1, s.Y1, s.X2, s.Y2);
  }
  return image;
}

// A block-error box inside a shown window, and what the screen shows of it.
struct TShownBlockError {
  QWidget window;
  QWidget box{&window};
  std::unique_ptr<TBlockError> graph;
  TShownBlockError() {
    window.resize(220, 80);
    box.setGeometry(10, 8, 200, 64);
    graph = std::make_unique<TBlockError>(&box);  // it takes its scale from the box's size
    window.show();
    QCoreApplication::processEvents();
  }
  QImage OnScreen() {
    return window.screen()->grabWindow(window.winId(), 10, 8, 200, 64).toImage().convertToFormat(QImage::Format_RGB32);
  }
  QImage Drawn() const { return DrawnTrace(*graph, box.size()); }
};

// Pictures of one flat colour each, so a drawn pixel tells which one was used.
TImageList* FlatList(int w, int h, int count, QObject* parent) {
  auto* list = new TImageList(w, h, parent);
  for (int i = 0; i < count; ++i) {
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(QColor(10 * i + 5, 100, 200));
    image.setPixelColor(0, 0, QColor(255, 0, 255));  // key colour corner
    list->Add(image);
  }
  return list;
}

QImage Render(QWidget& w, const QColor& background = Qt::transparent) {
  QImage image(w.size(), QImage::Format_ARGB32);
  image.fill(background);
  w.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
  return image;
}

void SendEnter(QWidget& w) {
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QCoreApplication::sendEvent(&w, &enter);
}

TEST_F(DisplayControls, FreqDisplayClampsIgnoresWhileDisabledAndDrawsGlyphs) {
  QWidget box;
  box.resize(kFreqDisplayWidth, kDigitGlyphHeight);
  std::unique_ptr<TImageList> glyphs(MakeDigitGlyphs());
  ASSERT_EQ(glyphs->Count(), 24);
  TFreqDisplay display(&box, glyphs.get());
  EXPECT_EQ(display.Value(), 870);

  display.SetValue(985);  // starts disabled: ignored
  EXPECT_EQ(display.Value(), 870);
  display.SetEnabled(true);
  for (auto [set, shown] : {std::pair{1200, 1080}, {10, 870}, {985, 985}}) {
    display.SetValue(set);
    EXPECT_EQ(display.Value(), shown) << set;
  }
  display.SetEnabled(false);
  display.SetValue(1010);
  EXPECT_EQ(display.Value(), 985);

  // The box shows the bitmap; each place holds its glyph (dimmed now).
  const QImage shown = box.grab().toImage().convertToFormat(QImage::Format_ARGB32);
  const QImage& bitmap = display.Bitmap();
  ASSERT_EQ(shown.size(), bitmap.size());
  EXPECT_EQ(shown, bitmap);
  auto glyphAt = [&](int x, int width) { return bitmap.copy(x, 0, width, kDigitGlyphHeight); };
  auto glyph = [&](int i, int width) { return glyphs->Image(i).copy(0, 0, width, kDigitGlyphHeight); };
  EXPECT_EQ(glyphAt(0, 15), glyph(22, 15));   // blank
  EXPECT_EQ(glyphAt(15, 15), glyph(21, 15));  // 9
  EXPECT_EQ(glyphAt(45, 5), glyph(23, 5));    // point, left part
  EXPECT_EQ(glyphAt(50, 15), glyph(17, 15));  // 5, over the point's right part

  display.SetEnabled(true);
  display.Render();
  EXPECT_EQ(glyphAt(15, 15), glyph(9, 15));
  // A zero tens digit is drawn; only the hundreds place blanks.
  EXPECT_EQ(FreqGlyphPlan(1000, true), (std::array<TGlyphPlacement, 5>{{{11, 45}, {0, 50}, {0, 30}, {0, 15}, {1, 0}}}));

  // Without glyphs the background stays.
  TImageList empty(15, 24);
  TFreqDisplay bare(&box, &empty);
  bare.SetEnabled(true);
  bare.SetValue(985);
  EXPECT_EQ(bare.Render().pixelColor(20, 10), box.palette().color(box.backgroundRole()));
}

TEST_F(DisplayControls, BlockErrorRingWrapsAndOverwrites) {
  QWidget box;
  box.resize(100, 40);
  TBlockError graph(&box);
  EXPECT_EQ(graph.Count(), 50);
  EXPECT_DOUBLE_EQ(graph.YScale(), 12.0);

  // The write position moves before writing: the first sample lands at 1,
  // the 50th at 0 and the 51st overwrites the first.
  for (int i = 1; i <= 50; ++i) graph.AddSample(i == 1 ? 3 : 1);
  EXPECT_EQ(graph.Pos(), 0);
  EXPECT_EQ(graph.Samples()[1], 3);
  graph.AddSample(2);
  EXPECT_EQ(graph.Pos(), 1);
  EXPECT_EQ(graph.Samples()[1], 2);

  // Out-of-range classes count as the worst one.
  graph.AddSample(7);
  EXPECT_EQ(graph.Samples()[2], 3);
  graph.AddSample(-1);
  EXPECT_EQ(graph.Samples()[3], 0);

  graph.Reset();
  EXPECT_EQ(graph.Pos(), 0);
  EXPECT_EQ(std::count(graph.Samples().begin(), graph.Samples().end(), 0), 50);

  // A box narrower than one sample holds none and survives samples.
  QWidget thin;
  thin.resize(1, 40);
  TBlockError none(&thin);
  none.AddSample(3);
  EXPECT_EQ(none.Count() + none.Pos(), 0);
}

TEST_F(DisplayControls, BlockErrorTraceHeightsAndFade) {
  // Heights: class 3 at the top (y = 1), class 0 at 3 * YScale + 1.
  const std::vector<uint8_t> four{3, 0, 1, 2};
  const auto segs = BlockErrorTrace(four, 4, 2, 12.0);
  EXPECT_EQ(segs, (std::vector<TTraceSegment>{{0, 1, 2, 37, kBlockErrorLime},
                                               {2, 37, 4, 25, kBlockErrorLime},
                                               {4, 25, 6, 13, kBlockErrorLime}}));

  // Segments before the write position are lime; from it on the old sweep
  // fades in from the background, 1280 per segment, up to 65280.
  const std::vector<uint8_t> ring(150, 1);
  const auto trace = BlockErrorTrace(ring, 10, 2, 12.0);
  ASSERT_EQ(trace.size(), 149u);
  for (auto [i, colour] : {std::pair{0, kBlockErrorLime}, {9, kBlockErrorLime}, {10, kBlockErrorBackground},
                           {11, kBlockErrorBackground | 1280}, {61, kBlockErrorBackground | 65280},
                           {148, kBlockErrorBackground | 65280}})
    EXPECT_EQ(trace[i].Color, colour) << i;

  // The bitmap: lime just left of the write position, background beside it.
  QWidget box;
  box.resize(100, 40);
  TBlockError graph(&box);
  for (int i = 0; i < 20; ++i) graph.AddSample(3);
  const QImage bitmap = box.grab().toImage();
  EXPECT_EQ(bitmap.pixelColor(10, 1), QColor(0, 255, 0));
  EXPECT_EQ(bitmap.pixelColor(10, 20), ColorFromTColor(kBlockErrorBackground));

  // Whatever the samples and the box's height, the box shows the trace as
  // the pen draws it segment by segment.
  std::mt19937 random(7);
  for (int height : {64, 40, 3}) {
    QWidget tall;
    tall.resize(200, height);
    TBlockError shown(&tall);
    for (int n = 0; n < 150; ++n) {
      shown.AddSample(static_cast<int>(random() % 4));
      QImage drawn(tall.size(), QImage::Format_RGB32);
      drawn.fill(ColorFromTColor(kBlockErrorBackground));
      QPainter pen(&drawn);
      for (const TTraceSegment& s : BlockErrorTrace(shown.Samples(), shown.Pos(), TBlockError::kStep, shown.YScale())) {
        pen.setPen(QPen(ColorFromTColor(s.Color), 0));
        pen.drawLine(s.X1, s.Y1, s.X2, s.Y2);
      }
      pen.end();
      ASSERT_EQ(tall.grab().toImage().convertToFormat(QImage::Format_RGB32), drawn) << height << " " << n;
    }
  }
}

// On screen, where a sample repaints only the columns it changed, the box
// shows the whole trace as drawn from scratch after every sample: through
// the wrap of the ring, a reset and the samples after it.
TEST_F(DisplayControls, BlockErrorScreenFollowsEverySample) {
  TShownBlockError shown;
  TBlockError& graph = *shown.graph;
  const auto onScreen = [&] {
    QCoreApplication::processEvents();
    return shown.OnScreen();
  };
  const auto drawn = [&] { return shown.Drawn(); };
  std::mt19937 random(11);
  for (int n = 0; n < 230; ++n) {
    if (n == 170) {
      // The reset leaves the old trace on show until the next sample.
      const QImage before = onScreen();
      graph.Reset();
      ASSERT_EQ(onScreen(), before);
    }
    // Two samples in one pass of the event loop now and then.
    if (n % 7 == 3) graph.AddSample(static_cast<int>(random() % 4));
    graph.AddSample(static_cast<int>(random() % 4));
    ASSERT_EQ(onScreen(), drawn()) << n;
  }
}

// A sample is on screen as soon as it is written, without another turn of
// the event loop; samples written faster than a frame are painted together
// with the next turn, and then show the whole trace too.
TEST_F(DisplayControls, BlockErrorSampleShownAtOnceFasterOnesTogether) {
  TShownBlockError shown;
  TBlockError& graph = *shown.graph;
  int paints = 0;
  TEventCounter counter(&shown.box, QEvent::Paint, paints);
  const auto onScreen = [&] { return shown.OnScreen(); };
  const auto drawn = [&] { return shown.Drawn(); };
  for (int n = 0; n < 5; ++n) {
    QTest::qWait(20);
    paints = 0;
    graph.AddSample(n % 4);
    EXPECT_EQ(paints, 1) << n;
    ASSERT_EQ(onScreen(), drawn()) << n;
  }
  QTest::qWait(20);
  paints = 0;
  for (int n = 0; n < 10; ++n) graph.AddSample(3 - n % 4);
  QCoreApplication::processEvents();
  EXPECT_EQ(paints, 2);
  EXPECT_EQ(onScreen(), drawn());
}

// The box copies its bitmap straight onto the image its painting goes to:
// at its place in that image, only where it is to be painted, under what lies
// above it, and through the painter when another one draws it (scaled here).
TEST_F(DisplayControls, BlockErrorPaintedOntoItsPlaceWhereverItGoes) {
  QWidget window;
  window.resize(260, 120);
  QWidget panel(&window);
  panel.setGeometry(13, 9, 230, 100);
  QWidget box(&panel);
  box.setGeometry(17, 21, 200, 64);
  TBlockError graph(&box);
  struct TCover : QWidget {  // a sibling above the box, not opaque
    using QWidget::QWidget;
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(2, 2, 6, 6, Qt::red); }
  } cover(&panel);
  cover.setGeometry(17 + 150, 21 + 30, 10, 10);
  window.show();
  QCoreApplication::processEvents();
  std::mt19937 random(5);
  for (int n = 0; n < 80; ++n) graph.AddSample(static_cast<int>(random() % 4));
  QCoreApplication::processEvents();
  const QImage drawn = DrawnTrace(graph, box.size());
  const auto screen = [&] {
    return window.screen()->grabWindow(window.winId(), 30, 30, 200, 64).toImage().convertToFormat(QImage::Format_RGB32);
  };
  const auto covered = [&](QImage image) {
    QPainter(&image).fillRect(152, 32, 6, 6, Qt::red);
    return image;
  };
  ASSERT_EQ(screen(), covered(drawn));

  // Two separate parts of the box painted again, after the screen was
  // spoiled there and next to them.
  const QRegion parts = QRegion(4, 0, 20, 64) + QRegion(120, 10, 40, 30);
  {
    QImage* backing = static_cast<QImage*>(window.backingStore()->paintDevice());
    QPainter(backing).fillRect(QRect(30, 30, 200, 64), Qt::blue);
  }
  box.repaint(parts);
  QImage expected(drawn.size(), QImage::Format_RGB32);
  expected.fill(Qt::blue);
  {
    QPainter pen(&expected);
    pen.setClipRegion(parts);
    pen.drawImage(0, 0, covered(drawn));
  }
  EXPECT_EQ(screen(), expected);

  // Rendered into images: at an offset, and in another pixel format.
  for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied, QImage::Format_RGB888}) {
    QImage image(230, 90, format);
    image.fill(Qt::yellow);
    box.render(&image, QPoint(9, 11));
    QImage copy(image.size(), format);
    copy.fill(Qt::yellow);
    QPainter(&copy).drawImage(9, 11, drawn);
    EXPECT_EQ(image.convertToFormat(QImage::Format_RGB32), copy.convertToFormat(QImage::Format_RGB32)) << format;
  }
  QImage scaled(400, 128, QImage::Format_RGB32);
  QImage twice(scaled.size(), QImage::Format_RGB32);
  {
    QPainter pen(&scaled);
    pen.scale(2, 2);
    box.render(&pen);
    QPainter copy(&twice);
    copy.scale(2, 2);
    copy.drawImage(0, 0, drawn);
  }
  EXPECT_EQ(scaled, twice);

  // A box grown since its creation: its background beyond the bitmap.
  cover.hide();
  box.resize(210, 64);
  QCoreApplication::processEvents();
  QImage grown(210, 64, QImage::Format_RGB32);
  grown.fill(box.palette().window().color());
  QPainter(&grown).drawImage(0, 0, drawn);
  EXPECT_EQ(window.screen()->grabWindow(window.winId(), 30, 30, 210, 64).toImage().convertToFormat(QImage::Format_RGB32),
            grown);
}

TEST_F(DisplayControls, ColorButtonStatesSizingMouseAndClick) {
  // Without an image list: 30 x 30 and nothing drawn.
  TColorButton bare;
  EXPECT_EQ(bare.size(), QSize(30, 30));
  EXPECT_EQ(qAlpha(Render(bare).pixel(15, 15)), 0);

  QWidget form;
  TColorButton button(&form);
  QPointer<TImageList> list = FlatList(20, 24, 8, &form);
  button.SetStates(list);
  EXPECT_EQ(button.size(), QSize(20, 24));
  TImageList empty(16, 16);
  button.SetStates(&empty);
  EXPECT_EQ(button.size(), QSize(30, 30));
  button.SetStates(list);
  button.SetStartIndex(4);
  EXPECT_EQ(button.PictureIndex(), 4);

  // Key-colour corner is left out while Transparent, drawn otherwise.
  QImage shown = Render(button, Qt::blue);
  EXPECT_EQ(shown.pixelColor(0, 0), QColor(Qt::blue));
  EXPECT_EQ(shown.pixelColor(10, 10), QColor(45, 100, 200));
  button.SetTransparent(false);
  shown = Render(button, Qt::blue);
  EXPECT_EQ(shown.pixelColor(0, 0), QColor(255, 0, 255));

  // Removing the list from the form leaves the button drawing nothing.
  delete list;
  EXPECT_EQ(button.PictureIndex(), -1);
  Render(button);

  // The mouse: hover +2, pressed +3, disabled +1.
  button.SetStates(FlatList(30, 30, 16, &form));
  button.SetStartIndex(8);
  int clicks = 0;
  QObject* sender = nullptr;
  button.OnClick = [&](QObject* s) {
    ++clicks;
    sender = s;
  };

  SendEnter(button);
  EXPECT_EQ(button.PictureIndex(), 10);
  QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_EQ(button.PictureIndex(), 11);
  // Dragged off while held: back to normal, and releasing there is no click.
  QMouseEvent drag(QEvent::MouseMove, QPointF(50, 10), QPointF(50, 10), Qt::NoButton, Qt::LeftButton, {});
  QCoreApplication::sendEvent(&button, &drag);
  EXPECT_FALSE(button.MouseInside());
  EXPECT_EQ(button.PictureIndex(), 8);
  QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(50, 10));
  EXPECT_EQ(clicks, 0);
  EXPECT_FALSE(button.MouseDown());

  SendEnter(button);
  QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(sender, &button);
  QTest::mouseClick(&button, Qt::RightButton, {}, QPoint(10, 10));
  EXPECT_EQ(clicks, 1);
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(&button, &leave);
  EXPECT_EQ(button.PictureIndex(), 8);

  // Disabled while held: the disabled picture, no stale pressed look after.
  SendEnter(button);
  QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
  button.setEnabled(false);
  EXPECT_EQ(button.PictureIndex(), 9);
  EXPECT_FALSE(button.MouseDown());
  button.setEnabled(true);
  EXPECT_EQ(button.PictureIndex(), 10);
  EXPECT_EQ(clicks, 1);
}

TEST_F(DisplayControls, DualImageShowsStateAndFallsBackToPicture) {
  QWidget form;
  TDualImage1 lamp(&form);
  QImage own(12, 12, QImage::Format_ARGB32);
  own.fill(Qt::yellow);
  lamp.SetPicture(own);
  EXPECT_EQ(lamp.PictureIndex(), -1);
  EXPECT_EQ(Render(lamp).pixelColor(5, 5), QColor(Qt::yellow));

  TImageList* list = FlatList(14, 14, 4, &form);
  lamp.SetStates(list);
  EXPECT_EQ(lamp.size(), QSize(14, 14));
  lamp.SetStartIndex(2);
  EXPECT_EQ(Render(lamp).pixelColor(5, 5), QColor(25, 100, 200));
  lamp.SetEnabled(false);
  EXPECT_EQ(Render(lamp).pixelColor(5, 5), QColor(35, 100, 200));
  // The widget's input enabling does not touch the lamp's state.
  lamp.SetEnabled(true);
  form.setEnabled(false);
  EXPECT_EQ(lamp.PictureIndex(), 2);

  // A start index past the list draws nothing rather than failing.
  lamp.SetStartIndex(10);
  EXPECT_EQ(qAlpha(Render(lamp).pixel(5, 5)), 0);
  delete list;
  EXPECT_EQ(lamp.PictureIndex(), -1);
  EXPECT_EQ(Render(lamp).pixelColor(5, 5), QColor(Qt::yellow));
}

TEST_F(DisplayControls, KeyColourTransparencyAndShape) {
  QImage picture(6, 3, QImage::Format_ARGB32);
  picture.fill(QColor(255, 0, 255));
  // Row 0: key key X X key key; row 1: all X except a hole at 3; row 2: all key.
  for (int x = 2; x < 4; ++x) picture.setPixelColor(x, 0, Qt::red);
  for (int x = 0; x < 6; ++x) picture.setPixelColor(x, 1, x == 3 ? QColor(255, 0, 255) : QColor(Qt::green));
  // A colour one step away from the key is not the key.
  picture.setPixelColor(0, 1, QColor(254, 0, 255));

  const QRegion region = RegionWithoutKeyColor(picture);
  QRegion expected = QRegion(2, 0, 2, 1) + QRegion(0, 1, 3, 1) + QRegion(4, 1, 2, 1);
  EXPECT_EQ(region, expected);

  const QImage clear = KeyColorTransparent(picture);
  EXPECT_EQ(qAlpha(clear.pixel(3, 1)), 0);
  EXPECT_EQ(clear.pixelColor(0, 1), QColor(254, 0, 255));
  EXPECT_TRUE(RegionWithoutKeyColor(QImage()).isEmpty());
}

TEST_F(DisplayControls, DrawnPicturesFitTheirControls) {
  std::unique_ptr<TImageList> arrows(MakeArrowButtonStates());
  ASSERT_EQ(arrows->Count(), 16);
  const QColor key(255, 0, 255);
  for (int i = 0; i < 16; ++i) {
    const QImage p = arrows->Image(i);
    EXPECT_EQ(p.size(), QSize(30, 30));
    EXPECT_EQ(p.pixelColor(0, 0), key) << i;
    EXPECT_NE(p.pixelColor(15, 3), key) << i;  // the round body is solid
  }
  std::unique_ptr<TImageList> digits(MakeDigitGlyphs());
  for (int i = 0; i < 24; ++i)
    for (int j = i + 1; j < 24; ++j) EXPECT_NE(digits->Image(i), digits->Image(j)) << i << " " << j;
  // The point stays in the five columns the next digit leaves uncovered.
  const QImage point = digits->Image(11), blank = digits->Image(10);
  const QColor background = point.pixelColor(14, 0);
  for (int y = 0; y < kDigitGlyphHeight; ++y)
    for (int x = 5; x < kDigitGlyphWidth; ++x) ASSERT_EQ(point.pixelColor(x, y), background) << x << "," << y;
  EXPECT_NE(point.copy(0, 0, 5, kDigitGlyphHeight), blank.copy(0, 0, 5, kDigitGlyphHeight));

  const QImage about = MakeAboutPicture();
  EXPECT_EQ(about.pixelColor(0, 0), key);
  EXPECT_TRUE(RegionWithoutKeyColor(about).contains(QPoint(about.width() / 2, about.height() / 2)));
}

}  // namespace
