#pragma once
// RDS group files and their conversion into the receiver's type-1 packets.
//
// A group file holds one group a line as four 4-digit hex blocks A B C D,
// "----" for a block that was lost, e.g. "6204 0130 966B 594C". Anything after
// the fourth block is ignored; blank lines and lines starting with '#' are
// skipped.
//
// The packetizer turns groups into the packets a receiver sends: one 12-byte
// type-1 packet per block, each carrying the block before it (id, error status
// and data) the way the device's demodulator reports it, so a decoder that
// chains blocks by their previous-block fields sees a real stream.
#include <cstdint>
#include <string>
#include <vector>

struct TRdsGroupLine {
  uint16_t Block[4] = {0, 0, 0, 0};
  bool Lost[4] = {false, false, false, false};
};

// Parses group text. Throws std::runtime_error naming the line on a malformed
// line.
std::vector<TRdsGroupLine> ParseGroupText(const std::string& text);
// Reads and parses a group file; throws std::runtime_error when it cannot be
// read or holds a malformed line.
std::vector<TRdsGroupLine> LoadGroupFile(const std::string& path);
// One group as a group-file line ("6204 0130 966B 594C", "----" when lost).
std::string FormatGroupLine(const TRdsGroupLine& g);

// Block ids as the receiver reports them.
enum : uint8_t { kRdsIdA = 0, kRdsIdB = 1, kRdsIdC = 2, kRdsIdD = 3, kRdsIdC2 = 4 };

class TRdsPacketizer {
 public:
  static constexpr int kPacketSize = 12;

  // Tuner bytes 7..11 copied into every packet (PLL word, side/stereo/level,
  // MPX reading).
  void SetTunerBytes(uint8_t b7, uint8_t b8, uint8_t b9, uint8_t b10 = 0, uint8_t b11 = 0);

  // Appends the four packets of one group. errorStatus, when given, holds the
  // error status 0..3 of each block; a lost block is always sent with status
  // 3 and data 0. Block C goes out as C' (id 4) in a version-B group.
  void AddGroup(const TRdsGroupLine& g, std::vector<std::vector<uint8_t>>& out,
                const uint8_t* errorStatus = nullptr);

  // Appends one packet for one block; the building block of AddGroup, also
  // used to send odd streams (a missing block is simply never added).
  void AddBlock(uint8_t id, uint16_t data, uint8_t status, std::vector<std::vector<uint8_t>>& out);
  // Writes one packet into a 12-byte buffer without allocating.
  void MakeBlock(uint8_t id, uint16_t data, uint8_t status, uint8_t* packet);

  // Forgets the block sent before: the next packet reports a clean D block
  // with data 0 as its predecessor (the state after power-up).
  void Restart();

 private:
  uint8_t tuner_[5] = {0, 0, 0, 0, 0};
  uint8_t prevId_ = kRdsIdD;
  uint8_t prevStatus_ = 0;
  uint16_t prevData_ = 0;
};
