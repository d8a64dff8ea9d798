// SPDX-License-Identifier: Apache-2.0
// send: feature-report exchanges through SetFeatureReport and GetFeatureReport.
#include <algorithm>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "args.h"
#include "commands.h"
#include "exit_codes.h"
#include "hex_command.h"
#include "json.h"
#include "monitor.h"
#include "report_layout.h"
#include "session.h"
#include "terminal_options.h"
#include "text.h"
#include "usborva/hid_system.h"
#include "usborva/last_error.h"

namespace usborva::cli {

namespace {

// What the methods' result means: 1 the terminal took the report, 0 it did not.
std::string ResultMeaning(int32_t result) {
  return result != 0 ? "(the terminal accepted the report)" : "(the exchange failed)";
}

void PrintExchange(bool get, const std::string& command, int32_t result, const Variant& output,
                   std::ostream& out) {
  const String shown = output.type() == VarType::kString ? output.string() : String();
  out << (get ? "Get " : "Set ") << command << "\n"
      << "OutPutData  " << (result != 0 ? Printable(shown) : "(not set: the exchange failed)")
      << "\n";
  const auto decoded = result != 0 ? DecodeOutPutData(StringToUtf8(shown)) : std::nullopt;
  if (decoded) out << Padded(decoded->label, 12) << decoded->bytes << "\n";
  out << "Result      " << result << " " << ResultMeaning(result) << "\n";
}

void PrintExchangeJson(bool get, const std::string& command, int32_t result, const Variant& output,
                       std::ostream& out) {
  JsonObject line;
  line.AddString("type", "exchange")
      .AddString("command", command)
      .AddString("method", get ? "GetFeatureReport" : "SetFeatureReport");
  line.AddInt("result", result);
  if (output.type() == VarType::kString) {
    line.AddString("OutPutData", output.string());
    if (const auto decoded = DecodeOutPutData(StringToUtf8(output.string()))) {
      line.AddObject("decoded",
                     JsonObject().AddString(decoded->label == "Data" ? "data" : "configuration",
                                            decoded->bytes));
    }
  } else {
    line.AddNull("OutPutData");
  }
  out << JsonLine(line) << "\n";
}

// One exchange through the open session: prints it and answers whether the terminal took
// it; a refusal is named on err with the method and the command.
bool Exchange(Session& session, bool get, const std::string& command, bool json, std::ostream& out,
              std::ostream& err) {
  Variant output;
  const String text = Utf8ToString(command);
  const int32_t result = get ? session.control().GetFeatureReport(text, output)
                             : session.control().SetFeatureReport(text, output);
  if (json) {
    PrintExchangeJson(get, command, result, output, out);
  } else {
    PrintExchange(get, command, result, output, out);
  }
  if (result == 0) {
    // The exchange is the last call the control made: the backend's last error is its own.
    err << "usborva: " << (get ? "GetFeatureReport" : "SetFeatureReport") << " " << command
        << ": the terminal did not accept the feature report ("
        << LastErrorText(ThreadHidSystem().GetLastError()) << ")\n";
  }
  return result != 0;
}

// A Get sends the report ID alone; what a 0x0E Get answers is the item the last Set chose,
// and a fresh session has chosen none.
void WarnLoneItemGet(const Args& args, std::ostream& err) {
  if (args.Has("set") || !IsItemReport(*args.Value("get"))) return;
  err << "usborva send: warning: a Get carries only the report ID, so the 0x0E item it reads "
         "is the one a Set selected; select it first: --set \""
      << *args.Value("get") << "\" --get 0E\n";
}

}  // namespace

int RunSend(CommandArgs raw, std::ostream& out, std::ostream& err) {
  static constexpr OptionSpec kSpecs[] = {{"help", OptionKind::kFlag},
                                          {"get", OptionKind::kValue},
                                          {"set", OptionKind::kValue},
                                          {"simulate", OptionKind::kOptionalValue},
                                          {"json", OptionKind::kFlag},
                                          {"reveal", OptionKind::kFlag},
                                          kDeviceOption,
                                          kSerialOption};
  const Args args = ParseArgs(raw, kSpecs);
  if (args.Has("help")) {
    out << HelpText("send");
    return kExitOk;
  }
  ExpectPositionals(args, 0, 0, "usborva send [--set COMMAND] [--get COMMAND]");
  if (args.Has("reveal")) WarnReveal(out, err);
  if (!args.Has("get") && !args.Has("set")) throw UsageError("give --get, --set, or both");
  // A Set selects what the terminal answers; the Get after it, in the same session, reads
  // it back (the terminal remembers the selection only while the port is open).
  std::vector<std::pair<bool, std::string>> exchanges;
  if (args.Has("set")) exchanges.emplace_back(false, *args.Value("set"));
  if (args.Has("get")) exchanges.emplace_back(true, *args.Value("get"));
  size_t longest = 0;
  for (const auto& [get, command] : exchanges)
    longest = std::max(longest, CheckHexCommand(command));
  if (args.Has("get")) WarnLoneItemGet(args, err);

  SessionOptions options;
  if (args.Has("simulate")) options.scenario = LoadSimulation(args.Value("simulate"));
  options.choice = ChoiceFromArgs(args);
  const TerminalChoice choice = options.choice;
  Session session(std::move(options));
  if (!session.Open()) {
    ReportNoTerminal(choice, ListCommandFor(args), err);
    return kExitNoTerminal;
  }
  const auto feature_length = static_cast<size_t>(session.tap().caps().FeatureReportByteLength);
  if (longest > feature_length) {
    throw UsageError("COMMAND is " + std::to_string(longest) +
                     " bytes; this terminal's feature reports hold " +
                     std::to_string(feature_length));
  }
  bool accepted = true;
  for (const auto& [get, command] : exchanges) {
    accepted = Exchange(session, get, command, args.Has("json"), out, err) && accepted;
  }
  session.Close();
  return accepted ? kExitOk : kExitDeviceError;
}

}  // namespace usborva::cli
