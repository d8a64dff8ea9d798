// SPDX-License-Identifier: Apache-2.0
// list: every HID interface the backend sees, and what the terminal's matching rules make
// of it, so a person can tell why a terminal is not used.
#include <array>
#include <optional>
#include <ostream>
#include <vector>

#include "args.h"
#include "commands.h"
#include "exit_codes.h"
#include "hid_system/ini_file.h"
#include "json.h"
#include "monitor.h"
#include "session.h"
#include "text.h"
#include "transport/transport.h"
#include "udev_fix.h"
#include "usborva/convert.h"

namespace usborva::cli {
namespace {

constexpr uint32_t kStringBytes = 128;

struct Listed {
  std::string path;
  bool identified = false;  // the attributes could be read
  uint16_t vendor_id = 0;
  uint16_t product_id = 0;
  std::optional<String> product;
  std::optional<String> serial;
  bool supported = false;
  bool openable = false;
  std::string reason;  // empty: supported and openable
};

std::string Hex4(uint16_t value) {
  // Lower case, as lsusb and udev rules write USB IDs.
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(4, '0');
  for (int i = 3; i >= 0; --i, value >>= 4) text[static_cast<size_t>(i)] = kDigits[value & 0xF];
  return text;
}

std::optional<String> ReadString(HidSystem& hid, Handle device, bool product) {
  std::array<uint8_t, kStringBytes + 2> buffer{};
  const bool ok = product ? hid.HidD_GetProductString(device, buffer.data(), kStringBytes)
                          : hid.HidD_GetSerialNumberString(device, buffer.data(), kStringBytes);
  if (!ok) return std::nullopt;
  String text;
  for (size_t i = 0; i + 1 < kStringBytes; i += 2) {
    const auto unit = static_cast<char16_t>(buffer[i] | buffer[i + 1] << 8);
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

std::string ErrorText(uint32_t error) {
  switch (error) {
    case kErrorAccessDenied:
      return "permission denied";
    case kErrorFileNotFound:
      return "no such device";
    case kErrorDeviceNotConnected:
      return "the device is gone";
    default:
      return "error " + std::to_string(error);
  }
}

// Why the matching rules refuse the device, in the words of the rules.
std::string Refusal(uint16_t vendor_id, uint16_t product_id) {
  if (vendor_id != transport::kTerminalVendorId) return "other vendor";
  const std::string use_file =
      transport::ReadConfigValue("Settings", "UseConfigFile", "FALSE", transport::kConfigFileName);
  try {
    if (!ToBoolean(Variant::FromString(Utf8ToString(use_file)))) {
      return "product not in the list (a configuration file can add it)";
    }
  } catch (const AutomationError&) {
    // A file that exists but cannot be read refuses every terminal; say what is wrong.
    const std::string problem = hid_system::ConfigFileProblem(transport::kConfigFileName);
    if (!problem.empty()) return "refused: the configuration file is unusable (" + problem + ")";
    return "refused by the configuration file (UseConfigFile is neither TRUE nor FALSE)";
  }
  return "refused by the configuration file ([PID_" +
         StringToUtf8(convert::FormatReaderID(static_cast<int16_t>(product_id))) +
         "] Active is not TRUE)";
}

Listed Inspect(HidSystem& hid, const std::string& path) {
  Listed item;
  item.path = path;
  SecurityAttributes security{12, 0, 0};
  const uint32_t share = kFileShareRead | kFileShareWrite;
  const Handle query =
      hid.CreateFileA(path.c_str(), 0, share, &security, kOpenExisting, kFileFlagOverlapped);
  if (query == kInvalidHandleValue) {
    item.reason = "cannot be opened (" + ErrorText(hid.GetLastError()) + ")";
    return item;
  }
  HidAttributes attributes;
  attributes.Size = 12;
  item.identified = hid.HidD_GetAttributes(query, &attributes);
  item.vendor_id = attributes.VendorID;
  item.product_id = attributes.ProductID;
  item.product = ReadString(hid, query, true);
  item.serial = ReadString(hid, query, false);
  hid.CloseHandle(query);
  if (!item.identified) {
    item.reason = "cannot be identified (" + ErrorText(hid.GetLastError()) + ")";
    return item;
  }
  item.supported = transport::IsSupportedDevice(item.vendor_id, item.product_id);
  if (!item.supported) {
    item.reason = Refusal(item.vendor_id, item.product_id);
    return item;
  }
  const Handle device = hid.CreateFileA(path.c_str(), kGenericRead | kGenericWrite, share,
                                        &security, kOpenExisting, kFileFlagOverlapped);
  item.openable = device != kInvalidHandleValue;
  if (item.openable) {
    hid.CloseHandle(device);
  } else {
    item.reason = "supported, but cannot be opened for reading and writing (" +
                  ErrorText(hid.GetLastError()) + ")";
  }
  return item;
}

std::vector<Listed> Enumerate(HidSystem& hid) {
  std::vector<Listed> listed;
  Guid guid;
  hid.HidD_GetHidGuid(&guid);
  const Handle set = hid.SetupDiGetClassDevsA(guid, kDigcfPresent | kDigcfDeviceInterface);
  if (set == kInvalidHandleValue) return listed;
  for (int32_t index = 0;; ++index) {
    DeviceInterfaceData data;
    data.cbSize = 28;
    if (!hid.SetupDiEnumDeviceInterfaces(set, guid, index, &data)) break;
    uint32_t required = 0;
    hid.SetupDiGetDeviceInterfaceDetailA(set, data, nullptr, 0, &required);
    if (required < 5 || required > 64 * 1024) continue;
    std::vector<uint8_t> detail(required + 1, 0);
    const uint32_t header = 5;
    std::copy_n(reinterpret_cast<const uint8_t*>(&header), sizeof header, detail.data());
    if (!hid.SetupDiGetDeviceInterfaceDetailA(set, data, detail.data(), required, &required)) {
      continue;
    }
    listed.push_back(Inspect(hid, reinterpret_cast<const char*>(detail.data() + 4)));
  }
  hid.SetupDiDestroyDeviceInfoList(set);
  return listed;
}

std::string Status(const Listed& item) { return item.reason.empty() ? "supported" : item.reason; }

void PrintTable(const std::vector<Listed>& items, std::ostream& out) {
  if (items.empty()) {
    out << "No HID interfaces found.\n";
    return;
  }
  size_t path_width = 4, product_width = 7, serial_width = 6;
  for (const Listed& item : items) {
    path_width = std::max(path_width, DisplayWidth(Printable(item.path)));
    product_width = std::max(product_width, DisplayWidth(Printable(item.product.value_or(u""))));
    serial_width = std::max(serial_width, DisplayWidth(Printable(item.serial.value_or(u""))));
  }
  out << Padded("PATH", path_width + 2) << Padded("ID", 11) << Padded("PRODUCT", product_width + 2)
      << Padded("SERIAL", serial_width + 2) << "STATUS\n";
  for (const Listed& item : items) {
    const std::string id =
        item.identified ? Hex4(item.vendor_id) + ":" + Hex4(item.product_id) : "?";
    out << Padded(Printable(item.path), path_width + 2) << Padded(id, 11)
        << Padded(Printable(item.product.value_or(u"")), product_width + 2)
        << Padded(Printable(item.serial.value_or(u"")), serial_width + 2) << Status(item) << "\n";
  }
}

void PrintJson(const std::vector<Listed>& items, std::ostream& out) {
  for (const Listed& item : items) {
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

}  // namespace

int RunList(CommandArgs raw, std::ostream& out, std::ostream& err) {
  static constexpr OptionSpec kSpecs[] = {{"help", OptionKind::kFlag},
                                          {"json", OptionKind::kFlag},
                                          {"simulate", OptionKind::kOptionalValue},
                                          {"reveal", OptionKind::kFlag}};
  const Args args = ParseArgs(raw, kSpecs);
  if (args.Has("help")) {
    out << HelpText("list");
    return kExitOk;
  }
  ExpectPositionals(args, 0, 0, "usborva list [--json] [--reveal] [--simulate [SCENARIO]]");
  if (args.Has("reveal")) WarnReveal(out, err);
  SessionOptions options;
  if (args.Has("simulate")) options.scenario = LoadSimulation(args.Value("simulate"));
  Session session(std::move(options));
  const std::vector<Listed> items = Enumerate(session.tap());
  if (args.Has("json")) {
    PrintJson(items, out);
  } else {
    PrintTable(items, out);
  }
  bool any_supported = false;
  bool any_openable = false;
  for (const Listed& item : items) {
    any_supported = any_supported || item.supported;
    any_openable = any_openable || item.openable;
  }
  if (any_openable) return kExitOk;
  if (!any_supported) {
    err << "usborva: no supported terminal among the HID interfaces.\n";
    return kExitNoTerminal;
  }
  err << "usborva: the terminal is there but cannot be opened for reading and writing.\n"
      << UdevFix(InstalledUdevRule());
  return kExitDeviceError;
}

}  // namespace usborva::cli
