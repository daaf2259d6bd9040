#include "support/SimReceiver.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "receiver/DeviceProtocol.h"
#include "receiver/shared.h"

namespace {

constexpr int64_t kWaitSliceMs = 2;  // poll of a fake clock while a read waits
constexpr int64_t kRealTimeWaitMaxMs = 50;

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

}  // namespace

TSimReceiver::TSimReceiver(IClock& clock) : clock_(clock) {
  std::lock_guard<std::mutex> lock(mutex_);
  PowerUpLocked();
}

TSimReceiver::~TSimReceiver() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (auto& [h, p] : pipes_) p->Closed = true;
  cv_.notify_all();
  cv_.wait(lock, [&] {
    for (auto& [h, p] : pipes_)
      if (p->InFlight > 0) return false;
    return writesInFlight_ == 0;
  });
}

// ------------------------------------------------------------ USB operations

bool TSimReceiver::PipeUsable(const TPipe& p) const {
  return plugged_ && !p.Closed && p.Generation == generation_;
}

std::shared_ptr<TSimReceiver::TPipe> TSimReceiver::FindLocked(int handle) const {
  auto it = pipes_.find(handle);
  return it == pipes_.end() ? nullptr : it->second;
}

int TSimReceiver::ReadPipesOpenLocked() const {
  int n = 0;
  for (auto& [h, p] : pipes_)
    if (p->Direction == kPipeRead && PipeUsable(*p)) ++n;
  return n;
}

int TSimReceiver::OpenPipe(const std::string& deviceFilter, const std::string& pipeName, int direction) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (Lower(deviceFilter) != kReceiverDeviceFilter || Lower(pipeName) != Lower(kReceiverPipeName)) return -1;
  if (direction != kPipeWrite && direction != kPipeRead) return -1;
  FollowUnplugsLocked(clock_.SteadyMs());
  if (!plugged_) return -1;
  if (failOpens_ > 0) {
    --failOpens_;
    return -1;
  }
  if (direction == kPipeRead && ReadPipesOpenLocked() == 0) ResyncLocked(clock_.SteadyMs());
  auto pipe = std::make_shared<TPipe>();
  pipe->Direction = direction;
  pipe->Generation = generation_;
  const int handle = nextHandle_++;
  pipes_[handle] = pipe;
  ++totalOpens_;
  return handle;
}

bool TSimReceiver::Read(int handle, uint8_t* buf, int len, int& count, int timeoutMs) {
  count = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  std::shared_ptr<TPipe> pipe = FindLocked(handle);
  if (!pipe || pipe->Direction != kPipeRead || !buf || len <= 0) return false;
  ++pipe->InFlight;
  const int64_t start = clock_.SteadyMs();
  bool ok = false;
  for (;;) {
    FollowUnplugsLocked(clock_.SteadyMs());
    if (!PipeUsable(*pipe)) break;
    if (emptyReads_ > 0) {
      --emptyReads_;
      ok = true;
      break;
    }
    const int64_t now = clock_.SteadyMs();
    GenerateDueLocked(now);
    if (outbox_.empty() && rdsRate_ == TSimRdsRate::Fastest && streaming_ && !scanning_) {
      NextRdsBlockLocked();
    }
    if (!outbox_.empty()) {
      std::vector<uint8_t> p = std::move(outbox_.front());
      outbox_.pop_front();
      int n = static_cast<int>(p.size());
      if (shortPackets_ > 0) {
        --shortPackets_;
        n = std::min(n, shortLength_);
      }
      n = std::min(n, len);
      std::copy(p.begin(), p.begin() + n, buf);
      count = n;
      ++packetsRead_;
      ok = true;
      break;
    }
    if (now - start >= timeoutMs) break;
    ++readsWaiting_;
    cv_.notify_all();
    cv_.wait_for(lock, std::chrono::milliseconds(WaitSliceLocked(now, start + timeoutMs)));
    --readsWaiting_;
  }
  --pipe->InFlight;
  cv_.notify_all();
  return ok;
}

