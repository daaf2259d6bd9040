#pragma once
// The wave-in backend over ALSA, and the sound cards' capture and playback
// devices as the device lists show them.
#include <string>
#include <vector>

#include "audio/WaveIn.h"

struct TAlsaPcmDevice {
  std::string Pcm;   // the name it is opened by ("plughw:CARD=...,DEV=...")
  std::string Name;  // "card: device"
};

// Every PCM device of every card that can capture (or play).
std::vector<TAlsaPcmDevice> AlsaPcmDevices(bool capture);

class TAlsaWaveIn final : public IWaveInBackend {
 public:
  // Device 255 opens ALSA's "default", device n the n-th capture device.
  TAlsaWaveIn() = default;
  // Opens `pcm` whatever the device id, defined by the configuration text
  // `config` (e.g. a "file" plugin that plays a raw file into the capture).
  TAlsaWaveIn(std::string pcm, std::string config);
  ~TAlsaWaveIn() override;

  MMRESULT Open(uint8_t device, bool mapped, const WAVEFORMATEX& format) override;
  MMRESULT Read(uint8_t* data, uint32_t size, uint32_t& got, const std::atomic<bool>& stop) override;
  void Close() override;

 private:
  std::string pcmName_, config_;
  struct _snd_pcm* pcm_ = nullptr;
  uint32_t frameBytes_ = 0;
  unsigned long chunkFrames_ = 0;  // the most one read may ask for
};
