// SPDX-License-Identifier: Apache-2.0
// The command dispatcher: picks the command, turns usage errors into exit status 2 with a
// pointer to the command's help, and keeps every failure on stderr.
#include <exception>
#include <iostream>
#include <new>
#include <ostream>
#include <string>
#include <vector>

#include "args.h"
#include "commands.h"
#include "debug_output.h"
#include "error_json.h"
#include "exit_codes.h"
#include "output.h"
#include "suggest.h"
#include "text.h"
#include "usborva/automation_error.h"
#include "usborva/text_guard.h"

namespace usborva::cli {
namespace {

using Command = int (*)(CommandArgs, std::ostream&, std::ostream&);

struct CommandEntry {
  std::string_view name;
  Command run;
};

constexpr CommandEntry kCommands[] = {
    {"demo", RunDemo},         {"monitor", RunMonitor}, {"simulate", RunSimulate},
    {"list", RunList},         {"send", RunSend},       {"card", RunCard},
    {"settings", RunSettings}, {"about", RunAbout},     {"version", RunVersion},
};

// "unknown command 'X'", with the closest command when one is near.
UsageError UnknownCommand(std::string_view name) {
  std::vector<std::string_view> names{"help"};
  for (const CommandEntry& command : kCommands) names.push_back(command.name);
  return UsageError("unknown command '" + QuoteForMessage(name) + "'" + DidYouMean(name, names));
}

int RunHelp(CommandArgs args, std::ostream& out) {
  static constexpr OptionSpec kSpecs[] = {{"help", OptionKind::kFlag}};
  const Args parsed = ParseArgs(args, kSpecs);
  if (HelpAsked(parsed, "help", out)) return kExitOk;
  ExpectPositionals(parsed, 0, 1, "usborva help [COMMAND]");
  const std::string command = parsed.positionals().empty() ? "" : parsed.positionals()[0];
  const std::string_view text = HelpText(command);
  if (text.empty()) throw UnknownCommand(command);
  out << text;
  return kExitOk;
}

// An option before the command ("usborva --json demo"): options belong to the command, so
// the message shows where this one goes.
UsageError OptionBeforeCommand(CommandArgs args) {
  const std::string& option = args[0];
  for (const std::string& arg : args.subspan(1)) {
    for (const CommandEntry& command : kCommands) {
      if (command.name != arg) continue;
      return UsageError("options go after the command: usborva " + arg + " " +
                        QuoteForMessage(option));
    }
  }
  static constexpr std::string_view kTopOptions[] = {"help", "version"};
  const size_t dashes = option.rfind('-', 1) + 1;
  return UsageError("unknown option " + QuoteForMessage(option) +
                    DidYouMean(std::string_view(option).substr(dashes), kTopOptions, "--"));
}

// What a message may quote of an exception's text.
constexpr size_t kMaxQuoted = 200;

int RunCommand(CommandArgs args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << HelpText("");
    return kExitUsage;
  }
  const std::string& first = args[0];
  if (first == "--version" || first == "-V") {
    PrintVersion(out);
    return kExitOk;
  }
  if (first == "--help" || first == "-h") {
    out << HelpText("");
    return kExitOk;
  }
  const CommandArgs rest = args.subspan(1);
  try {
    if (first == "help") return RunHelp(rest, out);
    for (const CommandEntry& command : kCommands) {
      if (command.name == first) return command.run(rest, out, err);
    }
    if (first.size() >= 2 && first[0] == '-') throw OptionBeforeCommand(args);
    throw UnknownCommand(first);
  } catch (const UsageError& error) {
    const bool known = !HelpText(first).empty() && first != "help";
    err << "usborva" << (known ? " " + first : std::string()) << ": " << error.what() << "\n"
        << "Run 'usborva help" << (known ? " " + first : std::string()) << "' for usage.\n";
    return kExitUsage;
  } catch (const AutomationError& error) {
    err << "usborva: " << error.what() << "\n";
    return kExitDeviceError;
  }
}

// The last line of defence: whatever escaped a command ends the run with one line and
// status 4, never an abort with a core dump of the card data in memory.
int ReportFailure(std::ostream& err, std::string_view what) {
  try {
    err << "usborva: " << what << "\n";
    err.flush();
  } catch (...) {
  }
  return kExitDeviceError;
}

}  // namespace

int RunTool(CommandArgs args, std::ostream& out, std::ostream& err) {
  try {
    GuardedStream guarded_out(out, &out == &std::cout && IsTerminal(1));
    GuardedStream guarded_err(err, false);
    std::string failure;
    try {
      const bool json = WantsJson(args);
      // Debug lines go to standard error as they come, never into a JSON error report.
      const DebugOutput debug(guarded_err);
      ErrorRecorder recorded_err(guarded_err);
      std::ostream& command_err = json ? static_cast<std::ostream&>(recorded_err) : guarded_err;
      const int status = RunCommand(args, guarded_out, command_err);
      if (json) {
        recorded_err.flush();
        recorded_err.Report(status, guarded_out);
      }
      guarded_out.Finish();
      guarded_err.Finish();
      return status;
    } catch (const std::bad_alloc&) {
      failure = "out of memory";
    } catch (const std::exception& error) {
      failure = "internal error: " + QuoteForMessage(error.what(), kMaxQuoted);
    } catch (...) {
      failure = "internal error";
    }
    return ReportFailure(guarded_err, failure);
  } catch (const std::bad_alloc&) {
    return ReportFailure(err, "out of memory");
  } catch (...) {
    return ReportFailure(err, "internal error");
  }
}

}  // namespace usborva::cli
