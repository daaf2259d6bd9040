#pragma once
// The RDS/RBDS decoder.
//
// It takes the RDS part of every type-1 device packet (one 16-bit block with
// its id and error status, plus the block before it), keeps PI, TP and PTY
// current, chains blocks A, B, C (or C'), D into groups by the previous-block
// id the receiver reports, decodes each completed group when the next A block
// arrives, keeps block, group and error statistics, and reports every change
// as a TDataChange record to its listeners after each block.
//
// Everything runs on the GUI thread (transport delivery, log replay, timers).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "receiver/AF_Collector.h"
#include "receiver/DataChange.h"
#include "receiver/RDSshared.h"

class TCom;

// One extended-log row image.
struct TExtRecord {
  int32_t FREQ = 0;  // filled by the main window
  int32_t TP = 0;
  int32_t TA = 0;
  int32_t MS = 0;
  int32_t PI = 0;
  int32_t PTY = 0;
  std::string RTA;
  std::string RTB;
  std::string PS;
  int32_t CT = 0;   // MJD
  int32_t HMS = 0;  // clock time word
  int32_t AFS = 0;  // AF count
  int32_t DI = 0;   // DI number
  std::string MODE;  // filled by the main window
  std::string RDS;   // filled by the main window
  std::string AF;
};

// One RadioText buffer (A or B).
struct TRadioText {
  uint8_t Raw[64] = {};
  uint8_t Confirmed[64] = {};
  bool Received[64] = {};
  uint8_t Next = 0;             // next expected position
  uint8_t CharsPerSegment = 0;  // 4 for 2A, 2 for 2B
  uint8_t LastPos = 0;          // first position of the last segment
};

class TRDSCollector {
 public:
  static constexpr uint16_t kUnknown = 0xFFFF;
  // The block id kept for a block that is not used (it or its predecessor
  // had an error); the receiver's own ids are 0..5.
  static constexpr uint8_t kInvalidBlockId = 6;
  // A raw AF list longer than this can hold no valid list (at most 25 AFs,
  // a count code and a filler); further pairs are not kept.
  static constexpr size_t kMaxRawAF = 64;

  // Registers the type-1 data handler with the transport (Com may be null for
  // a decoder fed directly, e.g. by the log replay or a tool).
  explicit TRDSCollector(TCom* Com, IClock& Clock = SystemClock());
  ~TRDSCollector();
  TRDSCollector(const TRDSCollector&) = delete;
  TRDSCollector& operator=(const TRDSCollector&) = delete;

  // ---- Block layer -------------------------------------------------------------
  // The transport's data handler: while Active, parses the block and either
  // decodes the group it completed or queues a statistics change; then the
  // listeners are notified. Packets that are not type 1 or too short to hold
  // the block fields are ignored.
  void ComData(const uint8_t* Packet, int High);
  // One type-1 packet (High = index of its last byte). Returns true when the
  // block completed a group, which is then waiting for DecodeGroup.
  bool ParseBlock(const uint8_t* Packet, int High);
  // Decodes one stored group without the block layer (log replay).
  void ProcessGroup(uint16_t A, uint16_t B, uint16_t C, uint16_t D);
  // Decodes the group held by the block layer, updates the per-type
  // statistics, queues kinds 36 and 35 and notifies the listeners.
  void DecodeGroup();

  // ---- Lifecycle ---------------------------------------------------------------
  void Reset();
  void ResetStatistics();
  // 0 RDS, 1 RBDS: when it differs, store, Reset, queue kind 13 and notify.
  void SetRBDSMode(uint8_t NewMode);
  // When it differs: store and Reset.
  void SetActive(bool NewActive);
  void GetExtRecord(TExtRecord& Rec);

