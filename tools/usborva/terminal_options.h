// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_TERMINAL_OPTIONS_H_
#define USBORVA_TOOLS_TERMINAL_OPTIONS_H_

#include <ostream>
#include <string>

#include "args.h"
#include "usborva/discovery.h"

namespace usborva::cli {

// --device PATH and --serial S: which terminal monitor, send and list work with when more
// than one is supported. Both go to the control as its TerminalChoice.
inline constexpr OptionSpec kDeviceOption{"device", OptionKind::kValue};
inline constexpr OptionSpec kSerialOption{"serial", OptionKind::kValue};

// The choice the command line makes; throws UsageError for an empty PATH or S.
TerminalChoice ChoiceFromArgs(const Args& args);

// The list command that shows the same interfaces with the same choice, ready to paste:
// "usborva list", and --simulate SCENARIO and the choice when the command line has them.
std::string ListCommandFor(const Args& args);

// " with serial number S at PATH", as much of it as the choice names; "" for no choice.
std::string ChoiceWords(const TerminalChoice& choice);

// What the port waits for, for people: "a supported terminal", and with the choice
// " with serial number S" / " at PATH".
std::string WantedTerminal(const TerminalChoice& choice);

// The message when the port found no terminal: what was looked for and how to see why.
void ReportNoTerminal(const TerminalChoice& choice, const std::string& list_command,
                      std::ostream& err);

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_TERMINAL_OPTIONS_H_
