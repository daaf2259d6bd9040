#pragma once
// Tuner test fixtures: a recording transport, a clock stepping the tuner
// thread from sleep to sleep, and a state recorder.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/DateTime.h"
#include "platform/UsbPipes.h"
#include "receiver/DeviceProtocol.h"
#include "receiver/Tuner.h"
#include "receiver/communication.h"
#include "receiver/shared.h"
#include "support/TestUIThread.h"

namespace tunertest {

using TBytes = std::vector<uint8_t>;

// RunFor advances fake time from one sleep of the tuner thread to the next,
// waiting (real time) until it has parked again.
class TSteppedClock final : public IClock {
 public:
  TDateTime Now() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return dt::AddMilliseconds(start_, nowMs_);
  }
  int64_t SteadyMs() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return nowMs_;
  }
  void SleepMs(int ms) override {
    std::unique_lock<std::mutex> lock(mutex_);
    ++sleeps_;
    sleeping_ = true;
    deadline_ = nowMs_ + std::max(ms, 0);
    cv_.notify_all();
    cv_.wait(lock, [&] { return nowMs_ >= deadline_ || released_; });
    sleeping_ = false;
    cv_.notify_all();
  }

  // False when the thread did not park in time.
  bool RunFor(int64_t ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    const int64_t end = nowMs_ + ms;
    for (;;) {
      if (!cv_.wait_for(lock, kPatience, [&] { return sleeping_ || released_; })) return false;
      if (released_) return true;
      if (deadline_ > end) {
        nowMs_ = end;
        return true;
      }
      const uint64_t before = sleeps_;
      nowMs_ = deadline_;
      cv_.notify_all();
      if (!cv_.wait_for(lock, kPatience, [&] { return (sleeps_ > before && sleeping_) || released_; }))
        return false;
    }
  }
  // Waits until the thread is parked (after the test changed something).
  bool Settle() { return RunFor(0); }
  // Lets the thread go for good (tear-down).
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    cv_.notify_all();
  }

 private:
  static constexpr std::chrono::seconds kPatience{10};
  const TDateTime start_ = dt::EncodeDate(2026, 1, 1) + dt::EncodeTime(12, 0, 0, 0);
  std::mutex mutex_;
  std::condition_variable cv_;
  int64_t nowMs_ = 1000000;
  int64_t deadline_ = 0;
  bool sleeping_ = false;
  bool released_ = false;
  uint64_t sleeps_ = 0;
};

// A transport without a device: writes are recorded; packets and statuses
// reach the handlers on the UI thread.
class TFakeCom final : public TCom {
 public:
  TFakeCom(TMainThreadInvoker& ui, IClock& clock) : TCom(ui, clock), ui_(ui), clock_(clock) {}
  ~TFakeCom() override { StopDelivery(); }

  bool Write(const uint8_t* Buffer, int High) override {
    if (!connected_ || High < 0) return false;
    TBytes bytes(Buffer, Buffer + High + 1);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      commands_.push_back(bytes);
    }
    if (OnWrite) OnWrite(bytes);
    return true;
  }
  void Send(const uint8_t* Buffer, int High) override { Write(Buffer, High); }
  bool IsConnected() override { return connected_.load(); }
  bool Connect() override { return connected_.load(); }
  void ClearBuffer() override {
    ++clears_;
    if (OnClear) OnClear();
  }

  void SetConnected(bool on) { connected_ = on; }
  int Clears() const { return clears_.load(); }
  std::vector<TBytes> CommandBytes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
  }
  void ClearCommands() {
    std::lock_guard<std::mutex> lock(mutex_);
    commands_.clear();
  }

  // Hands device bytes (a stamp is appended) to the data handlers, on the UI thread.
  void Deliver(const TBytes& device) {
    TArray packet = device;
    packet.resize(device.size() + kStampSize);
    dt::StampToBytes(clock_.Now(), packet.data() + device.size());
    ui_.Synchronize([&] { DeliverPacketToHandlers(packet); });
  }
  void DeliverStatus(TStatus status) {
    ui_.Synchronize([&] { DeliverStatusToHandlers(status); });
  }

  // Event injection after each write / in ClearBuffer; set only while the tuner parks.
  std::function<void(const TBytes&)> OnWrite;
  std::function<void()> OnClear;

 protected:
  void Execute() override {}

 private:
  TMainThreadInvoker& ui_;
  IClock& clock_;
  mutable std::mutex mutex_;
  std::vector<TBytes> commands_;
  std::atomic<bool> connected_{false};
  std::atomic<int> clears_{0};
};

