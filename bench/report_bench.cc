// SPDX-License-Identifier: Apache-2.0
// The performance report: one table of what the control costs its host, measured in one
// run so that the ratios hold on a noisy machine. Dispatch per report kind, poll ticks on
// the simulated terminal and on an emulated hidraw node (beside a bare read() on that
// node), report-to-event latency in ticks, hex conversions beside the obvious snprintf
// loop, and the card parsers on realistic texts.
//
//   bench_report [--benchmark_min_time=<seconds>]   (0.2 s per figure unless given)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "hidraw/fuse_node_figures.h"
#include "support/alloc_counter.h"
#include "support/open_session.h"
#include "support/random_bytes.h"
#include "transport/transport.h"
#include "usborva/card_view.h"
#include "usborva/convert.h"
#include "usborva/simulated_hid_system.h"
#include "usborva/usborva.h"
#include "usborva_test/null_container.h"

namespace usborva {
namespace {

using bench::OpenSession;
using bench::RandomBytes;

const uint8_t kKsn[10] = {0xFF, 0xFF, 0x98, 0x76, 0x54, 0x32, 0x10, 0xE0, 0x00, 0x01};
const uint8_t kEpb[8] = {0x3A, 0x91, 0x0C, 0x5E, 0x77, 0x12, 0xB4, 0xF0};
const char kTrack1[] = "%B6011000990139424^DOE/JOHN Q.MR            ^2812101123456789012345?";
const char kTrack2[] = ";6011000990139424=28121011234567890123?";

struct ReportKind {
  const char* name;
  sim::Report report;
};

std::vector<ReportKind> ReportKinds() {
  const std::vector<uint8_t> encrypted(48, 0xA5);
  const std::vector<uint8_t> sigil(24, 0x5C);
  return {
      {"0x20 device status", sim::DeviceStatus(1, 2, 3)},
      {"0x22 card status", sim::CardStatus(0, 1, 0)},
      {"0x23 track item (40 chars)", sim::CardDataItem(2, kTrack2)},
      {"0x23 encrypted item (48 B)", sim::CardDataItem(4, 0, encrypted)},
      {"0x23 sigil item (24 B)", sim::CardDataItem(7, 0, sigil)},
      {"0x23 closing item", sim::CardDataEnd(0, kKsn, sim::SigilStatusBytes(1000))},
      {"0x24 PIN response", sim::PINResponse(0, kKsn, kEpb)},
      {"0x25 key selection", sim::SelectResponse(0, 3)},
      {"0x27 display done", sim::DisplayDone(0)},
      {"unknown report ID", sim::Report(sim::kDefaultInputReportLength, 0x21)},
  };
}

// --- figures ------------------------------------------------------------------------------

void CountAllocations(benchmark::State& state, uint64_t before, double ops_per_iteration = 1) {
  state.counters["allocs"] = static_cast<double>(bench::Allocations() - before) /
                             (static_cast<double>(state.iterations()) * ops_per_iteration);
  state.counters["ops"] = ops_per_iteration;
}

void Dispatch(benchmark::State& state, const sim::Report& report) {
  test::NullContainer container;
  USBORVA control(container);
  control.InitProperties();
  const uint64_t before = bench::Allocations();
  for (auto _ : state) {
    control.DispatchInputReport(report);
    benchmark::ClobberMemory();
  }
  CountAllocations(state, before);
}

void IdleTick(benchmark::State& state) {
  OpenSession session;
  session.Tick();  // the read goes out and stays outstanding
  const uint64_t before = bench::Allocations();
  for (auto _ : state) session.Tick();
  CountAllocations(state, before);
}

// Ticks in batches of the Windows driver's queue depth (which the Linux one holds too), the
// queue refilled between batches outside the timing, so each timed tick finds a report and
// dispatches it.
void DispatchingTick(benchmark::State& state, const sim::Report& report) {
  OpenSession session;
  constexpr size_t kBatch = sim::InputQueueDepth(sim::QueuePolicy::kWindows);
  uint64_t allocations = 0;
  for (auto _ : state) {
    for (size_t i = 0; i < kBatch; ++i) session.hid.QueueInputReport(0, report);
    const uint64_t before = bench::Allocations();
    const auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < kBatch; ++i) session.Tick();
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    allocations += bench::Allocations() - before;
  }
  state.counters["allocs"] =
      static_cast<double>(allocations) / static_cast<double>(state.iterations() * kBatch);
  state.counters["ops"] = kBatch;
}

// A tick with no terminal present: one enumeration of the machine's HID interfaces.
void ReconnectingTick(benchmark::State& state) {
  OpenSession session;
  session.hid.Unplug(0);
  session.Tick();  // the outstanding read fails and the device is closed
  const uint64_t before = bench::Allocations();
  for (auto _ : state) session.Tick();
  CountAllocations(state, before);
}

constexpr size_t kHexBytes = 4096;

String NaiveHex(const std::vector<uint8_t>& bytes, bool spaced) {
  String text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    char pair[4];
    std::snprintf(pair, sizeof pair, spaced && i + 1 < bytes.size() ? "%02X " : "%02X", bytes[i]);
    for (const char* p = pair; *p != '\0'; ++p) text.push_back(static_cast<char16_t>(*p));
  }
  return text;
}

