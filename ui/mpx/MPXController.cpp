#include "ui/mpx/MPXController.h"

#include <cmath>
#include <ctime>

#include "logstore/SettingsRecord.h"
#include "platform/Format.h"
#include "receiver/DeviceProtocol.h"
#include "receiver/communication.h"
#include "receiver/shared.h"
#include "ui/PrintStamp.h"
#include "ui/RemoteObject.h"

namespace {

// The meter's response, descending: calibrated reading -> kHz.
const std::vector<double> kTableRaw = {856.5, 789.4, 725.5, 666.5, 601.6, 536.3, 503.3, 470.3, 404.3, 336.2,
                                       268.0, 197.8, 162.2, 125.4, 88.0,  49.5,  46.5,  42.6,  38.8,  34.9,
                                       30.9,  27.5,  23.8,  19.4,  15.3,  11.4,  7.6,   3.5,   0.2,   0.0};
const std::vector<double> kTableKHz = {130, 120, 110, 100, 90,  80,  75,  70,  60,  50,  40,  30,  25,  20,  15,
                                       10,  9.5, 9,   8.5, 8,   7.5, 7,   6.5, 6,   5.5, 5,   4.5, 4,   3.5, 0};

// Unix milliseconds of a local stamp (1970-01-01 is day 25569).
constexpr TDateTime kUnixEpoch = 25569.0;

// An elapsed time as "hh:nn:ss" (the hours of the day it would be).
std::string ElapsedText(TDateTime span) {
  const dt::TDateParts p = dt::Decode(span > 0 ? span : 0);
  return Format("%02d:%02d:%02d", p.Hour, p.Minute, p.Second);
}

}  // namespace

// ---- The real tuner -----------------------------------------------------------------------

TMPXReceiver::TMPXReceiver(TTuner& Tuner, TCom& Com, const TSettingsRecord& Settings)
    : Tuner_(Tuner), Com_(Com), Settings_(Settings) {}

void TMPXReceiver::ToggleHandler(TMPXController& c) {
  Com_.RegisterDataHandler(PacketTypes({proto::ptRDS, proto::ptStatus}), TOnDataEvent(&c, &TMPXController::ComData));
}

bool TMPXReceiver::Configured() const { return Tuner_.Configured(); }
TCalibration TMPXReceiver::Calibration() const { return Tuner_.Calibration(); }
double TMPXReceiver::CurrentFreq() const { return Tuner_.CurrentFreq(); }
int32_t TMPXReceiver::Level() const { return Tuner_.Level(); }
bool TMPXReceiver::SensitivityDX() const { return Settings_.SensitivityDX != 0; }

// ---- Controller ---------------------------------------------------------------------------

TMPXController::TMPXController(IMPXReceiver& Receiver, IClock& Clock)
    : rx_(Receiver), clock_(Clock), collector_(Clock) {
  collector_.WindowMs = kWindowMs;
  collector_.HistoryMs = kHistoryMs;
  collector_.DeviationOn = true;
  collector_.Threshold1 = kThreshold1;
  collector_.Threshold2 = kThreshold2;
  SetDeviationUnits(0);
  // A measurement runs from creation until the first reset.
  startTime_ = measureStart_ = clock_.Now();
}

const std::vector<double>& TMPXController::TableRaw() { return kTableRaw; }
const std::vector<double>& TMPXController::TableKHz() { return kTableKHz; }

double TMPXController::ReadingToKHz(double Reading) { return InterpolateTable(Reading, kTableRaw, kTableKHz); }

int64_t TMPXController::SystemZoneMsAhead() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return int64_t(local.tm_gmtoff) * 1000;
}

void TMPXController::ComData(const uint8_t* Packet, int High) {
  proto::TMpxReading reading{};
  TDateTime stamp = 0;
  if (const proto::TRdsPacket rds(Packet, High); rds.Valid()) {
    reading = rds.Mpx();
    stamp = rds.Stamp();
  } else if (const proto::TStatusPacket status(Packet, High); status.Valid()) {
    reading = status.Mpx();
    stamp = status.Stamp();
  } else {
    return;
  }
  // The device repeats its last reading until it has a new one, and flips
  // the toggle bit when it has.
  const int toggle = reading.Toggle ? 1 : 0;
  if (toggle == lastToggle_) return;
  lastToggle_ = toggle;
  if (!rx_.Configured()) return;
  const TCalibration cal = rx_.Calibration();
  const double value = (reading.Raw + cal.MPXOffset) * cal.MPXScale;
  // A calibration that gives no number gives no reading (the table would
  // read it as 0 kHz).
  if (!std::isnan(value)) UpdateMeasurement(stamp, value);
  // Mostly the same line reading after reading: written again only when
  // one of its values changed.
  const TInfoValues info{rx_.CurrentFreq(), rx_.SensitivityDX(), rx_.Level()};
  if (infoText_.empty() || !(info == infoValues_)) {
    infoValues_ = info;
    infoText_ = Format("Frequency: %3.1f MHz, Sensitivity: %s , RF Level: %3.1f dB\xC2\xB5V", info.Freq,
                       info.DX ? "DX" : "Local (ATT 6dB)", LevelToDbuV(info.Level));
  }
  if (Observer) Observer->InfoChanged();
}

