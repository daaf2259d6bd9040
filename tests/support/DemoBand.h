#pragma once
// The demo band that `make run` plays when no receiver is plugged in: what
// each station sends. make_demo_band writes the scenario from this list; the
// DemoBand tests check that the shipped files still say the same.
#include <cstdint>
#include <string>
#include <vector>

struct TDemoStation {
  double FreqMHz;
  int Level;  // receiver level 0..15
  bool Stereo;
  // RDS; none when GroupFile is empty.
  std::string GroupFile;
  uint16_t PI = 0;
  uint8_t PTY = 0;
  bool TP = false;
  std::string PS;
  std::string RadioTextA;
  std::string RadioTextB;
  std::vector<double> AF;
  std::string PTYN;
  // MPX readings; the device's own reading when empty.
  std::string MpxFile;
  double MpxKHz = 0;
  double MpxSpreadKHz = 0;
};

inline const std::vector<TDemoStation>& DemoStations() {
  static const std::vector<TDemoStation> stations = {
      {87.0, 13, true, "fenwisk.hex", 0xD3A1, 10, true, "FENWISK ",
       "Welcome to the Fenwisk demo band: seven simulated stations",
       "Try the Band Analyzer (Start Scan) and the MPX Analyzer", {89.6, 97.1, 104.8}, "DEMO POP",
       "fenwisk_mpx.txt", 71, 5},
      {89.6, 13, true, "classic.hex", 0xD402, 14, false, "CLASSIC ", "Now playing: a string quartet in D major",
       "Classic FM demo - music all day", {88.8, 93.3}, "", "classic_mpx.txt", 62, 7},
      {93.3, 12, false, "news.hex", 0xD5C3, 1, true, "NEWS 93 ", "Headlines every half hour on News 93",
       "Traffic and weather together on the eights", {107.7}, "NEWS", "news_mpx.txt", 66, 6},
      // A North American station: its PI gives the call letters WFNX when the
      // receiver decodes RBDS.
      {97.1, 14, true, "wfnx.hex", 0x6345, 5, false, "WFNX-FM ", "WFNX - the alternative, demo edition",
       "Call letters from the PI code in RBDS mode", {}, "", "wfnx_mpx.txt", 74, 4},
      // No RDS at all.
      {101.5, 12, true, "", 0, 0, false, "", "", "", {}, "", "", 0, 0},
      // A weak one just above the band analyzer's reference level.
      {104.8, 11, false, "local.hex", 0xD6E4, 3, false, "LOCAL 1 ", "Local information on 104.8",
       "Community radio demo", {}, "", "", 0, 0},
      {107.7, 12, true, "jazz.hex", 0xD7F5, 24, false, "JAZZ 107", "Late night jazz, all night",
       "Jazz 107 demo", {93.3}, "", "jazz_mpx.txt", 58, 8},
  };
  return stations;
}
