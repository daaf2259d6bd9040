#pragma once
// The audio library's common ground: the wave-format holder, the library's
// exceptions with the texts of the multimedia result codes, and the
// subject/observer link through which audio blocks flow from a source (the
// capture component) to its sinks (the conversion chain).
//
// Everything here runs on the user-interface thread.
#include <array>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

// Result codes of the multimedia, wave and compression calls (their published
// values; 0 is success).
using MMRESULT = uint32_t;
inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;
inline constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
inline constexpr MMRESULT MMSYSERR_ALLOCATED = 4;
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMSYSERR_NOMEM = 7;
inline constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT WAVERR_BADFORMAT = 32;
inline constexpr MMRESULT WAVERR_STILLPLAYING = 33;
inline constexpr MMRESULT WAVERR_UNPREPARED = 34;
inline constexpr MMRESULT ACMERR_NOTPOSSIBLE = 512;

inline constexpr uint16_t WAVE_FORMAT_PCM = 1;
inline constexpr uint16_t WAVE_FORMAT_MPEGLAYER3 = 0x55;

#pragma pack(push, 1)
struct WAVEFORMATEX {
  uint16_t wFormatTag;
  uint16_t nChannels;
  uint32_t nSamplesPerSec;
  uint32_t nAvgBytesPerSec;
  uint16_t nBlockAlign;
  uint16_t wBitsPerSample;
  uint16_t cbSize;  // extra bytes that follow the structure
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

// Size of a whole format: the structure and its extra bytes.
inline size_t WaveFormatSize(const WAVEFORMATEX& f) { return sizeof(WAVEFORMATEX) + f.cbSize; }

class EACMError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
class EACMCodecError : public EACMError {
 public:
  using EACMError::EACMError;
};
class EACMConversionError : public EACMError {
 public:
  using EACMError::EACMError;
};
class EACMAudioIOError : public EACMError {
 public:
  using EACMError::EACMError;
};
class EACMAudioInError : public EACMAudioIOError {
 public:
  using EACMAudioIOError::EACMAudioIOError;
};
class EACMAudioOutError : public EACMAudioIOError {
 public:
  using EACMAudioIOError::EACMAudioIOError;
};

// The text of a failed call: Context and CR LF (nothing when Context is
// empty), then the code's message.
std::string MMResultText(MMRESULT code, const std::string& context);

// Code 0 returns; any other raises E with MMResultText.
template <class E = EACMError>
void CheckMMResult(MMRESULT code, const std::string& context = {}) {
  if (code != MMSYSERR_NOERROR) throw E(MMResultText(code, context));
}

inline constexpr size_t kWaveFormatBufferSize = 512;
// 18 + 494 = 512 is the largest whole format the buffer holds.
inline constexpr uint16_t kMaxCbSize = kWaveFormatBufferSize - sizeof(WAVEFORMATEX);

// A wave format in a fixed 512-byte buffer (stored raw as FormatBuffer).
class TwvWaveFormat {
 public:
  using TBuffer = std::array<uint8_t, kWaveFormatBufferSize>;

  TwvWaveFormat() { SetDefaults(); }
  explicit TwvWaveFormat(const WAVEFORMATEX* format) : TwvWaveFormat() { SetFormat(format); }

  // PCM, 2 channels, 11025 samples/s, 22050 bytes/s, block 2, 8 bits.
  void SetDefaults();

  uint16_t FormatTag() const { return Fmt().wFormatTag; }
  uint16_t Channels() const { return Fmt().nChannels; }
  uint32_t SamplesPerSec() const { return Fmt().nSamplesPerSec; }
  uint32_t AvgBytesPerSec() const { return Fmt().nAvgBytesPerSec; }
  uint16_t BlockAlign() const { return Fmt().nBlockAlign; }
  uint16_t BitsPerSample() const { return Fmt().wBitsPerSample; }
  uint16_t CbSize() const { return Fmt().cbSize; }
  void SetFormatTag(uint16_t v) { Fmt().wFormatTag = v; }
  void SetChannels(uint16_t v) { Fmt().nChannels = v; }
  void SetSamplesPerSec(uint32_t v) { Fmt().nSamplesPerSec = v; }
  void SetAvgBytesPerSec(uint32_t v) { Fmt().nAvgBytesPerSec = v; }
  void SetBlockAlign(uint16_t v) { Fmt().nBlockAlign = v; }
  void SetBitsPerSample(uint16_t v) { Fmt().wBitsPerSample = v; }
  // 495 or more: EACMError "The wave format buffer is too small.".
  void SetCbSize(uint16_t v);

  void Assign(const TwvWaveFormat& other) { buffer_ = other.buffer_; }
  bool Equals(const TwvWaveFormat& other) const { return buffer_ == other.buffer_; }
  bool operator==(const TwvWaveFormat& other) const { return Equals(other); }

