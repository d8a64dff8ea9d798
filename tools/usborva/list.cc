// SPDX-License-Identifier: Apache-2.0
// list: every HID interface the backend sees, and what the terminal's discovery makes of
// it, so a person can tell why a terminal is not used. The verdicts and reasons are the
// transport's own (SurveyHidInterfaces); this file only lays them out.
#include <algorithm>
#include <ostream>
#include <vector>

#include "args.h"
#include "commands.h"
#include "exit_codes.h"
#include "hid_system/ini_file.h"
#include "json.h"
#include "monitor.h"
#include "session.h"
#include "terminal_options.h"
#include "text.h"
#include "udev_fix.h"
#include "usborva/discovery.h"
#include "usborva/hex_digits.h"

namespace usborva::cli {
namespace {

std::string Hex4(uint16_t value) {
  // Lower case, as lsusb and udev rules write USB IDs.
  std::string text(4, '0');
  for (int i = 3; i >= 0; --i, value >>= 4) text[static_cast<size_t>(i)] = LowerHexDigit(value);
  return text;
}

std::string Status(const DiscoveredInterface& item) {
  return item.reason.empty() ? "supported" : item.reason;
}

void PrintTable(const std::vector<DiscoveredInterface>& items, std::ostream& out) {
  if (items.empty()) {
    out << "No HID interfaces found.\n";
    return;
  }
  size_t path_width = 4, product_width = 7, serial_width = 6;
  for (const DiscoveredInterface& item : items) {
    path_width = std::max(path_width, DisplayWidth(Printable(item.path)));
    product_width = std::max(product_width, DisplayWidth(Printable(item.product.value_or(u""))));
    serial_width = std::max(serial_width, DisplayWidth(Printable(item.serial.value_or(u""))));
  }
  out << Padded("PATH", path_width + 2) << Padded("ID", 11) << Padded("PRODUCT", product_width + 2)
      << Padded("SERIAL", serial_width + 2) << "STATUS\n";
  for (const DiscoveredInterface& item : items) {
    const std::string id =
        item.identified ? Hex4(item.vendor_id) + ":" + Hex4(item.product_id) : "?";
    out << Padded(Printable(item.path), path_width + 2) << Padded(id, 11)
        << Padded(Printable(item.product.value_or(u"")), product_width + 2)
        << Padded(Printable(item.serial.value_or(u"")), serial_width + 2) << Status(item) << "\n";
  }
}

void PrintJson(const std::vector<DiscoveredInterface>& items, std::ostream& out) {
  for (const DiscoveredInterface& item : items) {
    JsonObject line;
    line.AddString("path", item.path);
    if (item.identified) {
      line.AddString("vendor_id", Hex4(item.vendor_id))
          .AddString("product_id", Hex4(item.product_id));
    } else {
      line.AddNull("vendor_id").AddNull("product_id");
    }
    item.product ? line.AddString("product", *item.product) : line.AddNull("product");
    item.serial ? line.AddString("serial", *item.serial) : line.AddNull("serial");
    line.AddBool("supported", item.supported).AddBool("openable", item.openable);
    item.reason.empty() ? line.AddNull("reason") : line.AddString("reason", item.reason);
    out << JsonLine(line) << "\n";
  }
}

// With two or more usable terminals and no choice, the first wins: say which, and how to
// choose another.
void PrintTaken(const std::vector<DiscoveredInterface>& items, bool json, std::ostream& out) {
  const auto usable = std::count_if(items.begin(), items.end(), [](const auto& item) {
    return item.verdict == InterfaceVerdict::kSupported;
  });
  const auto taken =
      std::find_if(items.begin(), items.end(), [](const auto& i) { return i.taken; });
  if (usable < 2 || taken == items.end()) return;
  if (json) {
    out << JsonLine(JsonObject().AddString("type", "taken").AddString("path", taken->path)) << "\n";
    return;
  }
  out << "\n"
      << usable << " supported terminals: the control takes the first, " << Printable(taken->path)
      << ".\n"
      << "Choose another with --device PATH or --serial SERIAL.\n";
}

bool Any(const std::vector<DiscoveredInterface>& items, InterfaceVerdict verdict) {
  return std::any_of(items.begin(), items.end(),
                     [verdict](const auto& item) { return item.verdict == verdict; });
}

// The exit status, and on err why no terminal can be used.
int Conclude(const std::vector<DiscoveredInterface>& items, const TerminalChoice& choice,
             std::ostream& err) {
  const auto taken =
      std::find_if(items.begin(), items.end(), [](const auto& i) { return i.taken; });
  if (taken != items.end() && taken->openable) return kExitOk;
  if (taken != items.end()) {
    err << "usborva: the terminal is there but cannot be opened for reading and writing.\n"
        << UdevFix(InstalledUdevRule());
    return kExitDeviceError;
  }
  if (Any(items, InterfaceVerdict::kNoCapabilities)) {
    err << "usborva: the terminal is there but its capabilities cannot be read.\n";
    return kExitDeviceError;
  }
  err << "usborva: no supported terminal" << ChoiceWords(choice) << " among the HID interfaces.\n";
  return kExitNoTerminal;
}

}  // namespace

int RunList(CommandArgs raw, std::ostream& out, std::ostream& err) {
  static constexpr OptionSpec kSpecs[] = {{"help", OptionKind::kFlag},
                                          {"json", OptionKind::kFlag},
                                          {"simulate", OptionKind::kOptionalValue},
                                          {"reveal", OptionKind::kFlag},
                                          kDeviceOption,
                                          kSerialOption};
  const Args args = ParseArgs(raw, kSpecs);
  if (args.Has("help")) {
    out << HelpText("list");
    return kExitOk;
  }
  ExpectPositionals(args, 0, 0,
                    "usborva list [--json] [--reveal] [--simulate [SCENARIO]] [--device PATH] "
                    "[--serial S]");
  if (args.Has("reveal")) WarnReveal(out, err);
  const TerminalChoice choice = ChoiceFromArgs(args);
  SessionOptions options;
  if (args.Has("simulate")) options.scenario = LoadSimulation(args.Value("simulate"));
  // The session installs the backend (or the simulated machine) the control would use.
  Session session(std::move(options));
  const std::vector<DiscoveredInterface> items = SurveyHidInterfaces(choice);
  if (args.Has("json")) {
    PrintJson(items, out);
  } else {
    PrintTable(items, out);
  }
  if (choice.Any()) PrintTaken(items, args.Has("json"), out);
  return Conclude(items, choice, err);
}

}  // namespace usborva::cli
