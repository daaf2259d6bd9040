#pragma once
// The remote benchmarks' server address, ports and start. The server listens
// on ports the system picks, as in the remote tests, so another instance (or
// a test) elsewhere does not stop it. When it cannot listen all the same, the
// benchmark says why and the program exits with status 1.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "remote/RemoteSessionManager.h"
#include "support/LoopbackClient.h"

namespace benchserver {

inline bool CouldNotRun = false;

inline const std::string& Address() {
  static const std::string address = "127.0.0.2";
  return address;
}

// The ports of the server started last.
inline TRemotePorts& Ports() {
  static TRemotePorts ports{0, 0, 0};
  return ports;
}

// Starts the server; false (the benchmark skipped, the reason given) when it
// cannot listen.
inline bool Started(benchmark::State& State, TRemoteSessionManager& Mgr) {
  std::string why;
  try {
    Mgr.SetPorts({0, 0, 0});
    Mgr.Start();
    Ports() = Mgr.Ports();
    return true;
  } catch (const std::exception& e) {
    why = e.what();
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
