// How long the remote server's Stop takes with busy connections: a logged-in
// player that stopped reading with its queue full, 60 idle command sockets
// and 60 HTTP requests cut off half-way (target: every worker joined within
// 1 s). Listens on a free loopback address, clients on 127.0.0.1 and 127.0.0.3.
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <vector>

#include "BenchServer.h"

namespace {

int Open(const char* From, int Port, const std::string& Send) {
  const int fd = ConnectFrom(From, benchserver::Address().c_str(), Port);
  (void)!send(fd, Send.data(), Send.size(), MSG_NOSIGNAL);
  return fd;
}

class TBlocks : public TAudioBlockSource {
 public:
  void Subscribe(TSink S) override { Sink = std::move(S); }
  TSink Sink;
};

void BM_RemoteStop(benchmark::State& state) {
  TmyItemCollection res;
  std::istringstream page("page");
  res.Add(std::make_unique<TmyItemFile>(), -1).SetName("wrapper.html");
  res.Items.back()->LoadFromStream(page);
  for (auto _ : state) {
    TBlocks audio;
    TRemoteSessionManager mgr(res, [] { return benchserver::Address(); }, &audio);
    if (!benchserver::Started(state, mgr)) return;
    std::vector<int> fds = {Open("127.0.0.1", benchserver::Ports().Http, "GET /?password=740915 HTTP/1.0\r\n\r\n")};
    usleep(20000);
    fds.push_back(Open("127.0.0.1", benchserver::Ports().Audio, "GET / HTTP/1.0\r\n\r\n"));
    usleep(20000);
    for (int i = 0; i < 400; ++i) audio.Sink(std::string(8192, 'm'));
    for (int i = 0; i < 60; ++i) fds.push_back(Open("127.0.0.3", benchserver::Ports().Command, ""));
    for (int i = 0; i < 60; ++i) fds.push_back(Open("127.0.0.3", benchserver::Ports().Http, "GET / HTTP/1.1\r\nHost:"));
    usleep(50000);
    const auto t0 = std::chrono::steady_clock::now();
    mgr.Stop();
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    for (int fd : fds) close(fd);
  }
}
BENCHMARK(BM_RemoteStop)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return benchserver::Run(argc, argv); }
