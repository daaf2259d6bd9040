#include "receiver/RDS_Collector.h"

#include <cstring>
#include <limits>

#include "receiver/DeviceProtocol.h"
#include "receiver/communication.h"

namespace {

// Bit-error weight of one block by its error status: corrected bits (up to 2,
// up to 5) or a whole uncorrectable block counted as 13 of its 26 bits.
constexpr uint32_t kBERWeight[4] = {0, 2, 5, 13};
// The BER is computed over windows of this many blocks.
constexpr uint32_t kBERWindow = 45;
constexpr double kBERBits = kBERWindow * 26.0;

// Bytes 0..6 of a type-1 packet carry the block fields.
constexpr int kBlockFieldsHigh = 6;

}  // namespace

TRDSCollector::TRDSCollector(TCom* ACom, IClock& AClock) : Com(ACom), Clock(AClock) {
  if (Com) Com->RegisterDataHandler(PacketTypes({1}), TOnDataEvent(this, &TRDSCollector::ComData));
}

TRDSCollector::~TRDSCollector() {
  // Registering the same method again removes it.
  if (Com) Com->RegisterDataHandler(PacketTypes({1}), TOnDataEvent(this, &TRDSCollector::ComData));
}

void TRDSCollector::ComData(const uint8_t* Packet, int High) {
  if (!Active || !Packet) return;
  // The transport appends its 8-byte stamp; the device's bytes come before it.
  if (High - kStampSize < kBlockFieldsHigh || Packet[0] != proto::ptRDS) return;
  if (ParseBlock(Packet, High)) {
    DecodeGroup();
  } else {
    QueueChange(dcStatistics);
    NotifyListeners();
  }
}

void TRDSCollector::SetPI(uint16_t v) {
  PI = v;
  if (v != LastPI) {
    LastPI = v;
    QueueChange(dcPI);
  }
}

void TRDSCollector::SetTPAndPTY(uint16_t blockB) {
  TP = (blockB >> 10) & 1;
  PTY = (blockB >> 5) & 31;
  if (TP != LastTP) {
    LastTP = TP;
    QueueChange(dcTP);
  }
  if (PTY != LastPTY) {
    LastPTY = PTY;
    QueueChange(dcPTY);
  }
}

bool TRDSCollector::ParseBlock(const uint8_t* P, int High) {
  GroupComplete = false;
  if (!P || High < kBlockFieldsHigh) return false;
  // Every record this block queues, and the group it may complete, carry the
  // time it arrived, however the block layer is driven.
  EventTime = Clock.Now();

  // Only bytes 1..6 are read, so a receive stamp after them does not matter.
  const proto::TRdsPacket packet(P, High, false);
  uint8_t id = packet.BlockId();
  const uint8_t status = packet.ErrorStatus();
  const uint16_t data = packet.BlockData();
  const uint8_t prevId = packet.PrevBlockId();
  const uint8_t prevStatus = packet.PrevErrorStatus();
  const uint16_t prevData = packet.PrevBlockData();

  // A block with an error of its own or after an errored block is not used.
  if (status != 0 || prevStatus != 0) id = kInvalidBlockId;

  if (id < kInvalidBlockId) {
    switch (id) {
      case proto::biA:
        SetPI(data);
        break;
      case proto::biB:
        SetTPAndPTY(data);
        break;
      default:
        PI = TP = PTY = kUnknown;
        break;
    }

    // A valid A after four held blocks completes the group held so far.
    if (Pos == 4 && id == proto::biA) {
      GroupComplete = true;
      std::memcpy(Group, Blocks, sizeof(Group));
      Pos = 0;
    }

    // The block must follow the one stored last: the packet's previous block
    // is that block (id and data) and nothing unusable came in between.
    // Otherwise blocks of two transmitted groups would be joined into one.
    const bool follows = Pos > 0 && Pos < 5 && !Gap && prevId == BlockIds[Pos - 1] &&
                         prevData == Blocks[Pos - 1];
    if (Pos > 0 && !follows) {
      Pos = 0;
    } else {
      // A valid A that follows cleanly always begins a new group.
      if (id == proto::biA) Pos = 0;
      if (Pos > 0 || id == proto::biA) {
        Blocks[Pos] = data;
        BlockIds[Pos] = id;
        ++Pos;
      }
    }
    Gap = false;
  } else if (Pos > 0) {
    Gap = true;
  }

  LastBlockStatus = status;
  LastBlockId = id;
  LastBlockData = data;
  LastPrevStatus = prevStatus;
  LastPrevData = prevData;
  LastPrevId = prevId;

  if (status != 0) ++Stats.ErrorBlocks[status];
  ++Stats.BlocksTotal;
  Stats.BERSum += kBERWeight[status];
  if (++Stats.BERCount >= kBERWindow) {
    Stats.BER = Stats.BERSum / kBERBits;
    Stats.BERSum = 0;
    Stats.BERCount = 0;
  }
  for (TRDSGroupRecord& g : Stats.LastGroup) g.JustReceived = 0;
  return GroupComplete;
}

