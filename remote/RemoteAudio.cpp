#include "remote/RemoteAudio.h"

#include "audio/wvACM.h"
#include "audio/wvAudioIO.h"
#include "platform/Format.h"

namespace {

struct TFormatEntry {
  std::string Name;
  TwvWaveFormat Format;
};

std::vector<TFormatEntry> CodecFormats(unsigned Tag, unsigned MaxRate) {
  std::vector<TFormatEntry> list;
  for (int c = 0; c < GetCodecCount(); ++c) {
    const TwvCodec& codec = GetCodec(c);
    for (int i = 0; i < codec.GetFormatCount(); ++i) {
      const TwvCodecFormat& f = codec.GetFormatDetails(i);
      const WAVEFORMATEX* w = f.WaveFormatEx();
      if (w->wFormatTag == Tag && w->nSamplesPerSec <= MaxRate)
        list.push_back({Format("%s:%s", codec.ShortName().c_str(), f.Name.c_str()), TwvWaveFormat(w)});
    }
  }
  return list;
}

}  // namespace

TRemoteCapture SoundCardCapture() {
  TRemoteCapture c;
  for (int i = 0; i < GetAudioInDeviceCount(); ++i)
    c.Devices.push_back({GetAudioInDevice(i).Name, GetAudioInDevice(i).DeviceNumber});
  return c;
}

struct TRemoteAudio::TImpl {
  TImpl(TMainThreadInvoker& Owner, TWaveInBackendFactory Backend) : In(Owner, std::move(Backend)) {}
  TwvAudioIn In;
  TwvAudioConvertor Convertor;
  std::vector<TFormatEntry> Outputs, Inputs;
};

TRemoteAudio::TRemoteAudio(TMainThreadInvoker& Owner, TWaveInBackendFactory Backend)
    : Impl_(std::make_unique<TImpl>(Owner, std::move(Backend))) {
  Impl_->In.AutoOpen = false;
  Impl_->In.SetBufferSize(22050);
  Impl_->Convertor.SetAudioSource(&Impl_->In);
  Impl_->Convertor.SetRequestRealTime(false);
  Impl_->Convertor.OnAudioConverted = [this](TwvAudioComponent&, const uint8_t* Data, uint32_t Size, bool&) {
    std::lock_guard<std::mutex> g(SinkLock_);
    if (!Sink_) return;
    // A failed write only loses this block; the next goes out as usual.
    try {
      Sink_(std::string(reinterpret_cast<const char*>(Data), Size));
    } catch (const std::exception&) {
    }
  };
  Impl_->Outputs = CodecFormats(kTagMp3, kMaxSampleRate);
  Impl_->Inputs = CodecFormats(kTagPcm, kMaxSampleRate);
  for (const auto& f : Impl_->Outputs) OutputNames_.push_back(f.Name);
  for (const auto& f : Impl_->Inputs) InputNames_.push_back(f.Name);
}

TRemoteAudio::~TRemoteAudio() {
  Subscribe(nullptr);
  Stop();
}

std::vector<std::string> TRemoteAudio::EnumerateCodecFormats(unsigned Tag, unsigned MaxRate) {
  std::vector<std::string> names;
  for (const auto& f : CodecFormats(Tag, MaxRate)) names.push_back(f.Name);
  return names;
}

void TRemoteAudio::SelectOutput(int Index) {
  if (Index >= 0 && Index < int(Impl_->Outputs.size())) Impl_->Convertor.SetFormatOut(Impl_->Outputs[Index].Format);
}

void TRemoteAudio::SelectInput(int Index) {
  if (Index < 0 || Index >= int(Impl_->Inputs.size())) return;
  Impl_->In.SetFormat(Impl_->Inputs[Index].Format);
  Impl_->Convertor.SetFormatIn(Impl_->Inputs[Index].Format);
}

void TRemoteAudio::SelectDevice(uint8_t Id) { Impl_->In.SetDeviceID(Id); }

void TRemoteAudio::Start() {
  Impl_->In.SetActive(true);
  try {
    Impl_->Convertor.Open();
  } catch (...) {
    Impl_->In.SetActive(false);
    throw;
  }
}

void TRemoteAudio::Stop() {
  if (Impl_->Convertor.Active()) Impl_->Convertor.Close();
  if (Impl_->In.Active()) Impl_->In.SetActive(false);
}

bool TRemoteAudio::Running() const { return Impl_->In.Active() && Impl_->Convertor.Active(); }

void TRemoteAudio::Subscribe(TSink Sink) {
  std::lock_guard<std::mutex> g(SinkLock_);
  Sink_ = std::move(Sink);
}
