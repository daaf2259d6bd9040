#include "receiver/Tuner.h"

#include <cmath>
#include <cstring>

#include "receiver/DeviceProtocol.h"
#include "receiver/shared.h"

const char* const kTunerErrUnsupportedFirmware = "Unsupported Firmware! ";
const char* const kTunerErrIncompatibleHardware = "Incompatible Hardware! ";
const char* const kTunerErrUncalibrated = "Uncalibrated Device! ";
const char* const kTunerErrInvalidId = "Invalid Device ID! ";

namespace {

// Next state for (state, handler result), two entries per state.
constexpr std::array<uint8_t, 24> kTransitions = {
    tnsWait,           tnsTune,               // 0 wait: monitor
    tnsInit,           tnsInit,               // 1 init: request device information
    tnsCal1,           tnsPreTune,            // 2 cal1
    tnsWait,           tnsWait,               // 3 cal2: monitor
    tnsTune,           tnsWait,               // 4 pre-tune: configure
    tnsPostTune,       tnsTune,               // 5 tune
    tnsReady,          tnsWait,               // 6 post-tune
    tnsReadyStatus,    tnsTune,               // 7 ready: monitor
    tnsPostTune,       tnsSearchForward,      // 8 seek up
    tnsPostTune,       tnsSearchBackward,     // 9 seek down
    tnsReady,          tnsTune,               // 10 ready with status: monitor
    tnsWait,           tnsWait,               // 11 incompatible: monitor
};

constexpr TPacketTypes kTunerPacketTypes = PacketTypes({1, 2, 4, 5});

constexpr int kIdleSleepMs = 100;         // after states 0, 7, 10 and while unconnected
constexpr int kWaitingStateMs = 15;       // a waiting state that repeats
constexpr int kInfoRepeatMs = 2000;       // device-information request
constexpr int kTuneRepeatMs = 2000;       // tune command
constexpr int kSeekRepeatMs = 3000;       // seek command
constexpr int kResetToInfoMs = 100;       // between 0x09 and 0x20
constexpr int kRdsTimeoutMs = 1000;       // no type 1 for this long: no RDS
constexpr int kNoSignalWindowMs = 3000;
constexpr double kNoSignalThreshold = 5.5;

bool IdleState(TTunerState s) { return s == tnsWait || s == tnsReady || s == tnsReadyStatus; }

}  // namespace

TTuner::TTuner(TCom& Com, TMainThreadInvoker& MainThread, IClock& Clock)
    : Com_(Com), MainThread_(MainThread), Clock_(Clock) {
  Table_ = kTransitions;
  Handlers_ = {&TTuner::Monitor,   &TTuner::RequestInfo, &TTuner::ReturnOne, &TTuner::Monitor,
               &TTuner::Configure, &TTuner::Tune,        &TTuner::AfterTune, &TTuner::Monitor,
               &TTuner::DoSeekUp,  &TTuner::DoSeekDown,  &TTuner::Monitor,   &TTuner::Monitor};
  ConfigCodes_ = {proto::cmdModeRDS,         proto::cmdInputAntenna, proto::cmdStopLevel0,
                  proto::cmdSensitivityLocal, proto::cmdSpacing0,    proto::cmdDeemphasisOff};
  WindowStartMs_ = Clock_.SteadyMs();
  LastCommandMs_ = WindowStartMs_;
  // A transport that is already up will not report it again.
  LinkUp_ = Com_.IsConnected();
  Com_.RegisterDataHandler(kTunerPacketTypes, TOnDataEvent(this, &TTuner::PacketHandler));
  Com_.RegisterStatusHandler(TOnStatusEvent(this, &TTuner::StatusHandler));
  Start();
}

TTuner::~TTuner() {
  Terminate();
  WaitFor(MainThread_.IsMainThread() ? &MainThread_ : nullptr);
  // Registering again removes them.
  Com_.RegisterDataHandler(kTunerPacketTypes, TOnDataEvent(this, &TTuner::PacketHandler));
  Com_.RegisterStatusHandler(TOnStatusEvent(this, &TTuner::StatusHandler));
}

