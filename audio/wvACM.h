#pragma once
// The installed codecs with the formats each offers, and the conversion chain
// that turns captured PCM into a compressed stream through them.
#include <memory>
#include <string>
#include <vector>

#include "audio/AcmDriver.h"
#include "audio/wvCommon.h"

enum class TwvCodecSupport { Codec, Converter, Filter, Hardware, Async, Local, Disabled };

struct TwvCodecFormat {
  std::string Name;             // up to 127 characters
  std::vector<uint8_t> Format;  // a block of the codec's largest format size
  const WAVEFORMATEX* WaveFormatEx() const { return reinterpret_cast<const WAVEFORMATEX*>(Format.data()); }
};

// One installed driver with its details and formats.
class TwvCodec {
 public:
  // Reads the driver's details and formats; a failing step raises
  // EACMCodecError with its context text.
  explicit TwvCodec(uint32_t DriverId);

  uint32_t DriverId() const { return driverId_; }
  bool Supports(TwvCodecSupport s) const { return support_ & (1u << static_cast<int>(s)); }
  const std::string& ShortName() const { return shortName_; }  // up to 31 characters
  const std::string& LongName() const { return longName_; }    // up to 127
  const std::string& Copyright() const { return copyright_; }  // up to 79
  const std::string& Licensing() const { return licensing_; }  // up to 127
  const std::string& Features() const { return features_; }    // up to 511
  uint32_t Priority() const { return priority_; }
  uint32_t MaxFormatSize() const { return maxFormatSize_; }  // at least 18

  int GetFormatCount() const { return static_cast<int>(formats_.size()); }
  const TwvCodecFormat& GetFormatDetails(int Index) const { return formats_.at(Index); }

 private:
  uint32_t driverId_;
  uint32_t support_ = 0;
  std::string shortName_, longName_, copyright_, licensing_, features_;
  uint32_t priority_ = 0;
  uint32_t maxFormatSize_ = 0;
  std::vector<TwvCodecFormat> formats_;
};

// The installed codecs in enumeration order, built on first use. A driver
// whose codec cannot be built is left out.
int GetCodecCount();
TwvCodec& GetCodec(int Index);
void BuildCodecList();

// Whether a conversion stream Src -> Dst can be opened.
bool QueryStreamOpen(const TwvWaveFormat& Src, const TwvWaveFormat& Dst, bool RealTime);

// One link of a conversion chain: a stream with a source buffer that grows
// until the first output and keeps its size from then on.
class TMiniConvertor {
 public:
  TMiniConvertor(const TwvWaveFormat& Src, const TwvWaveFormat& Dst) : src_(Src), dst_(Dst) {}
  ~TMiniConvertor();

  void Open(bool RealTime);
  void Close();
  bool IsOpen() const { return stream_ != nullptr; }

  // Converts what has gathered with this block; returns the output's size
  // (0: no output yet). The output stays valid until the next call.
  uint32_t Convert(const uint8_t* Data, uint32_t Size, bool GuardFPU);
  const uint8_t* Output() const { return out_.data(); }

  size_t SourceCapacity() const { return source_.size(); }
  size_t SourceFill() const { return fill_; }
  bool Prepared() const { return prepared_; }

 private:
  void ResetBuffers();

  TwvWaveFormat src_, dst_;
  std::unique_ptr<IAcmStream> stream_;
  std::vector<uint8_t> source_;  // capacity = size()
  size_t fill_ = 0;
  std::vector<uint8_t> out_;
  bool prepared_ = false;
};

// Observes an audio source and converts each block from FormatIn to
// FormatOut, through up to two PCM formats between, for its own observers and
// OnAudioConverted.
class TwvAudioConvertor final : public TwvAudioComponent, public IwvAudioSubject {
 public:
  TwvAudioConvertor();
  ~TwvAudioConvertor() override;

  void Open();
  void Close();
  bool Active() const { return active_; }
  void SetActive(bool Value);
  void Convert(const uint8_t* Data, uint32_t Size);

  TwvAudioComponent* AudioSource() const { return observer_.Subject(); }
  void SetAudioSource(TwvAudioComponent* Source) { observer_.SetSubject(Source); }
  TwvWaveFormat& FormatIn() { return formatIn_; }
  TwvWaveFormat& FormatOut() { return formatOut_; }
  void SetFormatIn(const TwvWaveFormat& F) { formatIn_.Assign(F); }
  void SetFormatOut(const TwvWaveFormat& F) { formatOut_.Assign(F); }
  bool RequestRealTime() const { return requestRealTime_; }
  void SetRequestRealTime(bool Value);
  bool Set8087FPUFlag = true;  // guard the floating-point state around conversions

  TAbortableBufferEvent OnAudioConverted;
  void SetOnObserverError(TObserverErrorEvent E) { subject_.OnObserverError = std::move(E); }

  // The formats of the chain built by Open (input first, output last).
  const std::vector<TwvWaveFormat>& ChainFormats() const { return chain_; }
  const TMiniConvertor& Link(size_t i) const { return *links_.at(i); }

  void Attach(IwvAudioObserver* Observer) override { subject_.Attach(Observer); }
  void Detach(IwvAudioObserver* Observer) override { subject_.Detach(Observer); }
  const TwvWaveFormat& GetFormat() const override { return formatOut_; }

 protected:
  void Notification(TwvAudioComponent* Freed) override { observer_.SubjectFreed(Freed); }

 private:
  void BuildChain();
  void FreeChain();
  void SourceData(const uint8_t* Data, uint32_t Size);
  void DoAudioConverted(const uint8_t* Data, uint32_t Size);

  TwvWaveFormat formatIn_, formatOut_;
  bool requestRealTime_ = false;
  bool active_ = false;
  TwvAudioSubject subject_;
  TwvAudioObserver observer_;
  std::vector<TwvWaveFormat> chain_;
  std::vector<std::unique_ptr<TMiniConvertor>> links_;
  const uint8_t* lastData_ = nullptr;
  uint32_t lastSize_ = 0;
};
