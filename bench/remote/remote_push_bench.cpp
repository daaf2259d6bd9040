// The 500 ms push to the active client while 50 other connections are open:
// 49 command sockets that never log in and the client's own audio stream,
// which has stopped reading while blocks keep coming. Each iteration does
// what the dialog's timer and the converter do on the user-interface
// thread (take the active client, queue the push, queue an audio block) and
// then waits for the push at the client. Reported: push latency p99 (target
// under 10 ms) and the user-interface thread's longest stall (target under
// 1 ms). Listens on a free loopback address; clients on 127.0.0.1 and 127.0.0.3.
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <thread>
#include <vector>

#include "BenchServer.h"

namespace {

using Clock = std::chrono::steady_clock;

int Open(const char* From, int Port, const std::string& Send) {
  const int fd = ConnectFrom(From, benchserver::Address().c_str(), Port);
  (void)!send(fd, Send.data(), Send.size(), MSG_NOSIGNAL);
  return fd;
}

bool ReadThrough(int Fd, char Last) {
  char c;
  while (recv(Fd, &c, 1, 0) == 1)
    if (c == Last) return true;
  return false;
}

class TBlocks : public TAudioBlockSource {
 public:
  void Subscribe(TSink S) override { Sink = std::move(S); }
  TSink Sink;
};

double Ms(Clock::duration D) { return std::chrono::duration<double, std::milli>(D).count(); }

void BM_RemotePush(benchmark::State& state) {
  const auto interval = std::chrono::milliseconds(state.range(0));
  TmyItemCollection res;
  std::istringstream page("page</html>");
  res.Add(std::make_unique<TmyItemFile>(), -1).SetName("wrapper.html");
  res.Items.back()->LoadFromStream(page);
  TBlocks audio;
  TRemoteLimits limits;
  limits.LoginTimeout = std::chrono::minutes(5);
  limits.Connections.MaxConnections = limits.Connections.MaxPerPeer = 128;
  TRemoteSessionManager mgr(res, [] { return benchserver::Address(); }, &audio, limits);
  mgr.SetCommandHandler([&](const TConnectionRef& c, const std::string& m) {
    if (m == "READY=?" && mgr.SetReady(c)) c->SendMessage("READY=1");
  });
  if (!benchserver::Started(state, mgr)) return;
  const int login = Open("127.0.0.1", benchserver::Ports().Http, "GET /?password=740915 HTTP/1.0\r\n\r\n");
  ReadThrough(login, '>');
  close(login);
  const int command = Open("127.0.0.1", benchserver::Ports().Command, std::string("READY=?", 8));
  ReadThrough(command, '\0');
  std::vector<int> others = {Open("127.0.0.1", benchserver::Ports().Audio, "GET / HTTP/1.0\r\n\r\n")};  // never read
  for (int i = 0; i < 49; ++i) others.push_back(Open("127.0.0.3", benchserver::Ports().Command, ""));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));

  const std::string push = "FREQ=1015&LVL=45.5&PS=RADIO 99&RTA=" + std::string(64, 'r') + "&STEREO=1&RDS=1&";
  const std::string block(7 * 1024, 'm');  // about one second of 56 kbit/s MP3
  std::vector<double> latency, stall;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    const TRemoteClient c = mgr.ActiveClient();
    if (c.Connection && c.Ready) c.Connection->SendMessage(push);
    audio.Sink(block);
    const auto t1 = Clock::now();
    if (!ReadThrough(command, '\0')) {
      state.SkipWithError("push not received");
      break;
    }
    const auto t2 = Clock::now();
    stall.push_back(Ms(t1 - t0));
    latency.push_back(Ms(t2 - t0));
    state.SetIterationTime(std::chrono::duration<double>(t2 - t0).count());
    std::this_thread::sleep_until(t0 + interval);
  }
  const auto p99 = [](std::vector<double>& v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[std::min(v.size() - 1, v.size() * 99 / 100)];
  };
  state.counters["p99_ms"] = p99(latency);
  state.counters["max_ms"] = latency.empty() ? 0.0 : latency.back();
  state.counters["ui_stall_p99_ms"] = p99(stall);
  state.counters["ui_stall_max_ms"] = stall.empty() ? 0.0 : stall.back();
  mgr.Stop();
  close(command);
  for (int fd : others) close(fd);
}
// Flat out, and at the dialog's real rate of one push every 500 ms.
BENCHMARK(BM_RemotePush)->Arg(0)->Iterations(2000)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RemotePush)->Arg(500)->Iterations(12)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return benchserver::Run(argc, argv); }
