#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "audio/AcmDriver.h"
#include "audio/wvACM.h"
#include "support/Mp3Decode.h"

namespace {

TwvWaveFormat Mp3Format(const std::string& name) {
  for (int c = 0; c < GetCodecCount(); ++c)
    for (int i = 0; i < GetCodec(c).GetFormatCount(); ++i)
      if (GetCodec(c).GetFormatDetails(i).Name == name)
        return TwvWaveFormat(GetCodec(c).GetFormatDetails(i).WaveFormatEx());
  ADD_FAILURE() << name;
  return {};
}

template <class F>
std::string ErrorOf(F f) {
  try {
    f();
  } catch (const EACMError& e) {
    return e.what();
  }
  return "";
}

// Frequency from the rising zero crossings between `from` and `to`.
double ToneFrequency(const std::vector<int16_t>& s, size_t from, size_t to, double rate) {
  double first = -1, last = -1;
  int periods = -1;
  for (size_t i = from; i + 1 < to; ++i)
    if (s[i] < 0 && s[i + 1] >= 0) {
      const double t = i + double(-s[i]) / (s[i + 1] - s[i]);
      if (first < 0) first = t;
      last = t;
      ++periods;
    }
  return periods > 0 ? periods * rate / (last - first) : 0;
}

}  // namespace

TEST(CodecList, TwoDriversAndTheStreamFormatFirst) {
  ASSERT_EQ(GetCodecCount(), 2);
  const TwvCodec& pcm = GetCodec(0);
  EXPECT_EQ(pcm.ShortName(), "PCM Converter");
  EXPECT_TRUE(pcm.Supports(TwvCodecSupport::Converter));
  EXPECT_EQ(pcm.MaxFormatSize(), 18u);  // the driver says 16
  const TwvCodec& mp3 = GetCodec(1);
  EXPECT_EQ(mp3.MaxFormatSize(), 30u);
  // The remote dialog takes the first format of each tag at or below 32000 Hz.
  auto first = [](const TwvCodec& codec, uint16_t tag) -> const TwvCodecFormat& {
    for (int i = 0; i < codec.GetFormatCount(); ++i) {
      const WAVEFORMATEX* f = codec.GetFormatDetails(i).WaveFormatEx();
      if (f->wFormatTag == tag && f->nSamplesPerSec <= 32000) return codec.GetFormatDetails(i);
    }
    throw std::out_of_range("none");
  };
  const TwvCodecFormat& stream = first(mp3, WAVE_FORMAT_MPEGLAYER3);
  EXPECT_EQ(stream.Name, "56 kBit/s, 22.050 Hz, Mono");
  EXPECT_EQ(stream.WaveFormatEx()->nAvgBytesPerSec * 8, 56000u);
  EXPECT_EQ(stream.WaveFormatEx()->cbSize, 12);
  const TwvCodecFormat& capture = first(pcm, WAVE_FORMAT_PCM);
  EXPECT_EQ(capture.Name, "22.050 Hz, 16 Bit, Mono");
  EXPECT_TRUE(QueryStreamOpen(TwvWaveFormat(capture.WaveFormatEx()), TwvWaveFormat(stream.WaveFormatEx()), true));
}

TEST(CodecList, DriverThatCannotDescribeItselfIsLeftOut) {
  struct TBroken final : IAcmDriver {
    MMRESULT Details(TAcmDriverDetails&) override { return MMSYSERR_NOTSUPPORTED; }
    MMRESULT MaxFormatSize(uint32_t&) override { return 0; }
    MMRESULT EnumFormats(std::vector<TAcmFormat>&) override { return 0; }
    MMRESULT Suggest(const WAVEFORMATEX&, uint16_t, std::vector<uint8_t>&) override { return ACMERR_NOTPOSSIBLE; }
    MMRESULT OpenStream(const WAVEFORMATEX&, const WAVEFORMATEX&, bool, std::unique_ptr<IAcmStream>*) override {
      return ACMERR_NOTPOSSIBLE;
    }
  };
  const uint32_t id = TAcmDriverRegistry::Instance().Add(std::make_shared<TBroken>());
  EXPECT_EQ(ErrorOf([&] { TwvCodec c(id); }), "Error retrieving driver details.\r\nFunction not supported.");
  BuildCodecList();
  EXPECT_EQ(GetCodecCount(), 2);
  TAcmDriverRegistry::Instance().Remove(id);
}