// ---------------------------------------------------------------- machine

void TTuner::Execute() {
  while (!Terminated()) {
    bool linkUp;
    {
      std::lock_guard<std::mutex> lock(Lock_);
      linkUp = LinkUp_;
    }
    // The link counts as up once its connected status has reached us: the
    // transport is connected a moment before, and a cycle run in between would
    // send commands to a device that is not identified yet.
    if (!linkUp || !Com_.IsConnected()) {
      Clock_.SleepMs(kIdleSleepMs);
      continue;
    }
    TTunerState state;
    uint64_t serial;
    bool hold;
    {
      std::lock_guard<std::mutex> lock(Lock_);
      state = State_;
      serial = StateSerial_;
      hold = Hold_;
      WakePending_ = false;
    }
    if (!hold) NotifyListeners(state);
    if (Terminated()) break;

    // A handler, packet, status or request may change the state while the
    // cycle runs; the cycle's own transition must not overwrite it.
    TTunerState next;
    bool moved;
    {
      std::lock_guard<std::mutex> lock(Lock_);
      moved = StateSerial_ != serial;
      CycleSerial_ = serial;
      next = State_;
    }
    if (!moved) {
      const int result = (this->*Handlers_[state])() ? 1 : 0;
      std::lock_guard<std::mutex> lock(Lock_);
      if (StateSerial_ == serial) State_ = static_cast<TTunerState>(Table_[state * 2 + result]);
      else moved = true;
      next = State_;
    }

    if (IdleState(next)) Clock_.SleepMs(kIdleSleepMs);
    else if (next == state && !moved) WaitForEvent(kWaitingStateMs);
  }
}

void TTuner::NotifyListeners(TTunerState State) {
  try {
    MainThread_.Synchronize([this, State] {
      // By index: a listener may register another, which may move the list.
      for (size_t i = 0; i < StateListeners_.size(); ++i) {
        const TOnTunerEvent listener = StateListeners_[i];
        if (listener) listener(State);
      }
    });
  } catch (...) {
    // A failing listener must not stop the receiver's machine.
  }
}

void TTuner::WaitForEvent(int Ms) {
  {
    std::lock_guard<std::mutex> lock(Lock_);
    if (WakePending_) {
      WakePending_ = false;
      return;
    }
  }
  Clock_.SleepMs(Ms);
}

void TTuner::SetStateLocked(TTunerState NewState) {
  State_ = NewState;
  ++StateSerial_;
  WakePending_ = true;
}

bool TTuner::CycleUndisturbedLocked() const { return StateSerial_ == CycleSerial_; }

void TTuner::Send(std::initializer_list<uint8_t> Bytes) { Com_.SendBytes(Bytes); }

bool TTuner::SameTenths(double A, double B) { return std::nearbyint(A * 10) == std::nearbyint(B * 10); }

int64_t TTuner::SinceMs(int64_t Then) const { return Clock_.SteadyMs() - Then; }

// ---------------------------------------------------------------- handlers

int TTuner::Monitor() {
  std::lock_guard<std::mutex> lock(Lock_);
  const int64_t now = Clock_.SteadyMs();
  if (WindowPhase_ == 0) {
    WindowStartMs_ = now;
    WindowPhase_ = LevelAvg_ < kNoSignalThreshold ? 1 : 2;
  }
  if (now - WindowStartMs_ >= kNoSignalWindowMs) {
    if (WindowPhase_ == 1 && LevelAvg_ < kNoSignalThreshold) NoSignal_ = true;
    if (WindowPhase_ == 2 && LevelAvg_ > kNoSignalThreshold) NoSignal_ = false;
    WindowPhase_ = 0;
  }
  if (SameTenths(TargetFreq_, CurrentFreq_)) return 0;
  if (Hold_) return 0;
  Tuned_ = false;
  return 1;
}