std::vector<uint8_t> NaiveUnhex(const String& text) {
  std::vector<uint8_t> bytes;
  std::string narrow(text.begin(), text.end());
  for (size_t i = 0; i + 1 < narrow.size(); i += 3) {
    unsigned value = 0;
    std::sscanf(narrow.c_str() + i, "%2x", &value);
    bytes.push_back(static_cast<uint8_t>(value));
  }
  return bytes;
}

template <typename Convert>
void Hex(benchmark::State& state, Convert convert) {
  const std::vector<uint8_t> bytes = RandomBytes(kHexBytes);
  for (auto _ : state) benchmark::DoNotOptimize(convert(bytes));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kHexBytes));
}

const String& SpacedHexText() {
  static const String text = convert::BytesToHexSpaced(RandomBytes(kHexBytes), 0, kHexBytes);
  return text;
}

// The host's card-parsing calls on the text it keeps in CardData after a swipe.
template <typename Call>
void CardParse(benchmark::State& state, Call call) {
  test::NullContainer container;
  USBORVA control(container);
  control.InitProperties();
  const std::string text = std::string(kTrack1) + kTrack2;
  control.put_CardData(String(text.begin(), text.end()));
  const uint64_t before = bench::Allocations();
  for (auto _ : state) benchmark::DoNotOptimize(call(control));
  CountAllocations(state, before);
}

// Why the emulated hidraw node's figures cannot be measured here, or empty.
std::string FuseNodeUnavailable() {
#if USBORVA_BENCH_FUSE
  return bench::FuseNodeUnavailable();
#else
  return "built without libfuse3";
#endif
}

