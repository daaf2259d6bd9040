#include "support/HandlerRecorder.h"

void THandlerRecorder::AddPacket(const std::string& name, const uint8_t* packet, int high) {
  std::function<void(const uint8_t*, int)> action;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    packets_.push_back({name, std::vector<uint8_t>(packet, packet + high + 1), high});
    events_.push_back({name, 'd'});
    action = action_;
    // Notified under the lock: a waiter that returns may destroy us at once.
    cv_.notify_all();
  }
  if (action) action(packet, high);
}

void THandlerRecorder::AddStatus(const std::string& name, TStatus status) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    statuses_.push_back(status);
    events_.push_back({name, 's'});
    cv_.notify_all();
  }
}

void THandlerRecorder::AddState(const std::string& name, const TState& state) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    states_.push_back(state);
    events_.push_back({name, 't'});
    cv_.notify_all();
  }
}

void THandlerRecorder::OnData(const uint8_t* packet, int high) { AddPacket("OnData", packet, high); }
void THandlerRecorder::OnStatus(TStatus status) { AddStatus("OnStatus", status); }
void THandlerRecorder::OnState(const TState& state) { AddState("OnState", state); }

TOnDataEvent THandlerRecorder::DataHandler(const std::string& name) {
  return TOnDataEvent("data:" + name, [this, name](const uint8_t* p, int high) { AddPacket(name, p, high); });
}

TOnStatusEvent THandlerRecorder::StatusHandler(const std::string& name) {
  return TOnStatusEvent("status:" + name, [this, name](TStatus s) { AddStatus(name, s); });
}

TOnStateEvent THandlerRecorder::StatsHandler(const std::string& name) {
  return TOnStateEvent("stats:" + name, [this, name](const TState& s) { AddState(name, s); });
}

void THandlerRecorder::SetDataAction(std::function<void(const uint8_t*, int)> action) {
  std::lock_guard<std::mutex> lock(mutex_);
  action_ = std::move(action);
}

std::vector<THandlerRecorder::TPacket> THandlerRecorder::Packets() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return packets_;
}

std::vector<TStatus> THandlerRecorder::Statuses() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return statuses_;
}

std::vector<TState> THandlerRecorder::States() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return states_;
}

std::vector<THandlerRecorder::TEvent> THandlerRecorder::Events() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return events_;
}

size_t THandlerRecorder::PacketCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return packets_.size();
}

size_t THandlerRecorder::StatusCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return statuses_.size();
}

size_t THandlerRecorder::StateCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return states_.size();
}

bool THandlerRecorder::WaitForPackets(size_t n, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_for(lock, timeout, [&] { return packets_.size() >= n; });
}

bool THandlerRecorder::WaitForStatuses(size_t n, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_for(lock, timeout, [&] { return statuses_.size() >= n; });
}

bool THandlerRecorder::WaitForStates(size_t n, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_for(lock, timeout, [&] { return states_.size() >= n; });
}

void THandlerRecorder::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  packets_.clear();
  statuses_.clear();
  states_.clear();
  events_.clear();
}