int TTuner::RequestInfo() {
  {
    std::lock_guard<std::mutex> lock(Lock_);
    if (LastCommand_ == proto::cmdDeviceInfo && SinceMs(LastCommandMs_) <= kInfoRepeatMs) return 0;
  }
  Send({proto::cmdReset});
  Clock_.SleepMs(kResetToInfoMs);
  Send({proto::cmdDeviceInfo});
  std::lock_guard<std::mutex> lock(Lock_);
  LastCommandMs_ = Clock_.SteadyMs();
  LastCommand_ = proto::cmdDeviceInfo;
  return 0;
}

int TTuner::ReturnOne() { return 1; }

int TTuner::Configure() {
  TConfigCodes codes;
  {
    std::lock_guard<std::mutex> lock(Lock_);
    // A disconnection since the cycle began has withdrawn the configuration.
    if (CycleUndisturbedLocked()) Configured_ = true;
    codes = ConfigCodes_;
  }
  for (int32_t code : codes) Send({static_cast<uint8_t>(code)});
  Send({proto::cmdEndConfig});
  std::lock_guard<std::mutex> lock(Lock_);
  LastCommandMs_ = Clock_.SteadyMs();
  return 0;
}

int TTuner::Tune() {
  bool send = false;
  uint16_t word = 0;
  if (Com_.IsConnected()) {
    std::lock_guard<std::mutex> lock(Lock_);
    if (LastCommand_ != proto::cmdTune || SinceMs(LastCommandMs_) > kTuneRepeatMs) {
      send = true;
      word = FreqToPLLWord(true, TargetFreq_);
    }
  }
  if (send) {
    Send({proto::cmdTune, static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word & 0xFF)});
    std::lock_guard<std::mutex> lock(Lock_);
    LastCommandMs_ = Clock_.SteadyMs();
    LastCommand_ = proto::cmdTune;
  }
  std::lock_guard<std::mutex> lock(Lock_);
  return SameTenths(CurrentFreq_, TargetFreq_) ? 0 : 1;
}

int TTuner::AfterTune() {
  // Drops the packets queued before the new frequency took effect.
  Com_.ClearBuffer();
  std::lock_guard<std::mutex> lock(Lock_);
  LastCommand_ = -1;
  // A request or disconnection since the cycle began has the last word.
  if (CycleUndisturbedLocked()) Tuned_ = true;
  return 0;
}

int TTuner::DoSeekUp() { return Seek(proto::cmdSeekUp); }

int TTuner::DoSeekDown() { return Seek(proto::cmdSeekDown); }

int TTuner::Seek(uint8_t Command) {
  bool send = false;
  {
    std::lock_guard<std::mutex> lock(Lock_);
    if (LastCommand_ != Command || SinceMs(LastCommandMs_) > kSeekRepeatMs) {
      send = true;
      // Taken before the command goes out, so a report of the new frequency
      // that arrives right after it cannot become the reference.
      TargetFreq_ = CurrentFreq_;
    }
  }
  if (send) {
    Send({Command});
    std::lock_guard<std::mutex> lock(Lock_);
    LastCommandMs_ = Clock_.SteadyMs();
    LastCommand_ = Command;
  }
  std::lock_guard<std::mutex> lock(Lock_);
  if (SameTenths(CurrentFreq_, TargetFreq_)) return 1;  // still seeking
  TargetFreq_ = CurrentFreq_;  // the device stopped on a new frequency
  return 0;
}

// ---------------------------------------------------------------- transport handlers

void TTuner::PacketHandler(const uint8_t* Packet, int High) {
  if (!Packet) return;
  const proto::TPacketView view(Packet, High);
  switch (view.Type()) {
    case proto::ptRDS: {
      const proto::TRdsPacket p(Packet, High);
      if (p.Valid()) ApplyTunerStatus(p.PLLWord(), p.InjectionSide(), p.Level(), p.Stereo(), true);
      break;
    }
    case proto::ptStatus: {
      const proto::TStatusPacket p(Packet, High);
      if (p.Valid()) ApplyTunerStatus(p.PLLWord(), p.InjectionSide(), p.Level(), p.Stereo(), false);
      break;
    }
    case proto::ptDeviceInfo: {
      const proto::TDeviceInfoPacket p(Packet, High);
      if (p.Valid()) ApplyDeviceInfo(p);
      break;
    }
    default:
      break;  // type 5 is subscribed and not read
  }
}

