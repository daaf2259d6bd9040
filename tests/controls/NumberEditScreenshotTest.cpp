#include <gtest/gtest.h>

#include <QApplication>
#include <QFormLayout>
#include <QLabel>
#include <QTest>
#include <cstdlib>

#include "controls/DBCtrlsEx.h"
#include "support/QtApp.h"

// With FW_SCREENSHOT_DIR set, saves pictures of a form holding every
// configuration of the number box the program uses, and of the calculator.
TEST(NumberEditScreenshot, FormWithEachConfiguration) {
  const char* dir = std::getenv("FW_SCREENSHOT_DIR");
  if (!dir || !*dir) GTEST_SKIP() << "FW_SCREENSHOT_DIR not set";
  EnsureQApplication();

  QWidget form;
  form.setWindowTitle("Number boxes");
  auto* layout = new QFormLayout(&form);
  auto add = [&](const char* label) {
    auto* e = new TDBNumberEditEx(&form);
    layout->addRow(label, e);
    return e;
  };
  auto frequency = [](TDBNumberEditEx* e, double v) {
    e->SetMinValue(87.0);
    e->SetMaxValue(108.0);
    e->SetDecimalPlaces(1);
    e->SetDisplayFormat("#.0");
    e->SetIncrement(0.1);
    e->SetValue(v);
  };
  auto upDown = [](TDBNumberEditEx* e) {
    e->EditButton().SetStyle(ebsUpDownEx);
    e->EditButton().SetVisible(true);
  };

  frequency(add("Frequency (87.0..108.0, \"#.0\")"), 98.5);
  TDBNumberEditEx* preset = add("Preset 1 (up-down, step 0.1)");
  frequency(preset, 87.6);
  upDown(preset);
  TDBNumberEditEx* typing = add("Preset 2 (focused, typed 104.25)");
  frequency(typing, 100.0);
  upDown(typing);
  for (const char* label : {"Extended log every (1..30 min.)", "Keep log for (1..30 days)"}) {
    TDBNumberEditEx* e = add(label);
    e->SetMinValue(1);
    e->SetMaxValue(30);
    e->SetDecimalPlaces(0);
    upDown(e);
    e->SetValue(label[0] == 'E' ? 1.0 : 7.0);
  }
  TDBNumberEditEx* port = add("Port (Min 9000, Max 8000: no clamp)");
  port->SetMinValue(9000);
  port->SetMaxValue(8000);
  port->SetDecimalPlaces(0);
  port->SetValue(8001);
  TDBNumberEditEx* flat = add("Flat, up-down, \"#,##0.00\"");
  flat->SetFlat(true);
  flat->SetDisplayFormat("#,##0.00");
  upDown(flat);
  flat->SetValue(1234.5);
  TDBNumberEditEx* calc = add("Visible calculator button");
  calc->EditButton().SetVisible(true);
  calc->SetValue(2.5);
  auto* faces = new TCustomDBEditEx(&form);
  for (TEditButtonStyleEx s : {ebsEllipsisEx, ebsPlusEx, ebsMinusEx}) faces->EditButtons().Add()->SetStyle(s);
  faces->setText("ellipsis, plus, minus");
  layout->addRow("Other button faces", faces);

  form.resize(520, 300);
  form.show();
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  typing->setFocus(Qt::TabFocusReason);
  QApplication::processEvents();
  QTest::keyClicks(typing, "104.25");
  QApplication::processEvents();
  ASSERT_TRUE(SaveScreenshot(&form, "numberedit_form"));

  calc->setFocus(Qt::TabFocusReason);
  QTest::keyClick(calc, Qt::Key_Down, Qt::AltModifier);
  TPopupCalculatorEx* pop = calc->Popup();
  ASSERT_NE(pop, nullptr);
  pop->CalcKey('+');
  pop->CalcKey('3');
  QApplication::processEvents();
  EXPECT_EQ(pop->spEqual()->Caption(), "=");
  ASSERT_TRUE(SaveScreenshot(pop, "numberedit_calculator"));
  pop->close();
}
