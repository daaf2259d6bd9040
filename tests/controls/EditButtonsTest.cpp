#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWheelEvent>

#include "controls/ToolCtrlsEx.h"
#include "support/FakeClock.h"
#include "support/QtApp.h"

TEST(EditButtons, FaceGeometry) {
  // Ellipsis dots: side 1 below 8 pixels, 2 above, centred; plus and minus
  // bars at least a pixel; up-down halves floor(h/2) each, the odd middle
  // line between them pressing neither.
  EXPECT_EQ(EllipsisDotRects(QRect(0, 0, 7, 17)).at(0), QRect(1, 8, 1, 1));
  EXPECT_EQ(EllipsisDotRects(QRect(10, 0, 16, 16)).at(2), QRect(21, 7, 2, 2));
  EXPECT_EQ(PlusMinusBarRects(QRect(0, 0, 16, 14), true).at(1), QRect(7, 3, 2, 8));
  EXPECT_EQ(PlusMinusBarRects(QRect(0, 0, 1, 1), true)[0].size(), QSize(1, 1));
  TUpDownHalves h = SplitUpDownFace(QRect(0, 0, 16, 17));
  EXPECT_TRUE(h.Upper == QRect(0, 0, 16, 8) && h.Lower == QRect(0, 9, 16, 8) && h.Middle == QRect(0, 8, 16, 1));
  EXPECT_TRUE(SplitUpDownFace(QRect(0, 0, 16, 16)).Middle.isEmpty());
  for (auto [y, half] : {std::pair{7, 1}, {8, 0}, {9, 0}, {10, 2}})
    EXPECT_EQ(PressedHalfAt(ebsUpDownEx, y, 17), half) << y;
  EXPECT_EQ(PressedHalfAt(ebsDropDownEx, 16, 17), 1);

  // Widths and heights.
  EXPECT_EQ(FlatButtonWidthFor(12, 16), 9);   // 8 made odd
  EXPECT_EQ(FlatButtonWidthFor(30, 16), 16);  // at most the scroll-bar width
  EXPECT_EQ(EditButtonSizeFor(0, false, 9, 16, 17), QSize(16, 17));
  EXPECT_EQ(EditButtonSizeFor(0, false, 9, 16, 40), QSize(16, 16));
  EXPECT_EQ(EditButtonSizeFor(0, true, 9, 16, 40), QSize(9, 14));  // round(13.5) to even
  EXPECT_EQ(EditButtonSizeFor(20, true, 9, 16, 17), QSize(20, 17));
}

TEST(EditButtons, FaceCacheDrawsEachFaceOnce) {
  EnsureQApplication();
  TButtonsBitmapCache& cache = TButtonsBitmapCache::Instance();
  cache.Clear();
  TButtonFaceKey key;
  key.Width = 16;
  key.Height = 17;
  key.Style = ebsUpDownEx;
  key.Pressed = true;
  key.Direction = 1;
  const QPixmap first = cache.Face(key, nullptr);
  EXPECT_EQ(first.size(), QSize(16, 17));
  cache.Face(key, nullptr);
  EXPECT_EQ(cache.Count(), 1);
  key.Direction = 2;  // the other half pressed is another face
  cache.Face(key, nullptr);
  key.Enabled = false;
  cache.Face(key, nullptr);
  EXPECT_EQ(cache.Count(), 3);
  cache.Clear();
}

