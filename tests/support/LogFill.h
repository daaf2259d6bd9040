#pragma once
// Fills the logs of a database file with many rows inside the engine (one
// statement), for benchmarks and tests of large logs.
#include <functional>
#include <string>

// LOG_RAW rows i = 0..Rows-1: blocks (i, $2420, $E0CD, $4142), FREQ i mod 211.
void FillRaw(const std::string& Database, int Rows);
// LOG_CH rows cycling through the change kinds 0..12 and 200.
void FillChanges(const std::string& Database, int Rows);
// LOG_EXT rows with a PS and radiotext.
void FillExt(const std::string& Database, int Rows);
// Nine LOG_RAW rows: station A (87.0, PI D3C2) sends its PS "STATIONA"
// twice, then station B (98.5, PI 5555) one radiotext group.
void FillTwoStationRaw(const std::string& Database);
// One more LOG_RAW row, taken on the MPX input (FREQ 255): a PS group of PI 7777.
void AppendMpxInputRaw(const std::string& Database);

// Runs Fill (calls of the functions above, or rows written any other way)
// with the database set up for many rows: forced writes off and the indexes
// on DT alone inactive; afterwards both are as they were, those indexes
// rebuilt in one pass. Rows, tables and indexes come out as without it, in a
// fraction of the time. Nothing else may be attached meanwhile. When Fill
// throws, the database is left as it is (to be thrown away).
void BulkFill(const std::string& Database, const std::function<void()>& Fill);
