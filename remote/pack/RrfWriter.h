#pragma once
// Writes a resource file in the layout the program reads (FileResourcer.h).
// The program itself only reads such files; this is for the build's packer,
// the tests and the fuzz seeds.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/DateTime.h"

struct TRrfEntry {
  std::string Name;
  std::string Bytes;
  uint8_t Kind = 0;
  TDateTime Time = 0;
};

// The whole file: header, the items' zlib streams, then the directory.
std::string WriteResourceFile(const std::vector<TRrfEntry>& Entries);
