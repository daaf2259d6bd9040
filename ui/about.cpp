#include "ui/about.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "platform/Format.h"
#include "ui/DialogStyle.h"
#include "ui/ImageEx.h"
#include "ui/Pictures.h"
#include "ui/WindowShadow.h"

const char* const kMakerWebPage = "https://www.quorvane.example/";

std::optional<TFileVersion> ProgramFileVersion() {
#if defined(FW_VERSION_MAJOR) && defined(FW_VERSION_MINOR)
  return TFileVersion{FW_VERSION_MAJOR, FW_VERSION_MINOR};
#else
  return std::nullopt;
#endif
}

std::string VersionText(const std::optional<TFileVersion>& version) {
  if (!version) return std::string();
  return Format("%d.%d", version->Major, version->Minor);
}

std::string DeviceIdText(const TDeviceInfoBytes& info) {
  return Format(" %.2X%.2X%.2X%.2X", info[2], info[3], info[4], info[5]);
}

std::string FirmwareText(uint8_t firmware) { return Format(" %d.%d", firmware >> 4, firmware & 15); }

namespace {
QLabel* CardLabel(QWidget* parent, const char* name, const QString& text, int x, int y, bool bold = false) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(12);
  font.setBold(bold);
  label->setFont(font);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, QColor(20, 40, 70));
  label->setPalette(palette);
  label->setGeometry(x, y, 320, 18);
  return label;
}
}  // namespace

TAboutForm::TAboutForm(QWidget* owner, const TDeviceInfoBytes& deviceInfo, std::optional<TFileVersion> version)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("AboutForm"));
  setWindowTitle(QStringLiteral("About"));

  const QImage picture = MakeAboutPicture();
  ImageAbout = new TImage(this);
  ImageAbout->setObjectName(QStringLiteral("ImageAbout"));
  ImageAbout->SetPicture(picture);
  ImageAbout->setGeometry(0, 0, picture.width(), picture.height());
  ImageAbout->hide();
  ImageAboutPro = new TImage(this);
  ImageAboutPro->setObjectName(QStringLiteral("ImageAboutPro"));
  ImageAboutPro->hide();
  ImageAboutGPS = new TImage(this);
  ImageAboutGPS->setObjectName(QStringLiteral("ImageAboutGPS"));
  ImageAboutGPS->hide();
  for (TImage* image : {ImageAbout, ImageAboutPro, ImageAboutGPS})
    image->OnMouseDown = [this](QObject*, Qt::MouseButton, QPoint) { FormImageInoMouseDown(); };

  VersionLabel = CardLabel(this, "VersionLabel", QStringLiteral("Software Ver: "), 30, 104);
  IDLabel = CardLabel(this, "IDLabel", QStringLiteral("Device ID:"), 30, 126);
  FirmwareLabel = CardLabel(this, "FirmwareLabel", QStringLiteral("Firmware Ver:"), 30, 148);
  ContactLabel1 = CardLabel(this, "ContactLabel1", QStringLiteral("Quorvane Broadcast Ltd."), 30, 184, true);
  ContactLabel2 = CardLabel(this, "ContactLabel2", QStringLiteral("Web: www.quorvane.example"), 30, 204);
  ContactLabel3 = CardLabel(this, "ContactLabel3", QStringLiteral("E-mail: support@quorvane.example"), 30, 224);
  for (QLabel* contact : {ContactLabel1, ContactLabel2, ContactLabel3}) contact->hide();

  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setGeometry(picture.width() - 106, picture.height() - 50, 76, 28);
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

  Shadow = new TDropShadow(this);
  FormCreate(deviceInfo, version);
}

void TAboutForm::FormCreate(const TDeviceInfoBytes& deviceInfo, const std::optional<TFileVersion>& version) {
  setFixedSize(ImageAbout->size());
  ImageAbout->show();
  for (QLabel* contact : {ContactLabel1, ContactLabel2, ContactLabel3}) contact->show();
  ImageAbout->lower();
  setMask(RegionWithoutKeyColor(ImageAbout->Picture()));
  VersionLabel->setText(VersionLabel->text() + QString::fromStdString(VersionText(version)));
  IDLabel->setText(IDLabel->text() + QString::fromStdString(DeviceIdText(deviceInfo)));
  FirmwareLabel->setText(FirmwareLabel->text() + QString::fromStdString(FirmwareText(deviceInfo[0])));
}

void TAboutForm::FormImageInoMouseDown() { close(); }

void TAboutForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CenterWindow(this, parentWidget());
}
