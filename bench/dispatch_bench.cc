// What one input report costs the host: the dispatch alone, and whole poll ticks on the
// simulated terminal (idle, and dispatching a card-data item).
#include <benchmark/benchmark.h>

#include "support/alloc_counter.h"
#include "support/null_container.h"
#include "support/open_session.h"
#include "transport/transport.h"
#include "usborva/simulated_hid_system.h"
#include "usborva/usborva.h"

namespace usborva {
namespace {

void ReportAllocations(benchmark::State& state, uint64_t before) {
  state.counters["allocs/op"] = benchmark::Counter(
      static_cast<double>(bench::Allocations() - before) / static_cast<double>(state.iterations()));
}

void DispatchOne(benchmark::State& state, const std::vector<uint8_t>& report) {
  bench::NullContainer container;
  USBORVA control(container);
  control.InitProperties();
  const uint64_t before = bench::Allocations();
  for (auto _ : state) {
    control.DispatchInputReport(report);
    benchmark::ClobberMemory();
  }
  ReportAllocations(state, before);
}

void BM_DispatchDeviceStatus(benchmark::State& state) {
  DispatchOne(state, sim::DeviceStatus(1, 2, 3));
}
BENCHMARK(BM_DispatchDeviceStatus);

void BM_DispatchTrack1Item(benchmark::State& state) {
  DispatchOne(state, sim::CardDataItem(1, "%B4111111111111111^DOE/JOHN^25121010000000000000?"));
}
BENCHMARK(BM_DispatchTrack1Item);

void BM_DispatchEncryptedItem(benchmark::State& state) {
  std::vector<uint8_t> data(48, 0xA5);
  DispatchOne(state, sim::CardDataItem(4, 0, data));
}
BENCHMARK(BM_DispatchEncryptedItem);

void BM_DispatchCardDataEnd(benchmark::State& state) {
  const uint8_t ksn[10] = {0xFF, 0xFF, 0x98, 0x76, 0x54, 0x32, 0x10, 0xE0, 0, 1};
  DispatchOne(state, sim::CardDataEnd(0, ksn, sim::SigilStatusBytes(1000)));
}
BENCHMARK(BM_DispatchCardDataEnd);

void BM_DispatchUnknownReport(benchmark::State& state) { DispatchOne(state, {0x21, 0, 0, 0}); }
BENCHMARK(BM_DispatchUnknownReport);

using bench::OpenSession;

void BM_IdleTick(benchmark::State& state) {
  OpenSession session;
  session.container.timer().Tick();  // issue the read that stays pending
  const uint64_t before = bench::Allocations();
  for (auto _ : state) session.container.timer().Tick();
  ReportAllocations(state, before);
}
BENCHMARK(BM_IdleTick);

void BM_DispatchingTick(benchmark::State& state) {
  OpenSession session;
  const auto item = sim::CardDataItem(2, ";4111111111111111=25121010000000000000?");
  session.container.timer().Tick();
  uint64_t allocations = 0;
  for (auto _ : state) {
    state.PauseTiming();
    session.hid.QueueInputReport(0, item);
    const uint64_t before = bench::Allocations();
    state.ResumeTiming();
    session.container.timer().Tick();
    allocations += bench::Allocations() - before;
  }
  state.counters["allocs/op"] = benchmark::Counter(static_cast<double>(allocations) /
                                                   static_cast<double>(state.iterations()));
}
BENCHMARK(BM_DispatchingTick);

}  // namespace
}  // namespace usborva
