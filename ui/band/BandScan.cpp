#include "ui/band/BandScan.h"

#include <cmath>

#include "platform/ExLibVCL.h"
#include "logstore/SettingsRecord.h"
#include "platform/Format.h"
#include "receiver/DeviceProtocol.h"
#include "receiver/RDS_Collector.h"
#include "receiver/communication.h"
#include "receiver/shared.h"
#include "ui/PrintStamp.h"

namespace {

const char* const kModeUnknown = "Unknown";
const char* const kAFUnknown = "Not Transmitted or Unknown";

// A station's mark: PI, frequency and PS on three lines.
std::string MarkLabel(const std::string& PI, double X, const std::string& PS) {
  return "PI:" + PI + "\r" + FreqText(X) + "\r" + PS;
}

}  // namespace

// ---- Pure rules ---------------------------------------------------------------------------

std::string FreqText(double MHz) { return Format("%3.1f MHz", MHz); }
std::string LevelText(double Level) { return Format("%3.1f dB\xC2\xB5V", LevelToDbuV(Level)); }

std::string RangeEditText(const std::string& Text, double Default) {
  double v = 0;
  if (Trim(Text).empty() || !TryStrToFloat(Text, v)) v = Default;
  return FormatFreq(ClampFreq(v));
}

uint8_t ScanStepCommand(TScanStep Step) {
  switch (Step) {
    case TScanStep::Fine: return proto::cmdScanStepFine;
    case TScanStep::Fast: return proto::cmdScanStepFast;
    default: return proto::cmdScanStepNormal;
  }
}

const char* ScanStepName(TScanStep Step) {
  switch (Step) {
    case TScanStep::Fine: return "Fine";
    case TScanStep::Fast: return "Fast";
    default: return "Normal";
  }
}

double ScanWordToMHz(uint16_t Word, bool InjectionSide) {
  return (Word * 8192.0 + (InjectionSide ? -225000.0 : 225000.0)) / 1e6;
}

std::vector<int> FindPeaks(const std::vector<TSplinePoint>& Points, double Reference) {
  std::vector<int> peaks;
  double max = 0;
  int at = 0;
  bool inRun = false;
  for (size_t i = 0; i < Points.size(); ++i) {
    const double y = Points[i].Y;
    if (y >= Reference && y > max) {
      max = y;
      at = static_cast<int>(i);
      inRun = true;
    }
    if (y < Reference && inRun) {
      inRun = false;
      peaks.push_back(at);
      max = 0;
    }
  }
  return peaks;
}

int MarkerPointAt(const std::vector<TSplinePoint>& Points, double X, double Reference) {
  const int n = static_cast<int>(Points.size());
  const double R = Reference;
  auto Y = [&](int i) { return Points[static_cast<size_t>(i)].Y; };
  int s = 0;
  while (s < n && Points[static_cast<size_t>(s)].X < X) ++s;
  if (s == n) return -1;
  int b = 0, e = -1;
  if (Y(s) >= R) {
    for (int k = s; k < n && e < 0; ++k)
      if (Y(k) <= R) e = k;
    // Above the reference all the way back to the first point: the run
    // starts there.
    b = 0;
    for (int k = s; k >= 0; --k)
      if (Y(k) <= R) {
        b = k;
        break;
      }
  }
  if (Y(s) <= R) {
    int j = s;
    while (j < n && Y(j) < R) ++j;
    if (j == n) return -1;  // nothing from here on reaches the reference
    e = -1;
    for (int k = j + 1; k < n && e < 0; ++k)
      if (Y(k) <= R) e = k;
    b = j;
  }
  if (e < 0) e = n - 1;
  int best = -1;
  double max = 0;
  for (int i = b; i <= e; ++i)
    if (Y(i) > max) {
      max = Y(i);
      best = i;
    }
  return best;
}

double TextWithoutUnit(const std::string& Text, int UnitChars) {
  size_t end = Text.size();
  for (int i = 0; i < UnitChars && end > 0; ++i) {
    --end;
    // Step over UTF-8 continuation bytes to the start of the character.
    while (end > 0 && (static_cast<unsigned char>(Text[end]) & 0xC0) == 0x80) --end;
  }
  double v = 0;
  return TryStrToFloat(Text.substr(0, end), v) ? v : -1.0;
}

