#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFormLayout>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QWheelEvent>
#include <memory>
#include <string>
#include <vector>

#include "controls/DBCtrlsEx.h"
#include "support/FakeRepeatTimer.h"
#include "support/QtApp.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace {

class NumberEditWidget : public ::testing::Test {
 protected:
  // The boxes as the program's forms set them up: the frequency boxes, the
  // extended log's interval, the port (limits that do not hold) and a box
  // with the calculator button.
  void SetUp() override {
    EnsureQApplication();
    dlg = std::make_unique<QDialog>();
    dlg->setWindowTitle("Number boxes");
    auto* form = new QFormLayout(dlg.get());
    edFreq = Add(form, "edFreq", "Frequency (MHz)", 87.0, 108.0, 1);
    pr1 = Add(form, "pr1", "Preset 1", 87.0, 108.0, 1, true);
    logtime = Add(form, "logtime", "Extended log every (min.)", 1, 30, 0, true);
    logtime->SetValue(1.0);
    edPort = Add(form, "edPort", "Port", 9000, 8000, 0);
    edCalc = new TDBNumberEditEx(dlg.get());
    form->addRow("With calculator button", edCalc);
    edCalc->EditButton().SetVisible(true);
    ok = new QPushButton("OK", dlg.get());
    ok->setDefault(true);
    form->addRow(ok);
    QObject::connect(ok, &QPushButton::clicked, [this] { ++okClicks; });
    QObject::connect(dlg.get(), &QDialog::rejected, [this] { ++rejects; });
    dlg->resize(360, 220);
    dlg->show();
    dlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
  }

  void TearDown() override {
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    dlg.reset();
  }

  // One decimal place: a frequency box, shown as "#.0" and stepped by 0.1.
  TDBNumberEditEx* Add(QFormLayout* form, const char* name, const char* label, double min, double max, int places,
                       bool upDown = false) {
    auto* e = new TDBNumberEditEx(dlg.get());
    e->setObjectName(name);
    form->addRow(label, e);
    e->SetMinValue(min);
    e->SetMaxValue(max);
    e->SetDecimalPlaces(places);
    if (places == 1) e->SetDisplayFormat("#.0"), e->SetIncrement(0.1);
    if (upDown) e->EditButton().SetStyle(ebsUpDownEx), e->EditButton().SetVisible(true);
    return e;
  }

  void Focus(QWidget* w) {
    w->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    ASSERT_TRUE(w->hasFocus());
  }

  // Keys and clicks through the window, as the windowing system delivers
  // them (an open popup takes them first).
  void WindowKey(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(dlg->windowHandle(), key, mods);
  }
  void WindowKeys(std::initializer_list<Qt::Key> keys) {
    for (Qt::Key key : keys) WindowKey(key);
  }
  // Between two clicks of a user the event loop runs.
  void WindowClick(QWidget* w) {
    QTest::mouseClick(dlg->windowHandle(), Qt::LeftButton, Qt::NoModifier, w->mapTo(dlg.get(), w->rect().center()));
    QApplication::processEvents();
  }

  static void Wheel(QWidget* w, int delta, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWheelEvent ev(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                   Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &ev);
  }

  std::unique_ptr<QDialog> dlg;
  TDBNumberEditEx* edFreq = nullptr;
  TDBNumberEditEx* pr1 = nullptr;
  TDBNumberEditEx* logtime = nullptr;
  TDBNumberEditEx* edPort = nullptr;
  TDBNumberEditEx* edCalc = nullptr;
  QPushButton* ok = nullptr;
  int okClicks = 0;
  int rejects = 0;
};

}  // namespace

