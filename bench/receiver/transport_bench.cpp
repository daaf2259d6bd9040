// Packets from the simulated device through the reader thread, the delivery
// thread and the UI thread to a no-op handler.
//
// BM_TransportPaced: the device sends at a fixed rate (packets/s); reports
// the rate delivered, the packets dropped (must be 0) and the latency from
// the receive stamp to the handler (p50, p99, max, in microseconds).
// BM_TransportFlatOut: the device always has a packet ready; reports how many
// per second get through and how many the backlog guard dropped.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "receiver/communication.h"
#include "support/SimReceiver.h"
#include "support/TestUIThread.h"

namespace {

using Steady = std::chrono::steady_clock;

// Real time with microsecond stamps (the wall clock's stamps only resolve
// milliseconds). Stamps count from day 0, where a double resolves far below
// a microsecond.
class TPreciseClock final : public IClock {
 public:
  TDateTime Now() override {
    return std::chrono::duration<double, std::milli>(Steady::now() - start_).count() / dt::kMsPerDay;
  }
  int64_t SteadyMs() override { return SystemClock().SteadyMs(); }
  void SleepMs(int ms) override { SystemClock().SleepMs(ms); }

 private:
  const Steady::time_point start_ = Steady::now();
};

// The no-op handler's bookkeeping; runs on the UI thread only.
class TLatencySink {
 public:
  explicit TLatencySink(IClock& clock) : clock_(clock) {}
  void OnData(const uint8_t* packet, int high) {
    const TDateTime stamp = dt::StampFromBytes(packet + high - 7);
    latenciesUs_.push_back((clock_.Now() - stamp) * dt::kMsPerDay * 1000.0);
    count_.fetch_add(1, std::memory_order_release);
  }
  int64_t Count() const { return count_.load(std::memory_order_acquire); }
  std::vector<double> TakeLatencies() {
    std::vector<double> v;
    v.swap(latenciesUs_);
    return v;
  }
  void Reserve(size_t n) { latenciesUs_.reserve(n); }

 private:
  IClock& clock_;
  std::vector<double> latenciesUs_;
  std::atomic<int64_t> count_{0};
};

struct TRig {
  TPreciseClock clock;
  TTestUIThread ui;
  TSimReceiver sim{clock};
  TLatencySink sink{clock};
  std::unique_ptr<TComUSB> com;

