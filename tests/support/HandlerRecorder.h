#pragma once
// Records what the transport hands to its data, status and statistics
// handlers, for tests and benchmarks. Thread-safe: handlers run on the UI
// thread, tests read from their own.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "receiver/communication.h"

class THandlerRecorder {
 public:
  struct TPacket {
    std::string Handler;        // name of the handler that got it
    std::vector<uint8_t> Bytes;  // device bytes and stamp, High + 1 of them
    int High = 0;
  };
  struct TEvent {                // one call of any handler, in call order
    std::string Handler;
    char Kind = 'd';             // 'd' data, 's' status, 't' statistics
  };

  // Member-function handlers: one code for every recorder object.
  void OnData(const uint8_t* packet, int high);
  void OnStatus(TStatus status);
  void OnState(const TState& state);

  // Handlers with a code of their own, so several can be registered at once.
  TOnDataEvent DataHandler(const std::string& name);
  TOnStatusEvent StatusHandler(const std::string& name);
  TOnStateEvent StatsHandler(const std::string& name);

  // Runs inside every data handler call after recording (e.g. to block).
  void SetDataAction(std::function<void(const uint8_t*, int)> action);

  std::vector<TPacket> Packets() const;
  std::vector<TStatus> Statuses() const;
  std::vector<TState> States() const;
  std::vector<TEvent> Events() const;
  size_t PacketCount() const;
  size_t StatusCount() const;
  size_t StateCount() const;

  // Real-time waits.
  bool WaitForPackets(size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
  bool WaitForStatuses(size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
  bool WaitForStates(size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
  void Clear();

 private:
  void AddPacket(const std::string& name, const uint8_t* packet, int high);
  void AddStatus(const std::string& name, TStatus status);
  void AddState(const std::string& name, const TState& state);

  mutable std::mutex mutex_;
  mutable std::condition_variable cv_;
  std::vector<TPacket> packets_;
  std::vector<TStatus> statuses_;
  std::vector<TState> states_;
  std::vector<TEvent> events_;
  std::function<void(const uint8_t*, int)> action_;
};
