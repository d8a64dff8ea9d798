// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_MONITOR_H_
#define USBORVA_TOOLS_MONITOR_H_

#include <iosfwd>
#include <optional>
#include <string>

#include "args.h"
#include "reporter.h"
#include "session_recorder.h"
#include "usborva/discovery.h"
#include "usborva/scenario.h"

namespace usborva::cli {

class Session;

// A part that joins a monitor run and decides when it is over in place of the end of the
// scenario: the keyboard of `usborva simulate`. Started once the port is open and the
// scenario's timeline has started.
class RunDriver {
 public:
  virtual ~RunDriver() = default;
  virtual void Start(Session& session, Reporter& reporter) = 0;
  // Once no more input will come, the reason the close line gives ("quit"); the run then
  // ends when the reports already sent have been read.
  virtual std::optional<std::string> Over() = 0;
};

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
  // Joins the run (not owned); none: a scenario ends at its last step.
  RunDriver* driver = nullptr;
  // --record: where the session's recording goes; none: not recorded.
  std::optional<RecordRequest> record;
};

// The options monitor and simulate share: --duration, --json, --reveal and --record (with
// the warnings a revealed run gives). Throws UsageError.
void ReadRunOptions(const Args& args, MonitorConfig& config, std::ostream& out, std::ostream& err);

// Opens the port, reports until the end (signal, duration, end of scenario), closes it.
int RunMonitorSession(MonitorConfig config, std::ostream& out, std::ostream& err);

// The scenario --simulate names: the file, standard input for "-", or the built-in demo.
// Throws UsageError for a scenario that cannot be read.
scenario::Scenario LoadSimulation(const std::optional<std::string>& path);

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_MONITOR_H_
