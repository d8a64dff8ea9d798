// SPDX-License-Identifier: Apache-2.0
// The keys of `usborva simulate` and what the terminal does for each.
#include "key_commands.h"

#include <algorithm>
#include <span>

#include "key_splitter.h"
#include "text.h"
#include "usborva/card_view.h"
#include "usborva/scenario.h"
#include "usborva/test_cards.h"
#include "usborva/variant.h"

namespace usborva::cli {
namespace {

constexpr std::string_view kKeyHelp = R"(Keys (no Enter needed):
  1-8       swipe test card 1 to 8 (c lists them)   e   a failed read
  p         a PIN entered                           P   a PIN entry cancelled
  ! @ # $   selection key 1 to 4 (or F1 to F4)      d   display done
  s         a device status change                  u   pull the cable / plug it back
  ? h       these keys                              q   quit (Ctrl-D and Ctrl-C too)
)";

// Selection keys 1 to 4: the characters over 1 to 4 on a US keyboard, and F1 to F4 (as
// KeyName names them, whichever sequence the terminal sends).
constexpr std::string_view kSelectionKeys[] = {"!", "@", "#", "$"};
constexpr std::string_view kFunctionKeys[] = {"F1", "F2", "F3", "F4"};

std::string ShownPan(const TestCard& card) {
  return StringToUtf8(MaskedPan(Utf8ToString(card.pan)));
}

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

// A blank or a line break: a file of keys may be laid out with them.
bool Layout(std::string_view key) {
  return key == " " || key == "\n" || key == "\r" || key == "\t";
}

bool Quit(std::string_view key) { return key == "q" || key == "\x03" || key == "\x04"; }

// The selection key 1 to 4 a key stands for; 0 for none.
uint8_t SelectionKey(std::string_view key) {
  const std::string name = KeyName(key);
  for (uint8_t i = 0; i < 4; ++i) {
    if (key == kSelectionKeys[i] || name == kFunctionKeys[i]) return static_cast<uint8_t>(i + 1);
  }
  return 0;
}

}  // namespace

KeyCommands::KeyCommands(SimulatedHidSystem& system, SimulatedHidSystem::InterfaceId terminal)
    : system_(system), terminal_(terminal) {}

size_t KeyCommands::ReportLength() const {
  return static_cast<size_t>(
      std::max<int16_t>(system_.Interface(terminal_).input_report_length, 1));
}

std::string KeyCommands::Send(std::vector<sim::Report> reports, std::string note) {
  // A terminal without its cable sends nothing; the machine drops what is queued then.
  if (!system_.Present(terminal_)) return note + " (the cable is out: nothing reaches the host)";
  for (sim::Report& report : reports) system_.QueueInputReport(terminal_, std::move(report));
  return note;
}

std::string KeyCommands::SwipeTestCard(size_t index) {
  const TestCard& card = TestCards()[index];
  scenario::SwipeFields fields;
  fields.items[protocol::kCardItemTrack1 - 1] = Bytes(TestTrack1(card));
  fields.items[protocol::kCardItemTrack2 - 1] = Bytes(TestTrack2(card));
  // Read, magnetic stripe: what a good swipe's card status says.
  fields.card_status = {0, 1, 1};
  return Send(scenario::SwipeReports(fields, system_.Interface(terminal_)),
              "card swiped: test card " + std::to_string(index + 1) + ", " +
                  std::string(card.label) + " " + ShownPan(card));
}

std::string KeyCommands::FailedRead() {
  scenario::SwipeFields fields;
  fields.error = kReadError;
  fields.card_status = {0, 2, 1};  // as examples/bad_read.scn: the read failed
  return Send(scenario::SwipeReports(fields, system_.Interface(terminal_)),
              "card swiped: a failed read (error status " + std::to_string(kReadError) + ")");
}

std::string KeyCommands::PinEntry(bool cancelled) {
  const std::vector<uint8_t> ksn =
      scenario::TerminalKsn(system_.Interface(terminal_).terminal, sim::kInfoPINKSN);
  const std::vector<uint8_t> zeros(std::size(kTestPinBlock), 0);
  const std::span<const uint8_t> block =
      cancelled ? std::span<const uint8_t>(zeros) : kTestPinBlock;
  return Send({sim::PINResponse(cancelled ? 1 : 0, ksn, block, ReportLength())},
              cancelled ? "PIN entry cancelled (operation status 1)"
                        : "PIN entered: a fixed test PIN block under the PIN KSN");
}

std::string KeyCommands::CableToggle() {
  if (system_.Present(terminal_)) {
    system_.Unplug(terminal_);
    return "cable pulled out (u plugs it back)";
  }
  system_.Replug(terminal_);
  return "cable plugged back in";
}

KeyOutcome KeyCommands::Press(std::string_view key) {
  KeyOutcome outcome;
  if (key.empty() || Layout(key)) return outcome;
  const size_t length = ReportLength();
  if (key.size() == 1 && key[0] >= '1' && key[0] <= '8' &&
      static_cast<size_t>(key[0] - '1') < TestCards().size()) {
    outcome.note = SwipeTestCard(static_cast<size_t>(key[0] - '1'));
  } else if (key == "e") {
    outcome.note = FailedRead();
  } else if (key == "p" || key == "P") {
    outcome.note = PinEntry(key == "P");
  } else if (const uint8_t selection = SelectionKey(key); selection != 0) {
    outcome.note = Send({sim::SelectResponse(0, selection, length)},
                        "selection key " + std::to_string(selection) + " pressed");
  } else if (key == "d") {
    outcome.note = Send({sim::DisplayDone(0, length)}, "display done");
  } else if (key == "s") {
    session_open_ = !session_open_;
    outcome.note = Send({sim::DeviceStatus(1, session_open_ ? 1 : 0, 0, length)},
                        session_open_ ? "device status: a session opened (1 1 0)"
                                      : "device status: the session closed (1 0 0)");
  } else if (key == "u") {
    outcome.note = CableToggle();
  } else if (key == "?" || key == "h") {
    outcome.show = KeyOutcome::Show::kKeys;
  } else if (key == "c") {
    outcome.show = KeyOutcome::Show::kCards;
  } else if (Quit(key)) {
    outcome.quit = true;
  } else {
    outcome.note = "key " + KeyName(key) + " does nothing (? lists the keys)";
  }
  return outcome;
}

std::string KeyHelp() { return std::string(kKeyHelp); }

std::string TestCardList() {
  std::string list = "Test cards (published test numbers, never a real account):\n";
  size_t key = 1;
  for (const TestCard& card : TestCards()) {
    list += "  " + std::to_string(key++) + "   " + Padded(card.label, 22) + ShownPan(card) + "\n";
  }
  return list;
}

}  // namespace usborva::cli
