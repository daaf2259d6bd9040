#pragma once
// The band analyzer controller's receiver as plain fields; every request
// (tune, idle, command byte, decoder reset) is recorded.
#include <string>
#include <vector>

#include "ui/band/BandScan.h"

struct TFakeBandScanReceiver final : IBandScanReceiver {
  uint16_t Word = 11807;
  bool Side = true, IsTuned = true, IsStereo = true;
  double Target = 96.5, Current = 96.5;
  std::vector<double> Tunes;
  std::vector<uint8_t> Sent;
  int Resets = 0;
  TDataChangeQueue Queue;

  uint16_t PLLWord() const override { return Word; }
  bool InjectionSide() const override { return Side; }
  double TargetFreq() const override { return Target; }
  double CurrentFreq() const override { return Current; }
  bool Tuned() const override { return IsTuned; }
  bool Stereo() const override { return IsStereo; }
  void SetFrequency(double MHz) override { Tunes.push_back(Target = MHz), IsTuned = false; }
  void SetIdle() override { IsTuned = false; }
  void SendCommand(uint8_t c) override { Sent.push_back(c); }
  void ResetRDS() override { ++Resets; }
  const TDataChangeQueue& RDSChanges() const override { return Queue; }
  std::string PIText() override { return "6204"; }
  std::string PSText() override { return "FENWISK "; }
  std::string AFSummaryText() override { return "Not Transmitted or Unknown"; }
};

// A type-3 packet as handed to data handlers (device bytes, then the stamp).
inline std::vector<uint8_t> ScanPointPacket(uint16_t word, int level) {
  return {3, 0, static_cast<uint8_t>((word >> 8) & 0x3F), static_cast<uint8_t>(word & 0xFF), 0,
          static_cast<uint8_t>(level << 4), 0, 0, 0, 0, 0, 0, 0, 0};
}
