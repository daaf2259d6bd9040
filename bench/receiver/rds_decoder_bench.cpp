// Decoder throughput: type-1 packets through the data handler, block
// parsing, group decoding, the change queue and a listener that reads every
// record. RDS runs at 1187.5 bit/s, 26 bits a block: the receiver sends about
// 45.7 blocks a second. The target is a million blocks a second on one core,
// with no heap allocation per block once the change queue is warm (beyond
// what a record's new texts need).
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "receiver/RDS_Collector.h"
#include "support/RdsEncoder.h"

namespace {

std::atomic<uint64_t> gAllocations{0};

constexpr double kBlocksPerSecond = 1187.5 / 26;

struct TStream {
  std::vector<std::vector<uint8_t>> Packets;
};

// A realistic station: a full cycle of every group family, repeated, with
// the receive stamp appended as the transport delivers it.
TStream MakeStream(double errorRate) {
  TRdsEncoder enc;
  TRdsStationPlan plan;
  plan.AF = TRdsEncoder::AFMethodA({TRdsEncoder::AFCode(87.6), TRdsEncoder::AFCode(96.5),
                                    TRdsEncoder::AFCode(98.5), TRdsEncoder::AFCode(101.1)});
  TRdsBlockChannel ch(7);
  ch.SetStamp(true);
  if (errorRate > 0) ch.SetErrorRate(errorRate, 2, 3);
  TStream s;
  const auto cycle = enc.StationCycle(plan);
  for (int i = 0; i < 40; ++i) ch.Add(cycle, s.Packets);
  return s;
}

// A listener that reads every field a consumer would show.
struct TReader {
  TRDSCollector* Dec = nullptr;
  uint64_t Sum = 0;
  void Read() {
    for (const TDataChange& c : Dec->Changes) {
      Sum += c.Kind + c.Value + static_cast<uint64_t>(c.Extra);
      for (const std::string& t : c.Texts) Sum += t.size();
      if (c.Kind == dcStatistics) Sum += c.Stats.BlocksTotal;
    }
  }
};

void RunDecoder(benchmark::State& state, double errorRate) {
  const TStream stream = MakeStream(errorRate);
  TRDSCollector dec(nullptr);
  dec.SetActive(true);
  TReader reader{&dec};
  dec.RegisterDataChangeListener(TOnDataChangeEvent(&reader, &TReader::Read));
  // Warm up: one pass fills the queue's records and the collectors.
  for (const auto& p : stream.Packets) dec.ComData(p.data(), static_cast<int>(p.size()) - 1);

  size_t i = 0;
  const uint64_t allocBefore = gAllocations.load();
  for (auto _ : state) {
    const auto& p = stream.Packets[i];
    dec.ComData(p.data(), static_cast<int>(p.size()) - 1);
    if (++i == stream.Packets.size()) i = 0;
  }
  const uint64_t allocs = gAllocations.load() - allocBefore;
  benchmark::DoNotOptimize(reader.Sum);
  state.SetItemsProcessed(state.iterations());
  state.counters["allocs_per_block"] =
      benchmark::Counter(static_cast<double>(allocs) / static_cast<double>(state.iterations()));
  state.counters["x_real_time"] =
      benchmark::Counter(static_cast<double>(state.iterations()) / kBlocksPerSecond, benchmark::Counter::kIsRate);
}

void BM_DecodeCleanStation(benchmark::State& state) { RunDecoder(state, 0); }
void BM_DecodeOnePercentErrors(benchmark::State& state) { RunDecoder(state, 0.01); }

// The block layer alone: chaining and statistics, no group decoding.
void BM_ParseBlockOnly(benchmark::State& state) {
  const TStream stream = MakeStream(0);
  TRDSCollector dec(nullptr);
  size_t i = 0;
  for (auto _ : state) {
    const auto& p = stream.Packets[i];
    benchmark::DoNotOptimize(dec.ParseBlock(p.data(), static_cast<int>(p.size()) - 1));
    if (++i == stream.Packets.size()) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
}

// One AF handover (store and rebuild the lines) after a long noisy reception
// has handed over many distinct valid lists.
void BM_AFHandoverAfterManyLists(benchmark::State& state) {
  TAFCollector af;
  for (int i = 0; i < 30000; ++i)
    af.AddList({226, static_cast<uint8_t>(1 + i % 200), static_cast<uint8_t>(1 + i / 200), 205});
  const std::vector<uint8_t> list{227, 90, 90, 110};
  for (auto _ : state) {
    af.AddList(list);
    af.BuildLines();
    benchmark::DoNotOptimize(af.Count);
  }
}

BENCHMARK(BM_DecodeCleanStation);
BENCHMARK(BM_AFHandoverAfterManyLists);
BENCHMARK(BM_DecodeOnePercentErrors);
BENCHMARK(BM_ParseBlockOnly);

}  // namespace

// Counts heap allocations so the benchmark can report them per block. (The
// compiler cannot see that these replace the global pair and warns.)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

BENCHMARK_MAIN();
