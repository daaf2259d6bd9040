#include "logstore/LogRowReader.h"

namespace {
int32_t Int(const fb::TStatement& st, unsigned c) { return static_cast<int32_t>(st.GetInt(c)); }
}  // namespace

void ReadChangeRow(const fb::TStatement& St, TChangeLogRow& Row) {
  Row.ID = Int(St, 0);
  Row.DT = St.GetTimestamp(1);
  Row.SIG = Int(St, 2);
  Row.INTD = Int(St, 3);
  Row.STR = St.GetText(4);
}

void ReadRawRow(const fb::TStatement& St, TRawLogRow& Row) {
  Row.ID = Int(St, 0);
  Row.DT = St.GetTimestamp(1);
  for (unsigned k = 0; k < 6; ++k) Row.BLOCK[k] = Int(St, 2 + k);
  Row.FREQ = Int(St, 8);
}

void ReadExtRow(const fb::TStatement& St, TExtLogRow& Row) {
  Row.ID = Int(St, 0);
  Row.DT = St.GetTimestamp(1);
  Row.FREQ = Int(St, 2);
  Row.TP = Int(St, 3);
  Row.TA = Int(St, 4);
  Row.MS = Int(St, 5);
  Row.PI = Int(St, 6);
  Row.PTY = Int(St, 7);
  Row.RTA = St.GetText(8);
  Row.RTB = St.GetText(9);
  Row.PS = St.GetText(10);
  Row.CT = Int(St, 11);
  Row.HMS = Int(St, 12);
  Row.AFS = Int(St, 13);
  Row.DI = Int(St, 14);
  Row.MODE = St.GetText(15);
  Row.RDS = St.GetText(16);
  Row.AF = St.GetText(17);
}