void RegisterFigures() {
#if USBORVA_BENCH_FUSE
  if (FuseNodeUnavailable().empty()) bench::RegisterFuseNodeFigures();
#endif
  for (const ReportKind& kind : ReportKinds()) {
    benchmark::RegisterBenchmark(
        ("dispatch/" + std::string(kind.name)).c_str(),
        [report = kind.report](benchmark::State& s) { Dispatch(s, report); });
  }
  benchmark::RegisterBenchmark("tick/idle (read outstanding)", IdleTick);
  benchmark::RegisterBenchmark("tick/dispatching a track item", [](benchmark::State& s) {
    DispatchingTick(s, sim::CardDataItem(2, kTrack2));
  })->UseManualTime();
  benchmark::RegisterBenchmark("tick/dispatching a device status", [](benchmark::State& s) {
    DispatchingTick(s, sim::DeviceStatus(1, 2, 3));
  })->UseManualTime();
  benchmark::RegisterBenchmark("tick/reconnecting (no terminal)", ReconnectingTick);
  benchmark::RegisterBenchmark("hex/BytesToHex", [](benchmark::State& s) {
    Hex(s, [](const std::vector<uint8_t>& b) {
      return convert::BytesToHex(b, 0, static_cast<int32_t>(b.size()));
    });
  });
  benchmark::RegisterBenchmark("hex/naive BytesToHex", [](benchmark::State& s) {
    Hex(s, [](const std::vector<uint8_t>& b) { return NaiveHex(b, false); });
  });
  benchmark::RegisterBenchmark("hex/BytesToHexSpaced", [](benchmark::State& s) {
    Hex(s, [](const std::vector<uint8_t>& b) {
      return convert::BytesToHexSpaced(b, 0, static_cast<int32_t>(b.size()));
    });
  });
  benchmark::RegisterBenchmark("hex/naive BytesToHexSpaced", [](benchmark::State& s) {
    Hex(s, [](const std::vector<uint8_t>& b) { return NaiveHex(b, true); });
  });
  benchmark::RegisterBenchmark("hex/HexToBytes", [](benchmark::State& s) {
    Hex(s, [](const std::vector<uint8_t>&) {
      return convert::HexToBytes(SpacedHexText(), static_cast<int32_t>(kHexBytes));
    });
  });
  benchmark::RegisterBenchmark("hex/naive HexToBytes", [](benchmark::State& s) {
    Hex(s, [](const std::vector<uint8_t>&) { return NaiveUnhex(SpacedHexText()); });
  });
  struct Parse {
    const char* name;
    String (*call)(USBORVA&);
  };
  const Parse parses[] = {
      {"GetTrack(0) whole text",
       [](USBORVA& c) {
         int16_t n = 0;
         return c.GetTrack(n);
       }},
      {"GetFName", [](USBORVA& c) { return c.GetFName(); }},
      {"GetLName", [](USBORVA& c) { return c.GetLName(); }},
      {"FindElement expiry (=, 4)", [](USBORVA& c) { return c.FindElement(0, u"=", 0, u"4"); }},
      {"FindElement name field (^, ^^)",
       [](USBORVA& c) { return c.FindElement(0, u"^", 0, u"^^"); }},
      {"ParseCardView", [](USBORVA& c) { return ParseCardView(c.get_CardData()).pan; }},
  };
  for (const Parse& parse : parses) {
    benchmark::RegisterBenchmark(("card/" + std::string(parse.name)).c_str(),
                                 [call = parse.call](benchmark::State& s) { CardParse(s, call); });
  }
}

// --- latency in ticks ---------------------------------------------------------------------

// Ticks from the report's arrival to the tick that acts on it. read_outstanding: it arrives
// while a read is out (it lands in that read's buffer); else it is queued and the next
// tick's read completes at once.
int TicksToAct(const sim::Report& report, bool read_outstanding) {
  OpenSession session;
  session.hid.QueueInputReport(0, sim::DisplayDone(0));
  session.Tick();  // acted on at once: no read is outstanding now
  if (read_outstanding) session.Tick();
  const uint64_t events = session.container.events();
  const ControlState before = session.control.state();
  session.hid.QueueInputReport(0, report);
  for (int ticks = 1; ticks <= 100; ++ticks) {
    session.Tick();
    const ControlState& now = session.control.state();
    if (session.container.events() != events || now.Track2Data != before.Track2Data ||
        now.EncTrack1Data != before.EncTrack1Data || now.SigilData != before.SigilData) {
      return ticks;
    }
  }
  return -1;
}

