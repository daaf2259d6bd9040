#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>
#include <vector>

#include "support/QtApp.h"
#include "ui/DialogStyle.h"
#include "ui/ImageEx.h"
#include "ui/Pictures.h"
#include "ui/Splash.h"
#include "ui/WindowShadow.h"
#include "ui/about.h"
#include "ui/progress.h"

namespace {

// Records the waits instead of waiting.
class TRecordingClock : public IClock {
 public:
  TDateTime Now() override { return 0; }
  int64_t SteadyMs() override { return 0; }
  void SleepMs(int ms) override { Sleeps.push_back(ms); }
  std::vector<int> Sleeps;
};

struct Windows : ::testing::Test {
  void SetUp() override { EnsureQApplication(); }
};

TEST_F(Windows, SplashTakesItsPictureAndShowsSteps) {
  TRecordingClock clock;
  TSplashForm splash(nullptr, clock);
  EXPECT_FALSE(splash.ImageAbout->Picture().isNull());
  EXPECT_EQ(splash.size(), splash.ImageAbout->size());
  splash.show();

  // A 0 ms step: text shown, pending events handled once, no wait.
  bool handled = false;
  QTimer::singleShot(0, &splash, [&] { handled = true; });
  splash.ShowStatus(QStringLiteral("Database backup ...."), 0);
  EXPECT_EQ(splash.infoLabel->text(), QStringLiteral("Database backup ...."));
  EXPECT_TRUE(handled);
  EXPECT_TRUE(clock.Sleeps.empty());

  ISplashProgress& progress = splash;
  progress.ShowStatus("Prepare Settings", 100);
  EXPECT_EQ(splash.infoLabel->text(), QStringLiteral("Prepare Settings"));
  EXPECT_EQ(clock.Sleeps, std::vector<int>{100});
}

TEST_F(Windows, ProgressLocksRegisteredControlsWhileShown) {
  QWidget owner;
  auto* a = new QPushButton(&owner);
  auto* b = new QPushButton(&owner);
  auto* gone = new QPushButton(&owner);
  TProgressForm progress(&owner);
  EXPECT_EQ(progress.RegisterControl(a), 1);
  EXPECT_EQ(progress.RegisterControl(b), 2);
  EXPECT_EQ(progress.RegisterControl(a), 1);
  EXPECT_EQ(progress.RegisterControl(gone), 3);
  EXPECT_EQ(progress.ControlCount(), 3);
  delete gone;  // a registered control freed early is skipped, not touched

  progress.show();
  EXPECT_FALSE(a->isEnabled() || b->isEnabled());
  // The user cannot close it; only its owner hides it.
  EXPECT_FALSE(progress.close());
  EXPECT_TRUE(progress.isVisible());
  QTest::keyClick(&progress, Qt::Key_Escape);
  EXPECT_TRUE(progress.isVisible());
  EXPECT_FALSE(a->isEnabled());
  progress.hide();
  EXPECT_TRUE(a->isEnabled() && b->isEnabled());
}

TEST_F(Windows, ProgressFrameIsWhiteThenBlue) {
  TProgressForm progress;
  progress.resize(200, 60);
  const QImage frame = progress.grab().toImage();
  const QColor white(Qt::white), blue(0, 0, 255);
  for (const QPoint& p : {QPoint(0, 0), QPoint(199, 59), QPoint(1, 30)})
    EXPECT_EQ(frame.pixelColor(p), white) << p.x() << "," << p.y();
  for (const QPoint& p : {QPoint(2, 2), QPoint(197, 30), QPoint(196, 56)})
    EXPECT_EQ(frame.pixelColor(p), blue) << p.x() << "," << p.y();
  EXPECT_NE(frame.pixelColor(4, 30), blue);
}

TEST_F(Windows, AboutShowsIdentityTakesItsPictureOutlineAndClosesOnClick) {
  QWidget main;
  TAboutForm fresh(&main, TDeviceInfoBytes{}, TFileVersion{1, 0});
  EXPECT_EQ(fresh.VersionLabel->text(), QStringLiteral("Software Ver: 1.0"));
  EXPECT_EQ(fresh.FirmwareLabel->text(), QStringLiteral("Firmware Ver: 0.0"));
  EXPECT_TRUE(fresh.ImageAboutPro->isHidden() && fresh.ImageAboutGPS->isHidden());
  TAboutForm unversioned(&main, TDeviceInfoBytes{0xFF, 1, 0xDE, 0xAD, 0x00, 0x01, 0, 0}, std::nullopt);
  EXPECT_EQ(unversioned.VersionLabel->text(), QStringLiteral("Software Ver: "));
  EXPECT_EQ(unversioned.IDLabel->text(), QStringLiteral("Device ID: DEAD0001"));
  EXPECT_EQ(unversioned.FirmwareLabel->text(), QStringLiteral("Firmware Ver: 15.15"));
  // The compiled-in version is the one shown by default.
  ASSERT_TRUE(ProgramFileVersion().has_value());
  TAboutForm about(nullptr, TDeviceInfoBytes{});
  EXPECT_EQ(about.VersionLabel->text().toStdString(), "Software Ver: " + VersionText(ProgramFileVersion()));

  EXPECT_EQ(about.size(), about.ImageAbout->size());
  EXPECT_EQ(about.mask(), RegionWithoutKeyColor(about.ImageAbout->Picture()));
  EXPECT_FALSE(about.mask().contains(QPoint(0, 0)));
  about.show();
  QTest::mousePress(about.ImageAbout, Qt::LeftButton, {}, QPoint(200, 20));
  EXPECT_FALSE(about.isVisible());
  about.show();
  about.OKButton->click();
  EXPECT_EQ(about.result(), QDialog::Accepted);
}

// Where the desktop composites, the splash and about windows cast a shadow
// below and to the right of their outline, following them while shown;
// elsewhere no shadow window appears.
TEST_F(Windows, SplashAndAboutCastAShadowWhereTheDesktopComposites) {
  auto& composites = TDropShadow::Composites();
  const auto restore = composites;
  composites = [] { return false; };
  {
    TRecordingClock clock;
    TSplashForm splash(nullptr, clock);
    splash.show();
    EXPECT_FALSE(splash.Shadow->Window()->isVisible());
  }
  composites = [] { return true; };
  TRecordingClock clock;
  TSplashForm splash(nullptr, clock);
  TAboutForm about(nullptr, TDeviceInfoBytes{});
  for (QWidget* w : {static_cast<QWidget*>(&splash), static_cast<QWidget*>(&about)}) {
    QWidget* shadow = (w == &splash ? splash.Shadow : about.Shadow)->Window();
    w->show();
    ASSERT_TRUE(shadow->isVisible()) << w->objectName().toStdString();
    const int b = TDropShadow::kBlur, o = TDropShadow::kOffset;
    const QRect frame = w->frameGeometry();
    EXPECT_EQ(shadow->geometry(), frame.adjusted(-b, -b, b + o, b + o));
    // Dark just right of and below the window, clear above and left of it.
    const QImage picture = shadow->grab().toImage();
    const auto alpha = [&](QPoint global) { return qAlpha(picture.pixel(global - shadow->geometry().topLeft())); };
    const QRegion shape = w->mask().isEmpty() ? QRegion(w->rect()) : w->mask();
    const QRect box = shape.boundingRect().translated(frame.topLeft());
    EXPECT_GT(alpha(QPoint(box.right() + 2, box.center().y())), 40);
    EXPECT_GT(alpha(QPoint(box.center().x(), box.bottom() + 2)), 40);
    EXPECT_LT(alpha(QPoint(box.left() - b + 1, box.center().y())), 10);
    EXPECT_LT(alpha(QPoint(box.center().x(), box.top() - b + 1)), 10);
    w->move(w->pos() + QPoint(30, 20));
    EXPECT_TRUE(QTest::qWaitFor([&] { return shadow->geometry().topLeft() == w->frameGeometry().topLeft() - QPoint(b, b); }, 2000));
    w->hide();
    EXPECT_FALSE(shadow->isVisible());
  }
  // The about card's shadow follows its outline: inside a cut-away corner of
  // the card's rectangle there is none.
  const QImage card = DropShadowPicture(about.size(), about.mask(), 6, 4);
  EXPECT_LT(qAlpha(card.pixel(6, 6)), 10);
  composites = restore;
}

// A tool window goes beside its owner's right edge, on its left edge when the
// right has no room, and stays inside the work area whatever the owner does.
TEST_F(Windows, PlaceBesideKeepsToolWindowsOnTheWorkArea) {
  QWidget owner, tool;
  owner.setFixedSize(200, 100);
  tool.setFixedSize(100, 120);
  owner.show();
  tool.show();
  const QRect area = owner.screen()->availableGeometry();
  const int ow = owner.frameGeometry().width(), tw = tool.frameGeometry().width(), th = tool.frameGeometry().height();
  const QPoint r = area.bottomRight() + QPoint(1, 1);
  const std::pair<QPoint, QPoint> cases[] = {
      {area.topLeft() + QPoint(10, 20), area.topLeft() + QPoint(10 + ow, 20)},  // right of it
      {r - QPoint(ow + 50, 300), r - QPoint(ow + 50 + tw, 300)},                // no room right: left
      {r - QPoint(ow, 50), r - QPoint(ow + tw, th)},                            // and held above the bottom
      {area.topLeft() - QPoint(ow - 50, 80), area.topLeft() + QPoint(50, 0)},   // partly off the top left
  };
  for (const auto& [at, expected] : cases) {
    owner.move(at);
    PlaceBeside(&tool, &owner);
    EXPECT_EQ(tool.frameGeometry().topLeft(), expected) << at.x() << "," << at.y();
  }
}

// Pictures of the splash and about windows for the documentation; they are
// written only when FW_SCREENSHOT_DIR names a folder.
TEST_F(Windows, Screenshots) {
  TRecordingClock clock;
  TSplashForm splash(nullptr, clock);
  splash.show();
  splash.ShowStatus(QStringLiteral("Prepare USB Communication"), 0);
  SaveScreenshot(&splash, "splash");

  TAboutForm about(nullptr, TDeviceInfoBytes{0x21, 1, 0x4F, 0x57, 0x10, 0x2C, 0, 0}, TFileVersion{1, 0});
  about.show();
  QApplication::processEvents();
  SaveScreenshot(&about, "about");
}

}  // namespace
