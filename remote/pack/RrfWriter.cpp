#include "remote/pack/RrfWriter.h"

#include <sstream>

#include "remote/FileResourcer.h"

namespace {

void PutWord(std::string& out, uint32_t w) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(w >> (8 * i)));
}

}  // namespace

std::string WriteResourceFile(const std::vector<TRrfEntry>& Entries) {
  std::string data, dir;
  uint32_t index = 1;
  for (const TRrfEntry& e : Entries) {
    TmyItem item;
    std::istringstream src(e.Bytes);
    item.LoadFromStream(src);
    item.SetName(e.Name);
    PutWord(dir, static_cast<uint32_t>(kResourceHeaderSize + data.size()));
    PutWord(dir, static_cast<uint32_t>(item.Data.size()));
    PutWord(dir, index++);
    dir += item.RawName();
    dir.push_back(static_cast<char>(e.Kind));
    uint8_t stamp[8];
    dt::StampToBytes(e.Time, stamp);
    dir.append(reinterpret_cast<const char*>(stamp), sizeof stamp);
    data.append(item.Data.begin(), item.Data.end());
  }
  std::string out;
  PutWord(out, 0x46525246);  // "FRRF", for anyone looking at the file
  PutWord(out, 1);
  PutWord(out, index);
  PutWord(out, static_cast<uint32_t>(kResourceHeaderSize + data.size()));
  PutWord(out, static_cast<uint32_t>(Entries.size()));
  return out + data + dir;
}