// A whole swipe as the terminal sends it, faster than the poll loop takes it: card status,
// six items and the closing item, all queued at once. Ticks until CardDataChanged.
int TicksForSwipe() {
  OpenSession session;
  session.Tick();
  const std::vector<uint8_t> encrypted(48, 0xA5);
  const std::vector<sim::Report> swipe = {
      sim::CardStatus(0, 1, 0),           sim::CardDataItem(1, kTrack1),
      sim::CardDataItem(2, kTrack2),      sim::CardDataItem(4, 0, encrypted),
      sim::CardDataItem(5, 0, encrypted), sim::CardDataItem(7, 0, encrypted),
      sim::CardDataItem(3, ";0?"),        sim::CardDataEnd(0, kKsn, sim::SigilStatusBytes(1000))};
  for (const sim::Report& report : swipe) session.hid.QueueInputReport(0, report);
  for (int ticks = 1; ticks <= 100; ++ticks) {
    session.Tick();
    if (!session.control.state().DUKPTKSN.empty()) return ticks;
  }
  return -1;
}

// --- the table ----------------------------------------------------------------------------

class TableReporter : public benchmark::BenchmarkReporter {
 public:
  bool ReportContext(const Context&) override { return true; }
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      // Figures timed by hand carry a suffix the table does not want.
      std::string name = run.benchmark_name();
      for (const std::string suffix : {"/manual_time", "/iterations:1"}) {
        if (name.size() > suffix.size() && name.ends_with(suffix))
          name.resize(name.size() - suffix.size());
      }
      runs_[name] = run;
    }
  }
  const Run* Find(const std::string& name) const {
    auto it = runs_.find(name);
    return it == runs_.end() ? nullptr : &it->second;
  }
  // Nanoseconds per operation.
  double Nanoseconds(const Run& run) const {
    double ns = run.GetAdjustedRealTime();
    switch (run.time_unit) {
      case benchmark::kMicrosecond:
        ns *= 1e3;
        break;
      case benchmark::kMillisecond:
        ns *= 1e6;
        break;
      case benchmark::kSecond:
        ns *= 1e9;
        break;
      default:
        break;
    }
    auto ops = run.counters.find("ops");
    return ops == run.counters.end() ? ns : ns / ops->second.value;
  }
  static double Counter(const Run& run, const char* name) {
    auto it = run.counters.find(name);
    return it == run.counters.end() ? 0 : it->second.value;
  }

 private:
  std::map<std::string, Run> runs_;
};

std::string CpuModel() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  for (std::string line; std::getline(cpuinfo, line);) {
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  }
  return "unknown CPU";
}

void PrintTimed(const TableReporter& table, const char* section, const std::string& what) {
  const auto* run = table.Find(std::string(section) + "/" + what);
  if (run == nullptr) {
    std::printf("| %-44s | %12s | %8s | %-26s |\n", what.c_str(), "failed", "", "");
    return;
  }
  std::printf("| %-44s | %9.1f ns | %8.2f | %-26s |\n", what.c_str(), table.Nanoseconds(*run),
              TableReporter::Counter(*run, "allocs"), "");
}

void PrintRate(const TableReporter& table, const std::string& what) {
  const auto* ours = table.Find("hex/" + what);
  const auto* naive = table.Find("hex/naive " + what);
  if (ours == nullptr || naive == nullptr) return;
  const double mb = TableReporter::Counter(*ours, "bytes_per_second") / 1e6;
  const double naive_mb = TableReporter::Counter(*naive, "bytes_per_second") / 1e6;
  char beside[64];
  std::snprintf(beside, sizeof beside, "naive %.0f MB/s: %.1fx", naive_mb,
                naive_mb > 0 ? mb / naive_mb : 0);
  std::printf("| %-44s | %7.0f MB/s | %8s | %-26s |\n", what.c_str(), mb, "", beside);
}

void PrintSection(const char* title) {
  std::printf("| **%s**%*s | %12s | %8s | %-26s |\n", title,
              static_cast<int>(40 - std::strlen(title)), "", "", "", "");
}

