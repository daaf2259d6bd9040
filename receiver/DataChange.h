#pragma once
// The RDS decoder's change records and the queue that carries them to its
// listeners.
//
// The decoder does not call its consumers for each decoded field: it appends
// one TDataChange per event and, after each block, calls every listener once;
// the listeners walk the queue and the queue is then emptied. A record carries
// its texts already formatted, so consumers need no decoder knowledge.
//
// Records are reused: emptying the queue keeps the records and their strings'
// storage, so a steady stream of blocks allocates nothing once warm.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/DateTime.h"
#include "platform/Method.h"

// The latest group of one type as the statistics keep it.
struct TRDSGroupRecord {
  uint16_t Blocks[4] = {0, 0, 0, 0};  // A, B, C, D
  uint16_t JustReceived = 0;           // set by the group, cleared by the next block
};

// Block, group and error statistics of the decoder. Per-type arrays are indexed
// by version × 16 + type (0 = 0A, 16 = 0B, 15 = 15A, 31 = 15B).
struct TRDSStatistics {
  static constexpr int kTypes = 32;
  static constexpr uint32_t kNoMinimum = 100000;

  uint32_t GroupsTotal = 0;
  uint32_t BlocksTotal = 0;
  uint32_t GroupCount[kTypes] = {};
  TDateTime LastTime[kTypes] = {};  // 0 = never
  TDateTime PrevTime[kTypes] = {};
  uint32_t Interval[kTypes] = {};     // ms between the last two groups of the type
  uint32_t IntervalMax[kTypes] = {};
  uint32_t IntervalMin[kTypes] = {};  // kNoMinimum until a positive interval is seen
  // Running sum of the intervals, for the average; 64-bit so that weeks on one
  // frequency cannot wrap it.
  uint64_t IntervalSum[kTypes] = {};
  TRDSGroupRecord LastGroup[kTypes];
  uint32_t ErrorBlocks[4] = {};  // [1..3]: blocks with error status 1, 2, 3
  uint32_t BERSum = 0;
  uint32_t BERCount = 0;
  double BER = 0;

  TRDSStatistics() {
    for (uint32_t& m : IntervalMin) m = kNoMinimum;
  }
};

// Change kinds the decoder queues (the numbers are stored in logs).
enum TDataChangeKind : uint8_t {
  dcPI = 0,
  dcTP = 1,
  dcPTY = 2,
  dcTA = 3,
  dcMS = 4,
  dcDI = 5,
  dcPSSegment = 6,
  dcAFCount = 9,
  dcRTAText = 10,
  dcRTBText = 11,
  dcMode = 13,
  dcPSConfirmed = 14,
  dcClockTime = 15,
  dcClockDate = 16,
  dcAFList = 17,
  dcRTAConfirmed = 18,
  dcRTBConfirmed = 19,
  dcRTFlag = 20,
  dcPIN = 21,
  dcSlowLabelling = 22,
  dcODA = 23,
  dcTDC = 24,
  dcInHouse = 25,
  dcPaging = 26,
  dcTMC = 27,
  dcGroup9 = 28,
  dcPTYN = 29,
  dcGroup11 = 30,
  dcGroup12 = 31,
  dcEnhancedPaging = 32,
  dcEON = 33,
  dcGroup15 = 34,
  dcGroup = 35,
  dcStatistics = 36,
  dcRTASegment = 38,
  dcRTBSegment = 39,
};

// One queued event.
struct TDataChange {
  static constexpr int kTexts = 21;

  uint8_t Kind = 0;
  TDateTime Time = 0;  // local time when queued
  uint16_t Value = 0;
  std::string Texts[kTexts];
  int32_t Extra = 0;
  int32_t Extra2 = 0;
  // Kind 36 only: a copy of the decoder's statistics.
  TRDSStatistics Stats;
  // Kind 9 only: the main AF collector's text lines at the time of the change,
  // the record's own copy (Extra2 holds their number).
  std::vector<std::string> AFLines;
};

// Listener: called once after each block while changes are queued; it reads
// the queue from the decoder.
using TOnDataChangeEvent = TMethod<>;

// The pending changes, in the order they were queued.
class TDataChangeQueue {
 public:
  // With no active listener the queue is kept for a later one, but never
  // beyond this many records: once passed, the oldest half is dropped.
  static constexpr size_t kMaxKept = 256;

  size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  const TDataChange& operator[](size_t i) const { return items_[i]; }
  const TDataChange* begin() const { return items_.data(); }
  const TDataChange* end() const { return items_.data() + count_; }
  const TDataChange& back() const { return items_[count_ - 1]; }

  // A fresh record at the end: kind, time and payload cleared, the storage of
  // an earlier record reused.
  TDataChange& Append(uint8_t kind, TDateTime time);
  // Empties the queue (records stay allocated for reuse).
  void Clear() { count_ = 0; }
  // Drops the oldest records when more than kMaxKept are held, keeping the
  // newest kMaxKept / 2.
  void Trim();
  // Records allocated (held plus spare), for tests of the bound.
  size_t Capacity() const { return items_.size(); }

 private:
  std::vector<TDataChange> items_;
  size_t count_ = 0;
};

// The decoder's listener list. Registering a method that is present clears
// its entry (it stays, inactive); otherwise the method is appended.
class TDataChangeListeners {
 public:
  void Register(const TOnDataChangeEvent& listener);
  bool AnyActive() const;
  // Calls every active listener in registration order.
  void CallAll() const;

 private:
  std::deque<TOnDataChangeEvent> list_;
};