bool TSimReceiver::Write(int handle, const uint8_t* buf, int len, int& count, int timeoutMs) {
  count = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  FollowUnplugsLocked(clock_.SteadyMs());
  std::shared_ptr<TPipe> pipe = FindLocked(handle);
  if (!pipe || pipe->Direction != kPipeWrite || !PipeUsable(*pipe) || !buf || len <= 0) return false;
  if (failWrites_ > 0) {
    --failWrites_;
    return false;
  }
  ++pipe->InFlight;
  ++writesInFlight_;
  maxWritesInFlight_ = std::max(maxWritesInFlight_, writesInFlight_);
  if (writeLatency_.count() > 0) {
    lock.unlock();
    std::this_thread::sleep_for(writeLatency_);
    lock.lock();
  }
  --writesInFlight_;
  --pipe->InFlight;
  cv_.notify_all();
  if (!PipeUsable(*pipe)) return false;
  int n = len;
  if (partialWrites_ > 0) {
    --partialWrites_;
    n = std::clamp(partialBytes_, 0, len);
  }
  count = n;
  if (n > 0) {
    commands_.emplace_back(buf, buf + n);
    cv_.notify_all();
    // A command cut short never reaches the device's command parser whole.
    if (n == len) ProcessCommandLocked(buf, n, clock_.SteadyMs());
  }
  return true;
}

void TSimReceiver::Close(int handle) {
  std::unique_lock<std::mutex> lock(mutex_);
  std::shared_ptr<TPipe> pipe = FindLocked(handle);
  if (!pipe) return;
  if (pipe->InFlight > 0) ++closesInFlight_;
  pipe->Closed = true;
  cv_.notify_all();
  // Cancels a read in flight and waits until it has returned.
  cv_.wait(lock, [&] { return pipe->InFlight == 0; });
  pipes_.erase(handle);
}

// ------------------------------------------------------------ presence

void TSimReceiver::Plug() {
  std::lock_guard<std::mutex> lock(mutex_);
  PlugLocked(true);
}

void TSimReceiver::Unplug() {
  std::lock_guard<std::mutex> lock(mutex_);
  PlugLocked(false);
}

void TSimReceiver::PlugLocked(bool plugged) {
  if (plugged_ == plugged) return;
  plugged_ = plugged;
  if (plugged) {
    PowerUpLocked();
  } else {
    ++generation_;  // every handle opened so far is dead
    outbox_.clear();
  }
  cv_.notify_all();
}

void TSimReceiver::FollowUnplugsLocked(int64_t now) {
  for (TPlannedUnplug& u : unplugs_) {
    if (!u.Done && !u.Out && now >= u.From) {
      u.Out = true;
      PlugLocked(false);
    }
    if (u.Out && now >= u.To) {
      u.Out = false;
      u.Done = true;
      PlugLocked(true);
    }
  }
}

bool TSimReceiver::Plugged() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return plugged_;
}

// ------------------------------------------------------------ scripted packets

void TSimReceiver::PushPacket(std::vector<uint8_t> packet) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    outbox_.push_back(std::move(packet));
  }
  cv_.notify_all();
}

void TSimReceiver::PushPackets(const std::vector<std::vector<uint8_t>>& packets) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& p : packets) outbox_.push_back(p);
  }
  cv_.notify_all();
}

size_t TSimReceiver::PendingPackets() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return outbox_.size();
}

size_t TSimReceiver::PacketsRead() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return packetsRead_;
}

// ------------------------------------------------------------ command log

std::vector<std::vector<uint8_t>> TSimReceiver::Commands() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return commands_;
}

std::vector<uint8_t> TSimReceiver::CommandBytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<uint8_t> all;
  for (const auto& c : commands_) all.insert(all.end(), c.begin(), c.end());
  return all;
}

size_t TSimReceiver::CommandCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return commands_.size();
}

bool TSimReceiver::WaitForCommands(size_t n, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_for(lock, timeout, [&] { return commands_.size() >= n; });
}

void TSimReceiver::ClearCommands() {
  std::lock_guard<std::mutex> lock(mutex_);
  commands_.clear();
}

// ------------------------------------------------------------ faults

void TSimReceiver::FailNextOpens(int n) {
  std::lock_guard<std::mutex> lock(mutex_);
  failOpens_ = n;
}

void TSimReceiver::FailNextWrites(int n) {
  std::lock_guard<std::mutex> lock(mutex_);
  failWrites_ = n;
}

void TSimReceiver::PartialNextWrites(int n, int bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  partialWrites_ = n;
  partialBytes_ = bytes;
}

void TSimReceiver::EmptyNextReads(int n) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    emptyReads_ = n;
  }
  cv_.notify_all();
}

void TSimReceiver::ShortNextPackets(int n, int length) {
  std::lock_guard<std::mutex> lock(mutex_);
  shortPackets_ = n;
  shortLength_ = length;
}

