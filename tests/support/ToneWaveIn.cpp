#include "support/ToneWaveIn.h"

#include <chrono>
#include <cmath>
#include <thread>

#include "audio/WaveIn.h"

namespace {

class TToneWaveIn final : public IWaveInBackend {
 public:
  MMRESULT Open(uint8_t device, bool mapped, const WAVEFORMATEX& format) override;
  MMRESULT Read(uint8_t* data, uint32_t size, uint32_t& got, const std::atomic<bool>& stop) override;
  void Close() override {}

 private:
  WAVEFORMATEX format_{};
  uint64_t frame_ = 0;
};

MMRESULT TToneWaveIn::Open(uint8_t, bool mapped, const WAVEFORMATEX& format) {
  if (mapped || format.wFormatTag != 1 || format.nBlockAlign == 0 || format.nSamplesPerSec == 0) return WAVERR_BADFORMAT;
  format_ = format;
  frame_ = 0;
  return MMSYSERR_NOERROR;
}

MMRESULT TToneWaveIn::Read(uint8_t* data, uint32_t size, uint32_t& got, const std::atomic<bool>& stop) {
  const uint32_t frames = size / format_.nBlockAlign;
  const auto due = std::chrono::steady_clock::now() +
                   std::chrono::microseconds(uint64_t(frames) * 1000000 / format_.nSamplesPerSec);
  uint8_t* p = data;
  for (uint32_t f = 0; f < frames; ++f, ++frame_) {
    const double s = 0.5 * std::sin(2 * M_PI * 1000.0 * double(frame_) / format_.nSamplesPerSec);
    for (int c = 0; c < format_.nChannels; ++c) {
      if (format_.wBitsPerSample == 8) {
        *p++ = static_cast<uint8_t>(128 + std::lround(s * 127));
      } else {
        const int16_t v = static_cast<int16_t>(std::lround(s * 32767));
        *p++ = static_cast<uint8_t>(v & 0xFF);
        *p++ = static_cast<uint8_t>(v >> 8);
      }
    }
  }
  // At the real rate: a device hands over a buffer once it has been heard.
  while (!stop && std::chrono::steady_clock::now() < due) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  got = stop ? 0 : frames * format_.nBlockAlign;
  return MMSYSERR_NOERROR;
}

}  // namespace

TRemoteCapture ToneCapture() {
  return {{{"Simulated Tone (1 kHz)", 0}}, [] { return std::make_unique<TToneWaveIn>(); }};
}