TEST(EditButtons, ItemsCollectionAndAssign) {
  EnsureQApplication();
  TEditButtonEx b;
  int changes = 0;
  b.Changed = [&] { ++changes; };
  b.SetNumGlyphs(0);
  EXPECT_EQ(b.NumGlyphs(), 1);
  b.SetNumGlyphs(7);
  EXPECT_EQ(b.NumGlyphs(), 4);
  b.SetStyle(ebsUpDownEx);
  b.SetStyle(ebsUpDownEx);  // unchanged: no notification
  EXPECT_EQ(changes, 2);

  bool clicked = false;
  b.OnClick = [&](QObject*, bool&) { clicked = true; };
  b.SetWidth(21);
  TDropDownEditButtonEx copy;
  copy.Assign(b);
  EXPECT_TRUE(copy.Style() == ebsUpDownEx && copy.NumGlyphs() == 4 && copy.Width() == 21 && copy.ShortCut().isEmpty());
  bool handled = false;
  copy.OnClick(nullptr, handled);
  EXPECT_TRUE(clicked);

  TEditButtonsEx items;
  int itemChanges = 0;
  items.Changed = [&] { ++itemChanges; };
  TVisibleEditButtonEx* first = items.Add();
  items.Add()->SetStyle(ebsPlusEx);  // a change of an item tells the collection
  EXPECT_EQ(itemChanges, 3);
  first->SetHint("x");
  EXPECT_EQ(itemChanges, 4);
  items.Delete(5);
  EXPECT_EQ(items.Count(), 2);
  items.Delete(0);
  EXPECT_EQ(items.Items(0)->Style(), ebsPlusEx);
  EXPECT_EQ(items.Items(1), nullptr);
}

TEST(PopupPlacement, SmallWorkAreas) {
  const QRect work(0, 0, 800, 600), tiny(0, 0, 300, 200), second(1280, 0, 1920, 1040);
  const struct {
    QRect edit;
    QSize size;
    QRect area;
    TPopupAlignment align;
    QRect placed;
    bool above;
    int grip;  // -1: not checked
  } cases[] = {
      // Room below: under the edit, left edges aligned, grip bottom-right;
      // right-aligned and centred drop-downs.
      {{100, 100, 120, 20}, {184, 127}, work, paLeft, {100, 120, 184, 127}, false, 2},
      {{300, 100, 120, 20}, {184, 127}, work, paRight, {236, 120, 184, 127}, false, -1},
      {{300, 100, 120, 20}, {184, 127}, work, paCenter, {268, 120, 184, 127}, false, -1},
      // No room below but room above: above, bottom on the edit's top.
      {{100, 550, 120, 20}, {184, 127}, work, paLeft, {100, 423, 184, 127}, true, 1},
      // Fits neither way: the larger side, height cut to it.
      {{10, 60, 100, 20}, {184, 150}, tiny, paLeft, {10, 80, 184, 120}, false, -1},
      {{10, 130, 100, 20}, {184, 150}, tiny, paLeft, {10, 0, 184, 130}, true, -1},
      // Too wide: cut to the work area; shifted to stay inside it.
      {{250, 20, 40, 20}, {400, 50}, tiny, paLeft, {0, 40, 300, 50}, false, -1},
      {{250, 20, 40, 20}, {184, 50}, tiny, paLeft, {116, 40, 184, 50}, false, -1},
      {{-50, 20, 40, 20}, {184, 50}, tiny, paLeft, {0, 40, 184, 50}, false, -1},
      // A second monitor's work area.
      {{1900, 1000, 100, 20}, {184, 127}, second, paLeft, {1900, 873, 184, 127}, true, -1}};
  for (const auto& c : cases) {
    const TPopupPlacement p = PlacePopup(c.edit, c.size, c.area, c.align);
    EXPECT_EQ(p.Rect, c.placed) << c.edit.x() << "," << c.edit.y();
    EXPECT_EQ(p.Above, c.above) << c.edit.x() << "," << c.edit.y();
    if (c.grip >= 0) {
      EXPECT_EQ(p.GripCorner(), c.grip);
    }
  }
}

