#include "audio/wvACM.h"

#include <algorithm>
#include <cfenv>
#include <cstring>

namespace {

std::string Limited(const std::string& s, size_t chars) { return s.substr(0, chars - 1); }

std::vector<std::unique_ptr<TwvCodec>>& CodecList() {
  static std::vector<std::unique_ptr<TwvCodec>> list;
  return list;
}

// Floating-point exceptions masked and flags kept away from the caller for
// the length of one conversion call: a codec must not trap or leave flags.
class TFpuGuard {
 public:
  explicit TFpuGuard(bool on) : on_(on) {
    if (on_) feholdexcept(&env_);
  }
  ~TFpuGuard() {
    if (on_) fesetenv(&env_);
  }

 private:
  bool on_;
  fenv_t env_{};
};

TwvWaveFormat SuggestPcm(const TwvWaveFormat& format) {
  std::vector<uint8_t> suggested;
  CheckMMResult<EACMConversionError>(
      TAcmDriverRegistry::Instance().Suggest(*format.GetWaveFormatEx(), WAVE_FORMAT_PCM, suggested));
  if (suggested.size() < sizeof(WAVEFORMATEX) ||
      WaveFormatSize(*reinterpret_cast<const WAVEFORMATEX*>(suggested.data())) > suggested.size())
    CheckMMResult<EACMConversionError>(MMSYSERR_INVALPARAM);
  return TwvWaveFormat(reinterpret_cast<const WAVEFORMATEX*>(suggested.data()));
}

}  // namespace

// --- Codecs ------------------------------------------------------------------

TwvCodec::TwvCodec(uint32_t DriverId) : driverId_(DriverId) {
  const std::shared_ptr<IAcmDriver> driver = TAcmDriverRegistry::Instance().Driver(DriverId);
  TAcmDriverDetails d;
  CheckMMResult<EACMCodecError>(driver ? driver->Details(d) : MMSYSERR_INVALHANDLE,
                                "Error retrieving driver details.");
  static constexpr uint32_t kSupportBits[] = {
      ACMDRIVERDETAILS_SUPPORTF_CODEC, ACMDRIVERDETAILS_SUPPORTF_CONVERTER, ACMDRIVERDETAILS_SUPPORTF_FILTER,
      ACMDRIVERDETAILS_SUPPORTF_HARDWARE, ACMDRIVERDETAILS_SUPPORTF_ASYNC, ACMDRIVERDETAILS_SUPPORTF_LOCAL,
      ACMDRIVERDETAILS_SUPPORTF_DISABLED};
  for (size_t i = 0; i < std::size(kSupportBits); ++i)
    if (d.Support & kSupportBits[i]) support_ |= 1u << i;
  shortName_ = Limited(d.ShortName, 32);
  longName_ = Limited(d.LongName, 128);
  copyright_ = Limited(d.Copyright, 80);
  licensing_ = Limited(d.Licensing, 128);
  features_ = Limited(d.Features, 512);
  priority_ = d.Priority;

  CheckMMResult<EACMCodecError>(driver->MaxFormatSize(maxFormatSize_), "Error while requesting size of Wave format.");
  maxFormatSize_ = std::clamp<uint32_t>(maxFormatSize_, sizeof(WAVEFORMATEX), kWaveFormatBufferSize);
  std::vector<TAcmFormat> formats;
  CheckMMResult<EACMCodecError>(driver->EnumFormats(formats), "Error while enumerating formats.");
  for (TAcmFormat& f : formats) {
    // A format larger than the driver's own largest size would overrun its
    // block: it is left out.
    if (f.Format.size() < sizeof(WAVEFORMATEX)) continue;
    const size_t size = WaveFormatSize(*reinterpret_cast<const WAVEFORMATEX*>(f.Format.data()));
    if (size > f.Format.size() || size > maxFormatSize_) continue;
    std::vector<uint8_t> block(maxFormatSize_, 0);
    std::memcpy(block.data(), f.Format.data(), size);
    formats_.push_back({Limited(f.Name, 128), std::move(block)});
  }
}

void BuildCodecList() {
  auto& list = CodecList();
  list.clear();
  for (uint32_t id : TAcmDriverRegistry::Instance().DriverIds()) {
    try {
      list.push_back(std::make_unique<TwvCodec>(id));
    } catch (const EACMCodecError&) {
      // A driver that cannot describe itself is not listed; the others are.
    }
  }
}

int GetCodecCount() {
  if (CodecList().empty()) BuildCodecList();
  return static_cast<int>(CodecList().size());
}

TwvCodec& GetCodec(int Index) {
  if (CodecList().empty()) BuildCodecList();
  return *CodecList().at(Index);
}

bool QueryStreamOpen(const TwvWaveFormat& Src, const TwvWaveFormat& Dst, bool RealTime) {
  return TAcmDriverRegistry::Instance().OpenStream(*Src.GetWaveFormatEx(), *Dst.GetWaveFormatEx(), RealTime,
                                                   nullptr) == MMSYSERR_NOERROR;
}

// --- TMiniConvertor ----------------------------------------------------------

TMiniConvertor::~TMiniConvertor() { Close(); }

void TMiniConvertor::Open(bool RealTime) {
  if (stream_) throw EACMError("Cannot perform this action while active.");
  CheckMMResult<EACMConversionError>(TAcmDriverRegistry::Instance().OpenStream(
      *src_.GetWaveFormatEx(), *dst_.GetWaveFormatEx(), RealTime, &stream_));
  ResetBuffers();
}