  // Copies 18 + cbSize bytes; a larger format raises EACMError. The rest of the
  // buffer is cleared, so equal formats compare equal whatever was there.
  void SetFormat(const WAVEFORMATEX* format);
  const WAVEFORMATEX* GetWaveFormatEx() const { return reinterpret_cast<const WAVEFORMATEX*>(buffer_.data()); }

  const TBuffer& FormatBuffer() const { return buffer_; }
  void SetFormatBuffer(const TBuffer& raw) { buffer_ = raw; }

 private:
  WAVEFORMATEX& Fmt() { return *reinterpret_cast<WAVEFORMATEX*>(buffer_.data()); }
  const WAVEFORMATEX& Fmt() const { return *GetWaveFormatEx(); }

  alignas(8) TBuffer buffer_{};
};

// A PCM format with consistent block alignment and byte rate.
TwvWaveFormat PcmFormat(uint32_t rate, uint16_t bits, uint16_t channels);

// --- Components, subjects and observers --------------------------------------

// The base of the library's components: owners learn when a component they
// point at is freed (so a convertor drops its source when the source dies).
class TwvAudioComponent {
 public:
  TwvAudioComponent() = default;
  virtual ~TwvAudioComponent();
  TwvAudioComponent(const TwvAudioComponent&) = delete;
  TwvAudioComponent& operator=(const TwvAudioComponent&) = delete;

  // Both components tell each other when they are freed.
  void FreeNotification(TwvAudioComponent* other);
  void RemoveFreeNotification(TwvAudioComponent* other);

 protected:
  virtual void Notification(TwvAudioComponent* freed) {}

 private:
  std::vector<TwvAudioComponent*> notified_;
};

class IwvAudioObserver {
 public:
  virtual ~IwvAudioObserver() = default;
  virtual void AudioData(const uint8_t* data, uint32_t size) = 0;
};

class IwvAudioSubject {
 public:
  virtual ~IwvAudioSubject() = default;
  virtual void Attach(IwvAudioObserver* observer) = 0;
  virtual void Detach(IwvAudioObserver* observer) = 0;
  virtual const TwvWaveFormat& GetFormat() const = 0;
};

using TBufferEvent = std::function<void(TwvAudioComponent& Sender, const uint8_t* AudioData, uint32_t AudioDataSize)>;
using TAbortableBufferEvent =
    std::function<void(TwvAudioComponent& Sender, const uint8_t* AudioData, uint32_t AudioDataSize, bool& Abort)>;
using TObserverErrorEvent = std::function<void(TwvAudioComponent& Sender, const std::exception& E)>;
using TNotifyEvent = std::function<void(TwvAudioComponent& Sender)>;

// The subject half of an owning component: its observers and its format.
class TwvAudioSubject final : public IwvAudioSubject {
 public:
  TwvAudioSubject(TwvAudioComponent& owner, const TwvWaveFormat& format) : owner_(owner), format_(format) {}

  void Attach(IwvAudioObserver* observer) override;
  void Detach(IwvAudioObserver* observer) override;
  const TwvWaveFormat& GetFormat() const override { return format_; }

  // Calls every observer in list order. An observer's exception goes to
  // OnObserverError and delivery goes on; an observer that detaches itself
  // during its call does not make the next one miss the block.
  void NotifyObservers(const uint8_t* data, uint32_t size);
  size_t ObserverCount() const { return observers_.size(); }

  TObserverErrorEvent OnObserverError;

 private:
  TwvAudioComponent& owner_;
  const TwvWaveFormat& format_;
  std::vector<IwvAudioObserver*> observers_;
};

// The observer half of an owning component: the subject it observes and the
// owner's data method.
class TwvAudioObserver final : public IwvAudioObserver {
 public:
  using TDataMethod = std::function<void(const uint8_t*, uint32_t)>;
  TwvAudioObserver(TwvAudioComponent& owner, TDataMethod data) : owner_(owner), data_(std::move(data)) {}
  ~TwvAudioObserver() override;

  // Refuses the owner itself and a component that is no audio subject.
  void SetSubject(TwvAudioComponent* component);
  TwvAudioComponent* Subject() const { return subject_; }
  IwvAudioSubject* SubjectInterface() const { return dynamic_cast<IwvAudioSubject*>(subject_); }
  // The owner calls this from its Notification: the freed subject is dropped.
  void SubjectFreed(TwvAudioComponent* freed);

  void AudioData(const uint8_t* data, uint32_t size) override { data_(data, size); }

 private:
  TwvAudioComponent& owner_;
  TDataMethod data_;
  TwvAudioComponent* subject_ = nullptr;
};
