#pragma once
// Collects the alternative-frequency lists a station sends (0A, or 14A
// variant 4 for other networks): checks each list for consistency, keeps
// the distinct valid lists (the most recently received ones, up to a bound),
// decides between method A and method B and renders the lists as text lines
// for the RDS page.
//
// AF codes: 1..204 = 87.6..107.9 MHz ((code + 875) / 10), 205 = filler,
// 224..249 = count code (224 + number of AFs that follow).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The kinds of AF code (see above).
inline constexpr int kAFFiller = 205;
constexpr bool IsAFFrequencyCode(int Code) { return Code >= 1 && Code <= 204; }
constexpr bool IsAFCountCode(int Code) { return Code >= 224 && Code <= 249; }
constexpr double AFCodeToMHz(int Code) { return (Code + 875) / 10.0; }

class TAFCollector {
 public:
  // Distinct lists kept. A real station sends a few (method B: one per
  // transmitter of its network); lists made valid by chance on a noisy
  // stream must not grow the store and every handover's rebuild for ever.
  static constexpr size_t kMaxLists = 64;

  TAFCollector();

  // Validates one raw list (pairs of codes, count code first) and stores it
  // when it is valid and not stored yet, forgetting the list received least
  // recently when kMaxLists are stored. Updates Announced, FirstCode,
  // PairCount and LastList whatever the outcome. Any length is accepted.
  void AddList(const uint8_t* Raw, size_t Len);
  void AddList(const std::vector<uint8_t>& Raw) { AddList(Raw.data(), Raw.size()); }

  // Recomputes Count, Method and Lines from every stored list.
  void BuildLines();

  // Forgets every list: Count -1, Method 0, Announced -1, FirstCode and
  // PairCount 0.
  void Reset();

  // ---- Texts for the decoder's getters --------------------------------------
  // The method character, or a blank when no list is stored.
  char MethodChar() const;
  // Lines, each ended by CR LF.
  std::string LinesText() const;
  // LinesText, or "Not Transmitted or Unknown" when Count is below 1.
  std::string AFText() const;
  // Count in decimal, the method character, a blank, then LinesText;
  // "Not Transmitted or Unknown" when Count is below 1.
  std::string SummaryText() const;
  // The method character followed by LastList's codes as characters: the low
  // byte of its first word, then each further word high byte first.
  std::string ListText() const;
  // LastList as lines ended by CR LF: the first pair's AF text, then each
  // further pair as its two AF texts joined by " - ".
  std::string LastListPairsText() const;

  // ---- State ----------------------------------------------------------------
  // Stored lists; each word is one received pair (high byte = first code),
  // the first word being (count code, first AF); filler pairs removed.
  std::vector<std::vector<uint16_t>> Lists;
  // AF codes (fillers excluded) over all stored lists; -1 when none.
  int32_t Count = -1;
  // 'A' or 'B' after BuildLines; 0 after a reset.
  char Method = 0;
  std::vector<std::string> Lines;
  // Of the last list handed to AddList: AFs announced (count code - 224),
  // its first AF code (for method B the tuning frequency) and its number of
  // pairs; -1 when that list had no valid start.
  int32_t Announced = -1;
  int32_t FirstCode = 0;
  int32_t PairCount = 0;
  // That list's words as received.
  std::vector<uint16_t> LastList;

 private:
  // When each stored list was last handed over (by AddList's count).
  std::vector<uint64_t> LastSeen;
  uint64_t Handovers = 0;
};

inline constexpr const char* kAFNotTransmitted = "Not Transmitted or Unknown";
