// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TESTS_FAULTS_PORT_STATE_H_
#define USBORVA_TESTS_FAULTS_PORT_STATE_H_

#include "transport/device_record.h"
#include "usborva/usborva.h"

namespace usborva::faults {

// The states docs/robustness.md names for a control, told apart by what the host and the
// thread's device record show.
enum class PortState {
  kClosed,        // PortOpen False, poll timer stopped
  kPolling,       // PortOpen True, timer running, device held, transport healthy
  kReconnecting,  // PortOpen True, timer running, no device: each tick tries to reopen
  kIdleOnError,   // PortOpen True, timer running, a transport status latched: ticks do nothing
  kUnnamed,       // anything else, which no host could make sense of
};

inline const char* StateName(PortState state) {
  switch (state) {
    case PortState::kClosed:
      return "Closed";
    case PortState::kPolling:
      return "Polling";
    case PortState::kReconnecting:
      return "Reconnecting";
    case PortState::kIdleOnError:
      return "Idle on error";
    case PortState::kUnnamed:
      break;
  }
  return "unnamed";
}

inline PortState Classify(USBORVA& control) {
  const transport::DeviceRecord& record = transport::ThreadDeviceRecord();
  const bool open = control.get_PortOpen();
  const bool ticking = control.tmrMain().Enabled();
  if (!open && !ticking) return PortState::kClosed;
  if (!open || !ticking) return PortState::kUnnamed;
  if (!record.TransportStatus.empty()) return PortState::kIdleOnError;
  return record.DeviceHandle == kInvalidHandleValue ? PortState::kReconnecting
                                                    : PortState::kPolling;
}

}  // namespace usborva::faults

#endif  // USBORVA_TESTS_FAULTS_PORT_STATE_H_
