// SPDX-License-Identifier: Apache-2.0
// A host that starts before its terminal is plugged in: it retries PortOpen on a timer of
// its own loop, and while it waits it can tell its user why no terminal is taken.
//
//   wait_example [--serial S]             waits up to a minute for a real terminal
//   wait_example SCENARIO [--serial S]    the same on the simulated terminal
#include <chrono>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <vector>

#include "usborva/discovery.h"
#include "usborva/event_loop.h"
#include "usborva/host.h"
#include "usborva/scenario.h"
#include "usborva/simulated_hid_system.h"
#include "usborva/usborva.h"

// What the transport sees, one line per HID interface, and which one the control takes.
void ShowWhy(const usborva::TerminalChoice& choice) {
  const std::vector<usborva::DiscoveredInterface> found = usborva::SurveyHidInterfaces(choice);
  if (found.empty()) std::cout << "  no HID interfaces\n";
  for (const usborva::DiscoveredInterface& item : found) {
    std::cout << "  " << item.path << ": " << (item.reason.empty() ? "supported" : item.reason)
              << (item.taken ? " (taken)" : "") << "\n";
  }
}

int main(int argc, char** argv) {
  usborva::TerminalChoice choice;
  const char* scenario_file = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--serial") == 0 && i + 1 < argc) {
      choice.serial_number = usborva::Utf8ToString(argv[++i]);
    } else {
      scenario_file = argv[i];
    }
  }
  std::unique_ptr<usborva::SimulatedHidSystem> owned_simulated = usborva::NewSimulatedHidSystem();
  usborva::SimulatedHidSystem& simulated = *owned_simulated;
  std::optional<usborva::scenario::Player> player;
  std::optional<usborva::ScopedHidSystem> use_simulated;
  if (scenario_file != nullptr) {
    player.emplace(simulated, usborva::scenario::LoadScenario(scenario_file));
    player->Install();
    use_simulated.emplace(simulated);
  }

  usborva::EventLoop loop;
  usborva::Host host(loop);
  usborva::USBORVA control(host);
  control.InitProperties();
  control.set_terminal_choice(choice);  // empty: the first supported terminal
  control.put_PortOpen(true);
  if (!control.get_PortOpen()) {
    std::cout << "no terminal yet:\n";
    ShowWhy(control.terminal_choice());
  }

  // The retry: every half second, write PortOpen True again until it reads back True. Once
  // open, the control reconnects by itself after an unplug; the timer is not needed then.
  std::unique_ptr<usborva::Timer> retry;
  retry = host.CreateTimer([&] {
    control.put_PortOpen(true);
    if (control.get_PortOpen()) retry->SetEnabled(false);
  });
  retry->SetInterval(500);
  retry->SetEnabled(!control.get_PortOpen());

  // The simulated terminal's scenario plugs it in later, on the same loop.
  std::optional<usborva::scenario::TimedPlayer> timed;
  if (player) {
    timed.emplace(
        *player, [&loop](std::function<void()> tick) { return loop.CreateTimer(std::move(tick)); });
    timed->Start();
  }
  loop.RunUntil([&] { return control.get_PortOpen(); }, std::chrono::minutes(1));
  if (!control.get_PortOpen()) {
    std::cerr << "no supported terminal after a minute\n";
    return 3;
  }
  std::cout << "open: serial " << usborva::StringToUtf8(control.get_DeviceSerialNum()) << "\n";
  control.put_PortOpen(false);
  control.Terminate();
  return 0;
}
