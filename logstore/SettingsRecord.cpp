#include "logstore/SettingsRecord.h"

#include <algorithm>
#include <limits>

namespace {

using C = TConfigRow;

int32_t Bit(int32_t v, int n) { return (v >> n) & 1; }
int32_t Flag(uint8_t b, int n) { return b ? (1 << n) : 0; }
uint8_t Low8(int32_t v) { return static_cast<uint8_t>(v & 0xFF); }

int32_t ClampSmall(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int16_t>::min(),
                                                  std::numeric_limits<int16_t>::max()));
}

}  // namespace

TConfigRow DefaultConfigRow() {
  TConfigRow r;
  r.Col[C::PLLHI] = 41;
  r.Col[C::PLLLO] = 151;  // PLL word 10647
  r.Col[C::INF] = 162;    // antenna input, stop level 1, DX
  r.Col[C::ELOGTIME] = 1;
  r.Col[C::ELO1] = 255;
  r.Col[C::ELO2] = 71;    // RT, PS, AF on; de-emphasis 0; spacing 1
  r.Col[C::LOGLIVE] = 1;
  r.Col[C::OPT1] = 28;
  r.Col[C::OPT2] = 255;
  r.Col[C::OPT3] = 16711680;
  r.Col[C::OPT4] = 16711680;
  r.Col[C::OPT5] = 8421440;
  r.Col[C::OPT6] = 0;
  r.Col[C::OPT7] = 255;
  r.Col[C::OPT8] = 32768;
  r.Col[C::OPT9] = 33023;
  r.Col[C::OPT10] = 16711935;
  r.Col[C::OPT11] = 16744448;
  return r;
}

TSettingsRecord DecodeConfig(const TConfigRow& row) {
  const auto& c = row.Col;
  TSettingsRecord s;
  s.PLLHi = Low8(c[C::PLLHI]);
  s.PLLLo = Low8(c[C::PLLLO]);
  const int32_t inf = c[C::INF];
  s.RBDS = Bit(inf, 0);
  s.InputAntenna = Bit(inf, 1);
  s.RawLogOn = Bit(inf, 2);
  s.ExtLogOn = Bit(inf, 3);
  s.ChangeLogOn = Bit(inf, 4);
  s.SearchStopLevel = (inf >> 5) & 3;
  s.SensitivityDX = Bit(inf, 7);
  s.ExtLogMinutes = std::max(c[C::ELOGTIME], kMinExtLogMinutes);
  const int32_t e1 = c[C::ELO1];
  s.LogFreqChange = Bit(e1, 0);
  s.LogTP = Bit(e1, 1);
  s.LogTA = Bit(e1, 2);
  s.LogMS = Bit(e1, 3);
  s.LogPI = Bit(e1, 4);
  s.LogPTY = Bit(e1, 5);
  s.LogDI = Bit(e1, 6);
  s.LogCT = Bit(e1, 7);
  const int32_t e2 = c[C::ELO2];
  s.LogRT = Bit(e2, 0);
  s.LogPS = Bit(e2, 1);
  s.LogAF = Bit(e2, 2);
  s.DeEmphasis = Bit(e2, 5);
  s.Spacing = (e2 >> 6) & 3;
  for (int i = 0; i < 5; ++i) s.Presets[i] = Low8(c[C::PRESET1 + i]);
  s.KeepDays = std::max(c[C::LOGLIVE], kMinKeepDays);
  const int32_t o1 = c[C::OPT1];
  s.ZoomFromMarker = Bit(o1, 7);
  s.UserRange = Bit(o1, 6);
  s.ShowDiscrete = Bit(o1, 5);
  s.ShowSmooth = Bit(o1, 4);
  s.ShowFill = Bit(o1, 3);
  s.ShowSearchBand = Bit(o1, 2);
  s.DiscreteColor = c[C::OPT2];
  s.SmoothColor = c[C::OPT3];
  s.FillColor = c[C::OPT4];
  s.BandColor = c[C::OPT5];
  s.Opt6A = c[C::OPT6] & 3;
  s.Opt6B = (c[C::OPT6] >> 2) & 3;
  s.Opt6C = (c[C::OPT6] >> 4) & 3;
  s.Opt7 = c[C::OPT7];
  s.Opt8 = c[C::OPT8];
  s.Opt9 = c[C::OPT9];
  s.Opt10 = c[C::OPT10];
  s.Opt11 = c[C::OPT11];
  return s;
}

TConfigRow EncodeConfig(const TSettingsRecord& s) {
  TConfigRow r;
  auto& c = r.Col;
  c[C::PLLHI] = s.PLLHi;
  c[C::PLLLO] = s.PLLLo;
  c[C::INF] = Flag(s.RBDS, 0) | Flag(s.InputAntenna, 1) | Flag(s.RawLogOn, 2) | Flag(s.ExtLogOn, 3) |
              Flag(s.ChangeLogOn, 4) | ((s.SearchStopLevel & 3) << 5) | Flag(s.SensitivityDX, 7);
  c[C::ELOGTIME] = ClampSmall(s.ExtLogMinutes);
  c[C::ELO1] = Flag(s.LogFreqChange, 0) | Flag(s.LogTP, 1) | Flag(s.LogTA, 2) | Flag(s.LogMS, 3) |
               Flag(s.LogPI, 4) | Flag(s.LogPTY, 5) | Flag(s.LogDI, 6) | Flag(s.LogCT, 7);
  c[C::ELO2] = Flag(s.LogRT, 0) | Flag(s.LogPS, 1) | Flag(s.LogAF, 2) | Flag(s.DeEmphasis, 5) |
               ((s.Spacing & 3) << 6);
  for (int i = 0; i < 5; ++i) c[C::PRESET1 + i] = s.Presets[i];
  c[C::LOGLIVE] = ClampSmall(s.KeepDays);
  c[C::OPT1] = Flag(s.ZoomFromMarker, 7) | Flag(s.UserRange, 6) | Flag(s.ShowDiscrete, 5) |
               Flag(s.ShowSmooth, 4) | Flag(s.ShowFill, 3) | Flag(s.ShowSearchBand, 2);
  c[C::OPT2] = s.DiscreteColor;
  c[C::OPT3] = s.SmoothColor;
  c[C::OPT4] = s.FillColor;
  c[C::OPT5] = s.BandColor;
  c[C::OPT6] = (s.Opt6A & 3) | ((s.Opt6B & 3) << 2) | ((s.Opt6C & 3) << 4);
  c[C::OPT7] = s.Opt7;
  c[C::OPT8] = s.Opt8;
  c[C::OPT9] = s.Opt9;
  c[C::OPT10] = s.Opt10;
  c[C::OPT11] = s.Opt11;
  return r;
}
