// SPDX-License-Identifier: Apache-2.0
// simulate: the simulated terminal driven live from the keyboard while the control runs.
#include "simulate.h"

#include <array>
#include <memory>
#include <ostream>

#include "args.h"
#include "commands.h"
#include "exit_codes.h"
#include "key_commands.h"
#include "key_splitter.h"
#include "platform/posix/raw_keyboard.h"
#include "platform/posix/terminal.h"
#include "session.h"
#include "text.h"

namespace usborva::cli {
namespace {

// The source name of the terminal a run without a scenario gets.
constexpr char kDefaultTerminal[] = "default terminal";
// Bytes read at one go; what is held between reads stays below this and one key.
constexpr size_t kReadChunk = 64;

// Reads keys from standard input on a timer of the run's loop and hands each to the
// KeyCommands; says when no more will come.
class KeyboardDriver final : public RunDriver {
 public:
  KeyboardDriver(bool virtual_time, bool json, std::ostream& err)
      : virtual_time_(virtual_time), json_(json), err_(err) {}

  void Start(Session& session, Reporter& reporter) override {
    session_ = &session;
    reporter_ = &reporter;
    keyboard_ = std::make_unique<posix::RawKeyboard>();
    commands_ = std::make_unique<KeyCommands>(*session.sim(), session.player()->interface_id());
    paced_ = !keyboard_->terminal();
    if (!paced_) Show(KeyHelp());  // somebody is at the keyboard
    timer_ = session.loop().CreateTimer([this] { paced_ ? TakeOneKey() : TakeTypedKeys(); });
    timer_->SetInterval(static_cast<int32_t>((paced_ ? kKeyPace : kKeyPoll).count()));
    timer_->SetEnabled(true);
  }

  std::optional<std::string> Over() override {
    if (session_ == nullptr) return std::nullopt;  // not started
    if (quit_) return "quit";
    // The end of the keys does not cut the scenario short: its timeline plays to the end.
    if (ended_ && session_->player()->Finished()) return "end of input";
    return std::nullopt;
  }

 private:
  // Typed keys: everything that has come since the last tick.
  void TakeTypedKeys() {
    const bool arrived = Fill(false);
    while (!quit_) {
      std::optional<std::string> key = splitter_.Next(!arrived || ended_);
      if (!key) break;
      Act(*key);
    }
    if (ended_) Stop();
  }

  // Keys from a pipe or a file: one per tick, blanks and line breaks passed over.
  void TakeOneKey() {
    while (!quit_) {
      std::optional<std::string> key = splitter_.Next(ended_);
      if (key) {
        if (Act(*key)) return;
        continue;
      }
      if (ended_) {
        Stop();
        return;
      }
      // Virtual time waits for the next key (a signal ends the wait); real time comes back.
      if (!Fill(virtual_time_)) return;
    }
  }

  // Whether anything came (bytes, or the end of the input).
  bool Fill(bool wait) {
    std::array<char, kReadChunk> buffer;
    const posix::RawKeyboard::Result read = keyboard_->Read(buffer, wait);
    splitter_.Add(std::string_view(buffer.data(), read.bytes));
    if (read.end) ended_ = true;
    return read.bytes > 0 || read.end;
  }

  // Whether the key took a turn (a blank or a line break does not).
  bool Act(const std::string& key) {
    const KeyOutcome outcome = commands_->Press(key);
    if (outcome.quit) {
      quit_ = true;
      Stop();
      session_->StopScenario();
      return true;
    }
    if (!outcome.note.empty()) reporter_->Note(outcome.note);
    if (outcome.show == KeyOutcome::Show::kKeys) Show(KeyHelp());
    if (outcome.show == KeyOutcome::Show::kCards) Show(TestCardList());
    return !outcome.note.empty() || outcome.show != KeyOutcome::Show::kNothing;
  }

  void Stop() { timer_->SetEnabled(false); }

  // A block for the person: with the events in text, on standard error beside JSON.
  void Show(const std::string& text) {
    if (json_) {
      err_ << text << std::flush;
    } else {
      reporter_->PrintText(text);
    }
  }

  const bool virtual_time_;
  const bool json_;
  std::ostream& err_;
  Session* session_ = nullptr;
  Reporter* reporter_ = nullptr;
  std::unique_ptr<posix::RawKeyboard> keyboard_;
  std::unique_ptr<KeyCommands> commands_;
  std::unique_ptr<Timer> timer_;
  KeySplitter splitter_;
  bool paced_ = false;
  bool ended_ = false;
  bool quit_ = false;
};

}  // namespace

void CheckKeyboardRun(const std::optional<std::string>& scenario_path, bool virtual_time) {
  if (scenario_path == "-") {
    throw UsageError(
        "the keys come from standard input, so the scenario cannot: give its file name");
  }
  if (virtual_time && posix::StandardInputIsTerminal()) {
    throw UsageError(
        "--virtual-time needs the keys from a pipe or a file: keys typed on a terminal come in "
        "real time");
  }
}

int RunKeyboardSession(MonitorConfig config, std::ostream& out, std::ostream& err) {
  // Lives until the port is closed: the keyboard stays raw that long and no longer.
  KeyboardDriver driver(config.virtual_time, config.report.json, err);
  config.driver = &driver;
  return RunMonitorSession(std::move(config), out, err);
}

int RunSimulate(CommandArgs raw, std::ostream& out, std::ostream& err) {
  static constexpr OptionSpec kSpecs[] = {
      {"help", OptionKind::kFlag},      {"json", OptionKind::kFlag},
      {"reveal", OptionKind::kFlag},    {"virtual-time", OptionKind::kFlag},
      {"duration", OptionKind::kValue}, {"record", OptionKind::kValue}};
  const Args args = ParseArgs(raw, kSpecs);
  if (HelpAsked(args, "simulate", out)) return kExitOk;
  ExpectPositionals(args, 0, 1, "usborva simulate [SCENARIO] [OPTIONS]");
  std::optional<std::string> path;
  if (!args.positionals().empty()) path = args.positionals()[0];
  CheckKeyboardRun(path, args.Has("virtual-time"));
  MonitorConfig config;
  config.scenario = path ? LoadSimulation(path) : scenario::ParseScenario("", kDefaultTerminal);
  config.virtual_time = args.Has("virtual-time");
  ReadRunOptions(args, config, out, err);
  return RunKeyboardSession(std::move(config), out, err);
}

}  // namespace usborva::cli