void TSimReceiver::SetWriteLatency(std::chrono::microseconds latency) {
  std::lock_guard<std::mutex> lock(mutex_);
  writeLatency_ = latency;
}

int TSimReceiver::MaxConcurrentWrites() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return maxWritesInFlight_;
}

int TSimReceiver::OpenHandles() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(pipes_.size());
}

int TSimReceiver::TotalOpens() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return totalOpens_;
}

int TSimReceiver::ClosesInFlight() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return closesInFlight_;
}

int TSimReceiver::ReadsWaiting() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return readsWaiting_;
}

bool TSimReceiver::WaitForReadsWaiting(int n, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_for(lock, timeout, [&] { return readsWaiting_ >= n; });
}

// ------------------------------------------------------------ settings

void TSimReceiver::SetDeviceInfo(const TSimDeviceInfo& info) {
  std::lock_guard<std::mutex> lock(mutex_);
  info_ = info;
}

void TSimReceiver::SetIncompatible() {
  TSimDeviceInfo info;
  info.Firmware = 0x03;
  info.HardwareType = 2;
  for (uint8_t& b : info.Id) b = 0xFE;
  info.Calibration[0] = std::numeric_limits<double>::quiet_NaN();
  info.Calibration[1] = std::numeric_limits<double>::quiet_NaN();
  SetDeviceInfo(info);
}

void TSimReceiver::SetInfoAnswer(TSimAnswer answer, int delayMs) {
  std::lock_guard<std::mutex> lock(mutex_);
  infoAnswer_ = answer;
  infoDelayMs_ = delayMs;
}

void TSimReceiver::SetTuneAnswer(TSimAnswer answer, int delayMs, uint16_t otherWord) {
  std::lock_guard<std::mutex> lock(mutex_);
  tuneAnswer_ = answer;
  tuneDelayMs_ = delayMs;
  tuneOtherWord_ = otherWord;
}

void TSimReceiver::SetSeekDelayMs(int ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  seekDelayMs_ = ms;
}

void TSimReceiver::SetStatusIntervalMs(int ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  statusIntervalMs_ = std::max(ms, 0);
  nextStatus_ = clock_.SteadyMs() + statusIntervalMs_;
}

void TSimReceiver::SetScanPointIntervalMs(int ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  scanPointIntervalMs_ = std::max(ms, 0);
}

void TSimReceiver::SetRdsRate(TSimRdsRate rate) {
  std::lock_guard<std::mutex> lock(mutex_);
  rdsRate_ = rate;
  nextBlock_ = static_cast<double>(clock_.SteadyMs()) + kBlockIntervalMs;
}

void TSimReceiver::SetInjectionSide(bool highSide) {
  std::lock_guard<std::mutex> lock(mutex_);
  highSide_ = highSide;
}

void TSimReceiver::SetMpxRaw(uint16_t raw) {
  std::lock_guard<std::mutex> lock(mutex_);
  mpxRaw_ = raw & 0x07FF;
}

void TSimReceiver::SetPacketSize(int size) {
  std::lock_guard<std::mutex> lock(mutex_);
  packetSize_ = std::clamp(size, 1, 64);
}

void TSimReceiver::AddStation(const TSimStation& station) {
  std::lock_guard<std::mutex> lock(mutex_);
  stations_.push_back(station);
  RetunedLocked(clock_.SteadyMs());
}

void TSimReceiver::ClearStations() {
  std::lock_guard<std::mutex> lock(mutex_);
  stations_.clear();
  RetunedLocked(clock_.SteadyMs());
}

std::vector<TSimStation> TSimReceiver::Stations() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stations_;
}

namespace {

// A raw 11-bit MPX reading: digits only, 0..2047.
bool ParseMpxRaw(const std::string& text, uint16_t& raw) {
  if (text.empty() || text.size() > 4 || !std::all_of(text.begin(), text.end(), ::isdigit)) return false;
  const int v = std::stoi(text);
  raw = static_cast<uint16_t>(v);
  return v <= 0x07FF;
}

// A file of MPX readings: one a line, blank lines and '#' comments ignored.
std::vector<uint16_t> LoadMpxFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) throw std::runtime_error("cannot read MPX file " + path);
  std::vector<uint16_t> readings;
  std::string line;
  for (int lineNo = 1; std::getline(f, line); ++lineNo) {
    std::istringstream fields(line);
    std::string word;
    if (!(fields >> word) || word[0] == '#') continue;
    uint16_t raw = 0;
    if (!ParseMpxRaw(word, raw))
      throw std::runtime_error(path + " line " + std::to_string(lineNo) + ": bad MPX reading \"" + word +
                               "\" (0..2047)");
    readings.push_back(raw);
  }
  if (readings.empty()) throw std::runtime_error(path + ": no MPX readings");
  return readings;
}

