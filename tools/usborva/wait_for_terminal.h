// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_WAIT_FOR_TERMINAL_H_
#define USBORVA_TOOLS_WAIT_FOR_TERMINAL_H_

#include <chrono>
#include <optional>
#include <ostream>

#include "session.h"
#include "usborva/discovery.h"

namespace usborva::cli {

// How often --wait sets PortOpen True again: soon enough to feel immediate to a person
// plugging a terminal in, rare enough that walking the HID interfaces costs nothing.
inline constexpr std::chrono::milliseconds kOpenRetryInterval(500);

// monitor --wait: after a first open found no terminal, sets PortOpen True again every
// kOpenRetryInterval on the session's loop, as a host would on a timer, until the port
// opens. Gives up on Ctrl-C or SIGTERM, once the session has run for duration, or, on the
// simulated terminal, when an open made after the scenario's last step still finds none.
// On a terminal, says on err what it waits for; quiet otherwise. Starts the scenario's
// timed input, so a scenario can plug its terminal in later. True when the port opened.
bool WaitForTerminal(Session& session, const TerminalChoice& choice,
                     std::optional<std::chrono::milliseconds> duration, std::ostream& err);

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_WAIT_FOR_TERMINAL_H_
