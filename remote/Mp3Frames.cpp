#include "remote/Mp3Frames.h"

namespace {

struct THeader {
  size_t Size = 0;
  int64_t LengthUs = 0;
};

// The layer III frame whose header starts at P; Size 0 when it is none.
THeader ParseHeader(const unsigned char* P) {
  if (P[0] != 0xFF || (P[1] & 0xE0) != 0xE0) return {};
  const int version = (P[1] >> 3) & 3;  // 0: MPEG 2.5, 2: MPEG 2, 3: MPEG 1
  const int layer = (P[1] >> 1) & 3;    // 1: layer III
  const int bitrateIndex = P[2] >> 4, rateIndex = (P[2] >> 2) & 3;
  if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return {};
  static const int kKbit[2][15] = {{0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
                                   {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}};
  static const int kRate[3] = {44100, 48000, 32000};
  const bool mpeg1 = version == 3;
  const int rate = kRate[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
  const int samples = mpeg1 ? 1152 : 576;
  const int64_t bits = int64_t(kKbit[mpeg1][bitrateIndex]) * 1000;
  return {static_cast<size_t>(bits * samples / 8 / rate + ((P[2] >> 1) & 1)), int64_t(samples) * 1000000 / rate};
}

}  // namespace

void TMp3FrameSplitter::Push(const std::string& Bytes, const TFrame& Out) {
  Pending_ += Bytes;
  size_t at = 0;
  while (Pending_.size() - at >= 4) {
    const auto* p = reinterpret_cast<const unsigned char*>(Pending_.data() + at);
    const THeader h = ParseHeader(p);
    if (h.Size == 0) {
      ++at;
      continue;
    }
    if (Pending_.size() - at < h.Size) break;
    Out(Pending_.substr(at, h.Size), h.LengthUs);
    at += h.Size;
  }
  Pending_.erase(0, at);
}
