// SPDX-License-Identifier: Apache-2.0
// A hostile terminal answering the identity queries: a whole open (string descriptors,
// bitmap CRC, both KSNs, configuration, the three labels) against a simulated terminal
// whose every feature-report answer, and whether each Get fails, comes from the input;
// then a few poll ticks with a report of each kind the open might have to live with, a
// close and the end of the control. Nothing may crash or read out of bounds, the port must
// stay open and polled, every identity value must fit in what the reports could carry, and
// nothing may stay open after the end.
//
// Input: byte 0 the feature report length (0-79), byte 1 the input report length (0-63),
// byte 2 which string descriptors are missing (bits 0-2); then, per Get, one byte (bit 7
// set: the Get fails) followed by as many answer bytes as the report holds (zeros once the
// input runs out).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "fuzz_checks.h"
#include "transport/transport.h"
#include "usborva/hid_system_wrapper.h"
#include "usborva/simulated_hid_system.h"
#include "usborva/usborva.h"
#include "usborva_test/null_container.h"

namespace {

using usborva::fuzz::Require;

using usborva::String;

// The simulated machine, its feature reports answered from the input.
class AnsweringTerminal : public usborva::HidSystemWrapper {
 public:
  AnsweringTerminal(usborva::HidSystem& machine, std::span<const uint8_t> answers)
      : HidSystemWrapper(machine), answers_(answers) {}

  uint8_t HidD_GetFeature(usborva::Handle device, uint8_t* report, uint32_t length) override {
    // The machine's own checks first (handle, access, length), so a Get the driver would
    // refuse is refused here too.
    if (HidSystemWrapper::HidD_GetFeature(device, report, length) == 0) return 0;
    if (Take() & 0x80) return 0;
    for (uint32_t i = 0; i < length; ++i) report[i] = Take();
    return 1;
  }

 private:
  uint8_t Take() {
    if (answers_.empty()) return 0;
    const uint8_t b = answers_[0];
    answers_ = answers_.subspan(1);
    return b;
  }

  std::span<const uint8_t> answers_;
};

// The identity values are cut out of spaced hex text of one feature report: never more
// than three characters per byte of it, and as text never more than one per byte.
void CheckIdentity(const usborva::USBORVA& control, size_t feature_length) {
  const usborva::ControlState& state = control.state();
  for (const String* hex : {&state.BitmapCRC, &state.DeviceConfig}) {
    Require(hex->size() <= 3 * feature_length);
  }
  for (const String* text :
       {&state.PINKSN, &state.MSRKSN, &state.AuthLabel, &state.PINLabel, &state.MSRLabel}) {
    Require(text->size() <= feature_length);
  }
  for (const String* name : {&state.DeviceSerialNum, &state.UsbProduct, &state.Firmware}) {
    Require(name->size() <= 64);
  }
}

void Run(std::span<const uint8_t> input) {
  const std::unique_ptr<usborva::SimulatedHidSystem> hid = usborva::NewSimulatedHidSystem();
  AnsweringTerminal terminal(*hid, input.subspan(3));
  usborva::ScopedHidSystem installed(terminal);
  hid->SetConfigText(std::string());  // the built-in product IDs
  usborva::sim::InterfaceSpec spec;
  spec.feature_report_length = static_cast<int16_t>(input[0] % 80);
  spec.input_report_length = static_cast<int16_t>(input[1] % 64);
  if (input[2] & 1) spec.serial_number.reset();
  if (input[2] & 2) spec.product_string.reset();
  if (input[2] & 4) spec.indexed_strings.clear();
  const size_t input_length = static_cast<size_t>(spec.input_report_length);
  const auto id = hid->AddInterface(spec);

  usborva::fuzz::PinShapeCheck events;
  usborva::test::NullContainer container(&events);
  usborva::USBORVA control(container);
  control.InitProperties();
  control.put_PortOpen(true);
  // Whatever the answers, the terminal is open and polled: a bad answer costs its value only.
  Require(control.get_PortOpen() && control.tmrMain().Enabled());
  CheckIdentity(control, static_cast<size_t>(spec.feature_report_length));
  const uint8_t ksn[10] = {0xFF, 0xFF, 0x98, 0x76, 0x54, 0x32, 0x10, 0xE0, 0x00, 0x01};
  const uint8_t epb[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  hid->QueueInputReport(id, usborva::sim::PINResponse(0, ksn, epb, input_length));
  hid->QueueInputReport(id, usborva::sim::CardDataItem(1, "%B4111^X/Y^25?", input_length));
  hid->QueueInputReport(id, usborva::sim::DisplayDone(0, input_length));
  for (int i = 0; i < 4; ++i) container.timer().Tick();
  Require(control.tmrMain().Enabled());
  control.put_PortOpen(false);
  control.Terminate();
  Require(hid->OpenHandles() == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  // The device record is the thread's and outlives one input: every run starts afresh.
  usborva::transport::ThreadDeviceRecord() = usborva::transport::DeviceRecord{};
  Run(std::span<const uint8_t>(data, size));
  usborva::transport::ThreadDeviceRecord() = usborva::transport::DeviceRecord{};
  return 0;
}
