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
#include "session.h"
#include "text.h"

namespace usborva::cli {

// One exchange through the open session: prints it and answers whether the terminal took it.
bool Exchange(Session& session, bool get, const std::string& command, bool json,
              std::ostream& out) {
  Variant output;
  const String text = Utf8ToString(command);
  const int32_t result = get ? session.control().GetFeatureReport(text, output)
                             : session.control().SetFeatureReport(text, output);
  const String shown = output.type() == VarType::kString ? output.string() : String();
  if (json) {
    JsonObject line;
    line.AddString("command", command)
        .AddString("method", get ? "GetFeatureReport" : "SetFeatureReport");
    line.AddInt("result", result);
    if (output.type() == VarType::kString) {
      line.AddString("OutPutData", shown);
    } else {
      line.AddNull("OutPutData");
    }
    out << line.str() << "\n";
  } else {
    out << (get ? "Get " : "Set ") << command << "\n"
        << "OutPutData  " << (result != 0 ? Printable(shown) : "(not set: the exchange failed)")
        << "\nResult      " << result << "\n";
  }
  return result != 0;
}

int RunSend(CommandArgs raw, std::ostream& out, std::ostream& err) {
  static constexpr OptionSpec kSpecs[] = {
      {"help", OptionKind::kFlag}, {"get", OptionKind::kValue},
      {"set", OptionKind::kValue}, {"simulate", OptionKind::kOptionalValue},
      {"json", OptionKind::kFlag}, {"reveal", OptionKind::kFlag}};
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

  SessionOptions options;
  if (args.Has("simulate")) options.scenario = LoadSimulation(args.Value("simulate"));
  Session session(std::move(options));
  if (!session.Open()) {
    err << "usborva: no supported terminal found.\n"
           "  Run 'usborva list' to see the HID interfaces and why each is not used.\n";
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
    accepted = Exchange(session, get, command, args.Has("json"), out) && accepted;
  }
  session.Close();
  if (!accepted) {
    err << "usborva: the terminal did not accept the feature report\n";
    return kExitDeviceError;
  }
  return kExitOk;
}

}  // namespace usborva::cli
