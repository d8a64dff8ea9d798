// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_COMMANDS_H_
#define USBORVA_TOOLS_COMMANDS_H_

#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

#include "args.h"

namespace usborva::cli {

// Each command takes its arguments (after the command name) and returns the exit status.
// Usage errors are thrown as UsageError; everything else is reported on err.
using CommandArgs = std::span<const std::string>;

int RunDemo(CommandArgs args, std::ostream& out, std::ostream& err);
int RunMonitor(CommandArgs args, std::ostream& out, std::ostream& err);
int RunSimulate(CommandArgs args, std::ostream& out, std::ostream& err);
int RunList(CommandArgs args, std::ostream& out, std::ostream& err);
int RunSend(CommandArgs args, std::ostream& out, std::ostream& err);
int RunCard(CommandArgs args, std::ostream& out, std::ostream& err);
int RunSettings(CommandArgs args, std::ostream& out, std::ostream& err);
int RunAbout(CommandArgs args, std::ostream& out, std::ostream& err);
int RunVersion(CommandArgs args, std::ostream& out, std::ostream& err);

// The version, the revision built from, the backends built in, and where the configuration
// and the settings are looked for: one "name: value" line each after the first.
void PrintVersion(std::ostream& out);
// Where `settings` reads and saves; a note in parentheses when there is no home folder.
std::string SettingsFilePath();

// The whole tool: argv without the program name. Everything written to out and err passes
// the output guard (output.h); any exception that escapes a command ends the run with one
// line on err and status 4.
int RunTool(CommandArgs args, std::ostream& out, std::ostream& err);

// Usage text of a command ("" for the overview); empty view for an unknown command.
std::string_view HelpText(std::string_view command);

// --help given: the command's usage text goes to out and the answer is true, and the
// command then ends with kExitOk.
bool HelpAsked(const Args& args, std::string_view command, std::ostream& out);

// --reveal: the warning on stderr, and card numbers shown as they are on out from now on.
void WarnReveal(std::ostream& out, std::ostream& err);

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_COMMANDS_H_