// A finite number, the whole text.
bool ParseNumber(const std::string& text, double& value) {
  size_t used = 0;
  try {
    value = std::stod(text, &used);
  } catch (...) {
    return false;
  }
  return used == text.size() && std::isfinite(value);
}

}  // namespace

std::vector<TSimStation> TSimReceiver::ParseScenario(const std::string& text, const std::string& baseDir,
                                                     TSimMpxCalibration* calibration,
                                                     std::vector<TSimUnplug>* unplugs) {
  std::vector<TSimStation> stations;
  if (calibration) *calibration = {};
  if (unplugs) unplugs->clear();
  std::istringstream in(text);
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    auto fail = [&](const std::string& why) {
      throw std::runtime_error("scenario line " + std::to_string(lineNo) + ": " + why);
    };
    std::istringstream fields(line);
    std::string word;
    if (!(fields >> word) || word[0] == '#') continue;
    if (word == "calibration") {
      // The device's MPX calibration: offset=... scale=...
      TSimMpxCalibration cal;
      std::string kv;
      while (fields >> kv && kv[0] != '#') {
        const size_t eq = kv.find('=');
        const std::string key = kv.substr(0, eq), value = eq == std::string::npos ? "" : kv.substr(eq + 1);
        double* field = key == "offset" ? &cal.Offset : key == "scale" ? &cal.Scale : nullptr;
        if (!field) fail("unknown calibration key \"" + kv + "\"");
        if (!ParseNumber(value, *field)) fail("bad calibration " + key + " \"" + value + "\"");
      }
      if (calibration) *calibration = cal;
      continue;
    }
    if (word == "unplug") {
      // at=SECONDS for=SECONDS: both, at from 0 on, for above 0.
      double at = -1, length = -1;
      std::string kv;
      while (fields >> kv && kv[0] != '#') {
        const size_t eq = kv.find('=');
        const std::string key = kv.substr(0, eq), value = eq == std::string::npos ? "" : kv.substr(eq + 1);
        double* field = key == "at" ? &at : key == "for" ? &length : nullptr;
        if (!field) fail("unknown unplug key \"" + kv + "\"");
        if (!ParseNumber(value, *field) || *field < 0) fail("bad unplug " + key + " \"" + value + "\"");
      }
      if (at < 0 || length <= 0) fail("unplug needs at=SECONDS and for=SECONDS above 0");
      if (unplugs) unplugs->push_back({std::llround(at * 1000), std::llround(length * 1000)});
      continue;
    }
    if (word != "station") fail("expected \"station\", got \"" + word + "\"");
    TSimStation st;
    std::string freq;
    if (!(fields >> freq)) fail("station without a frequency");
    size_t used = 0;
    try {
      st.FreqMHz = std::stod(freq, &used);
    } catch (...) {
      used = 0;
    }
    if (used != freq.size() || !(st.FreqMHz >= kBandLowMHz && st.FreqMHz <= kBandHighMHz))
      fail("bad frequency \"" + freq + "\" (87.0..108.0 MHz)");
    std::string kv;
    while (fields >> kv) {
      if (kv[0] == '#') break;
      const size_t eq = kv.find('=');
      if (eq == std::string::npos) fail("expected key=value, got \"" + kv + "\"");
      const std::string key = kv.substr(0, eq), value = kv.substr(eq + 1);
      if (key == "level") {
        if (value.empty() || value.size() > 2 || !std::all_of(value.begin(), value.end(), ::isdigit) ||
            std::stoi(value) > 15)
          fail("bad level \"" + value + "\" (0..15)");
        st.Level = std::stoi(value);
      } else if (key == "stereo") {
        if (value != "0" && value != "1") fail("bad stereo \"" + value + "\" (0 or 1)");
        st.Stereo = value == "1";
      } else if (key == "rds") {
        if (value.empty()) fail("rds without a file name");
        const std::filesystem::path p = std::filesystem::path(baseDir) / value;
        try {
          st.Groups = LoadGroupFile(p.string());
        } catch (const std::runtime_error& e) {
          fail(e.what());
        }
      } else if (key == "mpx") {
        // A constant raw reading, or a file of readings played in a loop.
        uint16_t raw = 0;
        if (ParseMpxRaw(value, raw)) {
          st.Mpx = {raw};
        } else if (!value.empty() && std::all_of(value.begin(), value.end(), ::isdigit)) {
          fail("bad mpx \"" + value + "\" (0..2047)");
        } else {
          if (value.empty()) fail("mpx without a reading or a file name");
          try {
            st.Mpx = LoadMpxFile((std::filesystem::path(baseDir) / value).string());
          } catch (const std::runtime_error& e) {
            fail(e.what());
          }
        }
      } else {
        fail("unknown key \"" + key + "\"");
      }
    }
    stations.push_back(st);
  }
  return stations;
}

