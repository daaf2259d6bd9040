// Group decoding of TRDSCollector: one assembled group into the decoder's
// fields and change records.
#include <cstring>

#include "receiver/RDS_Collector.h"

namespace {

// Groups 5, 6, 9, 11 and 12 share one layout: B bits 4..0, and as data C and
// D as one 32-bit word in version A, D alone in version B.
void TakeAddressAndData(uint16_t B, uint16_t C, uint16_t D, uint16_t Version, uint16_t& Bits,
                        uint32_t& Data) {
  Bits = B & 31;
  Data = Version == 0 ? (uint32_t(C) << 16 | D) : D;
}

// The four characters C high, C low, D high, D low at positions 4s..4s+3.
void PutFourChars(uint8_t* Text, int s, uint16_t C, uint16_t D) {
  Text[4 * s] = C >> 8;
  Text[4 * s + 1] = C & 0xFF;
  Text[4 * s + 2] = D >> 8;
  Text[4 * s + 3] = D & 0xFF;
}

}  // namespace

void TRDSCollector::DecodeGroup() {
  const uint16_t B = Group[1], C = Group[2], D = Group[3];
  GroupType = B >> 12;
  Version = (B >> 11) & 1;
  VersionChar = Version ? 'B' : 'A';
  // Version B repeats the PI in block C'.
  if (Version == 1 && GroupType <= 13) LastPI = C;

  switch (GroupType) {
    case 0:
      DecodeGroup0(B, C, D);
      break;
    case 1:
      DecodeGroup1(B, C, D);
      break;
    case 2:
      DecodeGroup2(B, C, D);
      break;
    case 3:
      if (Version == 0) {
        ODAGroupType = B & 31;
        ODAMessage = C;
        ODAAid = D;
        QueueChange(dcODA);
      }
      break;
    case 4:
      if (Version == 0) DecodeGroup4(B, C, D);
      break;
    case 5:
      TakeAddressAndData(B, C, D, Version, TDCAddress, TDCData);
      QueueChange(dcTDC);
      break;
    case 6:
      TakeAddressAndData(B, C, D, Version, InHouseAddress, InHouseData);
      QueueChange(dcInHouse);
      break;
    case 7:
      if (Version == 0) {
        PagingFlag = (B >> 4) & 1;
        PagingSegment = B & 15;
        PagingData = uint32_t(C) << 16 | D;
        QueueChange(dcPaging);
      }
      break;
    case 8:
      if (Version == 0) {
        TMCBits = B & 31;
        TMCBlockC = C;
        TMCBlockD = D;
        QueueChange(dcTMC);
      }
      break;
    case 9:
      TakeAddressAndData(B, C, D, Version, Group9Bits, Group9Data);
      QueueChange(dcGroup9);
      break;
    case 10:
      if (Version == 0) {
        PTYNFlag = (B >> 4) & 1;
        PutFourChars(PTYN, B & 1, C, D);
        QueueChange(dcPTYN);
      }
      break;
    case 11:
      TakeAddressAndData(B, C, D, Version, Group11Bits, Group11Data);
      QueueChange(dcGroup11);
      break;
    case 12:
      TakeAddressAndData(B, C, D, Version, Group12Bits, Group12Data);
      QueueChange(dcGroup12);
      break;
    case 13:
      if (Version == 0) {
        EPSub[0] = (C >> 3) & 3;
        EPSub[1] = C & 7;
        EPSub[2] = (D >> 12) & 15;
        EPSub[3] = (D >> 10) & 3;
        EPData = uint32_t(D & 0x1FF) << 16 | D;
        QueueChange(dcEnhancedPaging);
      }
      break;
    case 14:
      DecodeGroup14(B, C, D);
      break;
    case 15:
      DecodeGroup15(B, C, D);
      break;
  }

  UpdateGroupStatistics();
  QueueChange(dcStatistics);
  QueueChange(dcGroup);
  NotifyListeners();
}

void TRDSCollector::DecodeGroup0(uint16_t B, uint16_t C, uint16_t D) {
  const uint16_t ta = (B >> 4) & 1;
  if (ta != TA) {
    TA = ta;
    QueueChange(dcTA);
  }
  const uint16_t ms = (B >> 3) & 1;
  if (ms != MS) {
    MS = ms;
    QueueChange(dcMS);
  }
  const uint16_t di = (B >> 2) & 1;
  if (di != DI[B & 3]) {
    DI[B & 3] = di;
    QueueChange(dcDI);
  }

  bool countChanged = false;
  if (Version == 0 && FeedAF(AFRaw, AF, C, countChanged)) {
    if (AF.Announced != -1) QueueChange(dcAFList);
    if (countChanged) QueueChange(dcAFCount);
  }

  const int p = (B & 3) * 2;
  PutPSChar(p, D >> 8);
  PutPSChar(p + 1, D & 0xFF);
  PSLastPos = static_cast<uint8_t>(p);
  QueueChange(dcPSSegment);
}

bool TRDSCollector::FeedAF(std::vector<uint8_t>& Raw, TAFCollector& Collector, uint16_t C,
                           bool& CountChanged) {
  const uint8_t a = C >> 8, b = C & 0xFF;
  CountChanged = false;
  if (IsAFCountCode(a)) {
    // The next count code ends the list in progress.
    const int32_t before = Collector.Count;
    Collector.AddList(Raw);
    Collector.BuildLines();
    CountChanged = Collector.Count != before;
    Raw.assign({a, b});
    return true;
  }
  // Every appended pair holds at least one frequency, so a list longer than
  // the bound counts more AFs than any count code can announce and would be
  // rejected anyway; a stream without count codes must not grow it for ever.
  if (IsAFFrequencyCode(a) && Raw.size() + 2 <= kMaxRawAF) {
    Raw.push_back(a);
    Raw.push_back(b);
  }
  return false;
}

