#include "ui/Splash.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>

#include "ui/DialogStyle.h"
#include "ui/ImageEx.h"
#include "ui/Pictures.h"
#include "ui/WindowShadow.h"

TSplashForm::TSplashForm(QWidget* parent, IClock& clock)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint), Clock(clock) {
  setObjectName(QStringLiteral("SplashForm"));
  const QImage picture = MakeSplashPicture();

  ImageAbout = new TImage(this);
  ImageAbout->setObjectName(QStringLiteral("ImageAbout"));
  ImageAbout->setGeometry(0, 0, picture.width(), picture.height());
  Image1 = new TImage(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image2 = new TImage(this);
  Image2->setObjectName(QStringLiteral("Image2"));
  Image2->SetPicture(picture);
  Image3 = new TImage(this);
  Image3->setObjectName(QStringLiteral("Image3"));
  for (TImage* holder : {Image1, Image2, Image3}) holder->hide();

  infoLabel = new QLabel(this);
  infoLabel->setObjectName(QStringLiteral("infoLabel"));
  infoLabel->setGeometry(SplashStatusRect());
  infoLabel->setFixedSize(SplashStatusRect().size());
  infoLabel->setAlignment(Qt::AlignCenter);
  infoLabel->setAttribute(Qt::WA_TranslucentBackground);
  infoLabel->setAutoFillBackground(false);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(12);
  infoLabel->setFont(font);
  QPalette palette = infoLabel->palette();
  palette.setColor(QPalette::WindowText, QColor(240, 244, 250));
  infoLabel->setPalette(palette);

  Shadow = new TDropShadow(this);
  FormCreate();
}

void TSplashForm::FormCreate() {
  setFixedSize(ImageAbout->size());
  ImageAbout->SetPicture(Image2->Picture());
  infoLabel->clear();
}

void TSplashForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CenterWindow(this);
}

void TSplashForm::ShowStatus(const QString& text, unsigned ms) {
  infoLabel->setText(text);
  repaint();
  QCoreApplication::processEvents();
  if (ms > 0) Clock.SleepMs(static_cast<int>(ms));
}

void TSplashForm::ShowStatus(const std::string& text, unsigned ms) {
  ShowStatus(QString::fromStdString(text), ms);
}
