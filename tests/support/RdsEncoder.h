#pragma once
// An RDS group encoder for tests: a station model that builds the groups a
// broadcaster sends (PS, RadioText, AF lists by method A and B, clock time,
// PIN and slow labelling, PTYN, EON, group 15, ODA), and a block channel that
// turns groups into the receiver's type-1 packets with injected errors and
// dropped blocks.
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/DateTime.h"
#include "support/RdsPacketizer.h"

// What a station sends in one cycle of StationCycle.
struct TRdsStationPlan {
  std::string PS = "FENWISK ";
  std::string RadioTextA = "Fenwisk test transmission, RadioText A";
  std::string RadioTextB = "Second RadioText, flag B";
  std::vector<uint16_t> AF;  // 0A block C words (AFMethodA / AFMethodB); none when empty
  std::string PTYN = "ROCKNEWS";
  int ClockYear = 2026, ClockMonth = 3, ClockDay = 14, ClockHour = 9, ClockMinute = 26;
  int ClockOffset = 2;   // half hours
  uint8_t ECC = 0xE0;    // slow labelling variant 0
  uint8_t Language = 8;  // slow labelling variant 3
  uint16_t PIN = 0x8A5A;
  uint16_t EONPI = 0xD3C2;
  std::string EONPS = "OTHER FM";
  std::string Group15A = "LONG PS!";
};

class TRdsEncoder {
 public:
  // The station's basic data, carried by every group's blocks A and B.
  uint16_t PI = 0x6204;
  uint8_t PTY = 10;
  bool TP = true;
  bool TA = false;
  bool MS = true;
  // Decoder identification, bit 3 = segment 0 (dynamic PTY) .. bit 0 =
  // segment 3 (stereo).
  uint8_t DI = 0x1;

  // Block B of a group: type, version, TP, PTY and the five low bits.
  uint16_t BlockB(int type, bool versionB, uint8_t low5) const;
  // One group; in version B block C is the PI.
  TRdsGroupLine Group(int type, bool versionB, uint8_t low5, uint16_t c, uint16_t d) const;

  // The PS in four 0A groups (segments 0..3) with the given block C words
  // (cycled; filler pairs when none), or in four 0B groups.
  std::vector<TRdsGroupLine> PS(const std::string& ps, const std::vector<uint16_t>& afWords = {},
                                bool versionB = false) const;
  // As many 0A groups as it takes to send every AF word once (PS segments cycled).
  std::vector<TRdsGroupLine> PSWithAF(const std::string& ps, const std::vector<uint16_t>& afWords) const;

  // AF words (block C of 0A / 14A variant 4): a method-A list, count code first.
  static std::vector<uint16_t> AFMethodA(const std::vector<uint8_t>& codes);
  // A method-B list for one tuning frequency: each alternative is sent as a
  // pair with the tuning code, ordered to mean "same programme" (ascending)
  // or "regional variant" (descending).
  static std::vector<uint16_t> AFMethodB(uint8_t tuning,
                                         const std::vector<std::pair<uint8_t, bool /*regional*/>>& alts);
  // AF code of a frequency in MHz (87.6..107.9).
  static uint8_t AFCode(double mhz);

  // RadioText in 2A groups (16 segments of 4 characters, text padded with
  // blanks to 64) or 2B groups (16 segments of 2, padded to 32).
  std::vector<TRdsGroupLine> RadioText(const std::string& text, bool abFlag, bool versionB = false) const;
  // One RadioText segment.
  TRdsGroupLine RadioTextSegment(const std::string& text, bool abFlag, int segment, bool versionB = false) const;

  // 4A clock time: UTC date and time and the local offset in half hours.
  TRdsGroupLine ClockTime(int year, int month, int day, int hour, int minute, int offsetHalfHours) const;
  static uint32_t MJDOf(int year, int month, int day);

  // 1A slow labelling with a PIN; 1B with a PIN only.
  TRdsGroupLine SlowLabelling(int variant, uint16_t data12, bool la, uint16_t pin) const;
  TRdsGroupLine PINOnly(uint16_t pin) const;
  static uint16_t PINOf(int day, int hour, int minute);

  // 10A programme type name (two groups).
  std::vector<TRdsGroupLine> PTYN(const std::string& name, bool abFlag) const;

  // EON (14A / 14B) for another network piON.
  std::vector<TRdsGroupLine> EONPS(uint16_t piON, const std::string& ps, bool tpON = false) const;
  std::vector<TRdsGroupLine> EONAF(uint16_t piON, const std::vector<uint16_t>& afWords) const;
  TRdsGroupLine EONMappedFrequency(uint16_t piON, int variant, uint8_t tuning, uint8_t mapped) const;
  TRdsGroupLine EONPTYTA(uint16_t piON, uint8_t ptyON, bool taON) const;
  TRdsGroupLine EONPIN(uint16_t piON, uint16_t pinON) const;
  TRdsGroupLine EON14B(uint16_t piON, bool tpON, bool taON) const;

  // Group 15: 15A text (two groups), 15B with TA, MS and the DI bit of a segment.
  std::vector<TRdsGroupLine> Group15A(const std::string& text, bool abFlag) const;
  TRdsGroupLine Group15B(int segment) const;

  // 3A open-data announcement.
  TRdsGroupLine ODA(uint8_t appGroup, uint16_t message, uint16_t aid) const;

  // One full cycle of a station: PS with AF, RadioText A and B, clock time,
  // slow labelling with PIN, PTYN, EON, group 15 and an ODA announcement.
  std::vector<TRdsGroupLine> StationCycle(const TRdsStationPlan& plan = {}) const;

  // Every group one after the other.
  static void Append(std::vector<TRdsGroupLine>& to, const std::vector<TRdsGroupLine>& groups);
};

// Groups as a group file's text, one line each.
std::string GroupText(const std::vector<TRdsGroupLine>& groups);

// Turns groups into type-1 packets, injecting errors and dropping blocks.
// Blocks are numbered from 0 in the order they are added (4 per group).
class TRdsBlockChannel {
 public:
  explicit TRdsBlockChannel(uint32_t seed = 1);

  // Random errors: each block starts an error burst with the given
  // probability; a burst gives `burst` consecutive blocks the status.
  void SetErrorRate(double rate, int burst = 1, uint8_t status = 3);
  // An error status for one block.
  void SetBlockError(size_t block, uint8_t status);
  // One block is never sent (the next one reports the block before it).
  void DropBlock(size_t block);
  // Appends the transport's 8-byte receive stamp to every packet, as the
  // decoder's data handler receives it.
  void SetStamp(bool on, TDateTime stamp = 45000.5);
  void SetTunerBytes(uint8_t b7, uint8_t b8, uint8_t b9) { packetizer_.SetTunerBytes(b7, b8, b9); }

  void Add(const std::vector<TRdsGroupLine>& groups, std::vector<std::vector<uint8_t>>& out);
  void Add(const TRdsGroupLine& group, std::vector<std::vector<uint8_t>>& out);

  // The error status each block was sent with (dropped blocks included) and
  // whether it was dropped.
  const std::vector<uint8_t>& Status() const { return status_; }
  const std::vector<bool>& Dropped() const { return dropped_; }

 private:
  TRdsPacketizer packetizer_;
  std::mt19937 rng_;
  double rate_ = 0;
  int burst_ = 1;
  uint8_t rateStatus_ = 3;
  int burstLeft_ = 0;
  std::vector<std::pair<size_t, uint8_t>> forced_;
  std::set<size_t> drops_;
  bool stamp_ = false;
  TDateTime stampTime_ = 0;
  std::vector<uint8_t> status_;
  std::vector<bool> dropped_;
};