  // ---- Change queue ------------------------------------------------------------
  // Appends one record of the kind, stamped now, with its payload read from
  // the current state.
  void AddChange(uint8_t Kind);
  // Toggle: a listener whose method is registered is cleared, else appended.
  void RegisterDataChangeListener(const TOnDataChangeEvent& Listener);
  // With at least one active listener and one queued record: calls every
  // active listener in registration order, then empties the queue. Otherwise
  // the queue is kept for a later listener, within its bound.
  void NotifyListeners();

  // ---- Texts -------------------------------------------------------------------
  std::string GetPIText();
  std::string GetPTYText();
  std::string GetTPText();
  std::string GetTAText() const;
  std::string GetMSText() const;
  // 0..3 one DI flag, 5 the DI number ("??" unless complete), 6 the known flags joined.
  std::string GetDIText(int Index) const;
  std::string GetPSText() const;     // confirmed PS
  std::string GetRawPSText() const;  // PS as received
  std::string GetRTAText() const;
  std::string GetRTBText() const;
  std::string GetPTYNText() const;
  std::string GetGroup15AText() const;
  std::string GetEONPSText() const;
  std::string GetPINText() const;
  std::string GetPINTimeText() const;
  uint16_t GetSLCVariant() const;
  uint16_t GetLAFlag() const;
  uint16_t GetSLCData() const;
  std::string GetECCCountryText() const;
  std::string GetOPCText() const;
  std::string GetLanguageText() const;
  std::string GetEONVariantText() const;
  std::string GetEONTPText() const;
  std::string GetEONTAText() const;
  std::string GetEONPTYText() const;
  std::string GetEONPIText() const;
  uint16_t GetEONMappedWord(int Index) const;
  std::string GetGroup15BDIText(int Index) const;
  std::string GetGroup15BTAText() const;
  std::string GetGroup15BMSText() const;
  int32_t GetAFCount() const;
  char GetAFMethod() const;
  std::string GetAFText() const;
  std::string GetAFSummaryText() const;
  std::string GetAFListText() const;
  void GetCTText(TRDSDateTime& Out) const;

  // ---- State (read by the listeners and the main window) ------------------------
  TCom* Com = nullptr;
  uint8_t Mode = 0;  // 0 RDS, 1 RBDS
  bool Active = false;

  // Assembly.
  int32_t Pos = 0;
  uint16_t Blocks[5] = {};
  uint8_t BlockIds[5] = {};
  bool Gap = false;  // an unusable block came after the last one stored
  bool GroupComplete = false;

  // Current-block values (0xFFFF after a block that does not carry them) and
  // the last reported ones.
  uint16_t PI = kUnknown, PTY = kUnknown, TP = kUnknown;
  uint16_t LastPI = kUnknown, LastTP = kUnknown, LastPTY = kUnknown;

  // The last block: its error status, id (6 when it or its predecessor had
  // an error), data, and the previous block's status, data and id.
  int32_t LastBlockStatus = 0, LastBlockId = 0, LastBlockData = 0;
  int32_t LastPrevStatus = 0, LastPrevData = 0, LastPrevId = 0;

  TRDSStatistics Stats;
  TDataChangeQueue Changes;

  // Group identity.
  uint16_t GroupType = kUnknown;
  uint16_t Version = kUnknown;
  char VersionChar = 0;

  // Basic.
  uint16_t TA = kUnknown, MS = kUnknown;
  uint16_t DI[4] = {kUnknown, kUnknown, kUnknown, kUnknown};

  // PS.
  uint8_t PSRaw[8] = {};
  uint8_t PSConfirmed[8] = {};
  uint8_t PSNext = 0;
  uint8_t PSMask = 0;
  uint8_t PSLastPos = 0;

  // RadioText: [0] A, [1] B.
  uint16_t RTFlag = kUnknown;
  TRadioText RT[2];

  // AF: the list in progress and the main collector.
  std::vector<uint8_t> AFRaw;
  TAFCollector AF;

  // PIN and slow labelling (1A).
  uint16_t PIN = kUnknown;
  uint16_t SLCPaging = kUnknown;
  uint16_t SLCWord = kUnknown;