void TSimReceiver::LoadScenario(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) throw std::runtime_error("cannot read scenario file " + path);
  std::ostringstream ss;
  ss << f.rdbuf();
  std::vector<TSimStation> stations;
  TSimMpxCalibration cal;
  std::vector<TSimUnplug> unplugs;
  try {
    stations = ParseScenario(ss.str(), std::filesystem::path(path).parent_path().string(), &cal, &unplugs);
  } catch (const std::runtime_error& e) {
    throw std::runtime_error(path + ": " + e.what());
  }
  std::lock_guard<std::mutex> lock(mutex_);
  stations_ = std::move(stations);
  const int64_t now = clock_.SteadyMs();
  unplugs_.clear();
  for (const TSimUnplug& u : unplugs) unplugs_.push_back({now + u.AtMs, now + u.AtMs + u.ForMs});
  info_.Calibration[0] = cal.Offset;
  info_.Calibration[1] = cal.Scale;
  RetunedLocked(clock_.SteadyMs());
}

TSimConfig TSimReceiver::Config() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return config_;
}

uint16_t TSimReceiver::TunedWord() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return word_;
}

double TSimReceiver::TunedFreq() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return PLLWordToFreq(word_, highSide_);
}

bool TSimReceiver::Streaming() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return streaming_;
}

bool TSimReceiver::Scanning() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return scanning_;
}

uint16_t TSimReceiver::WordOf(double MHz) const { return FreqToPLLWord(highSide_, MHz); }

std::vector<uint8_t> TSimReceiver::StatusPacket() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return Padded(StatusBytesLocked());
}

std::vector<uint8_t> TSimReceiver::DeviceInfoPacket() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return Padded(DeviceInfoBytesLocked());
}

std::vector<uint8_t> TSimReceiver::ScanPointPacket(uint16_t word) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return Padded(ScanPointBytesLocked(word));
}

// ------------------------------------------------------------ device model

void TSimReceiver::PowerUpLocked() {
  config_ = TSimConfig();
  streaming_ = true;
  word_ = FreqToPLLWord(highSide_, kBandLowMHz);
  infoDue_.reset();
  tuneDue_.reset();
  seekDue_.reset();
  scanning_ = false;
  const int64_t now = clock_.SteadyMs();
  RetunedLocked(now);
  ResyncLocked(now);
}

void TSimReceiver::ResyncLocked(int64_t now) {
  // The device sends only while the host polls: periodic output restarts
  // from now instead of catching up on the time nobody was reading.
  nextStatus_ = now;
  nextBlock_ = static_cast<double>(now) + kBlockIntervalMs;
  nextScanPoint_ = now;
}

std::vector<uint8_t> TSimReceiver::Padded(std::vector<uint8_t> p) const {
  if (static_cast<int>(p.size()) < packetSize_) p.resize(static_cast<size_t>(packetSize_), 0);
  return p;
}

void TSimReceiver::EmitLocked(std::vector<uint8_t> packet) {
  outbox_.push_back(Padded(std::move(packet)));
  cv_.notify_all();
}

void TSimReceiver::NextMpxLocked() {
  // Every reading the device sends flips the MPX toggle: a new reading.
  mpxToggle_ = !mpxToggle_;
  const TSimStation* st =
      stationIndex_ >= 0 && stationIndex_ < static_cast<int>(stations_.size()) ? &stations_[stationIndex_] : nullptr;
  mpxSent_ = st && !st->Mpx.empty() ? st->Mpx[mpxPos_++ % st->Mpx.size()] : mpxRaw_;
}

uint8_t TSimReceiver::MpxHighLocked() const {
  return static_cast<uint8_t>((mpxToggle_ ? 0x80 : 0x00) | ((mpxSent_ >> 8) & 0x07));
}

