// SPDX-License-Identifier: Apache-2.0
// The idle poll tick's transport step: collecting a read that is still outstanding. It runs
// 40 times a second for as long as a port is open, so it must stay well under a
// microsecond and never touch the heap.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "support/alloc_counter.h"
#include "transport/device_record.h"
#include "transport/transport.h"
#include "usborva/simulated_hid_system.h"

namespace usborva {
namespace {

void BM_ReadInputReportPending(benchmark::State& state) {
  const std::unique_ptr<SimulatedHidSystem> machine = NewSimulatedHidSystem();
  ScopedHidSystem installed(*machine);
  machine->SetConfigText(std::string());
  machine->AddInterface();
  transport::ThreadDeviceRecord() = transport::DeviceRecord{};
  transport::InitTransport();
  transport::OpenDevice();
  transport::SizeInputBuffer();
  transport::ReadInputReport();  // the read goes out and stays out
  const uint64_t before = bench::Allocations();
  for (auto _ : state) benchmark::DoNotOptimize(transport::ReadInputReport());
  state.counters["allocations"] = static_cast<double>(bench::Allocations() - before);
  transport::CloseDevice();
  transport::CloseReadEvent();
}
BENCHMARK(BM_ReadInputReportPending);

// A tick that collects a report: one queued report is read at once.
void BM_ReadInputReportComplete(benchmark::State& state) {
  const std::unique_ptr<SimulatedHidSystem> machine = NewSimulatedHidSystem();
  ScopedHidSystem installed(*machine);
  machine->SetConfigText(std::string());
  auto id = machine->AddInterface();
  transport::ThreadDeviceRecord() = transport::DeviceRecord{};
  transport::InitTransport();
  transport::OpenDevice();
  transport::SizeInputBuffer();
  const sim::Report report = sim::DeviceStatus(1, 2, 3);
  for (auto _ : state) {
    machine->QueueInputReport(id, report);
    benchmark::DoNotOptimize(transport::ReadInputReport());
  }
  transport::CloseDevice();
  transport::CloseReadEvent();
}
BENCHMARK(BM_ReadInputReportComplete);

}  // namespace
}  // namespace usborva
