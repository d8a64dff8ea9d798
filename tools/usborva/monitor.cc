// SPDX-License-Identifier: Apache-2.0
// monitor and demo: a host application's view of a terminal session.
#include "monitor.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <ostream>
#include <string>

#include "args.h"
#include "commands.h"
#include "drop_watch.h"
#include "exit_codes.h"
#include "output.h"
#include "session.h"
#include "signals.h"
#include "simulate.h"
#include "terminal_options.h"
#include "text.h"
#include "udev_fix.h"
#include "usborva/connection.h"
#include "usborva/text_guard.h"
#include "wait_for_terminal.h"

namespace usborva::cli {
namespace {

using std::chrono::milliseconds;

// After the scenario's last step, how long the reports must have been quiet before the
// run counts as over (several poll intervals, so the last report's event is out).
constexpr milliseconds kSettleTime(100);
// A simulated run without --duration stops this long after its scenario should have ended.
constexpr milliseconds kScenarioGrace(60000);
constexpr milliseconds kStatusInterval(250);

// Decides when a run is over and says why.
class EndWatch {
 public:
  EndWatch(Session& session, std::optional<milliseconds> duration, RunDriver* driver)
      : session_(session), duration_(duration), driver_(driver) {}

  void NoteActivity() { last_activity_ = session_.Elapsed(); }
  void PermissionDenied() { permission_denied_ = true; }
  bool permission_denied() const { return permission_denied_; }

  bool Done() {
    if (SignalGuard::Received() != 0 || permission_denied_) return true;
    if (duration_ && session_.Elapsed() >= *duration_) return true;
    return ScenarioOver();
  }

  std::string Reason() {
    if (SignalGuard::Received() != 0) return "interrupted";
    if (permission_denied_) return "permission denied";
    if (session_.simulated() && ScenarioOver()) {
      return driver_ != nullptr ? *driver_->Over() : "end of scenario";
    }
    return "duration";
  }

 private:
  bool ScenarioOver() {
    scenario::Player* player = session_.player();
    if (player == nullptr) return false;
    // An expectation still waiting keeps the player unfinished; a rule's run under way has
    // reports still to send. A person who quits ends the run at once, rules or not.
    const std::optional<std::string> driven_end =
        driver_ != nullptr ? driver_->Over() : std::nullopt;
    if (driver_ != nullptr ? !driven_end : !player->Finished()) return false;
    if (driven_end != "quit" && player->RunningRules() > 0) return false;
    if (session_.sim()->QueuedInputReports(player->interface_id()) > 0) return false;
    const milliseconds now = session_.Elapsed();
    if (!finished_at_) finished_at_ = now;
    return now - std::max(*finished_at_, last_activity_) >= kSettleTime;
  }