// USB pipes passed through to a device, noting the fake time of every command.
class TStampedPipes final : public IUsbPipes {
 public:
  TStampedPipes(IUsbPipes& device, IClock& clock) : device_(device), clock_(clock) {}
  int OpenPipe(const std::string& f, const std::string& n, int d) override { return device_.OpenPipe(f, n, d); }
  bool Read(int h, uint8_t* b, int len, int& count, int t) override { return device_.Read(h, b, len, count, t); }
  bool Write(int h, const uint8_t* b, int len, int& count, int t) override {
    const bool ok = device_.Write(h, b, len, count, t);
    std::lock_guard<std::mutex> lock(mutex_);
    if (ok && count > 0) log_.push_back({TBytes(b, b + count), clock_.SteadyMs()});
    return ok;
  }
  void Close(int h) override { device_.Close(h); }

  std::vector<TBytes> Commands() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<TBytes> out;
    for (auto& [bytes, at] : log_) out.push_back(bytes);
    return out;
  }
  // Intervals between the writes that start with this byte.
  std::vector<int64_t> GapsOf(uint8_t first) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<int64_t> at, gaps;
    for (auto& [bytes, t] : log_)
      if (bytes[0] == first) at.push_back(t);
    for (size_t i = 1; i < at.size(); ++i) gaps.push_back(at[i] - at[i - 1]);
    return gaps;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.clear();
  }

 private:
  IUsbPipes& device_;
  IClock& clock_;
  mutable std::mutex mutex_;
  std::vector<std::pair<TBytes, int64_t>> log_;
};

// Records every state on the UI thread, reading the tuner there too (which
// needs the tuner's lock).
class TStateRecorder {
 public:
  explicit TStateRecorder(const TTuner* tuner = nullptr) : tuner_(tuner) {}
  void OnState(TTunerState s) {
    if (tuner_) (void)tuner_->CurrentFreq();
    std::lock_guard<std::mutex> lock(mutex_);
    states_.push_back(s);
  }
  // Consecutive repeats folded into one.
  std::vector<int> Trace() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<int> out;
    for (int s : states_)
      if (out.empty() || out.back() != s) out.push_back(s);
    return out;
  }
  size_t Count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return states_.size();
  }
  size_t CountOf(TTunerState s) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<size_t>(std::count(states_.begin(), states_.end(), s));
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    states_.clear();
  }

 private:
  const TTuner* tuner_;
  mutable std::mutex mutex_;
  std::vector<TTunerState> states_;
};

// ---- device packets ----

inline TBytes StatusPacket(double MHz, int level, bool stereoBit, bool highSide = true) {
  TBytes p(12, 0);
  const uint16_t word = FreqToPLLWord(highSide, MHz);
  p[0] = proto::ptStatus;
  p[1] = highSide ? 0x10 : 0x00;
  p[2] = static_cast<uint8_t>(word >> 8);
  p[3] = static_cast<uint8_t>(word & 0xFF);
  p[5] = static_cast<uint8_t>(level << 4 | (stereoBit ? 0x04 : 0));
  return p;
}

inline TBytes RdsPacket(double MHz, int level, bool stereoBit, bool highSide = true) {
  TBytes p(12, 0);
  const uint16_t word = FreqToPLLWord(highSide, MHz);
  p[0] = proto::ptRDS;
  p[7] = static_cast<uint8_t>(word >> 8);
  p[8] = static_cast<uint8_t>(word & 0xFF);
  p[9] = static_cast<uint8_t>(level << 4 | (stereoBit ? 0x04 : 0) | (highSide ? 0x01 : 0));
  return p;
}

struct TInfo {
  uint8_t Firmware = 0x02;
  uint8_t Hardware = 1;
  uint8_t Id[4] = {0x12, 0x34, 0x56, 0x78};
  uint8_t Extra[2] = {0xA1, 0xB2};
  double Offset = -16.0, Scale = 0.0625;
  double More[3] = {1.5, 2.5, 3.5};
};

inline TBytes InfoPacket(const TInfo& i) {
  TBytes p(64, 0);
  p[0] = proto::ptDeviceInfo;
  p[1] = i.Firmware;
  p[2] = i.Hardware;
  std::memcpy(&p[3], i.Id, 4);
  std::memcpy(&p[7], i.Extra, 2);
  proto::PutDouble(&p[9], i.Offset);
  proto::PutDouble(&p[17], i.Scale);
  for (int k = 0; k < 3; ++k) proto::PutDouble(&p[25 + 8 * k], i.More[k]);
  return p;
}

inline TBytes TuneCommand(double MHz) {
  const uint16_t w = FreqToPLLWord(true, MHz);
  return {proto::cmdTune, static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(w & 0xFF)};
}

}  // namespace tunertest