TEST(Convertor, ChainBuilding) {
  const TwvWaveFormat mp3 = Mp3Format("56 kBit/s, 22.050 Hz, Mono");
  struct {
    TwvWaveFormat in, out;
    size_t formats;  // 0: not possible
  } cases[] = {
      {PcmFormat(22050, 16, 1), mp3, 2},
      {PcmFormat(22050, 8, 1), mp3, 3},   // 16-bit between
      {PcmFormat(44100, 16, 1), mp3, 3},  // the rate converted first
      {PcmFormat(22050, 8, 2), mp3, 4},   // 16-bit stereo, then mono
      {mp3, PcmFormat(22050, 16, 1), 0},  // no decoder
  };
  for (const auto& c : cases) {
    TwvAudioConvertor conv;
    conv.SetFormatIn(c.in);
    conv.SetFormatOut(c.out);
    if (c.formats == 0) {
      EXPECT_EQ(ErrorOf([&] { conv.Open(); }), "Conversion not possible.");
      EXPECT_FALSE(conv.Active());
      continue;
    }
    conv.Open();
    ASSERT_EQ(conv.ChainFormats().size(), c.formats);
    EXPECT_TRUE(conv.ChainFormats().front().Equals(c.in));
    EXPECT_TRUE(conv.ChainFormats().back().Equals(c.out));
    EXPECT_EQ(ErrorOf([&] { conv.SetRequestRealTime(true); }), "Cannot perform this action while active.");
    conv.Close();
    EXPECT_EQ(ErrorOf([&] { conv.Close(); }), "Cannot perform this action while not active.");
  }
}

TEST(MiniConvertor, SourceBufferGrowsUntilTheFirstOutputOnly) {
  TMiniConvertor link(PcmFormat(8000, 16, 2), PcmFormat(8000, 16, 2));
  std::vector<uint8_t> data(2000, 1);
  EXPECT_EQ(ErrorOf([&] { link.Convert(data.data(), 4, false); }), "Cannot perform this action while not active.");
  link.Open(false);
  EXPECT_EQ(ErrorOf([&] { link.Open(false); }), "Cannot perform this action while active.");
  EXPECT_EQ(link.Convert(data.data(), 2, true), 0u);  // half a frame: no output size yet
  EXPECT_FALSE(link.Prepared());
  EXPECT_EQ(link.SourceCapacity(), 4u);
  EXPECT_EQ(link.Convert(data.data(), 400, true), 400u);
  EXPECT_TRUE(link.Prepared());
  EXPECT_EQ(link.SourceCapacity(), 3 * 402u);
  EXPECT_EQ(link.SourceFill(), 2u);
  EXPECT_EQ(ErrorOf([&] { link.Convert(data.data(), 1205, true); }), "Audio is too large to fit into conversion buffer");
  EXPECT_EQ(link.Convert(data.data(), 1202, true), 1204u);
}

TEST(Convertor, SourceFormatChangeReopensBeforeConverting) {
  struct TSource final : TwvAudioComponent, IwvAudioSubject {
    TwvWaveFormat format = PcmFormat(22050, 16, 1);
    TwvAudioSubject subject{*this, format};
    void Attach(IwvAudioObserver* o) override { subject.Attach(o); }
    void Detach(IwvAudioObserver* o) override { subject.Detach(o); }
    const TwvWaveFormat& GetFormat() const override { return format; }
  } source;
  TwvAudioConvertor conv;
  conv.SetAudioSource(&source);
  conv.SetFormatIn(PcmFormat(22050, 8, 1));
  conv.SetFormatOut(PcmFormat(11025, 16, 1));
  uint32_t converted = 0;
  conv.OnAudioConverted = [&](TwvAudioComponent&, const uint8_t*, uint32_t size, bool&) { converted += size; };
  conv.Open();
  std::vector<uint8_t> block(4000);
  source.subject.NotifyObservers(block.data(), 4000);
  EXPECT_TRUE(conv.ChainFormats().front().Equals(source.format));
  EXPECT_NEAR(converted, 2000.0, 4.0);  // 2000 16-bit samples halved
}