// Each tick beside the bare non-blocking read() it cannot go below on the same node, timed
// right after each tick: an empty queue for the idle tick, a queued report for the
// dispatching one. Then the floors' own rows.
void PrintFuseNode(const TableReporter& table) {
  const std::string unavailable = FuseNodeUnavailable();
  const char* ticks[] = {bench::kFuseIdleTick, bench::kFuseDispatchingTick};
  const char* floors[] = {bench::kFuseEmptyRead, bench::kFuseQueuedRead};
  const benchmark::BenchmarkReporter::Run* runs[2] = {nullptr, nullptr};
  for (size_t i = 0; i < 2; ++i) {
    if (unavailable.empty()) runs[i] = table.Find(std::string("hidraw/") + ticks[i]);
    if (!unavailable.empty()) {
      std::printf("| %-44s | %12s | %8s | %-26s |\n", ticks[i], "n/a", "",
                  ("(" + unavailable + ")").c_str());
    } else if (runs[i] == nullptr) {
      std::printf("| %-44s | %12s | %8s | %-26s |\n", ticks[i], "failed", "", "");
    } else {
      const double ns = table.Nanoseconds(*runs[i]);
      const double floor_ns = TableReporter::Counter(*runs[i], "floor_ns");
      char beside[64];
      std::snprintf(beside, sizeof beside, "read() %.0f ns: %.1fx", floor_ns,
                    floor_ns > 0 ? ns / floor_ns : 0);
      std::printf("| %-44s | %9.1f ns | %8.2f | %-26s |\n", ticks[i], ns,
                  TableReporter::Counter(*runs[i], "allocs"), beside);
    }
  }
  for (size_t i = 0; i < 2; ++i) {
    if (runs[i] == nullptr) {
      std::printf("| %-44s | %12s | %8s | %-26s |\n", floors[i],
                  unavailable.empty() ? "failed" : "n/a", "",
                  unavailable.empty() ? "" : ("(" + unavailable + ")").c_str());
      continue;
    }
    std::printf("| %-44s | %9.1f ns | %8s | %-26s |\n", floors[i],
                TableReporter::Counter(*runs[i], "floor_ns"), "", "timed after each tick");
  }
}

// A figure of the emulated node that is not there: why.
void PrintMissing(const std::string& what, const std::string& unavailable) {
  std::printf("| %-44s | %12s | %8s | %-26s |\n", what.c_str(),
              unavailable.empty() ? "failed" : "n/a", "",
              unavailable.empty() ? "" : ("(" + unavailable + ")").c_str());
}

// Reconnect attempts with N other interfaces present, each beside its ratio to N = 1; the
// open of the port on both terminals with the calls it makes; a running monitor's CPU.
void PrintFuseExtras(const TableReporter& table) {
  const std::string unavailable = FuseNodeUnavailable();
  auto find = [&](const std::string& what) -> const benchmark::BenchmarkReporter::Run* {
    return unavailable.empty() ? table.Find("hidraw/" + what) : nullptr;
  };
  const auto* first = find(bench::ReconnectName(bench::kReconnectInterfaces[0]));
  for (int others : bench::kReconnectInterfaces) {
    const std::string what = bench::ReconnectName(others);
    const auto* run = find(what);
    if (run == nullptr) {
      PrintMissing(what, unavailable);
      continue;
    }
    const double ns = table.Nanoseconds(*run);
    const double first_ns = first != nullptr ? table.Nanoseconds(*first) : 0;
    char beside[64];
    std::snprintf(beside, sizeof beside, "N = 1: %.1fx, %.0f calls",
                  first_ns > 0 ? ns / first_ns : 0, TableReporter::Counter(*run, "syscalls"));
    std::printf("| %-44s | %9.1f ns | %8.2f | %-26s |\n", what.c_str(), ns,
                TableReporter::Counter(*run, "allocs"), beside);
  }
  for (const char* what : {bench::kPortOpenSimulated, bench::kPortOpenNode}) {
    const auto* run = find(what);
    if (run == nullptr) {
      PrintMissing(what, unavailable);
      continue;
    }
    char beside[64];
    std::snprintf(beside, sizeof beside, "%.0f calls into the kernel",
                  TableReporter::Counter(*run, "syscalls"));
    std::printf("| %-44s | %9.1f us | %8s | %-26s |\n", what, table.Nanoseconds(*run) / 1e3, "",
                beside);
  }
  for (const char* what : {bench::kMonitorIdle, bench::kMonitorUnplugged}) {
    const auto* run = find(what);
    if (run == nullptr) {
      PrintMissing(what, unavailable);
      continue;
    }
    char beside[64];
    std::snprintf(beside, sizeof beside, "wake-ups alone %.3f %%cpu",
                  TableReporter::Counter(*run, "wakeup_percent"));
    std::printf("| %-44s | %8.3f %%cpu | %8s | %-26s |\n", what,
                TableReporter::Counter(*run, "cpu_percent"), "", beside);
  }
}