void TRDSCollector::ProcessGroup(uint16_t A, uint16_t B, uint16_t C, uint16_t D) {
  EventTime = Clock.Now();
  Blocks[0] = A;
  Blocks[1] = B;
  Blocks[2] = C;
  Blocks[3] = D;
  std::memcpy(Group, Blocks, sizeof(Group));
  SetPI(A);
  SetTPAndPTY(B);
  DecodeGroup();
}

void TRDSCollector::UpdateGroupStatistics() {
  const int i = (Version & 1) * 16 + (GroupType & 15);
  ++Stats.GroupsTotal;
  ++Stats.GroupCount[i];
  Stats.PrevTime[i] = Stats.LastTime[i];
  Stats.LastTime[i] = EventTime;
  if (Stats.PrevTime[i] != 0) {
    int64_t ms = dt::MillisecondsBetween(Stats.PrevTime[i], Stats.LastTime[i]);
    // A wall clock set back gives no negative interval.
    if (ms < 0) ms = 0;
    if (ms > std::numeric_limits<uint32_t>::max()) ms = std::numeric_limits<uint32_t>::max();
    Stats.Interval[i] = static_cast<uint32_t>(ms);
  }
  Stats.IntervalSum[i] += Stats.Interval[i];
  if (Stats.Interval[i] > Stats.IntervalMax[i]) Stats.IntervalMax[i] = Stats.Interval[i];
  if (Stats.Interval[i] < Stats.IntervalMin[i] && Stats.Interval[i] > 0)
    Stats.IntervalMin[i] = Stats.Interval[i];
  TRDSGroupRecord& g = Stats.LastGroup[i];
  std::memcpy(g.Blocks, Group, sizeof(g.Blocks));
  g.JustReceived = 1;
}

void TRDSCollector::ResetStatistics() {
  // The BER window and the latest groups are kept: the BER goes on with its
  // 45-block cycle across resets.
  Stats.GroupsTotal = 0;
  Stats.BlocksTotal = 0;
  for (int i = 0; i < TRDSStatistics::kTypes; ++i) {
    Stats.GroupCount[i] = 0;
    Stats.LastTime[i] = 0;
    Stats.PrevTime[i] = 0;
    Stats.Interval[i] = 0;
    Stats.IntervalMax[i] = 0;
    Stats.IntervalMin[i] = TRDSStatistics::kNoMinimum;
    Stats.IntervalSum[i] = 0;
  }
  for (int c = 1; c <= 3; ++c) Stats.ErrorBlocks[c] = 0;
}

