// The MPEG Layer-3 encoder driver over LAME: 16-bit PCM to constant-bit-rate
// MP3 at the same sample rate, mono or joint stereo, with no VBR tag frame.
// LAME keeps samples back for its look-ahead, so the first small inputs give
// no bytes; closing a stream discards what is held back (no flush).
#include <lame/lame.h>

#include <algorithm>
#include <cstring>

#include "audio/AcmDriver.h"
#include "platform/Format.h"

namespace {

#pragma pack(push, 1)
// The 12 extra bytes of an MPEG Layer-3 format (30 bytes in all).
struct TMpegLayer3Extra {
  uint16_t wID;
  uint32_t fdwFlags;
  uint16_t nBlockSize;
  uint16_t nFramesPerBlock;
  uint16_t nCodecDelay;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) + sizeof(TMpegLayer3Extra) == 30);

constexpr uint16_t MPEGLAYER3_ID_MPEG = 1;
constexpr uint32_t MPEGLAYER3_FLAG_PADDING_ISO = 0;

// The rates and bit rates offered, highest bit rate first, so the first
// format at or below 32000 Hz is the stream's 56 kbit/s.
constexpr uint32_t kOfferedRates[] = {22050, 16000, 11025, 8000};
constexpr uint32_t kOfferedKbps[] = {56, 48, 40, 32, 24, 16, 8};

bool IsLayer3Rate(uint32_t rate) {
  for (uint32_t r : {8000u, 11025u, 12000u, 16000u, 22050u, 24000u, 32000u, 44100u, 48000u})
    if (r == rate) return true;
  return false;
}

