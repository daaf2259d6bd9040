// Writes the demo band's group and MPX files (packaging/demo/): the stations
// `make run` plays over the simulated receiver when no receiver is plugged in.
// Run it again after changing a station here; DemoBand tests check the files
// still say what this program says.
//
//   make_demo_band FOLDER
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/DemoBand.h"
#include "support/RdsEncoder.h"

namespace {

// A station's groups: its PS (with its AF list) between every other group,
// as stations send it, both RadioTexts, the clock and the programme type name.
std::vector<TRdsGroupLine> DemoCycle(const TDemoStation& s) {
  TRdsEncoder enc;
  enc.PI = s.PI;
  enc.PTY = s.PTY;
  enc.TP = s.TP;
  enc.MS = true;
  enc.DI = s.Stereo ? 0x1 : 0x0;
  std::vector<uint8_t> codes;
  for (double f : s.AF) codes.push_back(TRdsEncoder::AFCode(f));
  const std::vector<uint16_t> words = codes.empty() ? std::vector<uint16_t>{} : TRdsEncoder::AFMethodA(codes);
  std::vector<TRdsGroupLine> out;
  TRdsEncoder::Append(out, words.empty() ? enc.PS(s.PS) : enc.PSWithAF(s.PS, words));
  const std::vector<TRdsGroupLine> rtA = enc.RadioText(s.RadioTextA, false);
  const std::vector<TRdsGroupLine> rtB = enc.RadioText(s.RadioTextB, true);
  const std::vector<TRdsGroupLine> ps = enc.PS(s.PS, words);
  // Four RadioText groups, then a PS segment: the name stays fresh while the
  // texts come in.
  auto interleave = [&](const std::vector<TRdsGroupLine>& rt) {
    for (size_t i = 0; i < rt.size(); ++i) {
      out.push_back(rt[i]);
      if (i % 4 == 3) out.push_back(ps[(i / 4) % ps.size()]);
    }
  };
  interleave(rtA);
  out.push_back(enc.ClockTime(2026, 12, 7, 9, 30, 2));
  interleave(rtB);
  if (!s.PTYN.empty()) TRdsEncoder::Append(out, enc.PTYN(s.PTYN, false));
  TRdsEncoder::Append(out, ps);
  return out;
}

// MPX readings (raw meter values, one a status packet): deviation spread
// around the station's typical peak, with the odd overshoot.
std::vector<int> DemoMpx(const TDemoStation& s, unsigned seed) {
  // The meter's response near the legal limit: raw reading per kHz.
  auto raw = [](double kHz) {
    static const double kRaw[] = {336.2, 404.3, 470.3, 503.3, 536.3, 601.6};
    static const double kKHz[] = {50, 60, 70, 75, 80, 90};
    if (kHz <= 50) return kRaw[0] * kHz / 50;
    for (int i = 1; i < 6; ++i)
      if (kHz <= kKHz[i]) return kRaw[i - 1] + (kRaw[i] - kRaw[i - 1]) * (kHz - kKHz[i - 1]) / (kKHz[i] - kKHz[i - 1]);
    return kRaw[5];
  };
  std::mt19937 rng(seed);
  std::normal_distribution<double> spread(s.MpxKHz, s.MpxSpreadKHz);
  std::vector<int> out;
  for (int i = 0; i < 500; ++i) {
    const double kHz = std::clamp(spread(rng), 20.0, 88.0);
    out.push_back(static_cast<int>(std::lround(raw(kHz))));
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_demo_band FOLDER\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::ofstream scenario(dir / "band.txt");
  scenario << "# The demo band (written by make_demo_band): seven stations, six with RDS\n"
              "# (one North American), one without, one weak near the reference level.\n";
  unsigned seed = 1;
  for (const TDemoStation& s : DemoStations()) {
    char line[160];
    std::snprintf(line, sizeof line, "station %.1f level=%d stereo=%d", s.FreqMHz, s.Level, s.Stereo ? 1 : 0);
    scenario << line << (s.GroupFile.empty() ? "" : " rds=" + s.GroupFile)
             << (s.MpxFile.empty() ? "" : " mpx=" + s.MpxFile) << "\n";
    if (!s.GroupFile.empty()) {
      std::ofstream f(dir / s.GroupFile);
      f << "# " << s.PS << " (PI " << std::hex << std::uppercase << s.PI << std::dec
        << "), written by make_demo_band\n"
        << GroupText(DemoCycle(s));
    }
    if (!s.MpxFile.empty()) {
      std::ofstream f(dir / s.MpxFile);
      f << "# MPX readings of " << s.PS << " (raw), written by make_demo_band\n";
      for (int r : DemoMpx(s, seed++)) f << r << "\n";
    }
  }
  return 0;
}
