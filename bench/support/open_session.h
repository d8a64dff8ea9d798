// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_BENCH_OPEN_SESSION_H_
#define USBORVA_BENCH_OPEN_SESSION_H_

#include <memory>
#include <string>

#include "transport/device_record.h"
#include "transport/transport.h"
#include "usborva/simulated_hid_system.h"
#include "usborva/usborva.h"
#include "usborva_test/null_container.h"

namespace usborva::bench {

// A control with its port open on a simulated terminal, torn down cleanly.
struct OpenSession {
  OpenSession() {
    previous = InstallThreadHidSystem(&hid);
    hid.SetConfigText(std::string());
    hid.AddInterface();
    control.InitProperties();
    control.put_PortOpen(true);
  }
  ~OpenSession() {
    control.Terminate();
    InstallThreadHidSystem(previous);
  }
  void Tick() { container.timer().Tick(); }

  transport::ScopedDeviceRecord fresh_record;  // first: outlives all that use the record
  const std::unique_ptr<SimulatedHidSystem> hid_owner = NewSimulatedHidSystem();
  SimulatedHidSystem& hid = *hid_owner;
  test::NullContainer container;
  USBORVA control{container};
  HidSystem* previous = nullptr;
};

}  // namespace usborva::bench

#endif  // USBORVA_BENCH_OPEN_SESSION_H_
