#pragma once
// A simulated receiver behind the four USB operations.
//
// It models the device: it answers every command byte (device information,
// tuning, seeking, configuration, reset, band scan), sends periodic type-2
// status packets and, while tuned to a station with RDS, type-1 packets of
// that station's group file in a loop. Tests can also script packets of their
// own, plug and unplug the device, inject faults and read back every command
// written.
//
// All timing goes through the given IClock: with a manual fake clock the
// device only moves when the test advances time; with the system clock it
// runs in real time (the simulator program). A read waits for a packet until
// its time-out has passed on that clock, or until the handle is closed or the
// device unplugged.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/UsbPipes.h"
#include "support/RdsPacketizer.h"

// One station on the simulated band.
struct TSimStation {
  double FreqMHz = 87.0;
  int Level = 0;  // receiver level 0..15
  bool Stereo = false;
  std::vector<TRdsGroupLine> Groups;  // sent in a loop while tuned; empty = no RDS
  // Raw 11-bit MPX readings, one a packet in a loop while tuned; empty = the
  // device's own reading (SetMpxRaw).
  std::vector<uint16_t> Mpx{};
};

// The MPX calibration a scenario gives the device (its "calibration" line).
struct TSimMpxCalibration {
  double Offset = 0;
  double Scale = 1;
};

// A time a scenario's "unplug" line takes the device away: from AtMs after
// the scenario was loaded, for ForMs.
struct TSimUnplug {
  int64_t AtMs = 0;
  int64_t ForMs = 0;
};

// What the device reports in its type-4 packet.
struct TSimDeviceInfo {
  uint8_t Firmware = 0x02;  // major high nibble, minor low nibble
  uint8_t HardwareType = 1;
  uint8_t Id[4] = {0x12, 0x34, 0x56, 0x78};
  uint8_t Extra[2] = {0, 0};
  // Packet order: MPX offset, MPX scale, three further values.
  double Calibration[5] = {-16.0, 0.0625, 1.0, 0.0, 0.0};
};

// The configuration the host has set with its one-byte commands.
struct TSimConfig {
  uint8_t Mode = 0x00;         // 0x00 RDS, 0x01 RBDS
  uint8_t Input = 0x03;        // 0x02 MPX, 0x03 antenna
  int StopLevel = 0;           // 0..3
  int Spacing = 0;             // 0..2
  uint8_t Sensitivity = 0x17;  // 0x17 DX, 0x18 local
  bool Deemphasis = false;
  uint8_t ScanStep = 0x0C;     // 0x0B fine, 0x0C normal, 0x0D fast
  int EndConfigCount = 0;      // 0x08 received
  int ResetCount = 0;          // 0x09 received
};

// How the device answers an information request or a tune command.
enum class TSimAnswer {
  Normal,     // at once
  Late,       // after the given delay
  Never,      // not at all
  OtherWord,  // tune only: settles on another PLL word (after the delay)
};

enum class TSimRdsRate {
  RealTime,  // one block every ~21.9 ms, as on air
  Fastest,   // a new group whenever the host has read everything
};

class TSimReceiver final : public IUsbPipes {
 public:
  static constexpr double kBlockIntervalMs = 1000.0 * 26.0 / 1187.5;  // ~21.9 ms

  explicit TSimReceiver(IClock& clock);
  ~TSimReceiver() override;

  // ---- The four USB operations ----
  int OpenPipe(const std::string& deviceFilter, const std::string& pipeName, int direction) override;
  bool Read(int handle, uint8_t* buf, int len, int& count, int timeoutMs) override;
  bool Write(int handle, const uint8_t* buf, int len, int& count, int timeoutMs) override;
  void Close(int handle) override;

  // ---- Presence ----
  // Unplugging fails every open handle and loses unread packets; plugging in
  // again starts the device from power-up (nothing configured, at 87.0 MHz).
  void Plug();
  void Unplug();
  bool Plugged() const;

  // ---- Scripted packets (device bytes, no stamp), read in order ----
  void PushPacket(std::vector<uint8_t> packet);
  void PushPackets(const std::vector<std::vector<uint8_t>>& packets);
  // Packets waiting to be read (scripted and generated).
  size_t PendingPackets() const;
  // Packets handed out by successful reads so far.
  size_t PacketsRead() const;