std::string CommaText(const std::vector<std::string>& Items) {
  std::string out;
  for (size_t i = 0; i < Items.size(); ++i) {
    if (i) out += ',';
    const std::string& s = Items[i];
    bool quote = false;
    for (unsigned char c : s)
      if (c <= ' ' || c == ',' || c == '"') quote = true;
    if (!quote) {
      out += s;
      continue;
    }
    out += '"';
    for (char c : s) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  return out;
}

std::string AFListOfSummary(const std::string& Summary) {
  const size_t blank = Summary.find(' ');
  if (blank == std::string::npos || Summary.find_first_of("\r\n") == std::string::npos) return Summary;
  std::vector<std::string> lines;
  size_t from = blank + 1;
  while (from < Summary.size()) {
    const size_t end = std::min(Summary.find_first_of("\r\n", from), Summary.size());
    if (end > from) lines.push_back(Summary.substr(from, end - from));
    from = end + 1;
  }
  return Summary.substr(0, blank + 1) + CommaText(lines);
}

// ---- The real receiver --------------------------------------------------------------------

TBandScanReceiver::TBandScanReceiver(TTuner& Tuner, TCom& Com, TRDSCollector& RDS)
    : Tuner_(Tuner), Com_(Com), RDS_(RDS) {}

void TBandScanReceiver::ToggleHandlers(TBandScanController& c) {
  Tuner_.RegisterStateListener(TOnTunerEvent(&c, &TBandScanController::TunerState));
  Com_.RegisterDataHandler(PacketTypes({proto::ptRDS, proto::ptStatus, proto::ptScanPoint}),
                           TOnDataEvent(&c, &TBandScanController::ComData));
  RDS_.RegisterDataChangeListener(TOnDataChangeEvent(&c, &TBandScanController::RDSDataChange));
}

uint16_t TBandScanReceiver::PLLWord() const { return Tuner_.PLLWord(); }
bool TBandScanReceiver::InjectionSide() const { return Tuner_.InjectionSide(); }
double TBandScanReceiver::TargetFreq() const { return Tuner_.TargetFreq(); }
double TBandScanReceiver::CurrentFreq() const { return Tuner_.CurrentFreq(); }
bool TBandScanReceiver::Tuned() const { return Tuner_.Tuned(); }
bool TBandScanReceiver::Stereo() const { return Tuner_.Stereo(); }
void TBandScanReceiver::SetFrequency(double MHz) { Tuner_.SetFrequency(MHz); }
void TBandScanReceiver::SetIdle() { Tuner_.SetIdle(false); }
void TBandScanReceiver::SendCommand(uint8_t Command) { Com_.SendBytes({Command}); }
void TBandScanReceiver::ResetRDS() { RDS_.Reset(); }
const TDataChangeQueue& TBandScanReceiver::RDSChanges() const { return RDS_.Changes; }
std::string TBandScanReceiver::PIText() { return RDS_.GetPIText(); }
std::string TBandScanReceiver::PSText() { return RDS_.GetPSText(); }
std::string TBandScanReceiver::AFSummaryText() { return RDS_.GetAFSummaryText(); }

// ---- Controller ---------------------------------------------------------------------------

TBandScanController::TBandScanController(IBandScanReceiver& Receiver, IClock& Clock,
                                         const TSettingsRecord& Settings)
    : rx_(Receiver), clock_(Clock), settings_(Settings) {}

void TBandScanController::SetRange(const std::string& StartText, const std::string& EndText) {
  rangeStart_ = StartText;
  rangeEnd_ = EndText;
}

void TBandScanController::ScanClick() {
  if (!scanning_ && !scanPending_)
    StartScan();
  else
    StopScan();  // changes nothing while the start is still pending
}

void TBandScanController::AnalyzeClick() {
  if (!analyzing_)
    StartAnalyze();
  else
    StopAnalyze();
}

void TBandScanController::StartScan() {
  scanPending_ = true;
  savedPLL_ = rx_.PLLWord();
  SetMarker(-1);
  stations_.clear();
  pointX_.clear();
  pointY_.clear();
  smooth_.clear();
  marks_.clear();
  if (Observer) {
    Observer->ModeChanged();
    Observer->StationsReset();
  }

  const bool side = rx_.InjectionSide();
  rangeStart_ = RangeEditText(rangeStart_, kBandLowMHz);
  rangeEnd_ = RangeEditText(rangeEnd_, kBandHighMHz);
  uint16_t low = FreqTextToPLLWord(rangeStart_, side);
  const uint16_t high = FreqTextToPLLWord(rangeEnd_, side);
  if (high < low) {
    std::swap(rangeStart_, rangeEnd_);
    low = high;
  }
  // With the side argument set, the tuner's own tune command hands the device
  // exactly this word.
  rx_.SetFrequency(PLLWordToFreq(low, true));
}

void TBandScanController::StopScan() {
  if (!scanning_) return;
  scanning_ = false;
  Retune(savedPLL_);
  smooth_ = BSplineSmooth(pointX_, pointY_, kSmoothFactor, false);
  marks_.assign(smooth_.size(), TMark());
  marksShown_ = false;

  // No point came: the cursor stays and the description names no range.
  description_.clear();
  if (!pointX_.empty()) {
    const double last = pointX_.back();
    MoveCursor(last >= kCursorLimit ? kCursorLimit : last);
    description_ = "Scan Range: " + Format("%3.1f - %3.1f MHz", pointX_.front(), last) + ", ";
  }
  description_ += std::string("Scan Step: ") + ScanStepName(step_) +
                  ", Sensitivity: " + (settings_.SensitivityDX ? "DX" : "Local (ATT 6dB)");
  if (Observer) {
    Observer->ModeChanged();
    Observer->ScanEnded();
  }
}

void TBandScanController::StopAll() {
  if (scanPending_) {
    scanPending_ = false;
    scanning_ = true;
  }
  StopScan();
  StopAnalyze();
}

void TBandScanController::StartAnalyze() {
  descriptionStamped_ = description_ + StampText(clock_.Now());
  savedPLL_ = rx_.PLLWord();
  marksShown_ = true;
  SetMarker(-1);
  savedCursorX_ = cursorX_;
  stations_.clear();
  if (Observer) Observer->StationsReset();

  peaks_ = FindPeaks(smooth_, reference_);
  analyzing_ = true;
  visit_ = TVisit::Tune;
  if (peaks_.empty()) {
    peakIndex_ = -1;
    StopAnalyze();
    return;
  }
  peakIndex_ = 0;
  rx_.SetIdle();
  if (Observer) Observer->ModeChanged();
}

void TBandScanController::StopAnalyze() {
  if (!analyzing_) return;
  analyzing_ = false;
  peakIndex_ = -1;
  if (Observer) {
    Observer->StationsReset();
    Observer->ModeChanged();
  }
  Retune(savedPLL_);
  MoveCursor(savedCursorX_);
}

void TBandScanController::Retune(uint16_t Word) { rx_.SetFrequency(PLLWordToFreq(Word, rx_.InjectionSide())); }

void TBandScanController::MoveCursor(double X) {
  cursorX_ = X;
  if (Observer) Observer->CursorMoved();
}

void TBandScanController::SetLabel(int Point, const std::string& Label) {
  TMark& m = marks_[static_cast<size_t>(Point)];
  if (m.Visible && m.Label == Label) return;
  m.Visible = true;
  m.Label = Label;
  if (Observer) Observer->MarkChanged(Point);
}

int64_t TBandScanController::SinceTuneMs() const { return clock_.SteadyMs() - tuneMs_; }

void TBandScanController::SetMarker(int PointIndex) {
  if (PointIndex < -1 || PointIndex >= static_cast<int>(smooth_.size())) return;
  if (PointIndex == marker_) return;
  const int old = marker_;
  marker_ = PointIndex;
  markerPending_ = true;
  if (Observer) {
    if (old >= 0) Observer->MarkChanged(old);
    if (marker_ >= 0) Observer->MarkChanged(marker_);
  }
  if (marker_ >= 0) FindStation(marker_, true);
}

void TBandScanController::HideMarks() {
  for (size_t i = 0; i < marks_.size(); ++i) {
    if (!marks_[i].Visible) continue;
    marks_[i].Visible = false;
    if (Observer) Observer->MarkChanged(static_cast<int>(i));
  }
}

int TBandScanController::FindStation(int PointIndex, bool Create) {
  for (int i = static_cast<int>(stations_.size()) - 1; i >= 0; --i)
    if (stations_[static_cast<size_t>(i)].Point == PointIndex) return i;
  if (!Create || PointIndex < 0 || PointIndex >= static_cast<int>(smooth_.size())) return -1;
  const TSplinePoint& p = smooth_[static_cast<size_t>(PointIndex)];
  stations_.push_back({PointIndex, "", "", kModeUnknown, kAFUnknown, FreqText(p.X), LevelText(p.Y)});
  const int index = static_cast<int>(stations_.size()) - 1;
  descriptionStamped_ = description_ + StampText(clock_.Now());
  if (Observer) Observer->StationAdded(index);
  return index;
}

void TBandScanController::RemoveStation(int PointIndex) {
  if (analyzing_) return;
  const int i = FindStation(PointIndex, false);
  if (i >= 0) {
    if (PointIndex == marker_) SetMarker(-1);
    stations_.erase(stations_.begin() + i);
  }
  if (Observer) Observer->StationsReset();
}

void TBandScanController::MarkAt(double X) {
  if (scanPending_ || scanning_) return;
  StopAnalyze();
  const int p = MarkerPointAt(smooth_, X, reference_);
  if (p < 0) return;
  const double x = smooth_[static_cast<size_t>(p)].X;
  rx_.SetFrequency(std::nearbyint(x * 10) / 10);
  marksShown_ = true;
  SetLabel(p, FreqText(x) + "\r");
  SetMarker(p);
}

// ---- Device handlers ----------------------------------------------------------------------

void TBandScanController::TunerState(TTunerState State) {
  if (Quiet()) return;
  if (State == tnsPostTune && scanPending_) {
    rx_.SendCommand(ScanStepCommand(step_));
    rx_.SendCommand(proto::cmdBandScan);
    scanning_ = true;
    scanPending_ = false;
    if (Observer) Observer->ModeChanged();
  }
  if (State == tnsPostTune && marker_ >= 0)
    markerPending_ = FormatFreq(smooth_[static_cast<size_t>(marker_)].X) != FormatFreq(rx_.CurrentFreq());

  if (!analyzing_ || peakIndex_ < 0) return;
  if (State == tnsWait && visit_ != TVisit::Dwell) {
    // The tune is requested even when the tuner's target already is this
    // frequency: idle, it would otherwise never come back to state 6.
    rx_.SetFrequency(VisitFreq());
    rx_.ResetRDS();
    early_ = {};
    curPI_.clear();
    curPS_.clear();
    visit_ = TVisit::Tuning;
  } else if (State == tnsPostTune && visit_ == TVisit::Tuning) {
    OpenVisit();
  }
}

void TBandScanController::OpenVisit() {
  const int p = peaks_[static_cast<size_t>(peakIndex_)];
  const TSplinePoint& pt = smooth_[static_cast<size_t>(p)];
  tuneMs_ = clock_.SteadyMs();
  visit_ = TVisit::Dwell;
  const bool decoded = !curPI_.empty() || !curPS_.empty();
  SetLabel(p, decoded ? MarkLabel(curPI_, pt.X, curPS_) : FreqText(pt.X));
  stations_.push_back({p, early_.PI, early_.PS, kModeUnknown, early_.AFList.empty() ? kAFUnknown : early_.AFList,
                       FreqText(pt.X), LevelText(pt.Y)});
  MoveCursor(pt.X);
}

void TBandScanController::CloseVisit() {
  TColumnRecord& r = stations_.back();
  r.Mode = rx_.Stereo() ? "Stereo" : "Mono";
  if (Observer) Observer->StationAdded(static_cast<int>(stations_.size()) - 1);
  ++peakIndex_;
  visit_ = TVisit::Tune;
  rx_.SetIdle();
}

void TBandScanController::ComData(const uint8_t* Packet, int High) {
  if (Quiet()) return;
  const proto::TPacketView view(Packet, High);
  const uint8_t type = view.Type();
  if (type == proto::ptScanPoint && scanning_) {
    const proto::TScanPointPacket point(Packet, High);
    if (!point.Valid()) return;
    const bool side = rx_.InjectionSide();
    const uint16_t word = point.PLLWord();
    if (word >= FreqTextToPLLWord(rangeEnd_, side) || word > FreqToPLLWord(side, kBandHighMHz)) {
      StopScan();
      return;
    }
    const double x = ScanWordToMHz(word, side);
    pointX_.push_back(x);
    pointY_.push_back(point.Level());
    cursorX_ = x;
    if (Observer) {
      Observer->PointAppended();
      Observer->CursorMoved();
    }
  }
  const bool status = type == proto::ptRDS || type == proto::ptStatus;
  if (status && analyzing_ && rx_.Tuned()) {
    if (visit_ == TVisit::Dwell && SinceTuneMs() > kDwellMs) CloseVisit();
    if (peakIndex_ == static_cast<int>(peaks_.size())) {
      StopAnalyze();
      return;
    }
  }
  UpkeepMarker(type);
}

void TBandScanController::UpkeepMarker(uint8_t Type) {
  if (marker_ < 0) return;
  const double x = smooth_[static_cast<size_t>(marker_)].X;
  if (FormatFreq(x) != FormatFreq(rx_.TargetFreq())) {
    SetMarker(-1);
    return;
  }
  markerPending_ = false;
  const int i = FindStation(marker_, false);
  if (i < 0 || (Type != proto::ptRDS && Type != proto::ptStatus)) return;
  TColumnRecord& r = stations_[static_cast<size_t>(i)];
  TColumnRecord now = r;
  now.Mode = rx_.Stereo() ? "Stereo" : "Mono";
  now.PS = rx_.PSText();
  now.PI = rx_.PIText();
  now.AFList = AFListOfSummary(rx_.AFSummaryText());
  const bool changed = now.Mode != r.Mode || now.PS != r.PS || now.PI != r.PI || now.AFList != r.AFList;
  r = std::move(now);
  if (changed && Observer) Observer->StationUpdated(i);
  SetLabel(marker_, MarkLabel(r.PI, x, r.PS));
}

double TBandScanController::VisitFreq() const {
  return std::nearbyint(smooth_[static_cast<size_t>(peaks_[static_cast<size_t>(peakIndex_)])].X * 10) / 10;
}

void TBandScanController::RDSDataChange() {
  if (Quiet()) return;
  if (!analyzing_ || peakIndex_ < 0) return;
  // Groups can be decoded before the tuner reports the tune done, on a busy
  // machine well before, and between that report and the tuner marking itself
  // tuned; the PI is reported once, so one missed there would be missing from
  // the record. Only groups received on the visited frequency count: those
  // still in flight from the last station do not.
  const bool onVisit = FormatFreq(rx_.CurrentFreq()) == FormatFreq(VisitFreq());
  if (visit_ == TVisit::Tuning) {
    if (onVisit) TakeRDSChanges(early_);
    return;
  }
  if (visit_ != TVisit::Dwell || !(rx_.Tuned() || onVisit) || SinceTuneMs() >= kDwellMs) return;
  const int p = peaks_[static_cast<size_t>(peakIndex_)];
  if (TakeRDSChanges(stations_.back())) SetLabel(p, MarkLabel(curPI_, smooth_[static_cast<size_t>(p)].X, curPS_));
}

bool TBandScanController::TakeRDSChanges(TColumnRecord& r) {
  bool label = false;
  for (const TDataChange& c : rx_.RDSChanges()) {
    switch (c.Kind) {
      case dcPI:
        r.PI = curPI_ = c.Texts[0];
        label = true;
        break;
      case dcPSConfirmed:
        r.PS = curPS_ = c.Texts[1];
        label = true;
        break;
      case dcAFCount:
        r.AFList = std::to_string(c.Value) + c.Texts[0] + " " + CommaText(c.AFLines);
        break;
      default:
        break;
    }
  }
  return label;
}