std::vector<uint8_t> TSimReceiver::StatusBytesLocked() const {
  const TSimStation* st = StationAtLocked(word_);
  const int level = st ? st->Level : 0;
  const bool stereo = st && st->Stereo;
  std::vector<uint8_t> p(12, 0);
  p[0] = proto::ptStatus;
  p[1] = highSide_ ? 0x10 : 0x00;
  p[2] = static_cast<uint8_t>((word_ >> 8) & 0x3F);
  p[3] = static_cast<uint8_t>(word_ & 0xFF);
  p[5] = static_cast<uint8_t>((level << 4) | (stereo ? 0x04 : 0x00));
  p[10] = MpxHighLocked();
  p[11] = static_cast<uint8_t>(mpxSent_ & 0xFF);
  return p;
}

std::vector<uint8_t> TSimReceiver::DeviceInfoBytesLocked() const {
  std::vector<uint8_t> p(49, 0);
  p[0] = proto::ptDeviceInfo;
  p[1] = info_.Firmware;
  p[2] = info_.HardwareType;
  for (int i = 0; i < 4; ++i) p[3 + i] = info_.Id[i];
  p[7] = info_.Extra[0];
  p[8] = info_.Extra[1];
  for (int i = 0; i < 5; ++i) proto::PutDouble(p.data() + 9 + 8 * i, info_.Calibration[i]);
  return p;
}

std::vector<uint8_t> TSimReceiver::ScanPointBytesLocked(uint16_t word) const {
  std::vector<uint8_t> p(6, 0);
  p[0] = proto::ptScanPoint;
  p[2] = static_cast<uint8_t>((word >> 8) & 0x3F);
  p[3] = static_cast<uint8_t>(word & 0xFF);
  p[5] = static_cast<uint8_t>(ScanLevelLocked(word) << 4);
  return p;
}

void TSimReceiver::EmitStatusLocked() {
  NextMpxLocked();
  EmitLocked(StatusBytesLocked());
}

double TSimReceiver::FreqOfWordExact(uint16_t word) const {
  return (word * 8192.0 + (highSide_ ? -225000.0 : 225000.0)) / 1e6;
}

const TSimStation* TSimReceiver::StationAtLocked(uint16_t word) const {
  const int channel = FreqToChannelIndex(PLLWordToFreq(word, highSide_));
  for (const TSimStation& st : stations_)
    if (FreqToChannelIndex(st.FreqMHz) == channel) return &st;
  return nullptr;
}

int TSimReceiver::ScanLevelLocked(uint16_t word) const {
  // A station is heard fully on its channel and fades out over 150 kHz.
  const double f = FreqOfWordExact(word);
  double best = 0;
  for (const TSimStation& st : stations_) {
    const double weight = 1.0 - std::fabs(f - st.FreqMHz) / 0.15;
    if (weight > 0) best = std::max(best, st.Level * weight);
  }
  return std::clamp(static_cast<int>(std::nearbyint(best)), 0, 15);
}

void TSimReceiver::RetunedLocked(int64_t at) {
  const TSimStation* st = StationAtLocked(word_);
  stationIndex_ = st ? static_cast<int>(st - stations_.data()) : -1;
  groupPos_ = 0;
  mpxPos_ = 0;
  rdsPending_.clear();
  packetizer_.Restart();
  nextBlock_ = static_cast<double>(at) + kBlockIntervalMs;
}

void TSimReceiver::NextRdsBlockLocked() {
  if (stationIndex_ < 0 || stationIndex_ >= static_cast<int>(stations_.size())) return;
  const TSimStation& st = stations_[static_cast<size_t>(stationIndex_)];
  if (st.Groups.empty()) return;
  if (rdsPending_.empty()) {
    const uint8_t b9 = static_cast<uint8_t>((highSide_ ? 0x01 : 0x00) | (st.Stereo ? 0x04 : 0x00) |
                                            (st.Level << 4));
    packetizer_.SetTunerBytes(static_cast<uint8_t>((word_ >> 8) & 0x3F), static_cast<uint8_t>(word_ & 0xFF),
                              b9);
    std::vector<std::vector<uint8_t>> group;
    packetizer_.AddGroup(st.Groups[groupPos_ % st.Groups.size()], group);
    ++groupPos_;
    for (auto& p : group) rdsPending_.push_back(std::move(p));
  }
  std::vector<uint8_t> p = std::move(rdsPending_.front());
  rdsPending_.pop_front();
  // The MPX reading is the device's own, fresh in every packet.
  NextMpxLocked();
  p[10] = MpxHighLocked();
  p[11] = static_cast<uint8_t>(mpxSent_ & 0xFF);
  EmitLocked(std::move(p));
}