void TMiniConvertor::Close() {
  ResetBuffers();
  stream_.reset();
}

void TMiniConvertor::ResetBuffers() {
  source_.clear();
  source_.shrink_to_fit();
  fill_ = 0;
  out_.clear();
  prepared_ = false;
}

uint32_t TMiniConvertor::Convert(const uint8_t* Data, uint32_t Size, bool GuardFPU) {
  if (!stream_) throw EACMConversionError("Cannot perform this action while not active.");
  if (fill_ + Size > source_.size()) {
    // Once the output buffer is sized for the source buffer, neither grows.
    if (prepared_) throw EACMConversionError("Audio is too large to fit into conversion buffer");
    source_.resize(2 * (fill_ + Size));
  }
  if (Size) std::memcpy(source_.data() + fill_, Data, Size);
  fill_ += Size;
  if (!prepared_) {
    if (stream_->OutputSize(static_cast<uint32_t>(fill_)) == 0) return 0;
    if (source_.size() < 3 * fill_) source_.resize(3 * fill_);
    out_.resize(stream_->OutputSize(static_cast<uint32_t>(source_.size())));
    prepared_ = true;
  }
  if (stream_->OutputSize(static_cast<uint32_t>(fill_)) == 0) return 0;
  uint32_t used = 0, produced = 0;
  MMRESULT result;
  {
    TFpuGuard guard(GuardFPU);
    result = stream_->Convert(source_.data(), static_cast<uint32_t>(fill_), used, out_.data(),
                              static_cast<uint32_t>(out_.size()), produced);
  }
  CheckMMResult<EACMConversionError>(result);
  std::memmove(source_.data(), source_.data() + used, fill_ - used);
  fill_ -= used;
  return produced;
}

// --- TwvAudioConvertor -------------------------------------------------------

TwvAudioConvertor::TwvAudioConvertor()
    : subject_(*this, formatOut_), observer_(*this, [this](const uint8_t* d, uint32_t s) { SourceData(d, s); }) {}

TwvAudioConvertor::~TwvAudioConvertor() { FreeChain(); }

void TwvAudioConvertor::SetActive(bool Value) {
  if (Value == active_) return;
  if (Value)
    Open();
  else
    Close();
}

void TwvAudioConvertor::SetRequestRealTime(bool Value) {
  if (active_) throw EACMConversionError("Cannot perform this action while active.");
  requestRealTime_ = Value;
}

void TwvAudioConvertor::Open() {
  if (active_) throw EACMConversionError("Cannot perform this action while active.");
  try {
    BuildChain();
    for (auto& link : links_) link->Open(requestRealTime_);
  } catch (...) {
    FreeChain();
    throw;
  }
  active_ = true;
}

void TwvAudioConvertor::Close() {
  if (!active_) throw EACMConversionError("Cannot perform this action while not active.");
  active_ = false;
  lastData_ = nullptr;
  lastSize_ = 0;
  FreeChain();
}

void TwvAudioConvertor::FreeChain() {
  links_.clear();  // each link closes its stream
  chain_.clear();
}

void TwvAudioConvertor::BuildChain() {
  FreeChain();
  const TwvWaveFormat& src = formatIn_;
  const TwvWaveFormat& dst = formatOut_;
  const bool rt = requestRealTime_;
  chain_.push_back(src);
  if (!QueryStreamOpen(src, dst, rt)) {
    // The drivers' full PCM form of each end bridges the formats no driver
    // converts directly.
    const TwvWaveFormat mid1 = SuggestPcm(src);
    if (!QueryStreamOpen(src, mid1, rt)) throw EACMConversionError("Conversion not possible.");
    if (!mid1.Equals(src) && !mid1.Equals(dst)) chain_.push_back(mid1);
    if (!QueryStreamOpen(mid1, dst, rt)) {
      const TwvWaveFormat mid2 = SuggestPcm(dst);
      if (!QueryStreamOpen(mid1, mid2, rt) || !QueryStreamOpen(mid2, dst, rt))
        throw EACMConversionError("Conversion not possible.");
      if (!mid2.Equals(mid1) && !mid2.Equals(dst)) chain_.push_back(mid2);
    }
  }
  chain_.push_back(dst);
  for (size_t i = 0; i + 1 < chain_.size(); ++i)
    links_.push_back(std::make_unique<TMiniConvertor>(chain_[i], chain_[i + 1]));
}

void TwvAudioConvertor::Convert(const uint8_t* Data, uint32_t Size) {
  if (!active_) throw EACMConversionError("Cannot perform this action while not active.");
  const uint8_t* data = Data;
  uint32_t size = Size;
  for (auto& link : links_) {
    size = link->Convert(data, size, Set8087FPUFlag);
    if (size == 0) return;
    data = link->Output();
  }
  DoAudioConverted(data, size);
}

void TwvAudioConvertor::DoAudioConverted(const uint8_t* Data, uint32_t Size) {
  lastData_ = Data;
  lastSize_ = Size;
  subject_.NotifyObservers(Data, Size);
  // An observer that closed the convertor freed the block with the chain.
  if (lastData_ != Data || !OnAudioConverted) return;
  bool abort = false;
  OnAudioConverted(*this, Data, Size, abort);
}

void TwvAudioConvertor::SourceData(const uint8_t* Data, uint32_t Size) {
  if (!active_) return;
  if (const IwvAudioSubject* source = observer_.SubjectInterface(); source && !source->GetFormat().Equals(formatIn_)) {
    Close();
    formatIn_.Assign(source->GetFormat());
    Open();
  }
  Convert(Data, Size);
}
