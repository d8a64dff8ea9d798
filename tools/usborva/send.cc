// send: one feature-report exchange through GetFeatureReport or SetFeatureReport.
#include <ostream>

#include "args.h"
#include "commands.h"
#include "exit_codes.h"
#include "json.h"
#include "monitor.h"
#include "session.h"
#include "text.h"

namespace usborva::cli {
namespace {

// The command as the control will read it: spaces anywhere, hexadecimal digits in pairs
// (an odd last digit is a byte of its own). Returns its byte count; anything else is a
// usage error, so a typing mistake is never sent as a silent 0.
size_t CheckCommand(const std::string& command) {
  size_t digits = 0;
  for (size_t i = 0; i < command.size(); ++i) {
    const char c = command[i];
    if (c == ' ') continue;
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex) {
      throw UsageError("COMMAND must be hexadecimal bytes such as \"0E 10\"; '" +
                       Printable(std::string_view(&c, 1)) + "' at position " +
                       std::to_string(i + 1) + " is not a hex digit");
    }
    ++digits;
  }
  if (digits == 0) throw UsageError("COMMAND is empty: give at least the report ID");
  return (digits + 1) / 2;
}

}  // namespace

int RunSend(CommandArgs raw, std::ostream& out, std::ostream& err) {
  static constexpr OptionSpec kSpecs[] = {{"help", OptionKind::kFlag},
                                          {"get", OptionKind::kValue},
                                          {"set", OptionKind::kValue},
                                          {"simulate", OptionKind::kOptionalValue},
                                          {"json", OptionKind::kFlag}};
  const Args args = ParseArgs(raw, kSpecs);
  if (args.Has("help")) {
    out << HelpText("send");
    return kExitOk;
  }
  ExpectPositionals(args, 0, 0, "usborva send (--get|--set) COMMAND");
  if (args.Has("get") == args.Has("set")) throw UsageError("give one of --get or --set");
  const bool get = args.Has("get");
  const std::string command = *args.Value(get ? "get" : "set");
  const size_t bytes = CheckCommand(command);

  SessionOptions options;
  if (args.Has("simulate")) options.scenario = LoadSimulation(args.Value("simulate"));
  Session session(std::move(options));
  if (!session.Open()) {
    err << "usborva: no supported terminal found.\n"
           "  Run 'usborva list' to see the HID interfaces and why each is not used.\n";
    return kExitNoTerminal;
  }
  const auto feature_length = static_cast<size_t>(session.tap().caps().FeatureReportByteLength);
  if (bytes > feature_length) {
    throw UsageError("COMMAND is " + std::to_string(bytes) +
                     " bytes; this terminal's feature "
                     "reports hold " +
                     std::to_string(feature_length));
  }
  Variant output;
  const String text = Utf8ToString(command);
  const int32_t result = get ? session.control().GetFeatureReport(text, output)
                             : session.control().SetFeatureReport(text, output);
  session.Close();
  const String shown = output.type() == VarType::kString ? output.string() : String();
  if (args.Has("json")) {
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
    out << "OutPutData  " << (result != 0 ? Printable(shown) : "(not set: the exchange failed)")
        << "\nResult      " << result << "\n";
  }
  if (result == 0) {
    err << "usborva: the terminal did not accept the feature report\n";
    return kExitDeviceError;
  }
  return kExitOk;
}

}  // namespace usborva::cli
