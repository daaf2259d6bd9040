#pragma once
// A capture device that records a steady 1 kHz tone at the real rate, so the
// remote server's audio path runs without a sound card.
#include "audio/WaveIn.h"
#include "remote/RemoteHost.h"

class TToneWaveIn final : public IWaveInBackend {
 public:
  MMRESULT Open(uint8_t device, bool mapped, const WAVEFORMATEX& format) override;
  MMRESULT Read(uint8_t* data, uint32_t size, uint32_t& got, const std::atomic<bool>& stop) override;
  void Close() override {}

 private:
  WAVEFORMATEX format_{};
  uint64_t frame_ = 0;
};

// The tone as the one capture device.
TRemoteCapture ToneCapture();