void TRDSCollector::PutPSChar(int p, uint8_t c) {
  PSRaw[p] = c;
  if (p == PSNext) {
    PSMask |= static_cast<uint8_t>(1u << p);
    ++PSNext;
  } else {
    PSNext = 0;
    PSMask = 0;
  }
  if (PSMask == 0xFF) {
    PSNext = 0;
    PSMask = 0;
    if (std::memcmp(PSRaw, PSConfirmed, sizeof(PSRaw)) != 0) {
      std::memcpy(PSConfirmed, PSRaw, sizeof(PSRaw));
      QueueChange(dcPSConfirmed);
    }
  }
}

void TRDSCollector::DecodeGroup1(uint16_t B, uint16_t C, uint16_t D) {
  if (D != PIN) {
    PIN = D;
    QueueChange(dcPIN);
  }
  if (Version == 0) {
    SLCPaging = B & 31;
    SLCWord = C;
    QueueChange(dcSlowLabelling);
  }
}

bool TRDSCollector::PutRTChar(int ab, int p, uint8_t c, int n) {
  TRadioText& rt = RT[ab];
  const bool changed = rt.Raw[p] != c;
  rt.Raw[p] = c;
  if (p == rt.Next) {
    rt.Received[p] = true;
    ++rt.Next;
  } else {
    std::memset(rt.Received, 0, static_cast<size_t>(n));
    rt.Next = 0;
  }
  bool all = true;
  for (int i = 0; i < n && all; ++i) all = rt.Received[i];
  if (all) {
    std::memset(rt.Received, 0, static_cast<size_t>(n));
    rt.Next = 0;
    if (std::memcmp(rt.Raw, rt.Confirmed, static_cast<size_t>(n)) != 0) {
      std::memcpy(rt.Confirmed, rt.Raw, static_cast<size_t>(n));
      QueueChange(ab ? dcRTBConfirmed : dcRTAConfirmed);
    }
  }
  return changed;
}

void TRDSCollector::DecodeGroup2(uint16_t B, uint16_t C, uint16_t D) {
  const uint16_t flag = (B >> 4) & 1;
  if (flag != RTFlag) {
    RTFlag = flag;
    QueueChange(dcRTFlag);
  }
  const int s = B & 15;
  const int ab = flag;  // flag 1 writes RadioText B
  TRadioText& rt = RT[ab];
  // The segment is recorded first, so a confirmation it completes reports
  // this segment rather than the one before.
  if (Version == 0) {
    rt.CharsPerSegment = 4;
    rt.LastPos = static_cast<uint8_t>(4 * s);
    bool changed = PutRTChar(ab, 4 * s, C >> 8, 64);
    changed |= PutRTChar(ab, 4 * s + 1, C & 0xFF, 64);
    changed |= PutRTChar(ab, 4 * s + 2, D >> 8, 64);
    changed |= PutRTChar(ab, 4 * s + 3, D & 0xFF, 64);
    if (changed) QueueChange(ab ? dcRTBText : dcRTAText);
  } else {
    rt.CharsPerSegment = 2;
    rt.LastPos = static_cast<uint8_t>(2 * s);
    PutRTChar(ab, 2 * s, D >> 8, 32);
    PutRTChar(ab, 2 * s + 1, D & 0xFF, 32);
    QueueChange(ab ? dcRTBText : dcRTAText);
  }
  QueueChange(ab ? dcRTBSegment : dcRTASegment);
}

void TRDSCollector::DecodeGroup4(uint16_t B, uint16_t C, uint16_t D) {
  const uint32_t mjd = (B & 3u) * 32768u + (C >> 1);
  const uint32_t word = (C & 1u) * 65536u + D;
  if (mjd != MJD || word != CTWord) {
    MJD = mjd;
    CTWord = word;
    QueueChange(dcClockDate);
    QueueChange(dcClockTime);
  }
}

void TRDSCollector::DecodeGroup14(uint16_t B, uint16_t C, uint16_t D) {
  EONPI = D;
  EONTP = (B >> 4) & 1;
  if (Version == 0) {
    const uint16_t v = B & 15;
    EONVariant = v;
    if (v <= 3) {
      EONPS[2 * v] = C >> 8;
      EONPS[2 * v + 1] = C & 0xFF;
    } else if (v == 4) {
      EONMapped[1] = C;
      bool countChanged = false;
      if (FeedAF(EONAFRaw, EONAF, C, countChanged) && countChanged) EONMapped[0] = 1;
    } else if (v <= 9) {
      EONMapped[2 * (v - 4)] = C >> 8;
      EONMapped[2 * (v - 4) + 1] = C & 0xFF;
    } else if (v == 13) {
      EONTA = C & 1;
      EONPTY = C >> 11;
    } else if (v == 14) {
      EONPIN = C;
    }
  } else {
    EONTA = (B >> 3) & 1;
  }
  QueueChange(dcEON);
}

void TRDSCollector::DecodeGroup15(uint16_t B, uint16_t C, uint16_t D) {
  if (Version == 0) {
    Group15Flag = (B >> 4) & 1;
    PutFourChars(Group15Text, B & 1, C, D);
  } else {
    Group15Flag = (B >> 4) & 1;
    Group15MS = (B >> 3) & 1;
    Group15DI[B & 3] = (B >> 2) & 1;
  }
  QueueChange(dcGroup15);
}