  Session& session_;
  std::optional<milliseconds> duration_;
  RunDriver* driver_;
  std::optional<milliseconds> finished_at_;
  milliseconds last_activity_{0};
  bool permission_denied_ = false;
};

std::string TerminalName(Session& session) {
  if (!session.simulated()) return session.tap().opened_path();
  return "the simulated terminal (" + Printable(session.player()->scenario().source) + ")";
}

int ReportOpenFailure(OpenFailure reason, const MonitorConfig& config, std::ostream& err) {
  if (reason == OpenFailure::kEventCreationFailed) {
    err << "usborva: the port could not be opened: the system refused the read event\n";
    return kExitDeviceError;
  }
  ReportNoTerminal(config.choice, config.list_command, err);
  return kExitNoTerminal;
}

std::string StatusText(Session& session) {
  std::string time = FormatTime(session.Elapsed());
  time.erase(0, time.find_first_not_of(' '));
  // Appended piece by piece: g++ 12 at -O3 sees a false overlap in "literal" + temporary.
  std::string status = "[";
  status += session.control().get_PortOpen() ? "port open" : "port closed";
  status += session.tap().connected() ? " | terminal connected" : " | terminal lost";
  status += " | reports: ";
  status += std::to_string(session.tap().reports());
  status += " | ";
  status += time;
  status += "]";
  return status;
}

void RunLoop(Session& session, EndWatch& watch, DropWatch& drops,
             std::optional<milliseconds> duration, bool driven) {
  milliseconds limit = duration.value_or(milliseconds::max() / 2);
  if (session.simulated() && !duration && !driven) {
    limit = session.player()->scenario().Length() + kScenarioGrace;
  }
  // Slices of an hour keep a run without a limit going for as long as it is wanted.
  while (!watch.Done() && session.Elapsed() < limit) {
    session.loop().RunUntil(
        [&] {
          drops.Check();
          return watch.Done();
        },
        std::min<milliseconds>(limit - session.Elapsed(), std::chrono::hours(1)));
  }
}

// The scenario tests the host, here the monitor itself: every event it prints is fed to the
// player, and each expectation that fails is said at once, on stderr (text) or as a JSON line.
void WatchExpectations(scenario::Player& player, Reporter& reporter, bool json, std::ostream& err) {
  reporter.set_event_observer([&player](const RaisedEvent& event) { player.EventRaised(event); });
  player.set_failure_handler([&reporter, json, &err](const scenario::ExpectationFailure& failure) {
    if (json) {
      reporter.ExpectationFailed(failure.line, failure.message);
      return;
    }
    reporter.ClearStatus();
    err << "usborva monitor: " << Printable(failure.message) << "\n" << std::flush;
    reporter.RedrawStatus();
  });
}

}  // namespace

scenario::Scenario LoadSimulation(const std::optional<std::string>& path) {
  try {
    if (!path) return scenario::DemoScenario();
    // A folder opens like a file on some systems and reads as nothing: an empty scenario
    // would then run as a terminal that is never there.
    std::error_code ignored;
    if (*path != "-" && std::filesystem::is_directory(*path, ignored)) {
      throw UsageError("scenario " + QuoteForMessage(*path, 200) +
                       ": is a directory, not a scenario file");
    }
    return scenario::LoadScenario(*path);
  } catch (const scenario::ScenarioError& error) {
    throw UsageError(std::string("scenario ") + error.what());
  }
}

int RunMonitorSession(MonitorConfig config, std::ostream& out, std::ostream& err) {
  const bool status_line = !config.report.json && WritesToTerminal(out) && !DumbTerminal();
  config.report.virtual_time = config.virtual_time;
  Reporter reporter(out, config.report);
  SessionOptions options;
  options.scenario = std::move(config.scenario);
  options.virtual_time = config.virtual_time;
  options.events = &reporter;
  options.choice = config.choice;
  std::unique_ptr<SessionRecorder> recorder;
  if (config.record) {
    recorder = std::make_unique<SessionRecorder>(*config.record);
    options.interpose = recorder->Interposer();
  }
  Session session(std::move(options));
  if (recorder) recorder->Attach(session);
  reporter.Attach(session.control(), [&session] { return session.Elapsed(); });

  std::optional<milliseconds> duration;
  if (config.duration_seconds) {
    duration = milliseconds(static_cast<int64_t>(*config.duration_seconds * 1000 + 0.5));
  }
  EndWatch watch(session, duration, config.driver);
  // From the start, so drops while --wait waits for the port show at the loop's first tick.
  DropWatch drops(session, reporter);
  // Input reports, and the terminal coming and going, keep a simulated run alive.
  session.tap().set_observer([&](HidTap::Change) { watch.NoteActivity(); });
  OpenFailure open_failure = OpenFailure::kNone;
  std::string unreadable_path;
  session.host().set_connection_observer([&](const ConnectionNotice& notice) {
    if (notice.change == ConnectionChange::kOpenFailed) {
      open_failure = notice.reason;
      if (notice.reason != OpenFailure::kPermissionDenied) return;
      unreadable_path = notice.path;
      watch.PermissionDenied();
      return;
    }
    reporter.ConnectionChanged(notice);
  });
  if (scenario::Player* player = session.player()) {
    player->set_note_handler([&](const std::string& text) {
      reporter.Note(text);
      if (recorder) recorder->Note(text);
    });
    WatchExpectations(*player, reporter, config.report.json, err);
  }

  SignalGuard signals;
  if (!session.Open() && !(config.wait && WaitForTerminal(session, config.choice, duration, err))) {
    if (recorder) recorder->NothingRecorded(err);
    return ReportOpenFailure(open_failure, config, err);
  }
  if (recorder) recorder->Start();
  if (!config.preface.empty() && !config.report.json) out << config.preface;
  reporter.Opened(session.simulated() && config.report.json ? "simulated" : TerminalName(session));
  std::unique_ptr<Timer> status_timer;
  if (status_line) {
    reporter.set_status([&session] { return StatusText(session); });
    status_timer = session.loop().CreateTimer([&reporter] { reporter.RedrawStatus(); });
    status_timer->SetInterval(static_cast<int32_t>(kStatusInterval.count()));
    status_timer->SetEnabled(true);
  }
  session.StartScenario();
  if (config.driver != nullptr) config.driver->Start(session, reporter);
  RunLoop(session, watch, drops, duration, config.driver != nullptr);
  drops.Check();
  const std::string reason = watch.Reason();
  // A run cut short fails the expectation it was waiting at: it was not met.
  if (session.player() != nullptr) session.player()->EndRun();
  // A scenario's own end came the settling time before the monitor saw it.
  const milliseconds ended =
      session.Elapsed() - (reason == "end of scenario" ? kSettleTime : milliseconds(0));
  status_timer.reset();
  session.Close();
  reporter.Closed(reason, session.tap().reports());
  const bool recorded = !recorder || recorder->Write(ended, TerminalName(session), err);
  if (watch.permission_denied()) {
    err << "usborva: the terminal at " << Printable(unreadable_path)
        << " cannot be read: permission denied.\n"
        << UdevFix(InstalledUdevRule());
    return kExitDeviceError;
  }
  if (!recorded) return kExitDeviceError;
  if (session.player() != nullptr && session.player()->Failed()) {
    const size_t failed = session.player()->failures().size();
    err << "usborva monitor: " << failed << (failed == 1 ? " expectation" : " expectations")
        << " of " << Printable(session.player()->scenario().source) << " failed\n";
    return kExitExpectationFailed;
  }
  return kExitOk;
}

void ReadRunOptions(const Args& args, MonitorConfig& config, std::ostream& out, std::ostream& err) {
  if (auto duration = args.Value("duration")) {
    config.duration_seconds = ParseSeconds(*duration, "--duration");
  }
  config.report.json = args.Has("json");
  config.report.reveal = args.Has("reveal");
  if (auto record = args.Value("record")) {
    config.record = CheckRecordPath(*record, config.report.reveal);
  }
  if (config.report.reveal) WarnReveal(out, err);
  if (config.record && config.report.reveal) {
    err << "warning: --reveal: the recording " << Printable(config.record->path)
        << " keeps the card data and PIN blocks as read; keep it private\n";
  }
}

int RunMonitor(CommandArgs raw, std::ostream& out, std::ostream& err) {
  static constexpr OptionSpec kSpecs[] = {{"help", OptionKind::kFlag},
                                          {"simulate", OptionKind::kOptionalValue},
                                          {"duration", OptionKind::kValue},
                                          {"json", OptionKind::kFlag},
                                          {"reveal", OptionKind::kFlag},
                                          {"virtual-time", OptionKind::kFlag},
                                          {"wait", OptionKind::kFlag},
                                          {"interactive", OptionKind::kFlag, 'i'},
                                          {"record", OptionKind::kValue},
                                          kDeviceOption,
                                          kSerialOption};
  const Args args = ParseArgs(raw, kSpecs);
  if (args.Has("help")) {
    out << HelpText("monitor");
    return kExitOk;
  }
  ExpectPositionals(args, 0, 0, "usborva monitor [OPTIONS]");
  MonitorConfig config;
  if (args.Has("virtual-time") && !args.Has("simulate")) {
    throw UsageError("--virtual-time needs --simulate (a real terminal keeps real time)");
  }
  const bool interactive = args.Has("interactive");
  if (interactive && !args.Has("simulate")) {
    throw UsageError("--interactive needs --simulate: the keys drive the simulated terminal");
  }
  if (interactive) CheckKeyboardRun(args.Value("simulate"), args.Has("virtual-time"));
  if (args.Has("simulate")) config.scenario = LoadSimulation(args.Value("simulate"));
  config.virtual_time = args.Has("virtual-time");
  ReadRunOptions(args, config, out, err);
  config.choice = ChoiceFromArgs(args);
  config.wait = args.Has("wait");
  config.list_command = ListCommandFor(args);
  if (interactive) return RunKeyboardSession(std::move(config), out, err);
  return RunMonitorSession(std::move(config), out, err);
}

int RunDemo(CommandArgs raw, std::ostream& out, std::ostream& err) {
  static constexpr OptionSpec kSpecs[] = {{"help", OptionKind::kFlag},
                                          {"fast", OptionKind::kFlag},
                                          {"json", OptionKind::kFlag},
                                          {"reveal", OptionKind::kFlag}};
  const Args args = ParseArgs(raw, kSpecs);
  if (args.Has("help")) {
    out << HelpText("demo");
    return kExitOk;
  }
  ExpectPositionals(args, 0, 0, "usborva demo [--fast] [--json] [--reveal]");
  MonitorConfig config;
  config.scenario = scenario::DemoScenario();
  config.virtual_time = args.Has("fast");
  config.report = {args.Has("json"), args.Has("reveal"), true};
  if (config.report.reveal) WarnReveal(out, err);
  config.preface =
      "USBORVA demo: a host application and a simulated payment terminal.\n"
      "The host set PortOpen = True; everything below is what it then sees through the\n"
      "control: the identity properties, and each event as its handler receives it.\n"
      "Card numbers are masked and PIN blocks hidden (--reveal shows them).\n\n";
  const int status = RunMonitorSession(std::move(config), out, err);
  if (status == kExitOk && !args.Has("json")) {
    out << "\nNext: 'usborva monitor --simulate examples/normal_swipe.scn' plays a scenario "
           "of your own\n(docs/scenarios.md); 'usborva monitor' watches a real terminal.\n";
  }
  return status;
}

}  // namespace usborva::cli
