#pragma once
// Our codec-driver registry, standing where the system's audio compression
// manager stood: every driver lists its formats, suggests a PCM format for a
// format it knows, and opens conversion streams. Calls answer with the
// manager's result codes so the library reports them through its message
// table.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/wvCommon.h"

// Support bits of a driver's details.
inline constexpr uint32_t ACMDRIVERDETAILS_SUPPORTF_CODEC = 0x1;
inline constexpr uint32_t ACMDRIVERDETAILS_SUPPORTF_CONVERTER = 0x2;
inline constexpr uint32_t ACMDRIVERDETAILS_SUPPORTF_FILTER = 0x4;
inline constexpr uint32_t ACMDRIVERDETAILS_SUPPORTF_HARDWARE = 0x8;
inline constexpr uint32_t ACMDRIVERDETAILS_SUPPORTF_ASYNC = 0x10;
inline constexpr uint32_t ACMDRIVERDETAILS_SUPPORTF_LOCAL = 0x40000000;
inline constexpr uint32_t ACMDRIVERDETAILS_SUPPORTF_DISABLED = 0x80000000;

struct TAcmDriverDetails {
  uint32_t Support = 0;
  uint32_t Priority = 0;
  std::string ShortName, LongName, Copyright, Licensing, Features;
};

// One format a driver offers: its name and its whole WAVEFORMATEX (18 + cbSize bytes).
struct TAcmFormat {
  std::string Name;
  std::vector<uint8_t> Format;
};

// An open conversion stream.
class IAcmStream {
 public:
  virtual ~IAcmStream() = default;
  // The most output that converting `srcBytes` can give; 0 when that is too
  // little to convert at all.
  virtual uint32_t OutputSize(uint32_t srcBytes) = 0;
  // Converts whole source blocks of [src, src+srcLen) into dst.
  virtual MMRESULT Convert(const uint8_t* src, uint32_t srcLen, uint32_t& srcUsed, uint8_t* dst,
                           uint32_t dstLen, uint32_t& dstUsed) = 0;
};

class IAcmDriver {
 public:
  virtual ~IAcmDriver() = default;
  virtual MMRESULT Details(TAcmDriverDetails& details) = 0;
  // The largest format (structure and extra bytes) the driver uses.
  virtual MMRESULT MaxFormatSize(uint32_t& size) = 0;
  virtual MMRESULT EnumFormats(std::vector<TAcmFormat>& formats) = 0;
  // The driver's format of tag `tag` (0: any) to convert `src` to or from.
  virtual MMRESULT Suggest(const WAVEFORMATEX& src, uint16_t tag, std::vector<uint8_t>& dst) = 0;
  // Opens a stream src -> dst; with `stream` null only answers whether it could.
  virtual MMRESULT OpenStream(const WAVEFORMATEX& src, const WAVEFORMATEX& dst, bool realTime,
                              std::unique_ptr<IAcmStream>* stream) = 0;
};

// The installed drivers, in enumeration order, each under its driver id.
class TAcmDriverRegistry {
 public:
  // The program's registry: "PCM Converter" (id 1) and the MPEG Layer-3 encoder (id 2).
  static TAcmDriverRegistry& Instance();

  uint32_t Add(std::shared_ptr<IAcmDriver> driver);
  void Remove(uint32_t id);
  std::vector<uint32_t> DriverIds() const;
  std::shared_ptr<IAcmDriver> Driver(uint32_t id) const;

  // As the manager does without a driver handle: the first driver that can.
  MMRESULT OpenStream(const WAVEFORMATEX& src, const WAVEFORMATEX& dst, bool realTime,
                      std::unique_ptr<IAcmStream>* stream) const;
  MMRESULT Suggest(const WAVEFORMATEX& src, uint16_t tag, std::vector<uint8_t>& dst) const;

 private:
  struct TEntry {
    uint32_t Id;
    std::shared_ptr<IAcmDriver> Driver;
  };
  std::vector<TEntry> drivers_;
  uint32_t nextId_ = 1;
};

std::shared_ptr<IAcmDriver> MakePcmConverterDriver();
std::shared_ptr<IAcmDriver> MakeMp3EncoderDriver();

// "22.050" for 22050: the thousands as the format names show them.
std::string RateText(uint32_t rate);
