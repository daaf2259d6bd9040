// The MPX analyzer's path per reading: packet -> toggle -> calibration ->
// kHz table -> collector, and the chart data refreshed after each sample.
// The device sends a new reading with every packet: type-1 RDS packets at the
// RDS block rate (1187.5 / 26 = 45.7 a second) plus type-2 status packets
// (about 10 a second), so about 56 readings a second; the target is 100x
// that, 5,600 readings a second, refresh included (at most ~180 us each).
// Readings come 22 ms apart (the real rate) with raw values spread over
// 0..1000 (0..151 kHz), so the exceedance table grows towards its full size
// and the time window holds a full minute (~2,700 samples).
#include <benchmark/benchmark.h>

#include "support/FakeClock.h"
#include "support/FakeMPXReceiver.h"
#include "ui/mpx/MPXController.h"

namespace {

struct TRig {
  TFakeClock clock;
  TFakeMPXReceiver rx;
  TMPXController c{rx, clock};
  uint8_t packet[20] = {2};
  uint32_t seed = 1;
  bool toggle = false;
  bool held = false;

  TRig() {
    c.RemoteOpen = [this] { return held; };
    clock.Advance(TMPXController::kBufferingMs);
  }
  // One new reading, 22 ms after the last.
  void Next() {
    clock.Advance(22);
    seed = seed * 1103515245u + 12345u;
    const int raw = static_cast<int>((seed >> 8) % 1001);
    toggle = !toggle;
    packet[10] = static_cast<uint8_t>((toggle ? 0x80 : 0) | (raw >> 8));
    packet[11] = static_cast<uint8_t>(raw);
    dt::StampToBytes(clock.Now(), packet + 12);
    c.ComData(packet, 19);
  }
  // A full minute of history and a grown table.
  void Warm() {
    const bool was = held;
    held = true;
    for (int i = 0; i < 20000; ++i) Next();
    held = was;
  }
};

void Report(benchmark::State& state, const TRig& rig) {
  state.SetItemsProcessed(state.iterations());
  state.counters["window"] = rig.c.TimeWindow().Count;
  state.counters["table"] = static_cast<double>(rig.c.Collector().Devs().size());
}

}  // namespace

// Charts held (print preview or remote dialog open): packet -> sample only.
static void BM_PacketToSample(benchmark::State& state) {
  TRig rig;
  rig.held = true;
  rig.Warm();
  for (auto _ : state) rig.Next();
  Report(state, rig);
}
BENCHMARK(BM_PacketToSample);

// The normal case: every sample also refreshes the data of both charts over a
// full one-minute window (read after each sample, as a chart refresh reads it).
static void BM_PacketWithFullWindowRefresh(benchmark::State& state) {
  TRig rig;
  rig.Warm();
  for (auto _ : state) {
    rig.Next();
    benchmark::DoNotOptimize(rig.c.TimeWindow().Count);
    benchmark::DoNotOptimize(rig.c.DeviationPoints().size());
  }
  Report(state, rig);
}
BENCHMARK(BM_PacketWithFullWindowRefresh)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
