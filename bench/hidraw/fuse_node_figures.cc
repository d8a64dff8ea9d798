// SPDX-License-Identifier: Apache-2.0
// The poll loop on the Linux backend over an emulated hidraw node (served in-process by
// libfuse3, so every call is a real trip through the kernel), beside the bare non-blocking
// read() on the same node: the floor no backend can go below on that node.
#include "hidraw/fuse_node_figures.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <thread>

#include "descriptors.h"
#include "fake_hidraw_fs.h"
#include "fake_sysfs.h"
#include "hidraw/syscall_counter.h"
#include "support/alloc_counter.h"
#include "support/open_session.h"
#include "transport/transport.h"
#include "usborva/hidraw_hid_system.h"
#include "usborva/usborva.h"
#include "usborva_test/null_container.h"

namespace usborva::bench {
namespace {

using testing::Bytes;

constexpr int kNode = 0;
constexpr uint16_t kVendor = 0x2A5C;
constexpr uint16_t kProduct = 0x4C21;
// Half the node's queue of 64: no report of a batch is dropped.
constexpr size_t kBatch = 32;
const Bytes kDeviceStatus = {0x20, 0x01, 0x02, 0x03};

// A temporary tree holding a fake sysfs, an emulated device root with one terminal node and
// an empty configuration directory; a control on it, its port open on the node if asked.
class FuseNodeSession {
 public:
  // others: how many HID interfaces that are not a terminal sit beside it (hidraw1 on).
  explicit FuseNodeSession(bool open_port, int others = 0);
  ~FuseNodeSession();
  FuseNodeSession(const FuseNodeSession&) = delete;
  FuseNodeSession& operator=(const FuseNodeSession&) = delete;

  const std::string& error() const { return error_; }
  testing::FakeHidrawFs& fs() { return *fs_; }
  std::string NodePath() const { return dir_ + "/dev/hidraw0"; }
  void Tick() { container_.timer().Tick(); }
  uint64_t events() const { return container_.events(); }
  USBORVA& control() { return *control_; }
  const std::string& dir() const { return dir_; }
  void UnplugTerminal() {
    fs_->Unplug(kNode);
    sysfs_->Remove(kNode);
  }

 private:
  bool Mount(int others);