void TMPXController::UpdateMeasurement(TDateTime Time, double Reading) {
  const TDateTime now = clock_.Now();
  const bool refresh = ChartsShouldRefresh();
  // Data due from an earlier refresh is made before this reading changes it.
  if (!refresh || dt::MillisecondsBetween(startTime_, now) < kBufferingMs) PrepareDueCharts();
  if (dt::MillisecondsBetween(startTime_, now) < kBufferingMs) {
    bufferAxisMin_ = now;
    bufferAxisMax_ = dt::AddMilliseconds(now, collector_.WindowMs);
    devPoints_.clear();
    printEnabled_ = false;
    measureStart_ = now;
    if (Observer) Observer->Buffering();
    return;
  }
  printEnabled_ = true;
  const double kHz = ReadingToKHz(Reading);
  collector_.AddSample(0, Time, kHz);
  if (IsRemoteOpen() && Remote) PublishRemote(kHz);
  const TDateTime elapsed = now - measureStart_;
  const dt::TDateParts p = dt::Decode(elapsed > 0 ? elapsed : 0);
  const int shown = (p.Hour * 60 + p.Minute) * 60 + p.Second;
  if (measureTimeText_.empty() || shown != measureTimeShown_) {
    measureTimeShown_ = shown;
    measureTimeText_ = Format("[ Measure Time: %s ]", ElapsedText(elapsed).c_str());
  }
  if (refresh) chartsDue_ = true;
  if (Observer) Observer->SampleTaken(refresh);
}

void TMPXController::PublishRemote(double KHz) {
  const TDateTime now = clock_.Now();
  // The client's clock runs in UTC. The whole offset is taken, not its
  // whole standard hours: those would put the stamp an hour off in summer
  // and half an hour off in a half-hour zone.
  const int64_t t = dt::MillisecondsBetween(kUnixEpoch, now) - ZoneMsAhead();
  if (t - lastLeds_ > kLedsIntervalMs) {
    Remote->SetVar("LEDS", Format("%lld!%.0f!0!0!0!0!0", static_cast<long long>(t), KHz), false);
    lastLeds_ = t;
  }
  if (dt::MillisecondsBetween(lastDev_, now) > kDevIntervalMs) {
    std::string text;
    for (const TDeviationPoint& p : collector_.GetDeviationPoints(1.0, 1.0))
      text += "!" + Format("%.1f:%.1f", p.Value, p.Percent);
    Remote->SetVar("DEV", text, false);
    lastDev_ = now;
  }
}

bool TMPXController::ChartsShouldRefresh() const {
  return !printing_ && !IsRemoteOpen() && (!Observer || Observer->ChartsShown());
}

void TMPXController::PrepareCharts() {
  chartsDue_ = false;
  collector_.PrepareWindow(collector_.WindowMs);
  devPoints_ = collector_.DeviationChartPoints();
}

void TMPXController::PrepareDueCharts() const {
  if (chartsDue_) const_cast<TMPXController*>(this)->PrepareCharts();
}

bool TMPXController::InBuffering() const {
  return dt::MillisecondsBetween(startTime_, clock_.Now()) < kBufferingMs;
}

void TMPXController::SetDeviationUnits(int Units) {
  const bool percent = Units == 1;
  unitText_ = percent ? "%" : "KHz";
  unitFactor_ = percent ? 0.75 : 1.0;
  axisLabels_.assign(1, {0.0, unitText_});
  // Label n stands at n * factor kHz, so in percent 100 % sits at 75 kHz.
  for (int n = 10; n <= (percent ? 170 : 130); n += 10) axisLabels_.push_back({n * unitFactor_, std::to_string(n)});
  if (Observer) Observer->UnitsChanged();
}

void TMPXController::ResetMeasurement() {
  startTime_ = measureStart_ = clock_.Now();
  PrepareDueCharts();
  collector_.Clear();
  devPoints_.clear();
  chartsDue_ = false;
  if (Observer) Observer->MeasurementReset();
}

std::string TMPXController::AverageText() const {
  return Format(" %3.1f %s ", Average() / unitFactor_, unitText_.c_str());
}

std::string TMPXController::PrintSubtitle() const { return infoText_ + StampText(clock_.Now()); }

std::string TMPXController::CursorText(double KHz, double Percent) {
  return Format(" %3.1f KHz - %3.1f%s ", KHz, Percent, "%");
}
