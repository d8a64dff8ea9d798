// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TESTS_TRANSPORT_TRANSPORT_FIXTURE_H_
#define USBORVA_TESTS_TRANSPORT_TRANSPORT_FIXTURE_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "transport/device_record.h"
#include "transport/transport.h"
#include "usborva/simulated_hid_system.h"

namespace usborva::transport {

// A fresh thread record over a simulated machine with an empty configuration file, so no
// test depends on what the build machine keeps in its configuration directory.
class TransportTest : public ::testing::Test {
 protected:
  using Fault = sim::Fault;
  using HandleKind = sim::HandleKind;

  TransportTest() : installed_(sim_) {
    ThreadDeviceRecord() = DeviceRecord{};
    sim_.SetConfigText(std::string());
  }
  ~TransportTest() override { ThreadDeviceRecord() = DeviceRecord{}; }

  static DeviceRecord& record() { return ThreadDeviceRecord(); }

  SimulatedHidSystem::InterfaceId Add(uint16_t vendor_id, uint16_t product_id) {
    sim::InterfaceSpec spec;
    spec.vendor_id = vendor_id;
    spec.product_id = product_id;
    return sim_.AddInterface(spec);
  }

  // The port's open sequence as far as the transport goes; true when a device is open.
  bool Open() {
    if (!InitTransport()) return false;
    OpenDevice();
    SizeInputBuffer();
    return record().DeviceHandle != kInvalidHandleValue;
  }

  void Close() {
    CloseDevice();
    CloseReadEvent();
  }

  bool Opened(SimulatedHidSystem::InterfaceId id) const {
    return record().DeviceHandle != kInvalidHandleValue && sim_.OpenDeviceHandles(id) == 1;
  }

  const std::unique_ptr<SimulatedHidSystem> sim_owner_ = NewSimulatedHidSystem();
  SimulatedHidSystem& sim_ = *sim_owner_;
  ScopedHidSystem installed_;
};

}  // namespace usborva::transport

#endif  // USBORVA_TESTS_TRANSPORT_TRANSPORT_FIXTURE_H_
