// The HTTP request handling and the audio request parsing on arbitrary
// bytes. The first byte picks the endpoint and the peer; the session state
// carries over from input to input, so log-ins open the later paths.
#include <memory>
#include <string>

#include "MemorySource.h"
#include "remote/RemoteSessionManager.h"

namespace {

TRemoteSessionManager& Manager() {
  static TmyItemCollection res;
  static std::unique_ptr<TRemoteSessionManager> mgr = [] {
    for (const char* name : {"login.htm", "logine.htm", "busy.htm", "wrapper.html", "p.gif", "x.y.m3u"}) {
      std::istringstream bytes(std::string(name) + " %ALIAS%");
      auto& item = res.Add(std::make_unique<TmyItemFile>(), -1);
      item.SetName(name);
      item.LoadFromStream(bytes);
    }
    res.SetVariable("%ALIAS%", "Fenwisk");
    return std::make_unique<TRemoteSessionManager>(res, [] { return std::string("127.0.0.2"); });
  }();
  return *mgr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  const char* peers[] = {"127.0.0.1", "127.0.0.2", "127.0.0.3"};
  const std::string peer = peers[(Data[0] >> 1) % 3];
  TMemorySource source(Data + 1, Size - 1);
  if (Data[0] & 1) {
    TBoundedReader reader(source);
    for (int round = 0; round < 100; ++round) {
      TShoutHTTPHeader header;
      const TShoutRequest r = ReadShoutRequest(reader, header, kNoDeadline);
      if (r == TShoutRequest::Ended || r == TShoutRequest::BadRequest) break;
    }
    return 0;
  }
  size_t written = 0;
  THttpStream s(
      source, [&](const char*, size_t n) { return (written += n) < (1u << 20); }, peer, "127.0.0.2", kNoDeadline);
  Manager().ServeHttp(s);
  return 0;
}
