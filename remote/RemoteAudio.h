#pragma once
// The remote server's audio: capture from the chosen device in the chosen
// PCM format, conversion to the chosen MP3 format, and each converted block
// to the subscribed sink (the active client's audio stream). Lives on the
// user-interface thread, where the blocks arrive.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "remote/RemoteHost.h"
#include "remote/RemoteSessionManager.h"

// The sound cards' capture devices.
TRemoteCapture SoundCardCapture();

class TRemoteAudio final : public TAudioBlockSource {
 public:
  static constexpr unsigned kMaxSampleRate = 32000;
  static constexpr unsigned kTagMp3 = 0x55, kTagPcm = 1;

  TRemoteAudio(TMainThreadInvoker& Owner, TWaveInBackendFactory Backend);
  ~TRemoteAudio() override;

  // "codec:format" of every codec format with that tag and a sample rate at
  // most MaxRate, in codec and format order.
  static std::vector<std::string> EnumerateCodecFormats(unsigned Tag, unsigned MaxRate);
  const std::vector<std::string>& OutputFormats() const { return OutputNames_; }
  const std::vector<std::string>& InputFormats() const { return InputNames_; }
  void SelectOutput(int Index);
  void SelectInput(int Index);
  void SelectDevice(uint8_t Id);

  // Starts the capture and opens the conversion; throws what failed.
  void Start();
  void Stop();
  bool Running() const;

  void Subscribe(TSink Sink) override;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> Impl_;
  std::vector<std::string> OutputNames_, InputNames_;
  std::mutex SinkLock_;
  TSink Sink_;
};