TEST_F(NumberEditWidget, TypingRefusalAndDisplayOnLeaving) {
  Focus(edFreq);
  QTest::keyClicks(edFreq, "98.55");  // one decimal only
  EXPECT_EQ(edFreq->text(), "98.5");
  EXPECT_EQ(edFreq->Value(), 98.5);
  edFreq->selectAll();
  QTest::keyClicks(edFreq, "12x3");
  EXPECT_EQ(edFreq->text(), "123");  // shown as typed ...
  EXPECT_EQ(edFreq->Value(), 108.0);  // ... held clamped
  QTest::keyClick(edFreq, Qt::Key_Tab);
  EXPECT_FALSE(edFreq->hasFocus());
  EXPECT_EQ(edFreq->text(), "108.0");

  Focus(edFreq);  // entering selects the whole text
  EXPECT_EQ(edFreq->selectedText(), "108.0");

  Focus(logtime);
  QTest::keyClicks(logtime, "-");  // a lone sign counts as 0, held to 1..30
  EXPECT_EQ(logtime->text(), "-");
  EXPECT_EQ(logtime->Value(), 1.0);
  QTest::keyClicks(logtime, "3");  // but no negative number under 1..30
  EXPECT_EQ(logtime->text(), "-");
  QTest::keyClick(logtime, Qt::Key_Backspace);
  EXPECT_FALSE(logtime->Value().has_value());
  QTest::keyClicks(logtime, "12,5");  // ',' types the decimal separator; no decimals with 0 places
  EXPECT_EQ(logtime->text(), "12.");

  Focus(edFreq);
  EXPECT_EQ(logtime->text(), "12");
}

TEST_F(NumberEditWidget, StepKeysWheelAndBounds) {
  Focus(edFreq);
  QTest::keyClick(edFreq, Qt::Key_Down);  // from empty: +0.1, clamped up to 87.0
  EXPECT_EQ(edFreq->Value(), 87.0);
  EXPECT_EQ(edFreq->text(), "87.0");
  EXPECT_EQ(edFreq->selectedText(), "87.0");
  for (int i = 0; i < 3; ++i) QTest::keyClick(edFreq, Qt::Key_Up);
  EXPECT_EQ(edFreq->Value(), 87.3);
  EXPECT_EQ(edFreq->text(), "87.3");
  edFreq->SetValue(108.0);

  Wheel(edFreq, 120);
  EXPECT_EQ(edFreq->Value(), 108.0);
  Wheel(edFreq, -120);
  EXPECT_EQ(edFreq->Value(), 107.9);
  Wheel(edFreq, 60);  // half a notch: nothing yet
  EXPECT_EQ(edFreq->Value(), 107.9);
  Wheel(edFreq, 60);
  EXPECT_EQ(edFreq->Value(), 108.0);
  Wheel(edFreq, -120, Qt::ControlModifier);  // a held modifier leaves the wheel alone
  EXPECT_EQ(edFreq->Value(), 108.0);
  Wheel(logtime, 120);  // only the box with the focus steps
  EXPECT_EQ(logtime->Value(), 1.0);

  edFreq->SetReadOnly(true);
  QTest::keyClick(edFreq, Qt::Key_Down);
  Wheel(edFreq, -120);
  QTest::keyClicks(edFreq, "1");
  EXPECT_EQ(edFreq->Value(), 108.0);
  edFreq->SetReadOnly(false);

  Focus(logtime);
  QTest::keyClick(logtime, Qt::Key_Down);
  EXPECT_EQ(logtime->Value(), 1.0);
  QTest::keyClick(logtime, Qt::Key_Down, Qt::AltModifier);  // the up-down button's shortcut: lower half
  EXPECT_EQ(logtime->Value(), 1.0);
  QTest::keyClick(logtime, Qt::Key_Up);
  EXPECT_EQ(logtime->Value(), 2.0);
  QTest::keyClick(logtime, Qt::Key_Down, Qt::AltModifier);
  EXPECT_EQ(logtime->Value(), 1.0);
}