void TSimReceiver::SeekLocked(int direction) {
  const int here = FreqToChannelIndex(PLLWordToFreq(word_, highSide_));
  const TSimStation* best = nullptr;
  int bestDistance = 0;
  for (const TSimStation& st : stations_) {
    const int ch = FreqToChannelIndex(st.FreqMHz);
    // Distance in the seek direction, wrapping around the band.
    int d = direction > 0 ? ch - here : here - ch;
    if (d <= 0) d += kChannelCount;
    if (d >= kChannelCount) continue;  // the station we are on
    if (!best || d < bestDistance) {
      best = &st;
      bestDistance = d;
    }
  }
  if (!best) return;
  word_ = FreqToPLLWord(highSide_, best->FreqMHz);
}

int64_t TSimReceiver::WaitSliceLocked(int64_t now, int64_t deadline) const {
  // A fake clock moves when its test says: its time is polled.
  if (&clock_ != &SystemClock()) return kWaitSliceMs;
  // In real time the read sleeps until the device has something to send, as
  // a real read does (polling would count as the program's cost in the
  // benchmarks). Anything else that changes the device notifies.
  double next = static_cast<double>(std::min(deadline, now + kRealTimeWaitMaxMs));
  auto consider = [&](bool active, double at) {
    if (active) next = std::min(next, at);
  };
  const bool live = streaming_ && !scanning_;
  consider(infoDue_.has_value(), infoDue_ ? static_cast<double>(*infoDue_) : 0);
  consider(tuneDue_.has_value(), tuneDue_ ? static_cast<double>(*tuneDue_) : 0);
  consider(seekDue_.has_value(), seekDue_ ? static_cast<double>(*seekDue_) : 0);
  consider(scanning_, static_cast<double>(nextScanPoint_));
  consider(live && statusIntervalMs_ > 0, static_cast<double>(nextStatus_));
  consider(live && rdsRate_ == TSimRdsRate::RealTime && stationIndex_ >= 0, nextBlock_);
  for (const TPlannedUnplug& u : unplugs_) consider(!u.Done, static_cast<double>(u.Out ? u.To : u.From));
  return std::max<int64_t>(1, static_cast<int64_t>(std::ceil(next - static_cast<double>(now))));
}

void TSimReceiver::GenerateDueLocked(int64_t now) {
  for (;;) {
    enum { None, Info, Tune, Seek, Scan, Status, Block } kind = None;
    double due = 0;
    auto consider = [&](bool active, double at, decltype(kind) k) {
      if (active && at <= static_cast<double>(now) && (kind == None || at < due)) {
        kind = k;
        due = at;
      }
    };
    const bool live = streaming_ && !scanning_;
    consider(infoDue_.has_value(), infoDue_ ? static_cast<double>(*infoDue_) : 0, Info);
    consider(tuneDue_.has_value(), tuneDue_ ? static_cast<double>(*tuneDue_) : 0, Tune);
    consider(seekDue_.has_value(), seekDue_ ? static_cast<double>(*seekDue_) : 0, Seek);
    consider(scanning_, static_cast<double>(nextScanPoint_), Scan);
    consider(live && statusIntervalMs_ > 0, static_cast<double>(nextStatus_), Status);
    consider(live && rdsRate_ == TSimRdsRate::RealTime && stationIndex_ >= 0, nextBlock_, Block);
    const int64_t at = static_cast<int64_t>(due);
    switch (kind) {
      case None:
        return;
      case Info:
        infoDue_.reset();
        EmitLocked(DeviceInfoBytesLocked());
        break;
      case Tune:
        tuneDue_.reset();
        word_ = tuneWord_;
        RetunedLocked(at);
        EmitStatusLocked();
        nextStatus_ = at + statusIntervalMs_;
        break;
      case Seek:
        seekDue_.reset();
        SeekLocked(seekDirection_);
        RetunedLocked(at);
        EmitStatusLocked();
        nextStatus_ = at + statusIntervalMs_;
        break;
      case Scan: {
        EmitLocked(ScanPointBytesLocked(scanWord_));
        if (scanWord_ >= scanEnd_) {
          // Back to the tuned frequency.
          scanning_ = false;
          RetunedLocked(at);
          nextStatus_ = at;
        } else {
          const int step = config_.ScanStep == 0x0B ? 1 : config_.ScanStep == 0x0D ? 12 : 6;
          scanWord_ = static_cast<uint16_t>(std::min<int>(scanWord_ + step, scanEnd_));
          nextScanPoint_ = at + scanPointIntervalMs_;
        }
        break;
      }
      case Status:
        EmitStatusLocked();
        nextStatus_ = at + statusIntervalMs_;
        break;
      case Block:
        NextRdsBlockLocked();
        nextBlock_ += kBlockIntervalMs;
        break;
    }
  }
}

