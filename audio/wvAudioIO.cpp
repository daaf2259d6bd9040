#include "audio/wvAudioIO.h"

#include <alsa/version.h>

#include <algorithm>
#include <new>

#include "audio/AlsaWaveIn.h"

// --- TwvBlockPool ------------------------------------------------------------

uint8_t* TwvBlockPool::AllocBlock(uint32_t size) {
  size_t best = free_.size();
  for (size_t i = 0; i < free_.size(); ++i) {
    const uint32_t have = blocks_[free_[i]].Size;
    if (have == size) {
      best = i;
      break;
    }
    // A bigger block only when it wastes less than the request itself.
    if (have > size && have - size < size && (best == free_.size() || have < blocks_[free_[best]].Size)) best = i;
  }
  if (best < free_.size()) {
    const size_t index = free_[best];
    free_.erase(free_.begin() + static_cast<std::ptrdiff_t>(best));
    return blocks_[index].Data.get();
  }
  try {
    blocks_.push_back({std::make_unique<uint8_t[]>(size), size});
  } catch (const std::bad_alloc&) {
    throw EACMAudioOutError("Cannot allocate global memory.");
  }
  return blocks_.back().Data.get();
}

void TwvBlockPool::FreeBlock(uint8_t* block) {
  for (size_t i = 0; i < blocks_.size(); ++i)
    if (blocks_[i].Data.get() == block) {
      if (std::find(free_.begin(), free_.end(), i) == free_.end()) free_.push_back(i);
      return;
    }
}

void TwvBlockPool::FreePool() {
  free_.clear();
  blocks_.clear();
}

// --- TwvAudioIO --------------------------------------------------------------

void TwvAudioIO::SetActive(bool Value) {
  if (Value == active_) return;
  if (Value) {
    pool_.FreePool();
    if (BeforeOpen) BeforeOpen(*this);
    DoOpen();
    active_ = true;
    if (AfterOpen) AfterOpen(*this);
  } else {
    if (BeforeClose) BeforeClose(*this);
    DoClose();
    pool_.FreePool();
    active_ = false;
    if (AfterClose) AfterClose(*this);
  }
}

void TwvAbstractAudioIn::DoData(const uint8_t* Data, uint32_t Size) {
  lastData_ = Data;
  lastSize_ = Size;
  subject_.NotifyObservers(Data, Size);
  // An observer that closed the component freed the block.
  if (!OnAudioRecorded || !active_) return;
  try {
    OnAudioRecorded(*this, Data, Size);
  } catch (const std::exception& e) {
    // Reported like an observer's error: the buffer still goes back to the
    // device, so recording goes on.
    if (subject_.OnObserverError) subject_.OnObserverError(*this, e);
  }
}

// --- TwvCustomAudioIn --------------------------------------------------------

TwvCustomAudioIn::TwvCustomAudioIn(TMainThreadInvoker& owner, TWaveInBackendFactory backend)
    : backend_(backend ? std::move(backend) : [] { return std::make_unique<TAlsaWaveIn>(); }),
      device_(
          owner, [this](TWaveHdr* hdr) { WimData(hdr); },
          [this](MMRESULT code) {
            Failed(EACMAudioInError(MMResultText(code, "Error reading from input device.")));
          }) {}

TwvCustomAudioIn::~TwvCustomAudioIn() {
  try {
    SetActive(false);
  } catch (const EACMError&) {
  }
}

void TwvCustomAudioIn::SetBufferCount(uint32_t N) {
  if (N < 2) throw EACMAudioIOError("Invalid input buffer size.");
  bufferCount_ = N;
}

void TwvCustomAudioIn::SetBufferSize(uint32_t N) {
  if (active_) throw EACMAudioIOError("Cannot perform this action while active.");
  bufferSize_ = N;
}

void TwvCustomAudioIn::SetDeviceID(uint8_t Id) {
  if (active_) throw EACMAudioIOError("Cannot perform this action while active.");
  deviceId_ = Id;
}

