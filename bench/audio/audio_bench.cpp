// MP3 encoding speed through the conversion chain, as a multiple of real time
// (x_realtime: seconds of audio converted per second of wall time; the target
// for the remote stream is at least 50).
//
// BM_Mp3Encode/direct: 22050 Hz 16-bit mono PCM straight into the 56 kbit/s
// mono encoder. BM_Mp3Encode/chain: 22050 Hz 8-bit stereo capture through the
// PCM links into the same encoder, as the remote stream runs it. Blocks are
// half a second, the capture component's default buffer.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "audio/wvACM.h"

namespace {

constexpr uint32_t kRate = 22050;

TwvWaveFormat StreamFormat() {
  for (int c = 0; c < GetCodecCount(); ++c)
    for (int i = 0; i < GetCodec(c).GetFormatCount(); ++i)
      if (GetCodec(c).GetFormatDetails(i).Name == "56 kBit/s, 22.050 Hz, Mono")
        return TwvWaveFormat(GetCodec(c).GetFormatDetails(i).WaveFormatEx());
  return {};
}

// Ten seconds of two tones with noise, in the given PCM format.
std::vector<uint8_t> Programme(const TwvWaveFormat& f) {
  std::mt19937 rng(7);
  std::normal_distribution<double> noise(0, 0.05);
  std::vector<uint8_t> out;
  for (uint32_t i = 0; i < kRate * 10; ++i) {
    const double t = double(i) / kRate;
    const double v = 0.4 * std::sin(2 * M_PI * 440 * t) + 0.3 * std::sin(2 * M_PI * 1234 * t) + noise(rng);
    for (int c = 0; c < f.Channels(); ++c) {
      if (f.BitsPerSample() == 8) {
        out.push_back(static_cast<uint8_t>(std::clamp(128 + std::lround(v * 127), 0L, 255L)));
      } else {
        const auto s = static_cast<int16_t>(std::clamp(std::lround(v * 32767), -32768L, 32767L));
        out.push_back(static_cast<uint8_t>(s & 0xFF));
        out.push_back(static_cast<uint8_t>(s >> 8));
      }
    }
  }
  return out;
}

void BM_Mp3Encode(benchmark::State& state) {
  const TwvWaveFormat in = state.range(0) ? PcmFormat(kRate, 8, 2) : PcmFormat(kRate, 16, 1);
  const std::vector<uint8_t> pcm = Programme(in);
  const size_t block = in.AvgBytesPerSec() / 2;
  TwvAudioConvertor conv;
  conv.SetFormatIn(in);
  conv.SetFormatOut(StreamFormat());
  uint64_t bytesOut = 0;
  conv.OnAudioConverted = [&](TwvAudioComponent&, const uint8_t*, uint32_t n, bool&) { bytesOut += n; };
  conv.Open();
  size_t at = 0;
  double seconds = 0;
  for (auto _ : state) {
    conv.Convert(pcm.data() + at, static_cast<uint32_t>(block));
    at = (at + block) % pcm.size();
    seconds += 0.5;
  }
  conv.Close();
  state.counters["x_realtime"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
  state.counters["kbit_per_s"] = seconds > 0 ? bytesOut * 8 / seconds / 1000 : 0;
}

}  // namespace

BENCHMARK(BM_Mp3Encode)->ArgName("chain")->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