void TTuner::ApplyTunerStatus(uint16_t Word, bool Side, int NewLevel, bool NewStereo, bool Type1) {
  std::lock_guard<std::mutex> lock(Lock_);
  if (!Configured_) return;
  PLLWord_ = Word;
  PLLBytes_ = {static_cast<uint8_t>(Word & 0xFF), static_cast<uint8_t>(Word >> 8)};
  InjectionSide_ = Side;
  Level_ = NewLevel;
  Stereo_ = NewStereo;  // the packet views report mono below level 8
  CurrentFreq_ = ClampFreq(PLLWordToFreq(Word, Side));
  FreqTenths_ = static_cast<int32_t>(std::nearbyint(CurrentFreq_ * 10));
  FreqIndex_ = static_cast<int32_t>(std::nearbyint(CurrentFreq_ * 10 - 870));
  const int64_t now = Clock_.SteadyMs();
  if (Type1) {
    RDSPresent_ = true;
    LastType1Ms_ = now;
  } else if (now - LastType1Ms_ > kRdsTimeoutMs) {
    RDSPresent_ = false;
  }
  LevelAvg_ = 0.75 * LevelAvg_ + 0.25 * Level_;
  if (Tuned_) SetStateLocked(tnsReadyStatus);
  else WakePending_ = true;
}

void TTuner::ApplyDeviceInfo(const proto::TDeviceInfoPacket& p) {
  std::lock_guard<std::mutex> lock(Lock_);
  TCalibration& c = Calibration_;
  c.MPXScale = p.MPXScale();
  c.Stored1 = p.Extra(0);
  c.MPXOffset = p.MPXOffset();
  c.Stored2 = p.Extra(1);
  c.Stored3 = p.Extra(2);
  p.InfoBytes(c.Info.data());
  c.ErrorText.clear();
  std::string error;
  if (p.Firmware() > 2) error += kTunerErrUnsupportedFirmware;
  if (p.HardwareType() != 1) error += kTunerErrIncompatibleHardware;
  if (std::isnan(c.MPXScale) || std::isnan(c.MPXOffset)) error += kTunerErrUncalibrated;
  if (p.DeviceId(0) == 0xFE && p.DeviceId(1) == 0xFE && p.DeviceId(2) == 0xFE && p.DeviceId(3) == 0xFE)
    error += kTunerErrInvalidId;
  c.ErrorText = error;
  SetStateLocked(error.empty() ? tnsPreTune : tnsIncompatible);
}

void TTuner::StatusHandler(TStatus Status) {
  std::lock_guard<std::mutex> lock(Lock_);
  if (Status == stConnected) {
    LinkUp_ = true;
    // A device that has just come up has not reported where it is: the
    // frequency known from before must not complete the first tune at once.
    CurrentFreq_ = 0;
    SetStateLocked(tnsInit);
  } else if (Status == stDisconnected) {
    LinkUp_ = false;
    Tuned_ = false;
    Configured_ = false;
    SetStateLocked(tnsWait);
  }
}

// ---------------------------------------------------------------- requests

void TTuner::SetFrequency(double MHz) {
  if (std::isnan(MHz)) return;
  // On the channel grid and inside the band, so the device's report (always
  // a whole channel) can match it.
  const double target = std::nearbyint(ClampFreq(MHz) * 10) / 10;
  std::lock_guard<std::mutex> lock(Lock_);
  if (State_ == tnsSearchForward || State_ == tnsSearchBackward) return;
  Tuned_ = false;
  TargetFreq_ = target;
  CurrentFreq_ = 0;
  RDSPresent_ = false;
  SetStateLocked(tnsTune);
}

void TTuner::SetIdle(bool Flag) {
  if (Flag) return;
  std::lock_guard<std::mutex> lock(Lock_);
  Tuned_ = false;
  SetStateLocked(tnsWait);
}