TEST_F(NumberEditWidget, HoldingTheUpDownButton) {
  TFakeRepeatTimers timers;
  TEditButtonControlEx* c = logtime->EditButtonControl();
  ASSERT_TRUE(c->isVisibleTo(logtime));
  EXPECT_LE(logtime->EditRect().right(), c->x());
  const QPoint upper(c->width() / 2, 1), lower(c->width() / 2, c->height() - 2);

  QTest::mousePress(c, Qt::LeftButton, Qt::NoModifier, upper);
  EXPECT_TRUE(logtime->hasFocus());  // the press focuses the box
  EXPECT_EQ(logtime->Value(), 2.0);  // the first step at once
  TFakeRepeatTimer* t = timers.Last();
  ASSERT_NE(t, nullptr);
  EXPECT_TRUE(t->IsActive());
  EXPECT_EQ(t->Interval(), 400);
  t->Fire();
  EXPECT_EQ(logtime->Value(), 3.0);
  EXPECT_EQ(t->Interval(), 100);  // then every 100 ms
  t->Fire();
  t->Fire();
  EXPECT_EQ(logtime->Value(), 5.0);
  QTest::mouseMove(c, lower);  // slid into the other half: the press is off
  t->Fire();
  EXPECT_EQ(logtime->Value(), 5.0);
  EXPECT_FALSE(c->IsDown());
  QTest::mouseMove(c, upper);
  t->Fire();
  EXPECT_EQ(logtime->Value(), 6.0);
  QTest::mouseRelease(c, Qt::LeftButton, Qt::NoModifier, upper);
  EXPECT_FALSE(t->IsActive());
  t->Fire();
  EXPECT_EQ(logtime->Value(), 6.0);

  QTest::mousePress(c, Qt::LeftButton, Qt::NoModifier, lower);
  EXPECT_EQ(logtime->Value(), 5.0);
  QTest::mouseRelease(c, Qt::LeftButton, Qt::NoModifier, lower);

  logtime->SetValue(30.0);
  int downs = 0;
  logtime->OnButtonDown = [&](QObject*, bool top, bool& autoRepeat, bool& handled) {
    ++downs;
    EXPECT_TRUE(top);
    autoRepeat = false;
    handled = true;
  };
  QTest::mousePress(c, Qt::LeftButton, Qt::NoModifier, upper);
  EXPECT_EQ(downs, 1);
  EXPECT_EQ(logtime->Value(), 30.0);
  EXPECT_FALSE(t->IsActive());
  QTest::mouseRelease(c, Qt::LeftButton, Qt::NoModifier, upper);
}

