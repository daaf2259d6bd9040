// The band analyzer's range boxes in the program over the simulated
// receiver. Apart from the analyzer's other tests: the numeric edit's
// headers and the chart's share enumerator names.
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "controls/DBCtrlsEx.h"
#include "support/BandScanScenario.h"
#include "support/FakeClock.h"
#include "tests/ui/MainWindowSupport.h"
#include "ui/band/BandAnalyzer.h"
#include "ui/band/BandSet.h"

class BandRangeBoxes : public ::testing::Test {
 protected:
  TFakeClock clock;
  TMainWindowHarness h;

  void SetUp() override {
    clock.SetAccelerated(4);
    h.devices = std::make_unique<TSimMainDevices>(h.Folder() + "fenwisk_sim", clock);
    AddBandScanStations(h.devices->Receiver);
    h.Start("");
    auto* open = Find<QPushButton>(h.form.get(), "btnBandAnalyzer");
    ASSERT_TRUE(PumpUntil([&] { return open->isEnabled(); }));
    open->click();
    ASSERT_TRUE(h.form->BandAnalyzer && h.form->BandAnalyzer->isVisible());
  }
  void TearDown() override {
    h.Stop();
    clock.ReleaseAll();
  }
};

// The range boxes step with their up-down button and act on Enter: an
// empty box gets the band's end, a value outside the band its nearer end,
// written back at once with the focus still in the box.
TEST_F(BandRangeBoxes, StepAndActOnEnter) {
  TMainForm& f = *h.form;
  TBandAnalyzerForm& a = *f.BandAnalyzer;
  WithModal<TBandSetForm>(
      [](TBandSetForm* set) {
        set->CustomRange->click();
        set->btnOK->click();
      },
      [&] { a.btnSettings->click(); });
  for (TDBNumberEditEx* box : {a.freqStart, a.freqEnd}) {
    ASSERT_TRUE(box->isVisible());
    TEditButtonControlEx* button = box->EditButtonControl();
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->isVisible());
    EXPECT_EQ(button->Style(), ebsUpDownEx);
    EXPECT_TRUE(box->rect().contains(button->geometry()));
    EXPECT_EQ(box->height(), box->fontMetrics().height() + 8);  // the automatic height
  }
  QTest::mouseClick(a.freqStart->EditButtonControl(), Qt::LeftButton, {}, {4, 2});
  EXPECT_EQ(a.freqStart->Value(), 87.1);
  QTest::mouseClick(a.freqEnd->EditButtonControl(), Qt::LeftButton, {}, {4, 2});
  EXPECT_EQ(a.freqEnd->Value(), 108.0);

  // Typed, then Enter: the value written back while the box keeps the focus,
  // with one decimal as the frequency box shows it.
  a.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&a));
  const struct {
    TDBNumberEditEx* Box;
    const char* Typed;
    double Value;
  } entries[] = {{a.freqStart, "50", 87.0},  {a.freqStart, "", 87.0}, {a.freqStart, "93.4", 93.4},
                 {a.freqEnd, "150", 108.0}, {a.freqEnd, "", 108.0},  {a.freqEnd, "99", 99.0}};
  for (const auto& e : entries) {
    SCOPED_TRACE(std::string(e.Typed) + " in " + (e.Box == a.freqStart ? "start" : "end"));
    e.Box->setFocus();
    ASSERT_TRUE(e.Box->hasFocus());
    e.Box->selectAll();
    QTest::keyClick(e.Box, Qt::Key_Backspace);
    QTest::keyClicks(e.Box, e.Typed);
    QTest::keyClick(e.Box, Qt::Key_Return);
    EXPECT_TRUE(e.Box->hasFocus());
    EXPECT_EQ(e.Box->Value(), e.Value);
    EXPECT_EQ(e.Box->text(), QString::number(e.Value, 'f', 1));
  }
  // And as they stand once the focus has left.
  a.btnScan->setFocus();
  EXPECT_EQ(a.freqStart->text(), "93.4");
  EXPECT_EQ(a.freqEnd->text(), "99.0");
  SaveScreenshot(&a, "band_analyzer_range");
}

// The boxes show a frequency with one decimal, as the frequency box and the
// presets do: the band's ends as the window opens and when the settings'
// full range puts them back, and a range the scan wrote back.
TEST_F(BandRangeBoxes, ShowOneDecimal) {
  TMainForm& f = *h.form;
  TBandAnalyzerForm& a = *f.BandAnalyzer;
  const auto chooseRange = [&](bool custom) {
    WithModal<TBandSetForm>(
        [custom](TBandSetForm* set) {
          (custom ? set->CustomRange : set->FullRange)->click();
          set->btnOK->click();
        },
        [&] { a.btnSettings->click(); });
  };
  chooseRange(true);
  EXPECT_EQ(a.freqStart->text(), "87.0");
  EXPECT_EQ(a.freqEnd->text(), "108.0");
  EXPECT_EQ(Find<TDBNumberEditEx>(&f, "edFreq")->text(), "87.0");

  a.freqStart->SetText("98");
  a.freqEnd->SetText("95");
  a.btnScanClick();  // the reversed range swapped and written back
  EXPECT_EQ(a.freqStart->text(), "95.0");
  EXPECT_EQ(a.freqEnd->text(), "98.0");
  ASSERT_TRUE(PumpUntil([&] { return !a.Busy(); }));

  chooseRange(false);
  chooseRange(true);
  EXPECT_EQ(a.freqStart->text(), "87.0");
  EXPECT_EQ(a.freqEnd->text(), "108.0");
}