  // ODA (3A).
  uint16_t ODAGroupType = kUnknown, ODAMessage = kUnknown, ODAAid = kUnknown;

  // Clock time (4A); 0 = not received.
  uint32_t MJD = 0;
  uint32_t CTWord = 0;

  // Address/data groups.
  uint16_t TDCAddress = kUnknown;
  uint32_t TDCData = 0;
  uint16_t InHouseAddress = kUnknown;
  uint32_t InHouseData = 0;
  uint16_t PagingFlag = kUnknown, PagingSegment = kUnknown;
  uint32_t PagingData = 0;
  uint16_t TMCBits = kUnknown, TMCBlockC = kUnknown, TMCBlockD = kUnknown;
  uint16_t Group9Bits = kUnknown;
  uint32_t Group9Data = 0;
  uint16_t PTYNFlag = kUnknown;
  uint8_t PTYN[8] = {};
  uint16_t Group11Bits = kUnknown;
  uint32_t Group11Data = 0;
  uint16_t Group12Bits = kUnknown;
  uint32_t Group12Data = 0;
  uint16_t EPSub[4] = {kUnknown, kUnknown, kUnknown, kUnknown};
  uint32_t EPData = 0;

  // EON (14A/14B). Mapped word 0 is set to 1 when the EON AF count changed,
  // word 1 holds the last variant-4 block C, words 2..11 mapped frequencies.
  uint16_t EONPI = kUnknown, EONTP = kUnknown, EONVariant = kUnknown;
  uint8_t EONPS[8] = {};
  uint16_t EONTA = kUnknown, EONPTY = kUnknown, EONPIN = kUnknown;
  uint16_t EONMapped[12] = {};
  std::vector<uint8_t> EONAFRaw;
  TAFCollector EONAF;

  // Group 15: the A/B flag (15A) or TA (15B), MS and DI bits (15B), 15A text.
  uint16_t Group15Flag = kUnknown;
  uint16_t Group15MS = kUnknown;
  uint16_t Group15DI[4] = {kUnknown, kUnknown, kUnknown, kUnknown};
  uint8_t Group15Text[8] = {};

  // The five block words of the group just decoded (A, B, C, D, fifth slot).
  uint16_t Group[5] = {};

 private:
  void SetPI(uint16_t v);
  void SetTPAndPTY(uint16_t blockB);
  void UpdateGroupStatistics();

  // Group decoders.
  void DecodeGroup0(uint16_t B, uint16_t C, uint16_t D);
  void DecodeGroup1(uint16_t B, uint16_t C, uint16_t D);
  void DecodeGroup2(uint16_t B, uint16_t C, uint16_t D);
  void DecodeGroup4(uint16_t B, uint16_t C, uint16_t D);
  void DecodeGroup14(uint16_t B, uint16_t C, uint16_t D);
  void DecodeGroup15(uint16_t B, uint16_t C, uint16_t D);
  void PutPSChar(int p, uint8_t c);
  // Returns true when the raw text changed.
  bool PutRTChar(int ab, int p, uint8_t c, int n);
  // The AF steps of 0A and of 14A variant 4 on one raw list and its
  // collector: a count code hands the list in progress over (AddList, then
  // BuildLines) and starts the next one; a frequency code appends its pair.
  // Returns true when a list was handed over; CountChanged then tells
  // whether the collector's count moved.
  bool FeedAF(std::vector<uint8_t>& Raw, TAFCollector& Collector, uint16_t C, bool& CountChanged);

  // Appends one record stamped with the time of the event being handled.
  void QueueChange(uint8_t Kind);
  // Payload of one change record.
  void FillChange(TDataChange& c);

  IClock& Clock;
  TDataChangeListeners Listeners;
  // Time of the event being handled; every record queued for it carries it.
  TDateTime EventTime = 0;
};
