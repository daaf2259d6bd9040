#include "ui/band/BandSet.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/Format.h"
#include "receiver/shared.h"
#include "ui/DialogStyle.h"
#include "ui/Pictures.h"

namespace {

int32_t TColorOf(const QColor& c) { return c.red() | (c.green() << 8) | (c.blue() << 16); }

}  // namespace

TBandSetForm::TBandSetForm(IBandSetView* View, QWidget* Owner) : QDialog(Owner), view_(View) {
  setObjectName("BandSetForm");
  setWindowTitle(QStringLiteral("Band Analyzer Settings"));

  auto* zoom = new QGroupBox("Zoom In", this);
  rbZoomCenter = new QRadioButton("From Center", zoom);
  rbZoomMarker = new QRadioButton("From Marker", zoom);
  auto* zl = new QVBoxLayout(zoom);
  zl->addWidget(rbZoomCenter);
  zl->addWidget(rbZoomMarker);

  auto* visuals = new QGroupBox("Band Visuals", this);
  auto* vl = new QGridLayout(visuals);
  const char* const boxNames[kBandVisuals][2] = {
      {"discrete", "Discrete Curve"}, {"smooth", "Smooth Curve"}, {"area", "Smooth Fill"}, {"SearchStop", "Search Area"}};
  const char* const buttonNames[kBandVisuals] = {"sbDiscrete", "sbSmooth", "sbArea", "sbSArea"};
  for (int v = 0; v < kBandVisuals; ++v) {
    auto* box = new QCheckBox(boxNames[v][1], visuals);
    box->setObjectName(boxNames[v][0]);
    auto* button = new QToolButton(visuals);
    button->setObjectName(buttonNames[v]);
    button->setIconSize(QSize(13, 12));
    vl->addWidget(box, v, 0);
    vl->addWidget(button, v, 1);
    boxes_[size_t(v)] = box;
    colorButtons_[size_t(v)] = button;
    const auto visual = TBandVisual(v);
    connect(box, &QCheckBox::toggled, this, [this, visual](bool on) {
      if (view_) view_->ShowVisual(visual, on);
    });
    connect(button, &QToolButton::clicked, this, [this, visual] { ColorClick(visual); });
    SetGlyph(visual, colors_[size_t(v)]);
  }
  discrete = boxes_[bvDiscrete], smooth = boxes_[bvSmooth], area = boxes_[bvFill], SearchStop = boxes_[bvSearchBand];
  sbDiscrete = colorButtons_[bvDiscrete], sbSmooth = colorButtons_[bvSmooth];
  sbArea = colorButtons_[bvFill], sbSArea = colorButtons_[bvSearchBand];

  auto* range = new QGroupBox("Scan Range", this);
  FullRange = new QRadioButton(QString::fromStdString(Format("%3.1f - %3.1f MHz", kBandLowMHz, kBandHighMHz)), range);
  FullRange->setObjectName("FullRange");
  CustomRange = new QRadioButton("Custom", range);
  CustomRange->setObjectName("CustomRange");
  auto* rl = new QVBoxLayout(range);
  rl->addWidget(FullRange);
  rl->addWidget(CustomRange);
  connect(FullRange, &QRadioButton::toggled, this, [this](bool on) {
    if (on) RangeClick(true);
  });
  connect(CustomRange, &QRadioButton::toggled, this, [this](bool on) {
    if (on) RangeClick(false);
  });

  btnClearBaloons = new QPushButton("Clear Baloons", this);
  btnDefaults = new QPushButton("Defaults", this);
  btnOK = new QPushButton("OK", this);
  btnCancel = new QPushButton("Cancel", this);
  btnOK->setDefault(true);
  connect(btnClearBaloons, &QPushButton::clicked, this, [this] { btnClearBaloonsClick(); });
  connect(btnDefaults, &QPushButton::clicked, this, [this] { btnDefaultsClick(); });
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* left = new QVBoxLayout;
  left->addWidget(zoom);
  left->addWidget(range);
  left->addStretch(1);
  auto* top = new QHBoxLayout;
  top->addLayout(left);
  top->addWidget(visuals);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnClearBaloons);
  buttons->addWidget(btnDefaults);
  buttons->addStretch(1);
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(buttons);

  ChooseColor = [this](int32_t initial) -> std::optional<int32_t> {
    const QColor c = QColorDialog::getColor(ColorFromTColor(uint32_t(initial)), this);
    return c.isValid() ? std::optional<int32_t>(TColorOf(c)) : std::nullopt;
  };
  SetDialogBorder(this);
}

