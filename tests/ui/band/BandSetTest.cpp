// The band analyzer settings dialog: what it shows from the settings, what
// it changes on the analyzer at once, and what OK and Cancel leave in the
// saved record.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <map>

#include "support/QtApp.h"
#include "ui/band/BandSet.h"

namespace {

// The analyzer's chart as the dialog leaves it.
struct TFakeBandView final : IBandSetView {
  std::map<TBandVisual, bool> Shown;
  std::map<TBandVisual, int32_t> Colors;
  bool RangeEdits = true;
  std::string Start = "90.0", End = "100.0";
  int LabelsHidden = 0;
  void ShowVisual(TBandVisual v, bool on) override { Shown[v] = on; }
  void SetVisualColor(TBandVisual v, int32_t c) override { Colors[v] = c; }
  void ShowRangeEdits(bool on) override { RangeEdits = on; }
  void SetRangeTexts(const std::string& s, const std::string& e) override { Start = s, End = e; }
  void HideStationLabels() override { ++LabelsHidden; }
  void ApplySettings(const TSettingsRecord& s) override {
    Shown = {{bvDiscrete, s.ShowDiscrete}, {bvSmooth, s.ShowSmooth}, {bvFill, s.ShowFill},
             {bvSearchBand, s.ShowSearchBand}};
    Colors = {{bvDiscrete, s.DiscreteColor}, {bvSmooth, s.SmoothColor}, {bvFill, s.FillColor},
              {bvSearchBand, s.BandColor}};
    RangeEdits = s.UserRange;
  }
};

TSettingsRecord Stored() {
  TSettingsRecord s = DecodeConfig(DefaultConfigRow());
  s.ZoomFromMarker = 1, s.UserRange = 1, s.ShowDiscrete = 1, s.ShowSmooth = 1, s.ShowFill = 0, s.ShowSearchBand = 1;
  s.DiscreteColor = 0x112233, s.SmoothColor = 0x445566, s.FillColor = 0x778899, s.BandColor = 0x0A0B0C;
  return s;
}

class BandSet : public ::testing::Test {
 protected:
  void SetUp() override { form.Preset(settings); }
  std::function<void(const TSettingsRecord&)> Saver() {
    return [this](const TSettingsRecord& s) { saves.push_back(s); };
  }

  const bool app_ = EnsureQApplication() != nullptr;  // before any widget
  TFakeBandView view;
  TSettingsRecord settings = Stored();
  std::vector<TSettingsRecord> saves;
  TBandSetForm form{&view};
};

}  // namespace

TEST_F(BandSet, ShowsTheSettingsAndReadsBackTheChoicesOnOk) {
  EXPECT_EQ(form.windowTitle(), "Band Analyzer Settings");
  EXPECT_EQ(form.FullRange->text(), "87.0 - 108.0 MHz");
  EXPECT_TRUE(form.rbZoomMarker->isChecked() && form.CustomRange->isChecked());
  EXPECT_TRUE(form.discrete->isChecked() && form.smooth->isChecked() && !form.area->isChecked() &&
              form.SearchStop->isChecked());
  EXPECT_EQ(form.GlyphColor(bvFill), 0x778899);
  EXPECT_EQ(form.sbSArea->iconSize(), QSize(13, 12));

  form.ChooseColor = [](int32_t initial) { return std::optional<int32_t>(initial ^ 0xFFFFFF); };
  form.rbZoomCenter->setChecked(true);
  form.FullRange->setChecked(true);
  form.discrete->setChecked(false);
  form.area->setChecked(true);
  form.sbSmooth->click();
  // The colour shows on the chart at once.
  EXPECT_EQ(view.Colors[bvSmooth], 0xBBAA99);
  form.Finish(true, settings, Saver());
  TSettingsRecord want = Stored();
  want.ZoomFromMarker = 0, want.UserRange = 0, want.ShowDiscrete = 0, want.ShowFill = 1, want.SmoothColor = 0xBBAA99;
  EXPECT_EQ(settings, want);
  ASSERT_EQ(saves.size(), 1u);
  EXPECT_EQ(saves[0], want);
  EXPECT_FALSE(view.RangeEdits);
}

TEST_F(BandSet, CancelRestoresTheChartButStillSaves) {
  // Unchecking "Smooth Curve" hides it at once; the full range writes the
  // range edits, and that stays after Cancel.
  form.smooth->setChecked(false);
  EXPECT_FALSE(view.Shown[bvSmooth]);
  form.FullRange->setChecked(true);
  EXPECT_EQ(view.Start + "-" + view.End, "87.0-108.0");
  EXPECT_FALSE(view.RangeEdits);
  form.CustomRange->setChecked(true);
  EXPECT_TRUE(view.RangeEdits);
  EXPECT_EQ(view.Start, "87.0");
  form.btnDefaultsClick();
  EXPECT_EQ(form.Colors(), kDefaultBandColors);
  EXPECT_TRUE(form.rbZoomCenter->isChecked() && form.FullRange->isChecked());
  form.btnClearBaloons->click();
  EXPECT_EQ(view.LabelsHidden, 1);

  form.Finish(false, settings, Saver());
  EXPECT_EQ(settings, Stored());
  ASSERT_EQ(saves.size(), 1u);
  EXPECT_TRUE(view.Shown[bvSmooth]);
  EXPECT_EQ(view.Colors[bvDiscrete], 0x112233);
  EXPECT_EQ(view.Start, "87.0");
}

TEST_F(BandSet, ExecuteRunsModallyAndCancelsOnTheButton) {
  TSettingsRecord s = Stored();
  QTimer::singleShot(0, [] {
    auto* dialog = qobject_cast<TBandSetForm*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->area->setChecked(true);
    dialog->btnCancel->click();
  });
  EXPECT_FALSE(TBandSetForm::Execute(nullptr, &view, s, Saver()));
  EXPECT_EQ(s, Stored());
  EXPECT_EQ(saves.size(), 1u);
  EXPECT_FALSE(view.Shown[bvFill]);
}

TEST_F(BandSet, Screenshot) {
  // A fresh record holds the colours "Defaults" restores.
  form.Preset(DecodeConfig(DefaultConfigRow()));
  EXPECT_EQ(form.Colors(), kDefaultBandColors);
  form.show();
  QApplication::processEvents();
  SaveScreenshot(&form, "band_settings");
}