TEST(MRUList, LimitCaseAndFilter) {
  TMRUListEx m;
  m.SetLimit(3);
  for (const char* t : {"a", "b", "c", "d"}) m.Add(t);
  EXPECT_EQ(m.Items(), (std::vector<std::string>{"b", "c", "d"}));
  m.Add("B");  // case-insensitive: b moves to the end
  EXPECT_EQ(m.Items(), (std::vector<std::string>{"c", "d", "b"}));
  m.Add("   ");
  m.Add(" e ");
  EXPECT_EQ(m.Items(), (std::vector<std::string>{"d", "b", "e"}));
  m.SetCaseSensitive(true);
  m.Add("E");
  EXPECT_EQ(m.Items(), (std::vector<std::string>{"b", "e", "E"}));
  m.SetLimit(1);  // lowering trims at once
  EXPECT_EQ(m.Items(), (std::vector<std::string>{"E"}));
  m.SetLimit(-1);  // a negative limit counts as 0
  EXPECT_EQ(m.Limit(), 0);
  EXPECT_TRUE(m.Items().empty());
  m.Add("x");
  EXPECT_TRUE(m.Items().empty());

  TMRUListEx f;
  f.SetItems({"98.5", "87.0", "98.1", "9", "Abc", "abd", "\xC4rger"});
  EXPECT_EQ(f.Filter("98"), (std::vector<std::string>{"98.1", "98.5"}));
  EXPECT_EQ(f.Filter("AB"), (std::vector<std::string>{"Abc", "abd"}));
  EXPECT_EQ(f.Filter("\xE4r"), (std::vector<std::string>{"\xC4rger"}));
  f.SetCaseSensitive(true);
  EXPECT_EQ(f.Filter("ab"), (std::vector<std::string>{"abd"}));
  EXPECT_TRUE(f.Filter("zz").empty());

  int activity = 0;
  f.OnActiveChange = [&] { ++activity; };
  f.SetActive(true);
  f.SetActive(true);
  EXPECT_EQ(activity, 1);
}

TEST(PopupListbox, IncrementalSearchWheelAndSizeGrip) {
  EnsureQApplication();
  QWidget owner;
  TFakeClock clock;
  TMRUListboxEx list(&owner);
  list.SetClock(&clock);
  list.addItems({"alpha", "beta", "bravo", "charlie"});
  list.SearchKey('b');
  EXPECT_EQ(list.currentRow(), 1);
  clock.Advance(1999);
  list.SearchKey('R');  // within two seconds: the search text grows
  EXPECT_EQ(list.SearchText(), "bR");
  EXPECT_EQ(list.currentRow(), 2);
  clock.Advance(2000);
  list.SearchKey('c');  // after a pause it starts again
  EXPECT_EQ(list.SearchText(), "c");
  EXPECT_EQ(list.currentRow(), 3);
  list.SearchKey('\b');
  EXPECT_TRUE(list.SearchText().isEmpty());
  for (int i = 0; i < 40; ++i) list.SearchKey('x');
  EXPECT_EQ(list.SearchText().size(), 32);

  list.setCurrentRow(1);
  QWheelEvent down(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
  QApplication::sendEvent(list.viewport(), &down);
  EXPECT_EQ(list.currentRow(), 2);

  // The grip sits in the corner away from the edit and keeps the opposite
  // edges where they are.
  list.Popup(QRect(100, 100, 120, 90));
  EXPECT_TRUE(list.IsOpen());
  list.SetGripCorner(2);
  EXPECT_EQ(list.SizeGrip()->geometry().bottomRight(), list.rect().bottomRight());
  list.SetGripCorner(1);
  EXPECT_EQ(list.SizeGrip()->geometry().topRight(), list.rect().topRight());
  // Dragging the grip moves only the edges at its corner.
  TSizeGripEx* grip = list.SizeGrip();
  const QRect before = list.geometry();
  QTest::mousePress(grip, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
  QTest::mouseMove(grip, QPoint(32, -18));
  QTest::mouseRelease(grip, Qt::LeftButton, Qt::NoModifier, QPoint(32, -18));
  EXPECT_EQ(list.geometry(), before.adjusted(0, -20, 30, 0));
  EXPECT_EQ(grip->geometry().topRight(), list.rect().topRight());
  EXPECT_GT(list.VisibleRows(), 1);

  bool accepted = true;
  list.OnCloseUp = [&](bool a) { accepted = a; };
  list.CloseUp(false);
  EXPECT_FALSE(list.IsOpen());
  EXPECT_FALSE(accepted);
}