  TRig() {
    sim.SetStatusIntervalMs(0);
    com = std::make_unique<TComUSB>(sim, ui, clock);
    com->ReconnectInterval = 0;
    ui.Run([&] { com->RegisterDataHandler(PacketTypes({1}), TOnDataEvent(&sink, &TLatencySink::OnData)); });
    com->Start();
    while (!com->Connected.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~TRig() { com.reset(); }

  bool WaitRead(size_t n, std::chrono::seconds timeout) {
    const auto end = Steady::now() + timeout;
    while (sim.PacketsRead() < n) {
      if (Steady::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
  }
  bool WaitDelivered(int64_t n, std::chrono::seconds timeout) {
    const auto end = Steady::now() + timeout;
    while (sink.Count() < n) {
      if (Steady::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
  }
};

const std::vector<uint8_t> kPacket = {1, 0x10, 0x00, 0x62, 0x04, 0, 0, 0x29, 0x97, 0xB5, 0x80, 0x10};

double Percentile(std::vector<double>& v, double q) {
  if (v.empty()) return 0;
  const size_t k = std::min(v.size() - 1, static_cast<size_t>(q * static_cast<double>(v.size())));
  std::nth_element(v.begin(), v.begin() + static_cast<long>(k), v.end());
  return v[k];
}

void BM_TransportPaced(benchmark::State& state) {
  const int64_t rate = state.range(0);
  const int64_t total = rate;  // one second of traffic per iteration
  TRig rig;
  int64_t delivered = 0, dropped = 0;
  double seconds = 0;
  std::vector<double> latencies;
  for (auto _ : state) {
    const int64_t before = rig.sink.Count();
    const int32_t droppedBefore = rig.com->Dropped();
    const size_t readBefore = rig.sim.PacketsRead();
    rig.ui.Run([&] { rig.sink.Reserve(static_cast<size_t>(total)); });
    const auto start = Steady::now();
    const double periodUs = 1e6 / static_cast<double>(rate);
    int64_t sent = 0;
    while (sent < total) {
      // Send whatever is due by now; sleep briefly when ahead.
      const double elapsedUs = std::chrono::duration<double, std::micro>(Steady::now() - start).count();
      const int64_t due = std::min<int64_t>(total, static_cast<int64_t>(elapsedUs / periodUs) + 1);
      if (due > sent) {
        for (; sent < due; ++sent) rig.sim.PushPacket(kPacket);
      } else {
        std::this_thread::sleep_for(std::chrono::microseconds(20));
      }
    }
    if (!rig.WaitRead(readBefore + static_cast<size_t>(total), std::chrono::seconds(60))) {
      state.SkipWithError("packets were not read");
      break;
    }
    const int32_t lostNow = rig.com->Dropped() - droppedBefore;
    if (!rig.WaitDelivered(before + total - lostNow, std::chrono::seconds(30))) {
      state.SkipWithError("packets were not delivered");
      break;
    }
    seconds += std::chrono::duration<double>(Steady::now() - start).count();
    delivered += rig.sink.Count() - before;
    dropped += lostNow;
    std::vector<double> got;
    rig.ui.Run([&] { got = rig.sink.TakeLatencies(); });
    latencies.insert(latencies.end(), got.begin(), got.end());
  }
  state.counters["pkts_per_s"] = seconds > 0 ? static_cast<double>(delivered) / seconds : 0;
  state.counters["dropped"] = static_cast<double>(dropped);
  state.counters["p50_us"] = Percentile(latencies, 0.50);
  state.counters["p99_us"] = Percentile(latencies, 0.99);
  state.counters["max_us"] = latencies.empty() ? 0 : *std::max_element(latencies.begin(), latencies.end());
}
BENCHMARK(BM_TransportPaced)
    ->Arg(50)  // the device's own rate, for reference
    ->Arg(20000)
    ->Arg(50000)
    ->Arg(100000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_TransportFlatOut(benchmark::State& state) {
  const int64_t total = 200000;
  TRig rig;
  double seconds = 0;
  int64_t delivered = 0, dropped = 0;
  for (auto _ : state) {
    const int64_t before = rig.sink.Count();
    const int32_t droppedBefore = rig.com->Dropped();
    const size_t readBefore = rig.sim.PacketsRead();
    const auto start = Steady::now();
    std::vector<std::vector<uint8_t>> batch(256, kPacket);
    int64_t sent = 0;
    while (sent < total) {
      if (rig.sim.PendingPackets() < 256) {
        rig.sim.PushPackets(batch);
        sent += static_cast<int64_t>(batch.size());
      } else {
        std::this_thread::sleep_for(std::chrono::microseconds(50));
      }
    }
    if (!rig.WaitRead(readBefore + static_cast<size_t>(sent), std::chrono::seconds(120))) {
      state.SkipWithError("packets were not read");
      break;
    }
    const int32_t lost = rig.com->Dropped() - droppedBefore;
    if (!rig.WaitDelivered(before + sent - lost, std::chrono::seconds(60))) {
      state.SkipWithError("packets were not delivered");
      break;
    }
    seconds += std::chrono::duration<double>(Steady::now() - start).count();
    delivered += rig.sink.Count() - before;
    dropped += lost;
    rig.ui.Run([&] { rig.sink.TakeLatencies(); });
  }
  state.counters["pkts_per_s"] = seconds > 0 ? static_cast<double>(delivered) / seconds : 0;
  state.counters["dropped"] = static_cast<double>(dropped);
}
BENCHMARK(BM_TransportFlatOut)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
