// The texts of TRDSCollector: its getters and the payload of each change
// record. Texts are written into the record's reused strings, so a steady
// stream of records does not allocate.
#include <cstdarg>
#include <cstdio>

#include "receiver/RDS_Collector.h"

namespace {

void SetText(std::string& dst, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void SetText(std::string& dst, const char* fmt, ...) {
  char buf[96];
  va_list ap;
  va_start(ap, fmt);
  int n = std::vsnprintf(buf, sizeof(buf), fmt, ap);
  va_end(ap);
  if (n < 0) n = 0;
  if (n >= static_cast<int>(sizeof(buf))) n = sizeof(buf) - 1;
  dst.assign(buf, static_cast<size_t>(n));
}

// Decimal text of a value, empty when it is unknown.
void SetNumber(std::string& dst, uint16_t v) {
  if (v == TRDSCollector::kUnknown)
    dst.clear();
  else
    SetText(dst, "%u", unsigned(v));
}

// Groups 5, 6, 9, 11 and 12: [0] the address bits, [1] the data in hex.
void SetAddressAndData(std::string* t, uint16_t bits, uint32_t data) {
  SetNumber(t[0], bits);
  SetText(t[1], "%.16X", unsigned(data));
}

}  // namespace

// ---- Getters -------------------------------------------------------------------

std::string TRDSCollector::GetPIText() {
  if (LastPI == kUnknown) LastPI = PI;
  return PIText(Mode, LastPI);
}

std::string TRDSCollector::GetPTYText() {
  if (LastPTY == kUnknown) LastPTY = PTY;
  return PTYName(Mode, LastPTY);
}

std::string TRDSCollector::GetTPText() {
  if (LastTP == kUnknown) LastTP = TP;
  return TPText(LastTP);
}

std::string TRDSCollector::GetTAText() const { return TAText(TA); }
std::string TRDSCollector::GetMSText() const { return MSText(MS); }
std::string TRDSCollector::GetDIText(int Index) const { return DIText(Index, DI); }
std::string TRDSCollector::GetPSText() const { return BufferText(PSConfirmed, 8); }
std::string TRDSCollector::GetRawPSText() const { return BufferText(PSRaw, 8); }
std::string TRDSCollector::GetRTAText() const { return BufferText(RT[0].Raw, 64); }
std::string TRDSCollector::GetRTBText() const { return BufferText(RT[1].Raw, 64); }
std::string TRDSCollector::GetPTYNText() const { return BufferText(PTYN, 8); }
std::string TRDSCollector::GetGroup15AText() const { return BufferText(Group15Text, 8); }
std::string TRDSCollector::GetEONPSText() const { return BufferText(EONPS, 8); }
std::string TRDSCollector::GetPINText() const { return PINText(PIN); }
std::string TRDSCollector::GetPINTimeText() const { return PINTimeText(PIN); }

uint16_t TRDSCollector::GetSLCVariant() const {
  return SLCWord == kUnknown ? kUnknown : static_cast<uint16_t>((SLCWord >> 12) & 7);
}
uint16_t TRDSCollector::GetLAFlag() const {
  return SLCWord == kUnknown ? kUnknown : static_cast<uint16_t>(SLCWord >> 15);
}
uint16_t TRDSCollector::GetSLCData() const {
  return SLCWord == kUnknown ? kUnknown : static_cast<uint16_t>(SLCWord & 0x0FFF);
}

std::string TRDSCollector::GetECCCountryText() const { return ECCCountryText(SLCWord, LastPI); }
std::string TRDSCollector::GetOPCText() const { return OPCText(SLCWord); }
std::string TRDSCollector::GetLanguageText() const { return LanguageText(SLCWord); }

std::string TRDSCollector::GetEONVariantText() const { return EONVariantText(EONVariant); }
std::string TRDSCollector::GetEONTPText() const { return TPText(EONTP); }
std::string TRDSCollector::GetEONTAText() const { return TAText(EONTA); }
std::string TRDSCollector::GetEONPTYText() const { return PTYName(Mode, EONPTY); }
std::string TRDSCollector::GetEONPIText() const { return PIText(Mode, EONPI); }
uint16_t TRDSCollector::GetEONMappedWord(int Index) const {
  return Index >= 0 && Index < 12 ? EONMapped[Index] : 0;
}

std::string TRDSCollector::GetGroup15BDIText(int Index) const { return DIText(Index, Group15DI); }
std::string TRDSCollector::GetGroup15BTAText() const { return TAText(Group15Flag); }
std::string TRDSCollector::GetGroup15BMSText() const { return MSText(Group15MS); }

int32_t TRDSCollector::GetAFCount() const { return AF.Count; }
char TRDSCollector::GetAFMethod() const { return AF.MethodChar(); }
std::string TRDSCollector::GetAFText() const { return AF.AFText(); }
std::string TRDSCollector::GetAFSummaryText() const { return AF.SummaryText(); }
std::string TRDSCollector::GetAFListText() const { return AF.ListText(); }
void TRDSCollector::GetCTText(TRDSDateTime& Out) const { Out = CTRecord(MJD, CTWord); }

// ---- Change records --------------------------------------------------------------

void TRDSCollector::AddChange(uint8_t Kind) {
  EventTime = Clock.Now();
  QueueChange(Kind);
}

void TRDSCollector::QueueChange(uint8_t Kind) {
  TDataChange& c = Changes.Append(Kind, EventTime);
  FillChange(c);
}

void TRDSCollector::FillChange(TDataChange& c) {
  std::string* t = c.Texts;
  const char* modeLetter = Mode == 1 ? "B" : "R";
  switch (c.Kind) {
    case dcPI:
      c.Value = LastPI;
      t[0] = GetPIText();
      t[1] = modeLetter;
      break;
    case dcTP:
      c.Value = LastTP;
      t[0] = GetTPText();
      break;
    case dcPTY:
      c.Value = LastPTY;
      t[0] = GetPTYText();
      t[1] = modeLetter;
      break;
    case dcTA:
      c.Value = TA;
      t[0] = GetTAText();
      break;
    case dcMS:
      c.Value = MS;
      t[0] = GetMSText();
      break;
    case dcDI:
      t[0] = GetDIText(6);
      t[1] = GetDIText(5);
      for (int i = 0; i < 4; ++i) t[2 + i] = GetDIText(i);
      break;
    case dcPSSegment:
      c.Value = PSLastPos;
      AssignBufferText(t[0], PSRaw, 8);
      break;
    case dcAFCount:
      c.Value = static_cast<uint16_t>(AF.Count);
      t[0].assign(1, GetAFMethod());
      t[1] = GetAFListText();
      c.AFLines = AF.Lines;
      c.Extra2 = static_cast<int32_t>(AF.Lines.size());
      break;
    case dcRTAText:
    case dcRTAConfirmed:
    case dcRTASegment:
    case dcRTBText:
    case dcRTBConfirmed:
    case dcRTBSegment: {
      const TRadioText& rt =
          RT[c.Kind == dcRTBText || c.Kind == dcRTBConfirmed || c.Kind == dcRTBSegment ? 1 : 0];
      c.Value = rt.LastPos;
      AssignBufferText(t[0], rt.Raw, 64);
      c.Extra = rt.CharsPerSegment;
      break;
    }
    case dcMode:
      c.Value = Mode;
      t[0] = Mode == 1 ? "CALL" : "PI";
      break;
    case dcPSConfirmed:
      AssignBufferText(t[1], PSConfirmed, 8);
      break;
    case dcClockTime: {
      // The time word has 17 bits: Value holds the low 16, Extra the whole word.
      c.Value = static_cast<uint16_t>(CTWord);
      c.Extra = static_cast<int32_t>(CTWord);
      const TRDSDateTime r = CTRecord(MJD, CTWord);
      t[0] = r.Text;
      t[1] = r.Hour;
      t[2] = r.Minute;
      t[3] = r.Offset;
      break;
    }
    case dcClockDate: {
      c.Value = static_cast<uint16_t>(MJD);
      c.Extra = static_cast<int32_t>(MJD);
      const TRDSDateTime r = CTRecord(MJD, CTWord);
      t[0] = r.Text;
      t[1] = r.Day;
      t[2] = r.Month;
      t[3] = r.Year;
      t[4] = r.WeekDay;
      t[5] = r.Week;
      t[6] = r.Spare;
      break;
    }
    case dcAFList:
      c.Value = static_cast<uint16_t>(AF.Announced);
      if (AF.FirstCode > 0)
        t[0] = AFCodeText(AF.FirstCode);
      SetText(t[1], "%d", AF.PairCount);
      t[2] = AF.LastListPairsText();
      break;
    case dcRTFlag:
      c.Value = RTFlag;
      break;
    case dcPIN:
      c.Value = PIN;
      t[0] = GetPINText();
      t[1] = GetPINTimeText();
      break;
    case dcSlowLabelling: {
      const uint16_t variant = GetSLCVariant();
      c.Value = variant;
      c.Extra = GetLAFlag();
      switch (variant) {
        case 0:
          t[0] = GetECCCountryText();
          t[1] = GetOPCText();
          break;
        case 1:  // TMC identification
        case 2:  // paging identification
        case 6:  // broadcaster data
        case 7:  // emergency warning channel identification
          SetNumber(t[0], GetSLCData());
          break;
        case 3:
          t[0] = GetLanguageText();
          break;
        default:
          break;
      }
      break;
    }
    case dcODA:
      SetNumber(t[0], ODAGroupType);
      SetNumber(t[1], ODAMessage);
      SetNumber(t[2], ODAAid);
      break;
    case dcTDC:
      SetAddressAndData(t, TDCAddress, TDCData);
      break;
    case dcInHouse:
      SetAddressAndData(t, InHouseAddress, InHouseData);
      break;
    case dcPaging:
      SetNumber(t[0], PagingFlag);
      SetNumber(t[1], PagingSegment);
      SetText(t[2], "%.16X", unsigned(PagingData));
      break;
    case dcTMC:
      SetNumber(t[0], TMCBits);
      SetNumber(t[1], TMCBlockC);
      SetNumber(t[2], TMCBlockD);
      break;
    case dcGroup9:
      SetAddressAndData(t, Group9Bits, Group9Data);
      break;
    case dcPTYN:
      c.Value = PTYNFlag;
      AssignBufferText(t[0], PTYN, 8);
      break;
    case dcGroup11:
      SetAddressAndData(t, Group11Bits, Group11Data);
      break;
    case dcGroup12:
      SetAddressAndData(t, Group12Bits, Group12Data);
      break;
    case dcEnhancedPaging:
      for (int i = 0; i < 4; ++i) SetNumber(t[i], EPSub[i]);
      SetText(t[4], "%.13X", unsigned(EPData));
      break;
    case dcEON: {
      c.Value = EONVariant;
      t[0] = GetEONVariantText();
      t[1] = GetEONPIText();
      t[2] = GetEONTPText();
      t[3] = GetEONTAText();
      t[4] = GetEONPTYText();
      t[5] = PINText(EONPIN);
      AssignBufferText(t[6], EONPS, 8);
      if (EONMapped[0] == 1) {
        // Built in place: EON groups are frequent, the record's string is reused.
        SetText(t[7], "AF Total: %d >> ", int(EONAF.Count));
        for (const std::string& line : EONAF.Lines) {
          t[7] += line;
          t[7] += "\r\n";
        }
        t[7] += ' ';
      }
      const int hi = EONMapped[1] >> 8, lo = EONMapped[1] & 0xFF;
      if (!IsAFCountCode(hi)) {
        t[8] = AFCodeText(hi);
        t[8] += " + ";
      }
      t[8] += AFCodeText(lo);
      for (int i = 2; i < 12; ++i) t[7 + i] = AFCodeText(EONMapped[i]);
      break;
    }
    case dcGroup15:
      t[0] = GetGroup15BDIText(5);
      for (int i = 0; i < 4; ++i) t[1 + i] = GetGroup15BDIText(i);
      t[5] = GetGroup15BTAText();
      t[6] = GetGroup15BMSText();
      AssignBufferText(t[7], Group15Text, 8);
      break;
    case dcGroup:
      c.Value = GroupType;
      c.Extra = Version;
      SetText(t[0], "%2d%s:%.4X %.4X %.4X %.4X  ", int(GroupType), Version ? "B" : "A",
              unsigned(Group[0]), unsigned(Group[1]), unsigned(Group[2]), unsigned(Group[3]));
      for (int i = 0; i < 4; ++i) SetText(t[1 + i], "%u", unsigned(Group[i]));
      break;
    case dcStatistics:
      c.Stats = Stats;
      break;
    default:
      // Kinds the decoder does not raise carry only their kind and time.
      break;
  }
}
