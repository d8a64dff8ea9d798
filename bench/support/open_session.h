// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_BENCH_OPEN_SESSION_H_
#define USBORVA_BENCH_OPEN_SESSION_H_

#include <memory>
#include <string>

#include "transport/transport.h"
#include "usborva/simulated_hid_system.h"
#include "usborva/usborva.h"
#include "usborva_test/null_container.h"

namespace usborva::bench {

// A control with its port open on a simulated terminal, torn down cleanly.
struct OpenSession {
  OpenSession() {
    transport::ThreadDeviceRecord() = transport::DeviceRecord{};
    previous = InstallThreadHidSystem(&hid);
    hid.SetConfigText(std::string());
    hid.AddInterface();
    control.InitProperties();
    control.put_PortOpen(true);
  }
  ~OpenSession() {
    control.Terminate();
    InstallThreadHidSystem(previous);
    transport::ThreadDeviceRecord() = transport::DeviceRecord{};
  }
  void Tick() { container.timer().Tick(); }

  const std::unique_ptr<SimulatedHidSystem> hid_owner = NewSimulatedHidSystem();
  SimulatedHidSystem& hid = *hid_owner;
  test::NullContainer container;
  USBORVA control{container};
  HidSystem* previous = nullptr;
};

}  // namespace usborva::bench

#endif  // USBORVA_BENCH_OPEN_SESSION_H_
