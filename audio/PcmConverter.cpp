// "PCM Converter": rate, channel and sample-size conversion between 8- and
// 16-bit PCM of one or two channels. It also opens same-format streams, which
// the conversion chain needs for its links.
#include <cstring>

#include "audio/AcmDriver.h"
#include "platform/Format.h"

namespace {

bool IsConvertiblePcm(const WAVEFORMATEX& f) {
  return f.wFormatTag == WAVE_FORMAT_PCM && (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) &&
         (f.nChannels == 1 || f.nChannels == 2) && f.nSamplesPerSec > 0 && f.nSamplesPerSec <= 192000 &&
         f.nBlockAlign == f.wBitsPerSample / 8 * f.nChannels &&
         f.nAvgBytesPerSec == f.nSamplesPerSec * f.nBlockAlign;
}

std::vector<uint8_t> Bytes(const TwvWaveFormat& f) {
  const auto* p = reinterpret_cast<const uint8_t*>(f.GetWaveFormatEx());
  return {p, p + WaveFormatSize(*f.GetWaveFormatEx())};
}

class TPcmStream final : public IAcmStream {
 public:
  TPcmStream(const WAVEFORMATEX& src, const WAVEFORMATEX& dst) : src_(src), dst_(dst) {}

  uint32_t OutputSize(uint32_t srcBytes) override {
    const uint64_t frames = srcBytes / src_.nBlockAlign;
    if (frames == 0) return 0;
    // One more output frame than the exact ratio: the carried phase may add it.
    const uint64_t out = frames * dst_.nSamplesPerSec / src_.nSamplesPerSec + 2;
    return static_cast<uint32_t>(out * dst_.nBlockAlign);
  }

  MMRESULT Convert(const uint8_t* src, uint32_t srcLen, uint32_t& srcUsed, uint8_t* dst, uint32_t dstLen,
                   uint32_t& dstUsed) override {
    const int64_t frames = srcLen / src_.nBlockAlign;
    const int64_t inRate = src_.nSamplesPerSec, outRate = dst_.nSamplesPerSec;
    srcUsed = static_cast<uint32_t>(frames * src_.nBlockAlign);
    dstUsed = 0;
    if (frames == 0) return MMSYSERR_NOERROR;
    // pos_ is the next output's place in source frames, in units of 1/outRate;
    // frame -1 is the last frame of the previous block.
    for (;;) {
      const int64_t i = pos_ >= 0 ? pos_ / outRate : -1;
      const int64_t frac = pos_ - i * outRate;
      if (i >= frames || (frac != 0 && i + 1 >= frames)) break;
      if (dstUsed + dst_.nBlockAlign > dstLen) return MMSYSERR_NOMEM;
      Frame a = i < 0 ? last_ : Read(src, i);
      if (frac != 0) {
        const Frame b = Read(src, i + 1);
        for (int c = 0; c < 2; ++c) a[c] += static_cast<int32_t>((int64_t(b[c] - a[c]) * frac) / outRate);
      }
      Write(dst + dstUsed, a);
      dstUsed += dst_.nBlockAlign;
      pos_ += inRate;
    }
    last_ = Read(src, frames - 1);
    pos_ -= frames * outRate;
    return MMSYSERR_NOERROR;
  }

 private:
  using Frame = std::array<int32_t, 2>;  // left, right as 16-bit values

  Frame Read(const uint8_t* src, int64_t frame) const {
    const uint8_t* p = src + frame * src_.nBlockAlign;
    Frame f{};
    for (int c = 0; c < src_.nChannels; ++c) {
      if (src_.wBitsPerSample == 8) {
        f[c] = (int32_t(p[c]) - 128) * 256;
      } else {
        int16_t s;
        std::memcpy(&s, p + 2 * c, 2);
        f[c] = s;
      }
    }
    if (src_.nChannels == 1) f[1] = f[0];
    return f;
  }

  void Write(uint8_t* p, const Frame& f) const {
    const int32_t mono = (f[0] + f[1]) / 2;
    for (int c = 0; c < dst_.nChannels; ++c) {
      const int32_t v = dst_.nChannels == 1 ? mono : f[c];
      if (dst_.wBitsPerSample == 8) {
        p[c] = static_cast<uint8_t>((v >> 8) + 128);
      } else {
        const int16_t s = static_cast<int16_t>(v);
        std::memcpy(p + 2 * c, &s, 2);
      }
    }
  }

  WAVEFORMATEX src_, dst_;
  int64_t pos_ = 0;
  Frame last_{};
};

class TPcmConverterDriver final : public IAcmDriver {
 public:
  MMRESULT Details(TAcmDriverDetails& d) override {
    d.Support = ACMDRIVERDETAILS_SUPPORTF_CONVERTER;
    d.Priority = 1;
    d.ShortName = "PCM Converter";
    d.LongName = "PCM rate, channel and sample size converter";
    d.Features = "Converts 8 and 16 bit PCM audio between sample rates and channel counts.";
    return MMSYSERR_NOERROR;
  }

  MMRESULT MaxFormatSize(uint32_t& size) override {
    size = 16;  // the PCM structure has no size field
    return MMSYSERR_NOERROR;
  }

  // The remote stream's rate and sample size first: the first PCM format at
  // or below 32000 Hz goes to the MP3 encoder without any conversion.
  MMRESULT EnumFormats(std::vector<TAcmFormat>& formats) override {
    for (uint32_t rate : {22050u, 8000u, 11025u, 16000u, 32000u, 44100u, 48000u})
      for (uint16_t bits : {16, 8})
        for (uint16_t channels : {1, 2})
          formats.push_back({Format("%s Hz, %u Bit, %s", RateText(rate).c_str(), bits,
                                    channels == 1 ? "Mono" : "Stereo"),
                             Bytes(PcmFormat(rate, bits, channels))});
    return MMSYSERR_NOERROR;
  }

  // A PCM source gets its full 16-bit form.
  MMRESULT Suggest(const WAVEFORMATEX& src, uint16_t tag, std::vector<uint8_t>& dst) override {
    if ((tag != 0 && tag != WAVE_FORMAT_PCM) || !IsConvertiblePcm(src)) return ACMERR_NOTPOSSIBLE;
    dst = Bytes(PcmFormat(src.nSamplesPerSec, 16, src.nChannels));
    return MMSYSERR_NOERROR;
  }

  MMRESULT OpenStream(const WAVEFORMATEX& src, const WAVEFORMATEX& dst, bool,
                      std::unique_ptr<IAcmStream>* stream) override {
    if (!IsConvertiblePcm(src) || !IsConvertiblePcm(dst)) return ACMERR_NOTPOSSIBLE;
    if (stream) *stream = std::make_unique<TPcmStream>(src, dst);
    return MMSYSERR_NOERROR;
  }
};

}  // namespace

std::shared_ptr<IAcmDriver> MakePcmConverterDriver() { return std::make_shared<TPcmConverterDriver>(); }
