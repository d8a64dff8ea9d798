// SPDX-License-Identifier: Apache-2.0
#include "terminal_options.h"

#include <string_view>

#include "text.h"

namespace usborva::cli {
namespace {

// A word the shell reads back as it is: plain words stay, others are double-quoted (the
// hint itself stands in single quotes), or single-quoted when double quotes would expand.
std::string ShellWord(std::string_view word) {
  constexpr std::string_view kPlain =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_./:=@%+-,";
  if (!word.empty() && word.find_first_not_of(kPlain) == std::string_view::npos) {
    return std::string(word);
  }
  if (word.find_first_of("\"$`\\!'") == std::string_view::npos) {
    return "\"" + std::string(word) + "\"";
  }
  std::string quoted = "'";
  for (char c : word) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

std::string NonEmpty(const Args& args, std::string_view name) {
  const std::optional<std::string> value = args.Value(name);
  if (!value || value->empty()) throw UsageError("--" + std::string(name) + " needs a value");
  return *value;
}

}  // namespace

TerminalChoice ChoiceFromArgs(const Args& args) {
  TerminalChoice choice;
  if (args.Has("device")) choice.device_path = NonEmpty(args, "device");
  if (args.Has("serial")) choice.serial_number = Utf8ToString(NonEmpty(args, "serial"));
  return choice;
}

std::string ListCommandFor(const Args& args) {
  std::string command = "usborva list";
  if (args.Has("simulate")) {
    command += " --simulate";
    if (const auto scenario = args.Value("simulate")) command += " " + ShellWord(*scenario);
  }
  for (std::string_view name : {"device", "serial"}) {
    if (const auto value = args.Value(name)) {
      command += " --" + std::string(name) + " " + ShellWord(*value);
    }
  }
  return command;
}

// " with serial number S at PATH", as much of it as the choice names.
std::string ChoiceWords(const TerminalChoice& choice) {
  std::string words;
  if (!choice.serial_number.empty()) {
    words += " with serial number " + Printable(choice.serial_number);
  }
  if (!choice.device_path.empty()) words += " at " + Printable(choice.device_path);
  return words;
}

std::string WantedTerminal(const TerminalChoice& choice) {
  return "a supported terminal" + ChoiceWords(choice);
}

void ReportNoTerminal(const TerminalChoice& choice, const std::string& list_command,
                      std::ostream& err) {
  err << "usborva: no supported terminal found" << ChoiceWords(choice) << ".\n"
      << "  Run '" << list_command << "' to see the HID interfaces and why each is not used.\n";
}

}  // namespace usborva::cli