void TSimReceiver::ProcessCommandLocked(const uint8_t* bytes, int len, int64_t now) {
  // Catch up first, so the command acts on the device as it is now.
  GenerateDueLocked(now);
  for (int i = 0; i < len;) {
    if (bytes[i] == proto::cmdTune) {
      if (i + 2 >= len) break;  // incomplete: the device drops it
      const uint16_t word = static_cast<uint16_t>((bytes[i + 1] & 0x3F) << 8 | bytes[i + 2]);
      streaming_ = true;
      scanning_ = false;
      seekDue_.reset();
      switch (tuneAnswer_) {
        case TSimAnswer::Normal:
          tuneDue_ = now;
          tuneWord_ = word;
          break;
        case TSimAnswer::Late:
          tuneDue_ = now + tuneDelayMs_;
          tuneWord_ = word;
          break;
        case TSimAnswer::OtherWord:
          tuneDue_ = now + tuneDelayMs_;
          tuneWord_ = tuneOtherWord_;
          break;
        case TSimAnswer::Never:
          break;
      }
      i += 3;
      continue;
    }
    CommandLocked(bytes[i], now);
    ++i;
  }
  GenerateDueLocked(now);
}

void TSimReceiver::CommandLocked(uint8_t b, int64_t now) {
  switch (b) {
    case proto::cmdModeRDS:
    case proto::cmdModeRBDS:
      config_.Mode = b;
      break;
    case proto::cmdInputMPX:
    case proto::cmdInputAntenna:
      config_.Input = b;
      break;
    case proto::cmdSeekUp:
    case proto::cmdSeekDown:
      streaming_ = true;
      scanning_ = false;
      tuneDue_.reset();
      seekDirection_ = b == proto::cmdSeekUp ? 1 : -1;
      seekDue_ = now + seekDelayMs_;
      break;
    case proto::cmdEndConfig:
      ++config_.EndConfigCount;
      if (!streaming_) {
        streaming_ = true;
        ResyncLocked(now);
      }
      break;
    case proto::cmdReset:
      // Stops everything the device was doing and goes quiet.
      ++config_.ResetCount;
      streaming_ = false;
      scanning_ = false;
      infoDue_.reset();
      tuneDue_.reset();
      seekDue_.reset();
      rdsPending_.clear();
      break;
    case proto::cmdBandScan:
      streaming_ = true;
      scanning_ = true;
      seekDue_.reset();
      tuneDue_.reset();
      // The sweep starts where the host tuned the device and runs to 108.0;
      // each point is reported once it has been measured.
      scanWord_ = word_;
      scanEnd_ = FreqToPLLWord(highSide_, kBandHighMHz);
      nextScanPoint_ = now + scanPointIntervalMs_;
      break;
    case proto::cmdScanStepFine:
    case proto::cmdScanStepNormal:
    case proto::cmdScanStepFast:
      config_.ScanStep = b;
      break;
    case 0x10: case 0x11: case 0x12: case 0x13:
      config_.StopLevel = b - proto::cmdStopLevel0;
      break;
    case 0x14: case 0x15: case 0x16:
      config_.Spacing = b - proto::cmdSpacing0;
      break;
    case proto::cmdSensitivityDX:
    case proto::cmdSensitivityLocal:
      config_.Sensitivity = b;
      break;
    case proto::cmdDeviceInfo:
      if (infoAnswer_ == TSimAnswer::Never) break;
      infoDue_ = now + (infoAnswer_ == TSimAnswer::Late ? infoDelayMs_ : 0);
      break;
    case proto::cmdDeemphasisOff:
    case proto::cmdDeemphasisOn:
      config_.Deemphasis = b == proto::cmdDeemphasisOn;
      break;
    default:
      break;  // unknown bytes are logged and otherwise ignored
  }
}
