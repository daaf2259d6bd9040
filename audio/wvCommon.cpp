#include "audio/wvCommon.h"

#include <algorithm>
#include <cstring>

#include "platform/Format.h"

std::string MMResultText(MMRESULT code, const std::string& context) {
  const char* text = nullptr;
  switch (code) {
    case 2: text = "Bad device ID."; break;
    case 3: text = "Driver not enabled."; break;
    case 4: text = "Device already allocated."; break;
    case 5: text = "The specified handle is invalid."; break;
    case 6: text = "A suitable driver is not available to provide valid format selections."; break;
    case 7: text = "The system is unable to allocate resources."; break;
    case 8: text = "Function not supported."; break;
    case 10: text = "At least one flag is invalid."; break;
    case 11: text = "At least one parameter is invalid."; break;
    case 12: text = "Device handle in use."; break;
    case 32: text = "The selected audio format is not supported on this machine."; break;
    case 33: text = "Audio device is still playing."; break;
    case 34: text = "Cannot perform this action on a header that has not been prepared."; break;
    case 35: text = "Device is synchronous."; break;
    case 512: text = "The requested operation cannot be performed."; break;
    case 513: text = "The conversion stream is already in use."; break;
    case 514: text = "Cannot perform this action on a header that has not been prepared."; break;
    default: break;
  }
  const std::string prefix = context.empty() ? std::string() : context + "\r\n";
  if (text) return prefix + text;
  return prefix + Format("An unexpected error has occurred (code #%u).", code);
}

// --- TwvWaveFormat -----------------------------------------------------------

static WAVEFORMATEX MakePcm(uint32_t rate, uint16_t bits, uint16_t channels) {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = channels;
  f.nSamplesPerSec = rate;
  f.nBlockAlign = static_cast<uint16_t>(bits / 8 * channels);
  f.nAvgBytesPerSec = rate * f.nBlockAlign;
  f.wBitsPerSample = bits;
  return f;
}

void TwvWaveFormat::SetDefaults() {
  const WAVEFORMATEX f = MakePcm(11025, 8, 2);
  SetFormat(&f);
}

void TwvWaveFormat::SetCbSize(uint16_t v) {
  if (v > kMaxCbSize) throw EACMError("The wave format buffer is too small.");
  Fmt().cbSize = v;
}

void TwvWaveFormat::SetFormat(const WAVEFORMATEX* format) {
  const size_t size = WaveFormatSize(*format);
  if (size > kWaveFormatBufferSize)
    throw EACMError("This wave format cannot be assigned because it would cause a buffer overrun");
  TBuffer copy{};
  std::memcpy(copy.data(), format, size);
  buffer_ = copy;
}

TwvWaveFormat PcmFormat(uint32_t rate, uint16_t bits, uint16_t channels) {
  const WAVEFORMATEX f = MakePcm(rate, bits, channels);
  return TwvWaveFormat(&f);
}

// --- TwvAudioComponent -------------------------------------------------------

TwvAudioComponent::~TwvAudioComponent() {
  // Each side is told once; copy first, since Notification may unlink.
  const auto others = notified_;
  notified_.clear();
  for (TwvAudioComponent* other : others) {
    std::erase(other->notified_, this);
    other->Notification(this);
  }
}

void TwvAudioComponent::FreeNotification(TwvAudioComponent* other) {
  if (!other || other == this) return;
  if (std::find(notified_.begin(), notified_.end(), other) == notified_.end()) notified_.push_back(other);
  if (std::find(other->notified_.begin(), other->notified_.end(), this) == other->notified_.end())
    other->notified_.push_back(this);
}

void TwvAudioComponent::RemoveFreeNotification(TwvAudioComponent* other) {
  if (!other) return;
  std::erase(notified_, other);
  std::erase(other->notified_, this);
}

// --- TwvAudioSubject ---------------------------------------------------------

void TwvAudioSubject::Attach(IwvAudioObserver* observer) {
  if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
    observers_.push_back(observer);
}

void TwvAudioSubject::Detach(IwvAudioObserver* observer) { std::erase(observers_, observer); }

void TwvAudioSubject::NotifyObservers(const uint8_t* data, uint32_t size) {
  size_t i = 0;
  while (i < observers_.size()) {
    IwvAudioObserver* observer = observers_[i];
    try {
      observer->AudioData(data, size);
    } catch (const std::exception& e) {
      if (OnObserverError) OnObserverError(owner_, e);
    }
    if (i < observers_.size() && observers_[i] == observer) ++i;
  }
}

// --- TwvAudioObserver --------------------------------------------------------

TwvAudioObserver::~TwvAudioObserver() {
  if (IwvAudioSubject* s = SubjectInterface()) s->Detach(this);
}

void TwvAudioObserver::SetSubject(TwvAudioComponent* component) {
  if (component == &owner_) throw EACMError("Component cannot observe itself.");
  if (component && !dynamic_cast<IwvAudioSubject*>(component))
    throw EACMError("The selected component is not an audio subject.");
  if (component == subject_) return;
  if (subject_) {
    SubjectInterface()->Detach(this);
    owner_.RemoveFreeNotification(subject_);
  }
  subject_ = component;
  if (subject_) {
    SubjectInterface()->Attach(this);
    owner_.FreeNotification(subject_);
  }
}

void TwvAudioObserver::SubjectFreed(TwvAudioComponent* freed) {
  if (freed == subject_) subject_ = nullptr;
}