void TwvCustomAudioIn::DoOpen() {
  const WAVEFORMATEX& f = *format_.GetWaveFormatEx();
  if (f.wBitsPerSample != 0) {
    const uint32_t frame = f.wBitsPerSample / 8u * f.nChannels;
    if (AutoAdjustBufferSize && frame > 1 && bufferSize_ % frame != 0) bufferSize_ -= bufferSize_ % frame;
    // Less than one frame would be buffers that never fill.
    if (bufferSize_ * 8 % f.wBitsPerSample != 0 || bufferSize_ < std::max(frame, 1u))
      throw EACMAudioInError("Invalid input buffer size.");
  }
  if (bufferSize_ == 0) throw EACMAudioInError("Invalid input buffer size.");
  uint8_t device = deviceId_;
  bool mapped = false;
  if (deviceId_ == WAVE_MAPPER && f.wFormatTag != WAVE_FORMAT_PCM) {
    device = 0;
    mapped = true;
  }
  CheckMMResult<EACMAudioInError>(device_.Open(backend_(), device, mapped, f),
                                  "Error opening audio device for input.");
  try {
    for (uint32_t i = 0; i < bufferCount_; ++i) {
      auto hdr = std::make_unique<TWaveHdr>();
      hdr->lpData = pool_.AllocBlock(bufferSize_);
      queued_.push_back(std::move(hdr));
      QueueHeader(queued_.back().get());
    }
    CheckMMResult<EACMAudioInError>(device_.Start(), "Error opening audio device for input.");
  } catch (...) {
    // Leave nothing open behind a failed open, so the next one can succeed.
    device_.Close();
    queued_.clear();
    throw;
  }
}

void TwvCustomAudioIn::QueueHeader(TWaveHdr* Hdr) {
  *Hdr = TWaveHdr{Hdr->lpData, bufferSize_};
  CheckMMResult<EACMAudioInError>(device_.Prepare(Hdr), "Error preparing input header.");
  CheckMMResult<EACMAudioInError>(device_.AddBuffer(Hdr), "Error adding input buffer.");
}

void TwvCustomAudioIn::DoClose() {
  CheckMMResult<EACMAudioInError>(device_.Reset(), "Error closing input device.");
  while (!queued_.empty()) ReleaseHeader(queued_.back().get());
  CheckMMResult<EACMAudioInError>(device_.Close(), "Error closing input device.");
}

void TwvCustomAudioIn::ReleaseHeader(TWaveHdr* Hdr) {
  const auto it = std::find_if(queued_.begin(), queued_.end(), [&](const auto& h) { return h.get() == Hdr; });
  // A buffer that came back after the close released it is already gone.
  if (it == queued_.end()) return;
  device_.Unprepare(Hdr);
  pool_.FreeBlock(Hdr->lpData);
  queued_.erase(it);
}

void TwvCustomAudioIn::WimData(TWaveHdr* Hdr) {
  try {
    if (active_) {
      DoData(Hdr->lpData, Hdr->dwBytesRecorded);
      if (active_) CheckMMResult<EACMAudioInError>(device_.Unprepare(Hdr), "Error unpreparing input header.");
      if (active_) {
        QueueHeader(Hdr);
        return;
      }
    }
    ReleaseHeader(Hdr);
  } catch (const EACMAudioInError& e) {
    Failed(e);
  }
}

void TwvCustomAudioIn::Failed(const EACMAudioInError& E) {
  if (!active_) return;
  try {
    SetActive(false);
  } catch (const EACMError&) {
    active_ = false;
  }
  if (OnError) OnError(*this, E);
}

// --- Device lists ------------------------------------------------------------

namespace {

struct TDeviceLists {
  std::vector<TwvAudioInDevice> In;
  std::vector<TwvAudioOutDevice> Out;
};

template <class T>
void FillList(std::vector<T>& list, bool capture) {
  for (const TAlsaPcmDevice& d : AlsaPcmDevices(capture)) {
    if (list.size() >= WAVE_MAPPER) break;  // device numbers are bytes; 255 is the mapper
    T device;
    device.DeviceNumber = static_cast<uint8_t>(list.size());
    device.DriverMajor = SND_LIB_MAJOR;
    device.DriverMinor = SND_LIB_MINOR;
    device.Name = d.Name.substr(0, 31);
    list.push_back(device);
  }
}

const TDeviceLists& DeviceLists() {
  static const TDeviceLists lists = [] {
    TDeviceLists l;
    FillList(l.In, true);
    FillList(l.Out, false);
    return l;
  }();
  return lists;
}

}  // namespace

int GetAudioInDeviceCount() { return static_cast<int>(DeviceLists().In.size()); }
const TwvAudioInDevice& GetAudioInDevice(int Index) { return DeviceLists().In.at(Index); }
int GetAudioOutDeviceCount() { return static_cast<int>(DeviceLists().Out.size()); }
const TwvAudioOutDevice& GetAudioOutDevice(int Index) { return DeviceLists().Out.at(Index); }
