// The command dispatcher: picks the command, turns usage errors into exit status 2 with a
// pointer to the command's help, and keeps every failure on stderr.
#include <ostream>

#include "args.h"
#include "commands.h"
#include "exit_codes.h"
#include "usborva/automation_error.h"

#ifndef USBORVA_VERSION
#define USBORVA_VERSION "0.0.0"
#endif

namespace usborva::cli {
namespace {

using Command = int (*)(CommandArgs, std::ostream&, std::ostream&);

struct CommandEntry {
  std::string_view name;
  Command run;
};

constexpr CommandEntry kCommands[] = {
    {"demo", RunDemo}, {"monitor", RunMonitor},   {"list", RunList},   {"send", RunSend},
    {"card", RunCard}, {"settings", RunSettings}, {"about", RunAbout},
};

int RunHelp(CommandArgs args, std::ostream& out) {
  const Args parsed = ParseArgs(args, std::span<const OptionSpec>{});
  ExpectPositionals(parsed, 0, 1, "usborva help [COMMAND]");
  const std::string command = parsed.positionals().empty() ? "" : parsed.positionals()[0];
  const std::string_view text = HelpText(command);
  if (text.empty()) throw UsageError("unknown command '" + command + "'");
  out << text;
  return kExitOk;
}

}  // namespace

int RunTool(CommandArgs args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << HelpText("");
    return kExitUsage;
  }
  const std::string& first = args[0];
  if (first == "--version") {
    out << "usborva " << USBORVA_VERSION << "\n";
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
    throw UsageError("unknown command '" + first + "'");
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

}  // namespace usborva::cli
