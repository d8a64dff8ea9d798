// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_KEY_COMMANDS_H_
#define USBORVA_TOOLS_KEY_COMMANDS_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "usborva/simulated_hid_system.h"

namespace usborva::cli {

// What a key did, for the session's output.
struct KeyOutcome {
  enum class Show { kNothing, kKeys, kCards };
  // One line: what the terminal did, or that the key does nothing; empty for a key that is
  // passed over in silence (a blank, a line feed).
  std::string note;
  Show show = Show::kNothing;  // a block to print for the person: the keys, the test cards
  bool quit = false;
};

// The keys of `usborva simulate`: each makes the simulated terminal do what a person at a
// real one makes it do (swipe a test card, enter a PIN, press a selection key, finish a
// message, pull the cable), by queuing the reports that terminal sends on the machine, as a
// scenario's directives do. It knows no keyboard and no clock: it is given whole keys (see
// KeySplitter), one at a time.
class KeyCommands {
 public:
  // The encrypted PIN block every simulated entry sends: a pattern no PIN pad makes, and
  // derived from nothing typed.
  static constexpr uint8_t kTestPinBlock[8] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
  // The closing item's status of a failed read ('e').
  static constexpr uint8_t kReadError = 2;

  // terminal: the machine's interface whose reports the keys send; both must outlive this.
  KeyCommands(SimulatedHidSystem& system, SimulatedHidSystem::InterfaceId terminal);

  KeyOutcome Press(std::string_view key);

 private:
  std::string Send(std::vector<sim::Report> reports, std::string note);
  std::string SwipeTestCard(size_t index);
  std::string FailedRead();
  std::string PinEntry(bool cancelled);
  std::string CableToggle();
  size_t ReportLength() const;

  SimulatedHidSystem& system_;
  SimulatedHidSystem::InterfaceId terminal_;
  bool session_open_ = false;  // what the next device status says
};

// The keys, a few lines for the person at the keyboard (at the start, on ? and in --help).
std::string KeyHelp();
// The built-in test cards, one line each: the key, the label, the masked number.
std::string TestCardList();

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_KEY_COMMANDS_H_
