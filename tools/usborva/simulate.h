// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_SIMULATE_H_
#define USBORVA_TOOLS_SIMULATE_H_

#include <iosfwd>
#include <optional>
#include <string>

#include "monitor.h"

namespace usborva::cli {

// How keys are taken: typed on a terminal, as they come (looked at every kKeyPoll); from a
// pipe or a file, one every kKeyPace, as a person would press them, so each key's reports
// are read before the next key's are sent. With --virtual-time the pace is virtual time and
// the run waits for each key, so the same keys give the same output on every run.
inline constexpr std::chrono::milliseconds kKeyPoll{20};
inline constexpr std::chrono::milliseconds kKeyPace{500};

// Refuses what a run driven from the keyboard cannot do: a scenario read from standard input
// (the keys come from there), virtual time with keys typed on a terminal. Throws UsageError.
void CheckKeyboardRun(const std::optional<std::string>& scenario_path, bool virtual_time);

// Runs config's simulated session with the terminal driven from the keyboard (standard
// input): `usborva simulate`, `usborva monitor --simulate -i`.
int RunKeyboardSession(MonitorConfig config, std::ostream& out, std::ostream& err);

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_SIMULATE_H_
