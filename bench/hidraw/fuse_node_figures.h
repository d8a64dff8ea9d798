// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_BENCH_HIDRAW_FUSE_NODE_FIGURES_H_
#define USBORVA_BENCH_HIDRAW_FUSE_NODE_FIGURES_H_

#include <string>

namespace usborva::bench {

// The figures' names under "hidraw/". This header needs no FUSE: the report prints the rows
// as unavailable when the figures are not built. Each tick figure carries its floor, the
// bare read() timed right after each tick on the same node, as the counter "floor_ns".
inline constexpr const char* kFuseIdleTick = "idle (read outstanding)";
inline constexpr const char* kFuseDispatchingTick = "dispatching a device status";
// Labels of the floors' own rows.
inline constexpr const char* kFuseEmptyRead = "bare read(), empty queue";
inline constexpr const char* kFuseQueuedRead = "bare read(), one report queued";

// The reconnecting tick with the terminal unplugged and N other HID interfaces present.
inline constexpr int kReconnectInterfaces[] = {1, 16, 64};
inline std::string ReconnectName(int others) {
  return "reconnecting, " + std::to_string(others) + (others == 1 ? " interface" : " interfaces");
}
// PortOpen = True to its notification, with the calls into the kernel it makes ("syscalls").
inline constexpr const char* kPortOpenSimulated = "PortOpen = True, simulated terminal";
inline constexpr const char* kPortOpenNode = "PortOpen = True, hidraw node";
// A monitor process's CPU per second of wall time ("cpu_percent" of one core).
inline constexpr const char* kMonitorIdle = "monitor, terminal open and idle";
inline constexpr const char* kMonitorUnplugged = "monitor, unplugged, 16 interfaces";

// Why this machine cannot serve an emulated hidraw node (mounting needs root and
// /dev/fuse), or empty when it can.
std::string FuseNodeUnavailable();

// Registers the Linux backend's figures over an emulated hidraw node, named "hidraw/<what>":
// the control's idle and dispatching poll ticks, each with the bare non-blocking read() on
// the same node it is measured against.
void RegisterFuseNodeFigures();

}  // namespace usborva::bench

#endif  // USBORVA_BENCH_HIDRAW_FUSE_NODE_FIGURES_H_
