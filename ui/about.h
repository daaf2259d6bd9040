#pragma once
// The about box: the program's version, the receiver's device ID and
// firmware version and the maker's contact details on a shaped card. Any
// click on the picture or "OK" closes it.
#include <QDialog>
#include <array>
#include <cstdint>
#include <optional>
#include <string>

class QLabel;
class QPushButton;
class TDropShadow;
class TImage;

// The receiver's 8 device-information bytes as it reports them: firmware
// byte, hardware type, the 4-byte device ID, two further bytes. All zero
// until the receiver has reported.
using TDeviceInfoBytes = std::array<uint8_t, 8>;

struct TFileVersion {
  int Major = 0;
  int Minor = 0;
};

// The version compiled into the program, if any.
std::optional<TFileVersion> ProgramFileVersion();
// "major.minor", or "" without a version.
std::string VersionText(const std::optional<TFileVersion>& version);
// " " and the device ID as eight lower-case hex digits.
std::string DeviceIdText(const TDeviceInfoBytes& info);
// " major.minor" from the firmware byte (high and low nibble).
std::string FirmwareText(uint8_t firmware);

// The maker's web page (also opened from the main window's logo).
extern const char* const kMakerWebPage;

class TAboutForm : public QDialog {
  Q_OBJECT
 public:
  // Centred on `owner` (the main window) when shown.
  TAboutForm(QWidget* owner, const TDeviceInfoBytes& deviceInfo,
             std::optional<TFileVersion> version = ProgramFileVersion());

  TImage* ImageAbout;
  TImage* ImageAboutPro;
  TImage* ImageAboutGPS;
  QLabel* VersionLabel;
  QLabel* IDLabel;
  QLabel* FirmwareLabel;
  QLabel* ContactLabel1;
  QLabel* ContactLabel2;
  QLabel* ContactLabel3;
  QPushButton* OKButton;
  // The card's drop shadow, where the desktop can show one.
  TDropShadow* Shadow;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormCreate(const TDeviceInfoBytes& deviceInfo, const std::optional<TFileVersion>& version);
  void FormImageInoMouseDown();
};
