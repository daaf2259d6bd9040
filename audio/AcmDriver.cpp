#include "audio/AcmDriver.h"

#include <algorithm>

#include "platform/Format.h"

TAcmDriverRegistry& TAcmDriverRegistry::Instance() {
  static TAcmDriverRegistry registry = [] {
    TAcmDriverRegistry r;
    r.Add(MakePcmConverterDriver());
    r.Add(MakeMp3EncoderDriver());
    return r;
  }();
  return registry;
}

uint32_t TAcmDriverRegistry::Add(std::shared_ptr<IAcmDriver> driver) {
  drivers_.push_back({nextId_, std::move(driver)});
  return nextId_++;
}

void TAcmDriverRegistry::Remove(uint32_t id) {
  std::erase_if(drivers_, [id](const TEntry& e) { return e.Id == id; });
}

std::vector<uint32_t> TAcmDriverRegistry::DriverIds() const {
  std::vector<uint32_t> ids;
  for (const TEntry& e : drivers_) ids.push_back(e.Id);
  return ids;
}

std::shared_ptr<IAcmDriver> TAcmDriverRegistry::Driver(uint32_t id) const {
  for (const TEntry& e : drivers_)
    if (e.Id == id) return e.Driver;
  return nullptr;
}

MMRESULT TAcmDriverRegistry::OpenStream(const WAVEFORMATEX& src, const WAVEFORMATEX& dst, bool realTime,
                                        std::unique_ptr<IAcmStream>* stream) const {
  for (const TEntry& e : drivers_)
    if (e.Driver->OpenStream(src, dst, realTime, stream) == MMSYSERR_NOERROR) return MMSYSERR_NOERROR;
  return ACMERR_NOTPOSSIBLE;
}

MMRESULT TAcmDriverRegistry::Suggest(const WAVEFORMATEX& src, uint16_t tag, std::vector<uint8_t>& dst) const {
  for (const TEntry& e : drivers_)
    if (e.Driver->Suggest(src, tag, dst) == MMSYSERR_NOERROR) return MMSYSERR_NOERROR;
  return ACMERR_NOTPOSSIBLE;
}

std::string RateText(uint32_t rate) {
  return rate >= 1000 ? Format("%u.%03u", rate / 1000, rate % 1000) : Format("%u", rate);
}
