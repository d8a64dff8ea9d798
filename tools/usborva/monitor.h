// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_MONITOR_H_
#define USBORVA_TOOLS_MONITOR_H_

#include <iosfwd>
#include <optional>
#include <string>

#include "reporter.h"
#include "session_recorder.h"
#include "usborva/discovery.h"
#include "usborva/scenario.h"

namespace usborva::cli {

struct MonitorConfig {
  // The simulated terminal's scenario; none: the machine's own terminal.
  std::optional<scenario::Scenario> scenario;
  bool virtual_time = false;
  std::optional<double> duration_seconds;
  ReportOptions report;
  // Printed once the port is open (the demo's introduction), text output only.
  std::string preface;
  // Which terminal the control takes; with wait, keep trying until it is there.
  TerminalChoice choice;
  bool wait = false;
  // The command that shows why no terminal was found ("usborva list ...").
  std::string list_command = "usborva list";
  // --record: where the session's recording goes; none: not recorded.
  std::optional<RecordRequest> record;
};

// Opens the port, reports until the end (signal, duration, end of scenario), closes it.
int RunMonitorSession(MonitorConfig config, std::ostream& out, std::ostream& err);

// The scenario --simulate names: the file, standard input for "-", or the built-in demo.
// Throws UsageError for a scenario that cannot be read.
scenario::Scenario LoadSimulation(const std::optional<std::string>& path);

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_MONITOR_H_
