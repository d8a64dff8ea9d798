// SPDX-License-Identifier: Apache-2.0
// A host application in a few lines: open the terminal, print each card read, close.
//
//   api_example              watches the first supported terminal for 30 seconds
//   api_example SCENARIO     plays a scenario on the simulated terminal instead
#include <chrono>
#include <functional>
#include <iostream>
#include <optional>

#include "usborva/event_loop.h"
#include "usborva/host.h"
#include "usborva/scenario.h"
#include "usborva/scenario_machine.h"
#include "usborva/usborva.h"

// The control's events arrive here, on the loop's thread, as they would in a form.
class Handlers : public usborva::EventSink {
 public:
  explicit Handlers(usborva::USBORVA*& control) : control_(control) {}
  void CardDataChanged() override {
    // The PAN is never printed in clear: the KSN identifies the read.
    std::cout << "card read, KSN " << usborva::StringToUtf8(control_->get_DUKPTKSN()) << "\n";
  }
  void CardDataError() override { std::cout << "the card could not be read\n"; }

 private:
  usborva::USBORVA*& control_;
};

int main(int argc, char** argv) {
  usborva::EventLoop loop;
  // With a scenario, the simulated terminal takes the HID stack's place on this thread.
  // (Without changing a line, any host can do the same: USBORVA_SCENARIO=FILE.)
  std::optional<usborva::scenario::ScenarioMachine> simulated;
  if (argc > 1) {
    simulated.emplace(usborva::scenario::LoadScenario(argv[1]),
                      [&loop](std::function<void()> tick) { return loop.CreateTimer(tick); });
  }

  usborva::USBORVA* control_ptr = nullptr;
  Handlers handlers(control_ptr);
  usborva::HostOptions options;
  options.events = &handlers;
  usborva::Host host(loop, options);
  usborva::USBORVA control(host);
  control_ptr = &control;
  control.InitProperties();

  control.put_PortOpen(true);
  if (!control.get_PortOpen()) {
    std::cerr << "no supported terminal\n";
    return 3;
  }
  std::cout << "open: " << usborva::StringToUtf8(control.get_UsbProduct()) << ", serial "
            << usborva::StringToUtf8(control.get_DeviceSerialNum()) << "\n";

  if (simulated) {
    simulated->Start();
    loop.RunUntil([&simulated] { return simulated->Finished(); }, std::chrono::minutes(1));
    loop.RunFor(std::chrono::milliseconds(500));  // for the reports still on their way
  } else {
    loop.RunFor(std::chrono::seconds(30));
  }
  control.put_PortOpen(false);
  control.Terminate();
  return 0;
}
