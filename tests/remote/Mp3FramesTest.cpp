// The frame cutter over the program's own encoder output: at 22,050 Hz most
// frames carry the padding byte (183 bytes, not 182), and a cut must follow it.
#include "remote/Mp3Frames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "audio/wvACM.h"
#include "support/Mp3Decode.h"

namespace {

// Three seconds of a 440 Hz tone through the encoder the remote stream uses.
std::string EncodedTone() {
  TwvWaveFormat mp3Format;
  for (int c = 0; c < GetCodecCount(); ++c)
    for (int i = 0; i < GetCodec(c).GetFormatCount(); ++i)
      if (GetCodec(c).GetFormatDetails(i).Name == "56 kBit/s, 22.050 Hz, Mono")
        mp3Format = TwvWaveFormat(GetCodec(c).GetFormatDetails(i).WaveFormatEx());
  constexpr int kRate = 22050, kSeconds = 3;
  std::vector<uint8_t> pcm(kRate * kSeconds);
  for (size_t i = 0; i < pcm.size(); ++i)
    pcm[i] = static_cast<uint8_t>(128 + std::lround(90 * std::sin(2 * M_PI * 440 * i / kRate)));
  TwvAudioConvertor conv;
  conv.SetFormatIn(PcmFormat(kRate, 8, 1));
  conv.SetFormatOut(mp3Format);
  std::string mp3;
  conv.OnAudioConverted = [&](TwvAudioComponent&, const uint8_t* d, uint32_t n, bool&) {
    mp3.append(reinterpret_cast<const char*>(d), n);
  };
  conv.Open();
  for (size_t at = 0; at < pcm.size(); at += 1000) conv.Convert(pcm.data() + at, std::min<size_t>(1000, pcm.size() - at));
  conv.Close();
  return mp3;
}

std::vector<int16_t> Decode(const std::string& Mp3, long& Rate) {
  return DecodeMp3(std::vector<uint8_t>(Mp3.begin(), Mp3.end()), Rate);
}

}  // namespace

TEST(Mp3FrameCutter, PaddedFramesOfARealEncoderStayWholeAndDecode) {
  const std::string mp3 = EncodedTone();
  ASSERT_GT(mp3.size(), 10000u);
  // Pushed in pieces that never line up with the frames.
  TMp3FrameSplitter cutter;
  std::vector<std::string> frames;
  int64_t playedUs = 0;
  const auto out = [&](std::string f, int64_t us) {
    frames.push_back(std::move(f));
    playedUs += us;
  };
  for (size_t at = 0, piece = 1; at < mp3.size(); at += piece, piece = piece % 997 + 113)
    cutter.Push(mp3.substr(at, piece), out);

  std::map<size_t, int> sizes;
  std::string joined;
  int cutWrong = 0;  // a frame's length not the one its header gives
  for (const auto& f : frames) {
    ++sizes[f.size()];
    const bool padded = (static_cast<unsigned char>(f[2]) >> 1) & 1;
    cutWrong += f.size() != (padded ? 183u : 182u) || f.substr(0, 2) != "\xFF\xF3";
    joined += f;
  }
  EXPECT_EQ(cutWrong, 0);
  EXPECT_GT(sizes[183], 10) << "the encoder pads most frames at this rate";
  EXPECT_GT(sizes[182], 0);
  const std::string fromFirst = mp3.substr(mp3.find("\xFF\xF3"));
  // Nothing lost or added between the frames: the cut stream is the
  // encoder's, but for the piece of a frame the encoder's close left, held
  // back until its frame would be whole.
  ASSERT_LE(joined.size(), fromFirst.size());
  EXPECT_TRUE(joined == fromFirst.substr(0, joined.size()));
  EXPECT_LT(fromFirst.size() - joined.size(), 182u);
  EXPECT_EQ(playedUs, int64_t(frames.size()) * (576 * 1000000 / 22050));

  long rateCut = 0, rateWhole = 0;
  const auto cut = Decode(joined, rateCut);
  const auto whole = Decode(mp3, rateWhole);
  EXPECT_EQ(rateCut, 22050);
  EXPECT_EQ(cut.size(), frames.size() * 576);
  EXPECT_TRUE(cut == whole);
}
