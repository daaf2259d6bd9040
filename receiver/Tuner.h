#pragma once
// The tuner: a thread that drives the receiver through identification,
// configuration, tuning and seeking with a table-driven state machine, and
// keeps what the receiver last reported (frequency, level, stereo, identity
// and calibration).
//
// Threads: the machine runs on the tuner's own thread. State listeners are
// called on the GUI thread through the main-thread invoker, once per machine
// cycle. The packet and status handlers are called by the transport on the GUI
// thread; they, the public requests and the machine share one lock, which is
// never held across a GUI call or a device write.
#include <array>
#include <initializer_list>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/MainThreadInvoker.h"
#include "platform/Method.h"
#include "platform/Thread.h"
#include "receiver/communication.h"

namespace proto {
class TDeviceInfoPacket;
}

enum TTunerState : uint8_t {
  tnsWait = 0,
  tnsInit = 1,
  tnsCal1 = 2,
  tnsCal2 = 3,
  tnsPreTune = 4,
  tnsTune = 5,
  tnsPostTune = 6,
  tnsReady = 7,
  tnsSearchForward = 8,
  tnsSearchBackward = 9,
  tnsReadyStatus = 10,
  tnsIncompatible = 11,
};

using TOnTunerEvent = TMethod<TTunerState>;

// Identity and calibration of the receiver, from its device-information packet.
struct TCalibration {
  double MPXScale = 0;   // packet bytes 17..24
  double Stored1 = 0;    // bytes 25..32, kept, not interpreted
  double MPXOffset = 0;  // bytes 9..16
  double Stored2 = 0;    // bytes 33..40
  double Stored3 = 0;    // bytes 41..48
  // Packet bytes 1..8: firmware, hardware type, 4-byte device ID, two more.
  std::array<uint8_t, 8> Info{};
  // Why the device failed identification; empty when it passed.
  std::string ErrorText;

  uint8_t Firmware() const { return Info[0]; }
  uint8_t HardwareType() const { return Info[1]; }
};

// Texts appended to TCalibration::ErrorText by the identification checks.
extern const char* const kTunerErrUnsupportedFirmware;
extern const char* const kTunerErrIncompatibleHardware;
extern const char* const kTunerErrUncalibrated;
extern const char* const kTunerErrInvalidId;

class TTuner : public TThread {
 public:
  static constexpr int kConfigCodeCount = 6;
  using TConfigCodes = std::array<int32_t, kConfigCodeCount>;

  // Registers the packet handler for types {1, 2, 4, 5} and the status handler
  // with the transport, then starts the machine (idle until the transport has
  // reported its link up). Call on the GUI thread: handler lists belong to it.
  TTuner(TCom& Com, TMainThreadInvoker& MainThread, IClock& Clock = SystemClock());
  // Stops the machine (serving pending GUI calls when called on the GUI
  // thread) and unregisters both transport handlers.
  ~TTuner() override;

  // Public requests (GUI thread). Each applies its fields and the state as one
  // step and wakes the machine.
  // The target is clamped to 87.0..108.0 and put on the 0.1 MHz grid; ignored
  // while seeking.
  void SetFrequency(double MHz);
  void SetIdle(bool Flag);
  void Reconfigure(bool Flag);
  void SeekUp();
  void SeekDown();
  // Toggles a state listener (matched by method code).
  void RegisterStateListener(const TOnTunerEvent& Listener);

  // Set while a remote band scan runs: mutes listeners and suppresses
  // retuning. Releasing it tunes the receiver back to the target (a receiver
  // not set up yet is tuned once it is).
  bool Hold() const;
  void SetHold(bool Value);

  // The configuration set, each code sent as one byte before 0x08.
  TConfigCodes ConfigCodes() const;
  void SetConfigCodes(const TConfigCodes& Codes);
  void SetConfigCode(int Index, int32_t Code);

  // What the receiver last reported, read under the lock.
  TTunerState State() const;
  double TargetFreq() const;
  double CurrentFreq() const;
  int32_t FreqTenths() const;
  int32_t FreqIndex() const;
  uint16_t PLLWord() const;
  using TPLLBytes = std::array<uint8_t, 2>;  // low byte, high byte
  TPLLBytes PLLBytes() const;
  int32_t Level() const;
  double LevelAvg() const;
  bool Stereo() const;
  bool NoSignal() const;
  bool RDSPresent() const;
  bool InjectionSide() const;
  bool Configured() const;
  bool Tuned() const;
  TCalibration Calibration() const;

  // Transport handlers (the transport calls them on the GUI thread); public
  // so a test can feed packets without a transport.
  void PacketHandler(const uint8_t* Packet, int High);
  void StatusHandler(TStatus Status);

 protected:
  void Execute() override;

 private:
  using THandler = int (TTuner::*)();

  // State handlers: each returns the result that picks the next state.
  int Monitor();
  int RequestInfo();
  int ReturnOne();
  int Configure();
  int Tune();
  int AfterTune();
  int DoSeekUp();
  int DoSeekDown();
  int Seek(uint8_t Command);

  // Machine helpers.
  void StartSeek(TTunerState SeekState);  // a seek request: unless tuning or seeking
  void NotifyListeners(TTunerState State);
  void SetStateLocked(TTunerState NewState);  // an outside write: bumps the serial and wakes
  // Nothing outside the machine has set the state since this cycle began.
  bool CycleUndisturbedLocked() const;
  void Send(std::initializer_list<uint8_t> Bytes);
  // Waits a little unless a packet, status or request arrived meanwhile.
  void WaitForEvent(int Ms);
  // Frequencies compare as whole 0.1 MHz channels.
  static bool SameTenths(double A, double B);
  int64_t SinceMs(int64_t Then) const;

  void ApplyTunerStatus(uint16_t Word, bool Side, int NewLevel, bool NewStereo, bool Type1);
  void ApplyDeviceInfo(const proto::TDeviceInfoPacket& Packet);

  TCom& Com_;
  TMainThreadInvoker& MainThread_;
  IClock& Clock_;

  mutable std::mutex Lock_;
  // Counts every change of the state made outside the machine's own
  // transition; a cycle applies its transition only if it did not move.
  uint64_t StateSerial_ = 0;
  uint64_t CycleSerial_ = 0;  // the serial when the running cycle began
  bool WakePending_ = false;
  bool LinkUp_ = false;  // the transport's connected status has been seen

  bool Configured_ = false;
  bool Tuned_ = false;
  TTunerState State_ = tnsWait;
  std::array<THandler, 12> Handlers_{};
  std::array<uint8_t, 24> Table_{};

  double TargetFreq_ = 87.0;
  uint16_t PLLWord_ = 0;
  TPLLBytes PLLBytes_{};
  double CurrentFreq_ = 0;
  int32_t FreqTenths_ = 0;
  int32_t FreqIndex_ = 0;
  bool Stereo_ = false;
  int64_t LastType1Ms_ = 0;
  bool RDSPresent_ = false;
  int32_t Level_ = 0;
  double LevelAvg_ = 0;
  bool NoSignal_ = false;
  bool InjectionSide_ = false;

  TCalibration Calibration_;

  std::vector<TOnTunerEvent> StateListeners_;  // GUI thread only
  bool Hold_ = false;

  int64_t WindowStartMs_ = 0;
  int WindowPhase_ = 0;  // 0 idle, 1 started below the threshold, 2 above

  int64_t LastCommandMs_ = 0;
  int32_t LastCommand_ = -1;

  TConfigCodes ConfigCodes_{};
};
