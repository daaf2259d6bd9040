#pragma once
// Where the tests find the source tree (scenario files, golden data) and the
// build's program folder (fenwisk_sim, the ready-made RDSLOG.FDB). The
// environment may point elsewhere (the screenshot script does); otherwise the
// folders the build was configured with are used.
#include <cstdlib>
#include <string>

inline std::string TestSourceDir() {
  if (const char* s = std::getenv("FW_SOURCE_DIR"); s && *s) return s;
  return FW_BUILT_SOURCE_DIR;
}

inline std::string TestBinDir() {
  if (const char* b = std::getenv("FW_BIN_DIR"); b && *b) return b;
  return FW_BUILT_BIN_DIR;
}

// The empty log database the build made (the program folder's own copy may
// hold what the program has logged since).
inline std::string TestDatabaseTemplate() { return FW_BUILT_DATABASE; }