void TTuner::Reconfigure(bool Flag) {
  if (Flag) return;
  std::lock_guard<std::mutex> lock(Lock_);
  Configured_ = false;
  // The device is identified and tuned anew: until it confirms, a status
  // packet must not take the machine past the post-tune step.
  Tuned_ = false;
  SetStateLocked(tnsInit);
}

void TTuner::SeekUp() { StartSeek(tnsSearchForward); }

void TTuner::SeekDown() { StartSeek(tnsSearchBackward); }

void TTuner::StartSeek(TTunerState SeekState) {
  std::lock_guard<std::mutex> lock(Lock_);
  if (State_ == tnsTune || State_ == tnsSearchForward || State_ == tnsSearchBackward) return;
  Tuned_ = false;
  SetStateLocked(SeekState);
}

void TTuner::RegisterStateListener(const TOnTunerEvent& Listener) {
  // The last entry with the same code is cleared (it stays, inactive).
  for (size_t i = StateListeners_.size(); i-- > 0;) {
    if (StateListeners_[i].SameCode(Listener)) {
      StateListeners_[i].Clear();
      return;
    }
  }
  StateListeners_.push_back(Listener);
}

bool TTuner::Hold() const {
  std::lock_guard<std::mutex> lock(Lock_);
  return Hold_;
}

void TTuner::SetHold(bool Value) {
  std::lock_guard<std::mutex> lock(Lock_);
  if (Hold_ && !Value && Configured_) {
    // Whoever held the receiver has moved it (a band scan sweeps the band):
    // what it reported meanwhile says nothing about the target, so the
    // target is tuned again, even when the last report matches it. A
    // receiver being identified and set up again is tuned at the end of that.
    Tuned_ = false;
    CurrentFreq_ = 0;
    RDSPresent_ = false;
    LastCommand_ = -1;
    SetStateLocked(tnsTune);
  }
  Hold_ = Value;
  WakePending_ = true;
}

TTuner::TConfigCodes TTuner::ConfigCodes() const {
  std::lock_guard<std::mutex> lock(Lock_);
  return ConfigCodes_;
}

void TTuner::SetConfigCodes(const TConfigCodes& Codes) {
  std::lock_guard<std::mutex> lock(Lock_);
  ConfigCodes_ = Codes;
}

void TTuner::SetConfigCode(int Index, int32_t Code) {
  if (Index < 0 || Index >= kConfigCodeCount) return;
  std::lock_guard<std::mutex> lock(Lock_);
  ConfigCodes_[Index] = Code;
}

// ---------------------------------------------------------------- readers

#define FW_TUNER_GETTER(Type, Name, Field)      \
  Type TTuner::Name() const {                   \
    std::lock_guard<std::mutex> lock(Lock_);    \
    return Field;                               \
  }

FW_TUNER_GETTER(TTunerState, State, State_)
FW_TUNER_GETTER(double, TargetFreq, TargetFreq_)
FW_TUNER_GETTER(double, CurrentFreq, CurrentFreq_)
FW_TUNER_GETTER(int32_t, FreqTenths, FreqTenths_)
FW_TUNER_GETTER(int32_t, FreqIndex, FreqIndex_)
FW_TUNER_GETTER(uint16_t, PLLWord, PLLWord_)
FW_TUNER_GETTER(TTuner::TPLLBytes, PLLBytes, PLLBytes_)
FW_TUNER_GETTER(int32_t, Level, Level_)
FW_TUNER_GETTER(double, LevelAvg, LevelAvg_)
FW_TUNER_GETTER(bool, Stereo, Stereo_)
FW_TUNER_GETTER(bool, NoSignal, NoSignal_)
FW_TUNER_GETTER(bool, RDSPresent, RDSPresent_)
FW_TUNER_GETTER(bool, InjectionSide, InjectionSide_)
FW_TUNER_GETTER(bool, Configured, Configured_)
FW_TUNER_GETTER(bool, Tuned, Tuned_)
FW_TUNER_GETTER(TCalibration, Calibration, Calibration_)

#undef FW_TUNER_GETTER