  // ---- Command log: the bytes of every write the device received ----
  std::vector<std::vector<uint8_t>> Commands() const;
  // All received bytes in order.
  std::vector<uint8_t> CommandBytes() const;
  size_t CommandCount() const;
  // Waits (real time) until at least n writes were received.
  bool WaitForCommands(size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
  void ClearCommands();

  // ---- Faults ----
  void FailNextOpens(int n);                 // OpenPipe returns -1
  void FailNextWrites(int n);                // Write fails, nothing arrives
  void PartialNextWrites(int n, int bytes);  // Write succeeds with only `bytes` sent
  void EmptyNextReads(int n);                // Read succeeds with 0 bytes
  void ShortNextPackets(int n, int length);  // the next n packets are cut to `length`
  // Every write takes this long (real time) inside the device, so that
  // unserialised writers would overlap.
  void SetWriteLatency(std::chrono::microseconds latency);
  // Largest number of writes that were in the device at the same time.
  int MaxConcurrentWrites() const;

  // ---- Introspection ----
  int OpenHandles() const;   // handles open now
  int TotalOpens() const;    // successful OpenPipe calls so far
  int ReadsWaiting() const;  // reads blocked waiting for a packet
  // Close calls that found a read or write in flight on the handle (a
  // transport must only do that to cancel a read it is shutting down).
  int ClosesInFlight() const;
  // Waits (real time) until at least n reads are blocked waiting.
  bool WaitForReadsWaiting(int n, std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

  // ---- Device model ----
  void SetDeviceInfo(const TSimDeviceInfo& info);
  // Firmware 3, hardware type 2, NaN calibration, ID FE FE FE FE.
  void SetIncompatible();
  void SetInfoAnswer(TSimAnswer answer, int delayMs = 0);
  void SetTuneAnswer(TSimAnswer answer, int delayMs = 0, uint16_t otherWord = 0);
  void SetSeekDelayMs(int ms);          // default 300
  void SetStatusIntervalMs(int ms);     // default 100; 0 = no periodic status packets
  void SetScanPointIntervalMs(int ms);  // default 5
  void SetRdsRate(TSimRdsRate rate);
  void SetInjectionSide(bool highSide);  // default high side
  void SetMpxRaw(uint16_t raw);          // 11-bit MPX reading in types 1 and 2
  void SetPacketSize(int size);          // generated packets padded to this (default 64)

  void AddStation(const TSimStation& station);
  void ClearStations();
  std::vector<TSimStation> Stations() const;
  // Reads a scenario file; replaces the stations, the MPX calibration
  // (offset 0, scale 1 unless the file sets them) and the unplug times.
  // Throws std::runtime_error naming the file and line on a bad line.
  // One entry a line, blank lines and '#' comments ignored:
  //   station 98.5 level=9 stereo=1 rds=FILE mpx=RAW|FILE
  //   calibration offset=-16 scale=0.0625
  //   unplug at=12.0 for=3.0   (seconds after loading: unplugged, then back)
  void LoadScenario(const std::string& path);
  static std::vector<TSimStation> ParseScenario(const std::string& text, const std::string& baseDir,
                                                TSimMpxCalibration* calibration = nullptr,
                                                std::vector<TSimUnplug>* unplugs = nullptr);

  TSimConfig Config() const;
  uint16_t TunedWord() const;
  double TunedFreq() const;
  bool Streaming() const;
  bool Scanning() const;

  // PLL word of a frequency on the device's current injection side.
  uint16_t WordOf(double MHz) const;
  // The packets the device would send (device bytes, padded).
  std::vector<uint8_t> StatusPacket() const;
  std::vector<uint8_t> DeviceInfoPacket() const;
  std::vector<uint8_t> ScanPointPacket(uint16_t word) const;

 private:
  struct TPipe {
    int Direction = 0;
    int Generation = 0;  // plug generation it was opened in
    bool Closed = false;
    int InFlight = 0;
  };

  bool PipeUsable(const TPipe& p) const;
  std::shared_ptr<TPipe> FindLocked(int handle) const;
  int ReadPipesOpenLocked() const;
  void PowerUpLocked();
  void PlugLocked(bool plugged);
  // Unplugs and plugs in again as the scenario's unplug times say.
  void FollowUnplugsLocked(int64_t now);
  void ResyncLocked(int64_t now);
  void ProcessCommandLocked(const uint8_t* bytes, int len, int64_t now);
  void CommandLocked(uint8_t b, int64_t now);
  void GenerateDueLocked(int64_t now);
  // How long a waiting read sleeps before it looks again (ms).
  int64_t WaitSliceLocked(int64_t now, int64_t deadline) const;
  void RetunedLocked(int64_t at);
  void SeekLocked(int direction);
  const TSimStation* StationAtLocked(uint16_t word) const;
  int ScanLevelLocked(uint16_t word) const;
  void NextRdsBlockLocked();
  void EmitLocked(std::vector<uint8_t> packet);
  void EmitStatusLocked();
  std::vector<uint8_t> StatusBytesLocked() const;
  std::vector<uint8_t> DeviceInfoBytesLocked() const;
  std::vector<uint8_t> ScanPointBytesLocked(uint16_t word) const;
  std::vector<uint8_t> Padded(std::vector<uint8_t> p) const;
  void NextMpxLocked();
  uint8_t MpxHighLocked() const;
  double FreqOfWordExact(uint16_t word) const;

  IClock& clock_;
  mutable std::mutex mutex_;
  mutable std::condition_variable cv_;

  // USB side
  bool plugged_ = true;
  int generation_ = 0;
  std::map<int, std::shared_ptr<TPipe>> pipes_;
  int nextHandle_ = 1;
  int totalOpens_ = 0;
  int readsWaiting_ = 0;
  int closesInFlight_ = 0;
  std::deque<std::vector<uint8_t>> outbox_;
  size_t packetsRead_ = 0;
  std::vector<std::vector<uint8_t>> commands_;

  // faults
  int failOpens_ = 0, failWrites_ = 0, partialWrites_ = 0, partialBytes_ = 0;
  int emptyReads_ = 0, shortPackets_ = 0, shortLength_ = 0;
  std::chrono::microseconds writeLatency_{0};
  int writesInFlight_ = 0, maxWritesInFlight_ = 0;

  // device model settings
  TSimDeviceInfo info_;
  TSimAnswer infoAnswer_ = TSimAnswer::Normal;
  int infoDelayMs_ = 0;
  TSimAnswer tuneAnswer_ = TSimAnswer::Normal;
  int tuneDelayMs_ = 0;
  uint16_t tuneOtherWord_ = 0;
  int seekDelayMs_ = 300;
  int statusIntervalMs_ = 100;
  int scanPointIntervalMs_ = 5;
  TSimRdsRate rdsRate_ = TSimRdsRate::RealTime;
  bool highSide_ = true;
  uint16_t mpxRaw_ = 0;
  bool mpxToggle_ = false;
  uint16_t mpxSent_ = 0;  // the reading in the packets now sent
  size_t mpxPos_ = 0;     // next reading of the tuned station's list
  int packetSize_ = 64;
  std::vector<TSimStation> stations_;
  struct TPlannedUnplug {
    int64_t From = 0, To = 0;
    bool Out = false, Done = false;
  };
  std::vector<TPlannedUnplug> unplugs_;

  // device model state
  TSimConfig config_;
  bool streaming_ = true;
  uint16_t word_ = 0;
  std::optional<int64_t> infoDue_;
  std::optional<int64_t> tuneDue_;
  uint16_t tuneWord_ = 0;
  std::optional<int64_t> seekDue_;
  int seekDirection_ = 1;
  bool scanning_ = false;
  uint16_t scanWord_ = 0, scanEnd_ = 0;
  int64_t nextScanPoint_ = 0;
  int64_t nextStatus_ = 0;
  double nextBlock_ = 0;
  int stationIndex_ = -1;  // station tuned to, -1 none
  size_t groupPos_ = 0;
  std::deque<std::vector<uint8_t>> rdsPending_;  // blocks of the group being sent
  TRdsPacketizer packetizer_;
};
