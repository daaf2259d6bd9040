#pragma once
// Wave-in capture and the audio device lists.
//
// TwvAudioIn records into a ring of queued buffers. The device fills them on
// its capture thread; each filled buffer comes back on the owner's thread
// (the user-interface thread), where it goes to the observers (the conversion
// chain) and OnAudioRecorded and is queued again.
#include <memory>
#include <string>
#include <vector>

#include "audio/WaveIn.h"
#include "audio/wvCommon.h"
#include "platform/MainThreadInvoker.h"

// Data blocks kept for reuse while a component opens and closes.
class TwvBlockPool {
 public:
  // A free block of exactly `size`, else the free block with the smallest
  // excess below `size`, else a new one ("Cannot allocate global memory.").
  uint8_t* AllocBlock(uint32_t size);
  void FreeBlock(uint8_t* block);
  // Releases every block.
  void FreePool();
  size_t AllocatedCount() const { return blocks_.size(); }
  size_t FreeCount() const { return free_.size(); }

 private:
  struct TBlock {
    std::unique_ptr<uint8_t[]> Data;
    uint32_t Size;
  };
  std::vector<TBlock> blocks_;
  std::vector<size_t> free_;  // indexes into blocks_
};

// Common active state, buffer pool and format of the audio components.
class TwvAudioIO : public TwvAudioComponent {
 public:
  bool Active() const { return active_; }
  void SetActive(bool Value);
  TwvWaveFormat& Format() { return format_; }
  const TwvWaveFormat& Format() const { return format_; }
  void SetFormat(const TwvWaveFormat& F) { format_.Assign(F); }
  const TwvBlockPool& Pool() const { return pool_; }

  TNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;

 protected:
  virtual void DoOpen() = 0;
  virtual void DoClose() = 0;

  bool active_ = false;
  TwvWaveFormat format_;
  TwvBlockPool pool_;
};

// An audio source: the subject its observers attach to.
class TwvAbstractAudioIn : public TwvAudioIO, public IwvAudioSubject {
 public:
  TwvAbstractAudioIn() : subject_(*this, format_) {}

  void Attach(IwvAudioObserver* Observer) override { subject_.Attach(Observer); }
  void Detach(IwvAudioObserver* Observer) override { subject_.Detach(Observer); }
  const TwvWaveFormat& GetFormat() const override { return format_; }

  TBufferEvent OnAudioRecorded;
  void SetOnObserverError(TObserverErrorEvent E) { subject_.OnObserverError = std::move(E); }

 protected:
  // Hands a recorded block to the observers, then to OnAudioRecorded.
  void DoData(const uint8_t* Data, uint32_t Size);

 private:
  TwvAudioSubject subject_;
  const uint8_t* lastData_ = nullptr;
  uint32_t lastSize_ = 0;
};

// Capture from a wave-in device.
class TwvCustomAudioIn : public TwvAbstractAudioIn {
 public:
  // `owner` is the thread the component lives on; `backend` makes the sound
  // source for each open (ALSA when not given).
  explicit TwvCustomAudioIn(TMainThreadInvoker& owner, TWaveInBackendFactory backend = {});
  ~TwvCustomAudioIn() override;

  bool AutoAdjustBufferSize = true;
  uint32_t BufferCount() const { return bufferCount_; }
  void SetBufferCount(uint32_t N);
  uint32_t BufferSize() const { return bufferSize_; }
  void SetBufferSize(uint32_t N);
  uint8_t DeviceID() const { return deviceId_; }
  void SetDeviceID(uint8_t Id);

  // The capture ended by itself (the device failed or disappeared); the
  // component is inactive when this runs.
  std::function<void(TwvAudioComponent& Sender, const EACMAudioInError& E)> OnError;

  size_t QueuedCount() const { return queued_.size(); }

 protected:
  void DoOpen() override;
  void DoClose() override;

 private:
  void WimData(TWaveHdr* Hdr);
  void Failed(const EACMAudioInError& E);
  void ReleaseHeader(TWaveHdr* Hdr);
  void QueueHeader(TWaveHdr* Hdr);

  TWaveInBackendFactory backend_;
  TWaveInDevice device_;
  std::vector<std::unique_ptr<TWaveHdr>> queued_;
  uint32_t bufferCount_ = 4;
  uint32_t bufferSize_ = 22050;
  uint8_t deviceId_ = WAVE_MAPPER;
};

class TwvAudioIn final : public TwvCustomAudioIn {
 public:
  using TwvCustomAudioIn::TwvCustomAudioIn;
  // Become active once the component's properties are all set (as when
  // loaded from a form).
  bool AutoOpen = true;
  void Loaded() {
    if (AutoOpen) SetActive(true);
  }
};

// --- Device lists ------------------------------------------------------------

struct TwvAudioDevice {
  uint8_t DeviceNumber = 0;
  uint8_t DriverMajor = 0, DriverMinor = 0;
  uint16_t ManufacturerId = 0, ProductId = 0;
  std::string Name;  // up to 31 characters
};
using TwvAudioInDevice = TwvAudioDevice;

enum class TwvAudioOutSupport { Pitch, PlaybackRate, Volume, LRVolume, Sync, SampleAccurate, DirectSound };
struct TwvAudioOutDevice : TwvAudioDevice {
  uint32_t Support = 0;  // bit n = TwvAudioOutSupport n
};

// The capture devices (opened by their number; the default device is the
// wave mapper, id 255). Both lists are built on first use.
int GetAudioInDeviceCount();
const TwvAudioInDevice& GetAudioInDevice(int Index);
int GetAudioOutDeviceCount();
const TwvAudioOutDevice& GetAudioOutDevice(int Index);