bool IsLayer3Bitrate(uint32_t rate, uint32_t kbps) {
  static constexpr uint32_t kMpeg1[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  static constexpr uint32_t kMpeg2[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
  static_assert(std::size(kMpeg1) == std::size(kMpeg2));
  const uint32_t* list = rate >= 32000 ? kMpeg1 : kMpeg2;
  return std::find(list, list + std::size(kMpeg1), kbps) != list + std::size(kMpeg1);
}

std::vector<uint8_t> Layer3Format(uint32_t rate, uint16_t channels, uint32_t kbps) {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
  f.nChannels = channels;
  f.nSamplesPerSec = rate;
  f.nAvgBytesPerSec = kbps * 1000 / 8;
  f.nBlockAlign = 1;
  f.cbSize = sizeof(TMpegLayer3Extra);
  TMpegLayer3Extra x{};
  x.wID = MPEGLAYER3_ID_MPEG;
  x.fdwFlags = MPEGLAYER3_FLAG_PADDING_ISO;
  x.nBlockSize = static_cast<uint16_t>((rate >= 32000 ? 144 : 72) * kbps * 1000 / rate);
  x.nFramesPerBlock = 1;
  std::vector<uint8_t> bytes(sizeof f + sizeof x);
  std::memcpy(bytes.data(), &f, sizeof f);
  std::memcpy(bytes.data() + sizeof f, &x, sizeof x);
  return bytes;
}

bool IsEncodable(const WAVEFORMATEX& src, const WAVEFORMATEX& dst) {
  return src.wFormatTag == WAVE_FORMAT_PCM && src.wBitsPerSample == 16 &&
         src.nBlockAlign == 2 * src.nChannels && dst.wFormatTag == WAVE_FORMAT_MPEGLAYER3 &&
         dst.cbSize >= sizeof(TMpegLayer3Extra) && (dst.nChannels == 1 || dst.nChannels == 2) &&
         src.nChannels == dst.nChannels && src.nSamplesPerSec == dst.nSamplesPerSec &&
         IsLayer3Rate(dst.nSamplesPerSec) && dst.nAvgBytesPerSec * 8 % 1000 == 0 &&
         IsLayer3Bitrate(dst.nSamplesPerSec, dst.nAvgBytesPerSec * 8 / 1000);
}

class TLameStream final : public IAcmStream {
 public:
  explicit TLameStream(lame_global_flags* gf, uint16_t channels) : gf_(gf), channels_(channels) {}
  ~TLameStream() override { lame_close(gf_); }

  uint32_t OutputSize(uint32_t srcBytes) override {
    const uint32_t samples = srcBytes / (2 * channels_);
    // LAME's own bound for one call's output.
    return samples == 0 ? 0 : samples + samples / 4 + 7200;
  }

  MMRESULT Convert(const uint8_t* src, uint32_t srcLen, uint32_t& srcUsed, uint8_t* dst, uint32_t dstLen,
                   uint32_t& dstUsed) override {
    const uint32_t samples = srcLen / (2 * channels_);
    srcUsed = samples * 2 * channels_;
    dstUsed = 0;
    if (samples == 0) return MMSYSERR_NOERROR;
    pcm_.resize(size_t(samples) * channels_);
    std::memcpy(pcm_.data(), src, srcUsed);
    const int n = channels_ == 1
                      ? lame_encode_buffer(gf_, pcm_.data(), pcm_.data(), static_cast<int>(samples), dst,
                                           static_cast<int>(dstLen))
                      : lame_encode_buffer_interleaved(gf_, pcm_.data(), static_cast<int>(samples), dst,
                                                       static_cast<int>(dstLen));
    if (n == -1) return MMSYSERR_NOMEM;  // output buffer too small
    if (n < 0) return MMSYSERR_ERROR;
    dstUsed = static_cast<uint32_t>(n);
    return MMSYSERR_NOERROR;
  }

 private:
  lame_global_flags* gf_;
  uint16_t channels_;
  std::vector<short> pcm_;
};

class TMp3EncoderDriver final : public IAcmDriver {
 public:
  MMRESULT Details(TAcmDriverDetails& d) override {
    d.Support = ACMDRIVERDETAILS_SUPPORTF_CODEC;
    d.Priority = 2;
    d.ShortName = "MPEG Layer-3";
    d.LongName = std::string("MPEG Layer-3 Encoder (LAME ") + get_lame_version() + ")";
    d.Licensing = "LAME is licensed under the LGPL.";
    d.Features = "Constant bit rate MPEG audio layer 3 encoding.";
    return MMSYSERR_NOERROR;
  }

  MMRESULT MaxFormatSize(uint32_t& size) override {
    size = sizeof(WAVEFORMATEX) + sizeof(TMpegLayer3Extra);
    return MMSYSERR_NOERROR;
  }

  MMRESULT EnumFormats(std::vector<TAcmFormat>& formats) override {
    for (uint32_t kbps : kOfferedKbps)
      for (uint32_t rate : kOfferedRates)
        for (uint16_t channels : {1, 2})
          formats.push_back({Format("%u kBit/s, %s Hz, %s", kbps, RateText(rate).c_str(),
                                    channels == 1 ? "Mono" : "Stereo"),
                             Layer3Format(rate, channels, kbps)});
    return MMSYSERR_NOERROR;
  }

  // An MP3 format is fed 16-bit PCM of its own rate and channels.
  MMRESULT Suggest(const WAVEFORMATEX& src, uint16_t tag, std::vector<uint8_t>& dst) override {
    if ((tag != 0 && tag != WAVE_FORMAT_PCM) || src.wFormatTag != WAVE_FORMAT_MPEGLAYER3 ||
        !IsLayer3Rate(src.nSamplesPerSec) || src.nChannels < 1 || src.nChannels > 2)
      return ACMERR_NOTPOSSIBLE;
    const TwvWaveFormat pcm = PcmFormat(src.nSamplesPerSec, 16, src.nChannels);
    const auto* p = reinterpret_cast<const uint8_t*>(pcm.GetWaveFormatEx());
    dst.assign(p, p + sizeof(WAVEFORMATEX));
    return MMSYSERR_NOERROR;
  }

  MMRESULT OpenStream(const WAVEFORMATEX& src, const WAVEFORMATEX& dst, bool,
                      std::unique_ptr<IAcmStream>* stream) override {
    if (!IsEncodable(src, dst)) return ACMERR_NOTPOSSIBLE;
    if (!stream) return MMSYSERR_NOERROR;
    lame_global_flags* gf = lame_init();
    if (!gf) return MMSYSERR_NOMEM;
    lame_set_num_channels(gf, dst.nChannels);
    lame_set_in_samplerate(gf, static_cast<int>(dst.nSamplesPerSec));
    lame_set_out_samplerate(gf, static_cast<int>(dst.nSamplesPerSec));
    lame_set_mode(gf, dst.nChannels == 1 ? MONO : JOINT_STEREO);
    lame_set_VBR(gf, vbr_off);
    lame_set_brate(gf, static_cast<int>(dst.nAvgBytesPerSec * 8 / 1000));
    lame_set_bWriteVbrTag(gf, 0);
    if (lame_init_params(gf) < 0) {
      lame_close(gf);
      return ACMERR_NOTPOSSIBLE;
    }
    *stream = std::make_unique<TLameStream>(gf, dst.nChannels);
    return MMSYSERR_NOERROR;
  }
};

}  // namespace

std::shared_ptr<IAcmDriver> MakeMp3EncoderDriver() { return std::make_shared<TMp3EncoderDriver>(); }
