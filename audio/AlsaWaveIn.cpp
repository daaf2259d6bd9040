#include "audio/AlsaWaveIn.h"

#include <alsa/asoundlib.h>

#include <cerrno>

#include "platform/Format.h"

namespace {

MMRESULT FromAlsaError(int err) {
  switch (-err) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case EBADFD:
    case ESHUTDOWN:
      return MMSYSERR_BADDEVICEID;
    case EBUSY:
      return MMSYSERR_ALLOCATED;
    case EINVAL:
      return WAVERR_BADFORMAT;
    case ENOMEM:
      return MMSYSERR_NOMEM;
    default:
      return MMSYSERR_ERROR;
  }
}

bool AlsaFormat(const WAVEFORMATEX& f, snd_pcm_format_t& out) {
  if (f.wFormatTag != WAVE_FORMAT_PCM || f.nChannels == 0 || f.nSamplesPerSec == 0) return false;
  switch (f.wBitsPerSample) {
    case 8: out = SND_PCM_FORMAT_U8; return true;
    case 16: out = SND_PCM_FORMAT_S16_LE; return true;
    case 24: out = SND_PCM_FORMAT_S24_3LE; return true;
    case 32: out = SND_PCM_FORMAT_S32_LE; return true;
    default: return false;
  }
}

}  // namespace

std::vector<TAlsaPcmDevice> AlsaPcmDevices(bool capture) {
  std::vector<TAlsaPcmDevice> devices;
  const snd_pcm_stream_t stream = capture ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK;
  snd_pcm_info_t* info;
  snd_pcm_info_alloca(&info);
  for (int card = -1; snd_card_next(&card) == 0 && card >= 0;) {
    snd_ctl_t* ctl;
    if (snd_ctl_open(&ctl, Format("hw:%d", card).c_str(), 0) < 0) continue;
    char* cardName = nullptr;
    snd_card_get_name(card, &cardName);
    for (int dev = -1; snd_ctl_pcm_next_device(ctl, &dev) == 0 && dev >= 0;) {
      snd_pcm_info_set_device(info, static_cast<unsigned>(dev));
      snd_pcm_info_set_subdevice(info, 0);
      snd_pcm_info_set_stream(info, stream);
      if (snd_ctl_pcm_info(ctl, info) < 0) continue;
      devices.push_back({Format("plughw:%d,%d", card, dev),
                         Format("%s: %s", cardName ? cardName : "", snd_pcm_info_get_name(info))});
    }
    free(cardName);
    snd_ctl_close(ctl);
  }
  return devices;
}

TAlsaWaveIn::TAlsaWaveIn(std::string pcm, std::string config) : pcmName_(std::move(pcm)), config_(std::move(config)) {}

TAlsaWaveIn::~TAlsaWaveIn() { Close(); }

MMRESULT TAlsaWaveIn::Open(uint8_t device, bool, const WAVEFORMATEX& format) {
  if (pcm_) return MMSYSERR_ALLOCATED;
  snd_pcm_format_t alsaFormat;
  if (!AlsaFormat(format, alsaFormat)) return WAVERR_BADFORMAT;
  std::string name = pcmName_;
  if (name.empty() && device == WAVE_MAPPER) name = "default";
  if (name.empty()) {
    const auto devices = AlsaPcmDevices(true);
    if (device >= devices.size()) return MMSYSERR_BADDEVICEID;
    name = devices[device].Pcm;
  }
  int err;
  if (config_.empty()) {
    err = snd_pcm_open(&pcm_, name.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
  } else {
    snd_config_t* conf = nullptr;
    snd_input_t* in = nullptr;
    err = snd_config_top(&conf);
    if (err >= 0) err = snd_input_buffer_open(&in, config_.data(), static_cast<ssize_t>(config_.size()));
    if (err >= 0) err = snd_config_load(conf, in);
    if (in) snd_input_close(in);
    if (err >= 0) err = snd_pcm_open_lconf(&pcm_, name.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK, conf);
    if (conf) snd_config_delete(conf);
  }
  if (err < 0) {
    pcm_ = nullptr;
    return FromAlsaError(err);
  }
  // Half a second of room in ALSA's own buffer while the owner is busy.
  err = snd_pcm_set_params(pcm_, alsaFormat, SND_PCM_ACCESS_RW_INTERLEAVED, format.nChannels,
                           format.nSamplesPerSec, 1, 500000);
  snd_pcm_uframes_t bufferFrames = 0, periodFrames = 0;
  if (err >= 0) err = snd_pcm_get_params(pcm_, &bufferFrames, &periodFrames);
  if (err < 0) {
    Close();
    return err == -EINVAL ? WAVERR_BADFORMAT : FromAlsaError(err);
  }
  frameBytes_ = format.wBitsPerSample / 8u * format.nChannels;
  chunkFrames_ = periodFrames ? periodFrames : bufferFrames;
  return MMSYSERR_NOERROR;
}

MMRESULT TAlsaWaveIn::Read(uint8_t* data, uint32_t size, uint32_t& got, const std::atomic<bool>& stop) {
  got = 0;
  if (!pcm_) return MMSYSERR_INVALHANDLE;
  const uint32_t want = size / frameBytes_ * frameBytes_;
  if (snd_pcm_state(pcm_) == SND_PCM_STATE_PREPARED) {
    if (const int err = snd_pcm_start(pcm_); err < 0) return FromAlsaError(err);
  }
  while (got < want && !stop) {
    const int ready = snd_pcm_wait(pcm_, 50);
    if (ready == 0) continue;
    snd_pcm_sframes_t n = ready < 0 ? ready : 0;
    if (n == 0) {
      const unsigned long frames = std::min<unsigned long>((want - got) / frameBytes_, chunkFrames_);
      n = snd_pcm_readi(pcm_, data + got, frames);
    }
    if (n == -EAGAIN) continue;
    if (n == -EPIPE || n == -ESTRPIPE) {
      // An overrun loses what the owner was too slow for; recording goes on.
      if (snd_pcm_recover(pcm_, static_cast<int>(n), 1) < 0) return MMSYSERR_ERROR;
      snd_pcm_start(pcm_);
      continue;
    }
    if (n < 0) return FromAlsaError(static_cast<int>(n));
    got += static_cast<uint32_t>(n) * frameBytes_;
  }
  return MMSYSERR_NOERROR;
}

void TAlsaWaveIn::Close() {
  if (pcm_) snd_pcm_close(pcm_);
  pcm_ = nullptr;
}
