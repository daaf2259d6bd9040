// The resource-file reader on arbitrary bytes: either a clean error or
// items that can all be served.
#include <sstream>
#include <string>

#include "remote/FileResourcer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TmyItemCollection c;
  c.SetVariable("%ALIAS%", "Fenwisk");
  TResourceHeader h;
  std::istringstream in(std::string(reinterpret_cast<const char*>(Data), Size));
  try {
    c.LoadFromStream(in, h);
  } catch (const EResourceFileError&) {
    return 0;
  }
  for (const auto& item : c.Items) {
    std::stringstream out;
    if (!item->SaveToStreamWithVariables(out)) __builtin_trap();
    if (!c.FindItem(item->GetName()) && !item->GetName().empty()) __builtin_trap();
  }
  return 0;
}
