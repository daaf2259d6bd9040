// The command socket's messages on arbitrary bytes: split at the NULs by the
// bounded reader, each executed against a fake receiver; the same bytes also
// as band-scan packets.
#include <string>

#include "MemorySource.h"
#include "remote/RemoteProtocol.h"
#include "remote/RemoteSessionManager.h"
#include "tests/remote/FakeRemoteHost.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TFakeRemoteHost host;
  TRemoteCommands commands(host);
  TMemorySource source(Data, Size);
  TBoundedReader reader(source);
  std::string message;
  while (reader.ReadUntil('\0', message, kMaxCommandMessage, kNoDeadline)) commands.Execute(message);
  for (size_t at = 0; at < Size; at += 8) commands.ScanData(Data + at, static_cast<int>(std::min<size_t>(Size - at, 8)) - 1);
  return 0;
}