void TRDSCollector::Reset() {
  // A group half assembled from the station tuned before must not be
  // completed by blocks of the next one.
  Pos = 0;
  Gap = false;
  PI = PTY = TP = kUnknown;
  LastPI = LastTP = LastPTY = kUnknown;
  GroupType = Version = kUnknown;
  VersionChar = 0;
  TA = MS = kUnknown;
  for (uint16_t& d : DI) d = kUnknown;

  std::memset(PSRaw, 0, sizeof(PSRaw));
  std::memset(PSConfirmed, 0, sizeof(PSConfirmed));
  PSNext = 0;
  PSMask = 0;
  PSLastPos = 0;

  // The confirmed RadioTexts, their received flags and expected positions are
  // kept; only what is shown starts empty.
  RTFlag = kUnknown;
  for (TRadioText& rt : RT) {
    std::memset(rt.Raw, 0, sizeof(rt.Raw));
    rt.LastPos = 0;
  }

  PIN = SLCPaging = SLCWord = kUnknown;
  ODAGroupType = ODAMessage = ODAAid = kUnknown;
  MJD = 0;
  CTWord = 0;
  TDCAddress = InHouseAddress = kUnknown;
  TDCData = InHouseData = 0;
  PagingFlag = PagingSegment = kUnknown;
  PagingData = 0;
  TMCBits = TMCBlockC = TMCBlockD = kUnknown;
  Group9Bits = Group11Bits = Group12Bits = kUnknown;
  Group9Data = Group11Data = Group12Data = 0;
  PTYNFlag = kUnknown;
  std::memset(PTYN, 0, sizeof(PTYN));
  for (uint16_t& s : EPSub) s = kUnknown;
  EPData = 0;

  EONPI = EONTP = EONVariant = EONTA = EONPTY = EONPIN = kUnknown;
  std::memset(EONPS, 0, sizeof(EONPS));
  std::memset(EONMapped, 0, sizeof(EONMapped));

  Group15Flag = Group15MS = kUnknown;
  for (uint16_t& d : Group15DI) d = kUnknown;
  std::memset(Group15Text, 0, sizeof(Group15Text));

  Changes.Clear();
  // The EON list in progress is kept: other networks do not change with the
  // tuned station's reset.
  AFRaw.clear();
  AF.Reset();
  EONAF.Reset();
  ResetStatistics();
}

void TRDSCollector::SetRBDSMode(uint8_t NewMode) {
  NewMode = NewMode ? 1 : 0;
  if (NewMode == Mode) return;
  Mode = NewMode;
  Reset();
  AddChange(dcMode);
  NotifyListeners();
}

void TRDSCollector::SetActive(bool NewActive) {
  if (NewActive == Active) return;
  Active = NewActive;
  Reset();
}

void TRDSCollector::GetExtRecord(TExtRecord& Rec) {
  Rec.TP = LastTP;
  Rec.TA = TA;
  Rec.MS = MS;
  Rec.PI = LastPI;
  Rec.PTY = LastPTY;
  Rec.RTA = GetRTAText();
  Rec.RTB = GetRTBText();
  Rec.PS = GetRawPSText();
  Rec.CT = static_cast<int32_t>(MJD);
  Rec.HMS = static_cast<int32_t>(CTWord);
  if (AF.Count >= 0) {
    Rec.AFS = AF.Count;
    Rec.AF = GetAFListText();
  } else {
    Rec.AFS = 0;
    Rec.AF.clear();
  }
  const int di = DINumber(DI);
  Rec.DI = di < 0 ? 0 : di;
}

void TRDSCollector::RegisterDataChangeListener(const TOnDataChangeEvent& Listener) {
  Listeners.Register(Listener);
}

void TRDSCollector::NotifyListeners() {
  if (Changes.empty()) return;
  if (!Listeners.AnyActive()) {
    // Kept for a listener that registers later, but bounded: a decoder left
    // without listeners must not grow by a record per block for ever.
    Changes.Trim();
    return;
  }
  Listeners.CallAll();
  Changes.Clear();
}