TEST_F(NumberEditWidget, CalculatorAcceptsWithOkAndDiscardsWithEsc) {
  Focus(edFreq);
  edFreq->SetValue(98.5);
  QTest::keyClick(edFreq, Qt::Key_Down, Qt::AltModifier);  // the invisible drop-down button's shortcut
  TPopupCalculatorEx* pop = edFreq->Popup();
  ASSERT_NE(pop, nullptr);
  EXPECT_TRUE(pop->isVisible());
  EXPECT_EQ(QApplication::activePopupWidget(), pop);
  EXPECT_TRUE(edFreq->IsDroppedDown());
  EXPECT_TRUE(edFreq->IsFocused());
  EXPECT_EQ(pop->DisplayText(), "98.5");

  WindowKeys({Qt::Key_C, Qt::Key_2, Qt::Key_Plus, Qt::Key_3});
  WindowKey(Qt::Key_Return);
  EXPECT_EQ(pop->DisplayText(), "5");
  EXPECT_TRUE(pop->isVisible());
  EXPECT_EQ(okClicks, 0);  // Enter stays with the popup
  WindowKey(Qt::Key_Return);
  EXPECT_FALSE(pop->isVisible());
  EXPECT_FALSE(edFreq->IsDroppedDown());
  EXPECT_EQ(edFreq->Value(), 5.0);  // taken over without the limit check
  EXPECT_EQ(edFreq->text(), "5.0");
  EXPECT_EQ(edFreq->selectedText(), "5.0");
  EXPECT_EQ(okClicks, 0);

  QTest::keyClick(edFreq, Qt::Key_Down, Qt::AltModifier);
  EXPECT_EQ(pop->DisplayText(), "5");
  WindowKeys({Qt::Key_9, Qt::Key_9});
  Wheel(pop, 120);  // the wheel goes to the calculator
  EXPECT_EQ(pop->DisplayText(), "100");
  WindowKey(Qt::Key_Escape);
  EXPECT_FALSE(pop->isVisible());
  EXPECT_EQ(edFreq->Value(), 5.0);
  EXPECT_EQ(rejects, 0);  // Esc closed the popup only

  // 1/x of 0: "Error" until C; accepting an error takes nothing over.
  edFreq->SetValue(std::nullopt);
  QTest::keyClick(edFreq, Qt::Key_Down, Qt::AltModifier);
  EXPECT_EQ(pop->DisplayText(), "0");
  QTest::mouseClick(pop->Key(17), Qt::LeftButton);
  EXPECT_EQ(pop->DisplayText(), "Error");
  WindowKey(Qt::Key_C);
  EXPECT_EQ(pop->DisplayText(), "0");
  QTest::mouseClick(pop->Key(17), Qt::LeftButton);
  QTest::mouseClick(pop->spEqual(), Qt::LeftButton);  // "Ok" closes, with no number to take
  EXPECT_FALSE(pop->isVisible());
  EXPECT_FALSE(edFreq->Value().has_value());
  EXPECT_EQ(edFreq->text(), "");

  // Clicking a key with the mouse works the same as typing it.
  QTest::keyClick(edFreq, Qt::Key_Down, Qt::AltModifier);
  for (int tag : {13, 19, 22, 15, 23}) QTest::mouseClick(pop->Key(tag), Qt::LeftButton);  // 1 0 + 3 =
  EXPECT_EQ(pop->DisplayText(), "13");
  QTest::mouseClick(pop->spEqual(), Qt::LeftButton);
  EXPECT_EQ(edFreq->Value(), 13.0);

  // Clipboard: Ctrl+C copies the display; Ctrl+V shows a number, and a text
  // that is not one is reported (not thrown through the event loop).
  std::string reported;
  SetControlExceptionHandler([&](const std::exception& e) { reported = e.what(); });
  QTest::keyClick(edFreq, Qt::Key_Down, Qt::AltModifier);
  QApplication::clipboard()->setText("abc");
  WindowKey(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(reported, "'abc' is not a valid floating point value");
  EXPECT_EQ(pop->DisplayText(), "13");
  QApplication::clipboard()->setText(" 42.5 ");
  WindowKey(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(pop->DisplayText(), "42.5");
  WindowKeys({Qt::Key_Plus, Qt::Key_1});
  WindowKey(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "1");
  SetControlExceptionHandler(nullptr);
  QTest::mouseClick(pop->Key(12), Qt::LeftButton);  // Cancel
  EXPECT_FALSE(pop->isVisible());
  EXPECT_EQ(edFreq->Value(), 13.0);
}

TEST_F(NumberEditWidget, TheClosingClickDoesNotReopen) {
  TEditButtonControlEx* c = edCalc->EditButtonControl();
  ASSERT_TRUE(c->isVisibleTo(edCalc));
  WindowClick(c);
  TPopupCalculatorEx* pop = edCalc->Popup();
  ASSERT_NE(pop, nullptr);
  EXPECT_TRUE(pop->isVisible());
  EXPECT_TRUE(edCalc->IsFocused());
  EXPECT_TRUE(c->IsDown());  // stays pressed while its popup is open

  WindowClick(c);  // a click outside closes the popup; this one is on its own button
  EXPECT_FALSE(pop->isVisible());
  EXPECT_FALSE(edCalc->IsDroppedDown());
  EXPECT_FALSE(c->IsDown());

  // The press that closed the popup reaches the button before the event
  // loop runs again: it is dropped. The next one opens the popup.
  WindowClick(c);
  ASSERT_TRUE(pop->isVisible());
  pop->close();
  QTest::mouseClick(c, Qt::LeftButton);
  EXPECT_FALSE(pop->isVisible());
  QApplication::processEvents();
  QTest::mouseClick(c, Qt::LeftButton);
  EXPECT_TRUE(pop->isVisible());

  // A press that reaches the button while the popup is open closes it.
  QTest::mouseClick(c, Qt::LeftButton);
  EXPECT_FALSE(pop->isVisible());
  QApplication::processEvents();
  EXPECT_FALSE(pop->isVisible());

  WindowClick(c);
  ASSERT_TRUE(pop->isVisible());
  QTest::mouseClick(pop->Key(1), Qt::LeftButton);
  WindowClick(edFreq);  // a click anywhere else closes it without taking the value
  EXPECT_FALSE(pop->isVisible());
  EXPECT_FALSE(edCalc->Value().has_value());
}

TEST_F(NumberEditWidget, NotificationOrderAndDialogKeys) {
  std::vector<std::string> log;
  QString textAtExit;
  std::optional<double> valueAtExit;
  int lastKeyUp = 0;
  edFreq->OnChange = [&](QObject*) { log.push_back("change"); };
  edFreq->OnKeyUp = [&](QObject*, int& key, Qt::KeyboardModifiers) {
    log.push_back("keyup");
    lastKeyUp = key;
  };
  edFreq->OnExit = [&](QObject*) {
    log.push_back("exit");
    textAtExit = edFreq->text();
    valueAtExit = edFreq->Value();
  };
  Focus(edFreq);
  log.clear();
  QTest::keyClick(edFreq, Qt::Key_9);
  QTest::keyPress(edFreq, Qt::Key_Tab);
  EXPECT_EQ(log, (std::vector<std::string>{"change", "keyup", "exit", "change"}));
  EXPECT_EQ(textAtExit, "9");  // still as typed while OnExit runs
  EXPECT_EQ(valueAtExit, 87.0);
  EXPECT_EQ(edFreq->text(), "87.0");

  // Enter reaches the dialog's default button (and the box's key-up).
  Focus(edFreq);
  QTest::keyClicks(edFreq, "98");
  QTest::keyClick(edFreq, Qt::Key_Return);
  EXPECT_EQ(okClicks, 1);
  EXPECT_EQ(lastKeyUp, Qt::Key_Return);
  EXPECT_EQ(edFreq->Value(), 98.0);

  // Esc on a modified text reverts it to the value and stays in the box; on
  // an unmodified one it reaches the dialog.
  edFreq->selectAll();
  QTest::keyClicks(edFreq, "100.44");
  EXPECT_EQ(edFreq->text(), "100.4");
  EXPECT_TRUE(edFreq->Modified());
  QTest::keyClick(edFreq, Qt::Key_Escape);
  EXPECT_EQ(rejects, 0);
  EXPECT_FALSE(edFreq->Modified());
  EXPECT_EQ(edFreq->text(), "100.4");
  EXPECT_EQ(edFreq->selectedText(), "100.4");
  QTest::keyClick(edFreq, Qt::Key_Escape);
  EXPECT_EQ(rejects, 1);
}

TEST_F(NumberEditWidget, PasteAndDropTakeTheTypingTest) {
  QClipboard* clip = QApplication::clipboard();
  Focus(edFreq);
  edFreq->SetValue(98.5);
  edFreq->selectAll();
  int changes = 0;
  edFreq->OnChange = [&](QObject*) { ++changes; };
  for (const char* refused : {"12abc", "-5", "98.55", "1.2.3"}) {
    clip->setText(refused);
    QTest::keyClick(edFreq, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edFreq->text(), "98.5") << refused;
  }
  EXPECT_EQ(changes, 0);
  clip->setText("99.3");
  QTest::keyClick(edFreq, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(edFreq->text(), "99.3");
  EXPECT_EQ(edFreq->Value(), 99.3);

  Focus(edCalc);
  clip->setText("1,234.5");
  QTest::keyClick(edCalc, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(edCalc->text(), "1234.5");  // normalised as it lands
  EXPECT_EQ(edCalc->Value(), 1234.5);

  // A text that does not convert, from a path that skips the typing test,
  // leaves the value and raises nothing.
  static_cast<QLineEdit*>(edCalc)->setText("e5");
  EXPECT_EQ(edCalc->Value(), 1234.5);
  static_cast<QLineEdit*>(edCalc)->setText("7");
  EXPECT_EQ(edCalc->Value(), 7.0);

  // Drops (handed to the box as the drag manager would, to its target).
  edCalc->SetValue(std::nullopt);
  QMimeData bad;
  bad.setText("x1");
  QDropEvent badDrop(QPointF(5, 5), Qt::CopyAction, &bad, Qt::LeftButton, Qt::NoModifier);
  static_cast<QObject*>(edCalc)->event(&badDrop);
  EXPECT_EQ(edCalc->text(), "");
  QMimeData good;
  good.setText("5");
  QDropEvent goodDrop(QPointF(edCalc->width() - 30, 5), Qt::CopyAction, &good, Qt::LeftButton, Qt::NoModifier);
  static_cast<QObject*>(edCalc)->event(&goodDrop);
  EXPECT_EQ(edCalc->Value(), 5.0);

  // The Text property: no clamp, shown in the display format.
  edFreq->SetText(" 500 ");
  EXPECT_EQ(edFreq->Value(), 500.0);
  EXPECT_EQ(edFreq->text(), "500.0");
  EXPECT_FALSE(edFreq->Modified());
}

TEST_F(NumberEditWidget, GroupingSeparatorsWhileTyping) {
  edCalc->SetDisplayFormat("#,##0.00");
  Focus(edCalc);
  QTest::keyClicks(edCalc, "1234567");
  EXPECT_EQ(edCalc->text(), "1,234,567");
  EXPECT_EQ(edCalc->Value(), 1234567.0);
  EXPECT_EQ(edCalc->cursorPosition(), 9);
  edCalc->setCursorPosition(2);
  QTest::keyClick(edCalc, Qt::Key_Backspace);  // over the separator: caret moves only
  EXPECT_EQ(edCalc->text(), "1,234,567");
  EXPECT_EQ(edCalc->cursorPosition(), 1);
  edCalc->setCursorPosition(9);
  QTest::keyClick(edCalc, Qt::Key_Backspace);
  EXPECT_EQ(edCalc->text(), "123,456");
  Focus(edFreq);
  EXPECT_EQ(edCalc->text(), "123,456.00");
}

TEST_F(NumberEditWidget, ButtonsLayoutAndFlatLook) {
  TEditButtonControlEx* c = pr1->EditButtonControl();
  ASSERT_TRUE(c->isVisibleTo(pr1));
  EXPECT_TRUE(pr1->rect().contains(c->geometry()));

  // A second button goes left of the first.
  TVisibleEditButtonEx* plus = pr1->EditButtons().Add();
  plus->SetStyle(ebsPlusEx);
  plus->SetShortCut(QKeySequence(Qt::CTRL | Qt::Key_P));
  int plusClicks = 0;
  plus->OnClick = [&](QObject*, bool&) { ++plusClicks; };
  plus->OnDown = [](QObject*, bool, bool&, bool& handled) { handled = true; };
  ASSERT_EQ(pr1->ButtonControlCount(), 2);
  TEditButtonControlEx* pc = pr1->ButtonControl(1);
  EXPECT_TRUE(pc->isVisibleTo(pr1));
  EXPECT_LT(pc->x(), c->x());
  EXPECT_LE(pr1->EditRect().right(), pc->x());
  Focus(pr1);
  QTest::keyClick(pr1, Qt::Key_P, Qt::ControlModifier);
  EXPECT_EQ(plusClicks, 1);
  QTest::mouseClick(pc, Qt::LeftButton);
  EXPECT_EQ(plusClicks, 2);
  pr1->EditButtons().Clear();
  EXPECT_EQ(pr1->ButtonControlCount(), 1);

  // The image inside the left edge shows the value's index.
  const int textLeft = edCalc->EditRect().left();
  QPixmap pm(16, 16);
  pm.fill(Qt::red);
  edCalc->EditImage().SetImages({pm, pm, pm});
  EXPECT_EQ(edCalc->EditImage().ImageIndex(), -1);
  edCalc->EditImage().SetVisible(true);
  EXPECT_EQ(edCalc->EditRect().left(), textLeft + 20);
  edCalc->SetValue(1.6);
  EXPECT_EQ(edCalc->EditImage().ImageIndex(), 2);
  edCalc->OnGetImageIndex = [](QObject*, int& index) { index = 0; };
  edCalc->SetValue(1.0);
  EXPECT_EQ(edCalc->EditImage().ImageIndex(), 0);

  // Flat: the buttons show their edges only while the border is active.
  QCursor::setPos(dlg->mapToGlobal(QPoint(-100, -100)));
  QApplication::processEvents();
  logtime->SetFlat(true);
  TEditButtonControlEx* lc = logtime->EditButtonControl();
  EXPECT_FALSE(lc->Active());
  Focus(logtime);
  EXPECT_TRUE(logtime->BorderActive());
  EXPECT_TRUE(lc->Active());
  Focus(edFreq);
  EXPECT_FALSE(lc->Active());
  logtime->SetAlwaysShowBorder(true);
  EXPECT_TRUE(lc->Active());
}

TEST_F(NumberEditWidget, MRUListWhileTyping) {
  auto* box = new TCustomDBEditEx(dlg.get());
  box->show();
  box->MRUList().SetItems({"alps", "alpha", "beta"});
  box->MRUList().SetActive(true);
  Focus(box);
  QTest::keyClicks(box, "al");
  TMRUListboxEx* list = box->MRUListbox();
  ASSERT_NE(list, nullptr);
  EXPECT_TRUE(list->isVisible());
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->item(0)->text(), "alpha");
  EXPECT_EQ(list->item(1)->text(), "alps");
  EXPECT_TRUE(box->hasFocus());  // typing goes on in the box
  QTest::keyClicks(box, "ph");
  EXPECT_EQ(list->count(), 1);
  QTest::keyClicks(box, "x");  // nothing matches: the list closes
  EXPECT_FALSE(list->isVisible());
  QTest::keyClick(box, Qt::Key_Backspace);
  EXPECT_TRUE(list->isVisible());
  QTest::keyClick(box, Qt::Key_Escape);  // handed to the list
  EXPECT_FALSE(list->isVisible());
  EXPECT_EQ(box->text(), "alph");
  EXPECT_EQ(rejects, 0);

  QTest::keyClick(box, Qt::Key_Backspace);
  ASSERT_TRUE(list->isVisible());
  const QRect second = list->visualItemRect(list->item(1));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, second.center());
  EXPECT_FALSE(list->isVisible());
  EXPECT_EQ(box->text(), "alps");
  Focus(edFreq);  // leaving adds the text as the most recent
  EXPECT_EQ(box->MRUList().Items().back(), "alps");
}

// With FW_SCREENSHOT_DIR set: the form with each configuration the program
// uses, one box being typed into, and the calculator.
TEST_F(NumberEditWidget, Screenshots) {
  edFreq->SetValue(98.5);
  edPort->SetValue(8001);
  edCalc->SetValue(2.5);
  Focus(pr1);
  QTest::keyClicks(pr1, "104.25");
  if (!SaveScreenshot(dlg.get(), "numberedit_form")) GTEST_SKIP() << "FW_SCREENSHOT_DIR not set";
  Focus(edCalc);
  QTest::keyClick(edCalc, Qt::Key_Down, Qt::AltModifier);
  ASSERT_NE(edCalc->Popup(), nullptr);
  edCalc->Popup()->CalcKey('+');
  edCalc->Popup()->CalcKey('3');
  QApplication::processEvents();
  EXPECT_TRUE(SaveScreenshot(edCalc->Popup(), "numberedit_calculator"));
}

// The automatic height: the font's height (or a taller image's, with
// UseImageHeight) and the border eight times, six without the 3-D look, two
// fewer when flat; held whatever height a layout or a geometry offers, and
// let go when AutoSize is off.
TEST_F(NumberEditWidget, AutomaticHeight) {
  EXPECT_EQ(AutoEditHeight(16, 10, true, true, false), 24);  // a smaller image leaves the font's height
  const auto fontHeight = [](QWidget* w) { return w->fontMetrics().height(); };
  for (TDBNumberEditEx* e : {edFreq, pr1, edCalc}) EXPECT_EQ(e->height(), fontHeight(e) + 8) << e->objectName().toStdString();
  edFreq->setGeometry(edFreq->x(), edFreq->y(), edFreq->width(), 40);
  EXPECT_EQ(edFreq->height(), fontHeight(edFreq) + 8);
  QFont big = edFreq->font();
  big.setPointSize(big.pointSize() * 2);
  edFreq->setFont(big);
  EXPECT_EQ(edFreq->height(), fontHeight(edFreq) + 8);
  EXPECT_GT(edFreq->height(), pr1->height());

  QPixmap tall(16, 40);
  tall.fill(Qt::red);
  edCalc->EditImage().SetImages({tall});
  EXPECT_EQ(edCalc->height(), 48);
  edCalc->EditImage().SetUseImageHeight(false);
  EXPECT_EQ(edCalc->height(), fontHeight(edCalc) + 8);
  edCalc->SetFlat(true);
  EXPECT_EQ(edCalc->height(), fontHeight(edCalc) + 6);
  edCalc->SetCtl3D(false);
  EXPECT_EQ(edCalc->height(), fontHeight(edCalc) + 4);
  edCalc->SetAutoSize(false);
  edCalc->resize(edCalc->width(), 40);
  EXPECT_EQ(edCalc->height(), 40);

  // Limits a form's description sets after building the box (as a designer
  // form does) give way to the automatic height once it is shown.
  QWidget form;
  auto* e = new TDBNumberEditEx(&form);
  e->setMinimumSize(QSize(60, 0));
  e->setMaximumSize(QSize(60, 16777215));
  e->setGeometry(0, 0, 60, 50);
  form.show();
  EXPECT_EQ(e->height(), fontHeight(e) + 8);
}