TBandSetForm::~TBandSetForm() = default;

void TBandSetForm::SetGlyph(TBandVisual Visual, int32_t Color) {
  QPixmap glyph(13, 12);
  glyph.fill(ColorFromTColor(uint32_t(Color)));
  QToolButton* b = colorButtons_[size_t(Visual)];
  b->setIcon(QIcon(glyph));
  b->setProperty("glyphColor", Color);
}

int32_t TBandSetForm::GlyphColor(TBandVisual Visual) const {
  return colorButtons_[size_t(Visual)]->property("glyphColor").toInt();
}

void TBandSetForm::Preset(const TSettingsRecord& Settings) {
  colors_ = {Settings.DiscreteColor, Settings.SmoothColor, Settings.FillColor, Settings.BandColor};
  for (int v = 0; v < kBandVisuals; ++v) SetGlyph(TBandVisual(v), colors_[size_t(v)]);
  (Settings.ZoomFromMarker ? rbZoomMarker : rbZoomCenter)->setChecked(true);
  (Settings.UserRange ? CustomRange : FullRange)->setChecked(true);
  discrete->setChecked(Settings.ShowDiscrete);
  smooth->setChecked(Settings.ShowSmooth);
  area->setChecked(Settings.ShowFill);
  SearchStop->setChecked(Settings.ShowSearchBand);
}

void TBandSetForm::Finish(bool Accepted, TSettingsRecord& Settings,
                          const std::function<void(const TSettingsRecord&)>& Save) {
  if (Accepted) {
    Settings.ZoomFromMarker = rbZoomMarker->isChecked();
    Settings.UserRange = CustomRange->isChecked();
    Settings.ShowDiscrete = discrete->isChecked();
    Settings.ShowSmooth = smooth->isChecked();
    Settings.ShowFill = area->isChecked();
    Settings.ShowSearchBand = SearchStop->isChecked();
    Settings.DiscreteColor = colors_[bvDiscrete];
    Settings.SmoothColor = colors_[bvSmooth];
    Settings.FillColor = colors_[bvFill];
    Settings.BandColor = colors_[bvSearchBand];
  }
  if (Save) Save(Settings);
  if (view_) view_->ApplySettings(Settings);
}

bool TBandSetForm::Execute(QWidget* Owner, IBandSetView* View, TSettingsRecord& Settings,
                           const std::function<void(const TSettingsRecord&)>& Save) {
  TBandSetForm form(View, Owner);
  form.Preset(Settings);
  const bool accepted = form.exec() == QDialog::Accepted;
  form.Finish(accepted, Settings, Save);
  return accepted;
}

void TBandSetForm::RangeClick(bool Full) {
  if (!view_) return;
  view_->ShowRangeEdits(!Full);
  if (Full) view_->SetRangeTexts(Format("%3.1f", kBandLowMHz), Format("%3.1f", kBandHighMHz));
}

void TBandSetForm::ColorClick(TBandVisual Visual) {
  if (!ChooseColor) return;
  const std::optional<int32_t> c = ChooseColor(GlyphColor(Visual));
  if (!c) return;
  SetGlyph(Visual, *c);
  colors_[size_t(Visual)] = *c;
  if (view_) view_->SetVisualColor(Visual, *c);
}

void TBandSetForm::btnDefaultsClick() {
  rbZoomCenter->setChecked(true);
  FullRange->setChecked(true);
  discrete->setChecked(false);
  smooth->setChecked(true);
  area->setChecked(true);
  SearchStop->setChecked(true);
  colors_ = kDefaultBandColors;
  for (int v = 0; v < kBandVisuals; ++v) SetGlyph(TBandVisual(v), colors_[size_t(v)]);
}

void TBandSetForm::btnClearBaloonsClick() {
  if (view_) view_->HideStationLabels();
}
