// SPDX-License-Identifier: Apache-2.0
#include "wait_for_terminal.h"

#include <memory>

#include "output.h"
#include "signals.h"
#include "terminal_options.h"

namespace usborva::cli {

bool WaitForTerminal(Session& session, const TerminalChoice& choice,
                     std::optional<std::chrono::milliseconds> duration, std::ostream& err) {
  if (WritesToTerminal(err)) {
    err << "usborva: waiting for " << WantedTerminal(choice)
        << " to be plugged in (Ctrl-C stops)...\n";
  }
  bool opened = false;
  bool scenario_over = false;
  const auto retry = [&] {
    // A scenario that has played its last step plugs nothing in any more.
    const bool finished = session.player() != nullptr && session.player()->Finished();
    opened = session.Open();
    scenario_over = !opened && finished;
  };
  const auto done = [&] {
    return opened || scenario_over || SignalGuard::Received() != 0 ||
           (duration && session.Elapsed() >= *duration);
  };
  session.StartScenario();
  std::unique_ptr<Timer> timer = session.loop().CreateTimer(retry);
  timer->SetInterval(static_cast<int32_t>(kOpenRetryInterval.count()));
  timer->SetEnabled(true);
  // Slices of an hour keep a wait without a limit going for as long as it is wanted.
  while (!done()) session.loop().RunUntil(done, std::chrono::hours(1));
  return opened;
}

}  // namespace usborva::cli