  std::string dir_;
  std::string error_;
  std::optional<std::string> saved_config_dir_;
  std::unique_ptr<testing::FakeSysfs> sysfs_;
  std::unique_ptr<testing::FakeHidrawFs> fs_;
  std::unique_ptr<HidrawHidSystem> hid_;
  HidSystem* previous_ = nullptr;
  test::NullContainer container_;
  std::unique_ptr<USBORVA> control_;
};

bool FuseNodeSession::Mount(int others) {
  char pattern[] = "/tmp/usborva-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    error_ = "mkdtemp failed";
    return false;
  }
  dir_ = pattern;
  std::filesystem::create_directories(dir_ + "/dev");
  std::filesystem::create_directories(dir_ + "/etc");
  testing::FakeSysfsDevice device;
  device.vendor = kVendor;
  device.product = kProduct;
  device.hid_name = "Maker Terminal";
  device.descriptor = testing::kTerminalDescriptor;
  device.usb_serial = "BENCH1";
  sysfs_ = std::make_unique<testing::FakeSysfs>(dir_ + "/sys");
  sysfs_->Add(kNode, device);
  fs_ = testing::FakeHidrawFs::Mount(dir_ + "/dev", &error_);
  if (fs_ == nullptr) return false;
  testing::FakeNode node;
  node.vendor = kVendor;
  node.product = kProduct;
  node.descriptor = testing::kTerminalDescriptor;
  node.name = device.hid_name;
  fs_->AddNode(kNode, std::move(node));
  // The identity queries at open: each answered with its report ID alone.
  fs_->SetFeatureModel(kNode, {[](const Bytes& request) { return Bytes{request[0]}; }, nullptr});
  for (int other = 1; other <= others; ++other) {
    testing::FakeSysfsDevice pointer;
    pointer.vendor = 0x046D;
    pointer.product = static_cast<uint16_t>(0xC000 + other);
    pointer.hid_name = "Pointer";
    pointer.descriptor = testing::kTerminalDescriptor;
    sysfs_->Add(other, pointer);
    testing::FakeNode pointer_node;
    pointer_node.vendor = pointer.vendor;
    pointer_node.product = pointer.product;
    pointer_node.descriptor = pointer.descriptor;
    fs_->AddNode(other, std::move(pointer_node));
  }
  return true;
}

FuseNodeSession::FuseNodeSession(bool open_port, int others) {
  if (!Mount(others)) return;
  if (const char* dir = std::getenv("USBORVA_CONFIG_DIR")) saved_config_dir_ = dir;
  setenv("USBORVA_CONFIG_DIR", (dir_ + "/etc").c_str(), 1);
  transport::ThreadDeviceRecord() = transport::DeviceRecord{};
  hid_ = std::make_unique<HidrawHidSystem>(HidrawRoots{dir_ + "/sys", dir_ + "/dev"});
  previous_ = InstallThreadHidSystem(hid_.get());
  control_ = std::make_unique<USBORVA>(container_);
  control_->InitProperties();
  if (!open_port) return;
  control_->put_PortOpen(true);
  if (!control_->get_PortOpen()) error_ = "PortOpen failed on the emulated node";
}

FuseNodeSession::~FuseNodeSession() {
  if (control_ != nullptr) {
    control_->Terminate();
    control_.reset();
    InstallThreadHidSystem(previous_);
    transport::ThreadDeviceRecord() = transport::DeviceRecord{};
    if (saved_config_dir_) {
      setenv("USBORVA_CONFIG_DIR", saved_config_dir_->c_str(), 1);
    } else {
      unsetenv("USBORVA_CONFIG_DIR");
    }
  }
  hid_.reset();
  fs_.reset();  // unmounts before the tree goes
  if (!dir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
}

double Seconds(std::chrono::steady_clock::time_point from,
               std::chrono::steady_clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// What a figure adds up over its ticks: each tick is followed at once by one bare read()
// on a second file open on the same node, so tick and floor see the same machine; a FUSE
// round trip costs a wake-up of the serving thread, which the load moves by a factor of ten.
struct Interleaved {
  double tick_seconds = 0;
  double read_seconds = 0;
  uint64_t tick_allocations = 0;
  uint64_t ticks = 0;
  bool reads_as_expected = true;

  void TickThenRead(FuseNodeSession& session, int fd, ssize_t expected_read) {
    uint8_t buffer[64];
    const uint64_t before = Allocations();
    const auto start = std::chrono::steady_clock::now();
    session.Tick();
    const auto ticked = std::chrono::steady_clock::now();
    tick_allocations += Allocations() - before;
    const ssize_t count = read(fd, buffer, sizeof buffer);
    const auto read_done = std::chrono::steady_clock::now();
    reads_as_expected &= expected_read < 0 ? count < 0 && errno == EAGAIN : count == expected_read;
    tick_seconds += Seconds(start, ticked);
    read_seconds += Seconds(ticked, read_done);
    ++ticks;
  }

  void Report(benchmark::State& state) const {
    const double n = static_cast<double>(ticks == 0 ? 1 : ticks);
    state.counters["ops"] = static_cast<double>(ticks) / static_cast<double>(state.iterations());
    state.counters["allocs"] = static_cast<double>(tick_allocations) / n;
    state.counters["floor_ns"] = read_seconds * 1e9 / n;
    if (!reads_as_expected) state.SkipWithError("a bare read() did not answer as expected");
  }
};

int OpenNode(FuseNodeSession& session) {
  return open(session.NodePath().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

// A tick with the read outstanding and nothing arrived: one poll of the node. Its floor is
// a read() of the empty queue (EAGAIN).
void IdleTick(benchmark::State& state) {
  FuseNodeSession session(/*open_port=*/true);
  const int fd = session.error().empty() ? OpenNode(session) : -1;
  if (fd < 0) return state.SkipWithError("cannot open the emulated node");
  session.Tick();  // the read goes out and stays outstanding
  Interleaved figure;
  for (auto _ : state) {
    const double before = figure.tick_seconds;
    figure.TickThenRead(session, fd, -1);
    state.SetIterationTime(figure.tick_seconds - before);
  }
  close(fd);
  figure.Report(state);
  if (session.events() != 0) state.SkipWithError("an idle tick dispatched a report");
}

// Ticks in batches, the node's queue refilled between batches outside the timing (on both
// files open on it), so each timed tick finds a report, completes its read and dispatches
// it; its floor is a read() that takes a queued report.
void DispatchingTick(benchmark::State& state) {
  FuseNodeSession session(/*open_port=*/true);
  const int fd = session.error().empty() ? OpenNode(session) : -1;
  if (fd < 0) return state.SkipWithError("cannot open the emulated node");
  session.Tick();
  Interleaved figure;
  for (auto _ : state) {
    for (size_t i = 0; i < kBatch; ++i) session.fs().SendInput(kNode, kDeviceStatus);
    const double before = figure.tick_seconds;
    for (size_t i = 0; i < kBatch; ++i) {
      figure.TickThenRead(session, fd, static_cast<ssize_t>(kDeviceStatus.size()));
    }
    state.SetIterationTime(figure.tick_seconds - before);
  }
  close(fd);
  figure.Report(state);
  if (session.events() != figure.ticks) state.SkipWithError("a tick did not dispatch its report");
}

// The calling thread's CPU time, kernel time included: what a tick costs the host whatever
// else the machine runs. A reconnect attempt makes no trip to the emulated node's server
// (names and attributes are the kernel's), so nothing of it is spent on another thread.
double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// A tick of the reconnect loop with the terminal unplugged and others interfaces present,
// none of them a terminal: one enumeration attempt a tick.
void ReconnectingTick(benchmark::State& state, int others) {
  FuseNodeSession session(/*open_port=*/true, others);
  if (!session.error().empty()) return state.SkipWithError(session.error().c_str());
  session.Tick();
  session.UnplugTerminal();
  session.Tick();  // the read fails and the device is closed
  session.Tick();  // the first attempt reads every interface once
  uint64_t allocations = 0;
  uint64_t calls = 0;
  for (auto _ : state) {
    const uint64_t before = Allocations();
    StartCountingSyscalls();
    const double start = ThreadCpuSeconds();
    session.Tick();
    state.SetIterationTime(ThreadCpuSeconds() - start);
    calls += StopCountingSyscalls();
    allocations += Allocations() - before;
  }
  const double iterations = static_cast<double>(state.iterations());
  state.counters["allocs"] = static_cast<double>(allocations) / iterations;
  state.counters["syscalls"] = static_cast<double>(calls) / iterations;
  if (transport::ThreadDeviceRecord().DeviceHandle != kInvalidHandleValue) {
    state.SkipWithError("a reconnect attempt opened something");
  }
}

// PortOpen = True until it returns (the PortOpen notification is its last act), beside the
// calls into the kernel it made; the port is closed again outside the timing.
void PortOpenOnNode(benchmark::State& state) {
  FuseNodeSession session(/*open_port=*/false);
  if (!session.error().empty()) return state.SkipWithError(session.error().c_str());
  uint64_t calls = 0;
  for (auto _ : state) {
    StartCountingSyscalls();
    const auto start = std::chrono::steady_clock::now();
    session.control().put_PortOpen(true);
    const auto done = std::chrono::steady_clock::now();
    calls += StopCountingSyscalls();
    state.SetIterationTime(Seconds(start, done));
    if (!session.control().get_PortOpen()) return state.SkipWithError("PortOpen failed");
    session.control().put_PortOpen(false);
  }
  state.counters["syscalls"] = static_cast<double>(calls) / static_cast<double>(state.iterations());
}

void PortOpenSimulated(benchmark::State& state) {
  OpenSession session;
  session.control.put_PortOpen(false);
  uint64_t calls = 0;
  for (auto _ : state) {
    StartCountingSyscalls();
    const auto start = std::chrono::steady_clock::now();
    session.control.put_PortOpen(true);
    const auto done = std::chrono::steady_clock::now();
    calls += StopCountingSyscalls();
    state.SetIterationTime(Seconds(start, done));
    session.control.put_PortOpen(false);
  }
  state.counters["syscalls"] = static_cast<double>(calls) / static_cast<double>(state.iterations());
}

// Wakes every 25 ms of real time, the host's poll interval, for seconds, calling on_wake
// at each wake-up.
template <typename OnWake>
void WakeEvery25Ms(double seconds, OnWake on_wake) {
  constexpr auto kInterval = std::chrono::milliseconds(25);
  const auto start = std::chrono::steady_clock::now();
  const auto end = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                               std::chrono::duration<double>(seconds));
  for (auto next = start + kInterval; next <= end; next += kInterval) {
    std::this_thread::sleep_until(next);
    on_wake();
  }
}

// The user+system CPU time of a child process once it has exited with status 0; nullopt
// when it did not.
std::optional<double> ChildCpuSeconds(pid_t child) {
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return std::nullopt;
  }
  auto secs = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return secs(usage.ru_utime) + secs(usage.ru_stime);
}

// What `usborva monitor` does, in a process of its own: a control on the tree's terminal,
// its port opened, then ticked every 25 ms of real time for seconds. Returns that
// process's user+system CPU time. unplug_after_ms >= 0 unplugs the terminal that long
// after the start.
std::optional<double> MonitorCpuSeconds(FuseNodeSession& session, double seconds,
                                        int unplug_after_ms) {
  const HidrawRoots roots{session.dir() + "/sys", session.dir() + "/dev"};
  const pid_t child = fork();
  if (child < 0) return std::nullopt;
  if (child == 0) {
    transport::ThreadDeviceRecord() = transport::DeviceRecord{};
    HidrawHidSystem hid(roots);
    InstallThreadHidSystem(&hid);
    test::NullContainer container;
    USBORVA control(container);
    control.InitProperties();
    control.put_PortOpen(true);
    if (!control.get_PortOpen()) _exit(1);
    WakeEvery25Ms(seconds, [&] { container.timer().Tick(); });
    _exit(0);
  }
  if (unplug_after_ms >= 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(unplug_after_ms));
    session.UnplugTerminal();
  }
  return ChildCpuSeconds(child);
}

// The floor of the monitor rows: a process that only wakes every 25 ms for seconds.
std::optional<double> WakeUpCpuSeconds(double seconds) {
  const pid_t child = fork();
  if (child < 0) return std::nullopt;
  if (child == 0) {
    WakeEvery25Ms(seconds, [] {});
    _exit(0);
  }
  return ChildCpuSeconds(child);
}

// The CPU a running control costs: a monitor process holding the terminal for 10 s, less
// one that opens and closes it at once (start-up and PortOpen), per second of the 10 s.
void MonitorCpu(benchmark::State& state, int others, bool unplugged) {
  constexpr double kSeconds = 10;
  for (auto _ : state) {
    FuseNodeSession base(/*open_port=*/false, others);
    FuseNodeSession held(/*open_port=*/false, others);
    if (!base.error().empty() || !held.error().empty()) {
      return state.SkipWithError("cannot serve the emulated node");
    }
    const std::optional<double> start_up = MonitorCpuSeconds(base, 0, -1);
    const std::optional<double> run = MonitorCpuSeconds(held, kSeconds, unplugged ? 500 : -1);
    const std::optional<double> wake_ups = WakeUpCpuSeconds(kSeconds);
    if (!start_up || !run || !wake_ups) return state.SkipWithError("the monitor process failed");
    state.counters["cpu_percent"] = std::max(0.0, *run - *start_up) / kSeconds * 100;
    state.counters["startup_ms"] = *start_up * 1e3;
    state.counters["wakeup_percent"] = *wake_ups / kSeconds * 100;
  }
}

std::string Named(const char* what) { return std::string("hidraw/") + what; }

}  // namespace

std::string FuseNodeUnavailable() {
  if (geteuid() != 0) return "needs root and /dev/fuse";
  const int fd = open("/dev/fuse", O_RDWR | O_CLOEXEC);
  if (fd < 0) return "needs root and /dev/fuse";
  close(fd);
  return {};
}

void RegisterFuseNodeFigures() {
  benchmark::RegisterBenchmark(Named(kFuseIdleTick).c_str(), IdleTick)->UseManualTime();
  benchmark::RegisterBenchmark(Named(kFuseDispatchingTick).c_str(), DispatchingTick)
      ->UseManualTime();
  for (int others : kReconnectInterfaces) {
    benchmark::RegisterBenchmark(Named(ReconnectName(others).c_str()).c_str(),
                                 [others](benchmark::State& s) { ReconnectingTick(s, others); })
        ->UseManualTime();
  }
  benchmark::RegisterBenchmark(Named(kPortOpenNode).c_str(), PortOpenOnNode)->UseManualTime();
  benchmark::RegisterBenchmark(Named(kPortOpenSimulated).c_str(), PortOpenSimulated)
      ->UseManualTime();
  benchmark::RegisterBenchmark(Named(kMonitorIdle).c_str(),
                               [](benchmark::State& s) { MonitorCpu(s, 0, false); })
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(Named(kMonitorUnplugged).c_str(),
                               [](benchmark::State& s) { MonitorCpu(s, 16, true); })
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
}

}  // namespace usborva::bench
