#pragma once
// The log tables' rows as the readers select them, and their decoding from a
// fetched statement row: one place for the column lists and their order.
#include "logstore/FbDatabase.h"
#include "logstore/LogDatabase.h"

inline constexpr const char* kChangeLogColumns = "ID, DT, SIG, INTD, STR";
inline constexpr const char* kRawLogColumns = "ID, DT, BLOCK0, BLOCK1, BLOCK2, BLOCK3, BLOCK4, BLOCK5, FREQ";
inline constexpr const char* kExtLogColumns =
    "ID, DT, FREQ, TP, TA, MS, PI, PTY, RTA, RTB, PS, CT, HMS, AFS, DI, MODE, RDS, AF";

void ReadChangeRow(const fb::TStatement& St, TChangeLogRow& Row);
void ReadRawRow(const fb::TStatement& St, TRawLogRow& Row);
void ReadExtRow(const fb::TStatement& St, TExtLogRow& Row);
