#pragma once
// The band scan's scenario: four stations, three with RDS (PI C201..C203, the
// second with an AF list), and the rows the analysis collects from them
// (Freq, PI, PS, Mode).
#include <string>
#include <vector>

#include "support/RdsEncoder.h"
#include "support/SimReceiver.h"

inline void AddBandScanStations(TSimReceiver& sim) {
  TRdsEncoder enc[3];
  for (uint16_t i = 0; i < 3; ++i) enc[i].PI = static_cast<uint16_t>(0xC201 + i);
  sim.AddStation({89.3, 12, true, enc[0].PS("ALPHA FM")});
  sim.AddStation({94.2, 10, true, enc[1].PS("BRAVO FM", TRdsEncoder::AFMethodA({TRdsEncoder::AFCode(89.6), TRdsEncoder::AFCode(93.3)}))});
  sim.AddStation({99.9, 13, false, enc[2].PS("CHARLIE ")});
  sim.AddStation({104.5, 11, true, {}});
}

inline const std::vector<std::vector<std::string>> kBandScanStationRows = {
    {"89.3 MHz", "C201", "ALPHA FM", "Stereo"},
    {"94.2 MHz", "C202", "BRAVO FM", "Stereo"},
    {"99.9 MHz", "C203", "CHARLIE ", "Mono"},
    {"104.5 MHz", "", "", "Stereo"}};