TEST(Convertor, ToneSurvivesTheMp3RoundTrip) {
  constexpr int kRate = 22050, kSeconds = 3;
  std::vector<uint8_t> pcm(kRate * kSeconds * 2);
  for (size_t i = 0; i < pcm.size() / 2; ++i)
    pcm[2 * i] = pcm[2 * i + 1] = static_cast<uint8_t>(128 + std::lround(90 * std::sin(2 * M_PI * 440 * i / kRate)));
  TwvAudioConvertor conv;
  conv.SetFormatIn(PcmFormat(kRate, 8, 2));
  conv.SetFormatOut(Mp3Format("56 kBit/s, 22.050 Hz, Mono"));
  std::vector<uint8_t> mp3;
  conv.OnAudioConverted = [&](TwvAudioComponent&, const uint8_t* d, uint32_t n, bool&) { mp3.insert(mp3.end(), d, d + n); };
  conv.Open();
  conv.Convert(pcm.data(), 1000);  // LAME holds the first samples back
  EXPECT_TRUE(mp3.empty());
  for (size_t at = 1000; at < pcm.size(); at += 1000) conv.Convert(pcm.data() + at, std::min<size_t>(1000, pcm.size() - at));
  conv.Close();

  long rate = 0;
  const std::vector<int16_t> out = DecodeMp3(mp3, rate);
  EXPECT_EQ(rate, kRate);
  EXPECT_NEAR(ToneFrequency(out, kRate / 2, out.size() - kRate / 2, kRate), 440.0, 2.0);
  // Longer by at most the encoder's delay, shorter by at most the frames
  // LAME still held when closing discarded them (576 samples a frame here).
  const long input = kRate * kSeconds;
  EXPECT_LE(long(out.size()), input + 1105);
  EXPECT_GE(long(out.size()), input - 4 * 576);
}

namespace {

// Runs the PCM converter over `src` split into blocks of the given frame
// counts (cycled) and returns the output bytes.
std::vector<uint8_t> ConvertPcm(const TwvWaveFormat& from, const TwvWaveFormat& to, const std::vector<uint8_t>& src,
                                const std::vector<size_t>& blockFrames) {
  std::unique_ptr<IAcmStream> stream;
  EXPECT_EQ(MakePcmConverterDriver()->OpenStream(*from.GetWaveFormatEx(), *to.GetWaveFormatEx(), false, &stream),
            MMSYSERR_NOERROR);
  const uint32_t align = from.GetWaveFormatEx()->nBlockAlign;
  std::vector<uint8_t> out;
  size_t at = 0;
  for (size_t b = 0; at < src.size(); ++b) {
    const uint32_t len = static_cast<uint32_t>(std::min(blockFrames[b % blockFrames.size()] * align, src.size() - at));
    std::vector<uint8_t> dst(stream->OutputSize(len));
    uint32_t used = 0, made = 0;
    EXPECT_EQ(stream->Convert(src.data() + at, len, used, dst.data(), static_cast<uint32_t>(dst.size()), made),
              MMSYSERR_NOERROR);
    out.insert(out.end(), dst.begin(), dst.begin() + made);
    at += used;
  }
  return out;
}

std::vector<int16_t> Samples16(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> s(bytes.size() / 2);
  std::memcpy(s.data(), bytes.data(), s.size() * 2);
  return s;
}

}  // namespace

// The samples themselves: 8-bit offset, the mono mix of two different
// channels, and linear interpolation whose phase runs on across blocks.
TEST(PcmConverter, SamplesSurviveSizeChannelAndRateConversion) {
  // 8-bit stereo, left and right apart: mono is their mean, centred on zero.
  const std::vector<uint8_t> stereo8 = {128, 128, 255, 1, 0, 128, 200, 100};
  EXPECT_EQ(Samples16(ConvertPcm(PcmFormat(8000, 8, 2), PcmFormat(8000, 16, 1), stereo8, {4})),
            (std::vector<int16_t>{0, 0, -16384, 5632}));

  // 44100 -> 22050 mono of a ramp: every output is the input at twice its
  // index, however the input is cut into blocks.
  std::vector<int16_t> ramp(4410);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(i * 7 - 15000);
  std::vector<uint8_t> rampBytes(ramp.size() * 2);
  std::memcpy(rampBytes.data(), ramp.data(), rampBytes.size());
  for (const std::vector<size_t>& blocks : {std::vector<size_t>{4410}, {441, 37, 1000, 3}}) {
    const std::vector<int16_t> out =
        Samples16(ConvertPcm(PcmFormat(44100, 16, 1), PcmFormat(22050, 16, 1), rampBytes, blocks));
    ASSERT_GE(out.size(), 2200u);
    for (size_t k = 0; k < out.size(); ++k) ASSERT_EQ(out[k], ramp[2 * k]) << k;
  }
  // 8000 -> 11025: interpolated between neighbours, the same in one block or many.
  const auto whole = ConvertPcm(PcmFormat(8000, 16, 1), PcmFormat(11025, 16, 1), rampBytes, {4410});
  EXPECT_EQ(ConvertPcm(PcmFormat(8000, 16, 1), PcmFormat(11025, 16, 1), rampBytes, {100, 7, 513}), whole);
  const std::vector<int16_t> up = Samples16(whole);
  for (size_t k = 0; k < up.size(); ++k) ASSERT_NEAR(up[k], -15000 + 7.0 * k * 8000 / 11025, 1.0) << k;
}
