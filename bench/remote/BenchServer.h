#pragma once
// The remote benchmarks' server address and start. The server's ports are
// fixed, so it listens on a loopback address of its own: another instance
// (or a remote test) elsewhere does not stop it. When it cannot listen all
// the same, the benchmark says why and the program exits with status 1.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "remote/RemoteSessionManager.h"
#include "support/LoopbackClient.h"

namespace benchserver {

inline bool CouldNotRun = false;

inline const std::string& Address() {
  static const std::string address = FreeLoopbackAddress(
      {TRemoteSessionManager::kHttpPort, TRemoteSessionManager::kCommandPort, TRemoteSessionManager::kDefaultAudioPort});
  return address;
}

// Starts the server; false (the benchmark skipped, the reason given) when it
// cannot listen.
inline bool Started(benchmark::State& State, TRemoteSessionManager& Mgr) {
  std::string why = "no loopback address with the ports 8080, 8001 and 8000 free";
  if (!Address().empty()) {
    try {
      Mgr.Start();
      return true;
    } catch (const std::exception& e) {
      why = e.what();
    }
  }
  std::fprintf(stderr, "The remote server benchmark cannot run: %s\n", why.c_str());
  State.SkipWithError(why.c_str());
  CouldNotRun = true;
  return false;
}

inline int Run(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return CouldNotRun ? 1 : 0;
}

}  // namespace benchserver