void PrintTable(const TableReporter& table) {
  std::printf("\nUSBORVA performance: %u CPUs, %s; compiler %s\n\n",
              std::thread::hardware_concurrency(), CpuModel().c_str(), __VERSION__);
  std::printf("| %-44s | %12s | %8s | %-26s |\n", "measure", "cost", "allocs", "beside");
  std::printf("|%s|%s|%s|%s|\n", std::string(46, '-').c_str(), std::string(14, '-').c_str(),
              std::string(10, '-').c_str(), std::string(28, '-').c_str());
  PrintSection("Dispatch, per report");
  for (const ReportKind& kind : ReportKinds()) PrintTimed(table, "dispatch", kind.name);
  PrintSection("Poll tick, simulated terminal");
  for (const char* what : {"idle (read outstanding)", "dispatching a track item",
                           "dispatching a device status", "reconnecting (no terminal)"}) {
    PrintTimed(table, "tick", what);
  }
  PrintSection("Poll tick, FUSE-emulated hidraw node");
  PrintFuseNode(table);
  PrintSection("Reconnect, port open, CPU (hidraw node)");
  PrintFuseExtras(table);
  PrintSection("Report-to-event latency (ticks of 25 ms)");
  for (const ReportKind& kind : ReportKinds()) {
    if (std::strcmp(kind.name, "unknown report ID") == 0) continue;
    char cost[32];
    std::snprintf(cost, sizeof cost, "%d / %d", TicksToAct(kind.report, false),
                  TicksToAct(kind.report, true));
    std::printf("| %-44s | %12s | %8s | %-26s |\n", kind.name, cost, "",
                "queued / into waiting read");
  }
  char swipe[32];
  const int swipe_ticks = TicksForSwipe();
  std::snprintf(swipe, sizeof swipe, "%d (%d ms)", swipe_ticks, swipe_ticks * 25);
  std::printf("| %-44s | %12s | %8s | %-26s |\n", "whole swipe, 8 reports at once", swipe, "",
              "floor: one tick a report");
  PrintSection("Hex conversions, 4 KiB of bytes");
  for (const char* what : {"BytesToHex", "BytesToHexSpaced", "HexToBytes"}) PrintRate(table, what);
  PrintSection("Card parsing, two-track text");
  for (const char* what :
       {"GetTrack(0) whole text", "GetFName", "GetLName", "FindElement expiry (=, 4)",
        "FindElement name field (^, ^^)", "ParseCardView"}) {
    PrintTimed(table, "card", what);
  }
}

}  // namespace
}  // namespace usborva

int main(int argc, char** argv) {
  std::vector<char*> args(argv, argv + argc);
  bool min_time_given = false;
  for (char* arg : args) min_time_given |= std::strncmp(arg, "--benchmark_min_time", 20) == 0;
  static char default_min_time[] = "--benchmark_min_time=0.2";
  if (!min_time_given) args.push_back(default_min_time);
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  usborva::RegisterFigures();
  usborva::TableReporter table;
  benchmark::RunSpecifiedBenchmarks(&table);
  usborva::PrintTable(table);
  benchmark::Shutdown();
  return 0;
}
