// SPDX-License-Identifier: Apache-2.0
#include <array>
#include <optional>

#include "transport/transport.h"
#include "usborva/automation_error.h"
#include "usborva/hex_digits.h"
#include "usborva/variant.h"

namespace usborva::transport {
namespace {

constexpr uint32_t kProfileBufferSize = 2048;

// A configuration Boolean: "TRUE" / "FALSE" in any case, or a number (0 is false), read by
// the automation rules. nullopt for anything else.
std::optional<bool> ConfigBoolean(const std::string& section, const std::string& key) {
  std::string value = ReadConfigValue(section, key, "FALSE", kConfigFileName);
  String text;
  text.reserve(value.size());
  for (char c : value) text.push_back(static_cast<unsigned char>(c));
  try {
    return ToBoolean(Variant::FromString(std::move(text)));
  } catch (const AutomationError&) {
    return std::nullopt;
  }
}

}  // namespace

std::string ProductSection(uint16_t product_id) {
  std::string hex;
  do {
    hex.insert(hex.begin(), HexDigit(product_id));
    product_id >>= 4;
  } while (product_id != 0);
  return "PID_" + hex;
}

InterfaceVerdict MatchDevice(uint16_t vendor_id, uint16_t product_id) {
  if (vendor_id != kTerminalVendorId) return InterfaceVerdict::kOtherVendor;
  // A value that is no Boolean refuses the device: a broken file never lets one through.
  std::optional<bool> use_config_file = ConfigBoolean("Settings", "UseConfigFile");
  if (!use_config_file) return InterfaceVerdict::kConfigFileUnusable;
  if (*use_config_file) {
    return ConfigBoolean(ProductSection(product_id), "Active").value_or(false)
               ? InterfaceVerdict::kSupported
               : InterfaceVerdict::kRefusedByConfigFile;
  }
  for (uint16_t built_in : kBuiltInProductIds) {
    if (product_id == built_in) return InterfaceVerdict::kSupported;
  }
  return InterfaceVerdict::kProductNotListed;
}

bool IsSupportedDevice(uint16_t vendor_id, uint16_t product_id) {
  return MatchDevice(vendor_id, product_id) == InterfaceVerdict::kSupported;
}

std::string ReadConfigValue(const std::string& section, const std::string& key,
                            const std::string& default_value, const std::string& file_name) {
  std::string buffer(kProfileBufferSize, ' ');
  uint32_t copied = ThreadHidSystem().GetPrivateProfileStringA(
      section.c_str(), key.c_str(), default_value.c_str(), buffer.data(), kProfileBufferSize,
      file_name.c_str());
  buffer.resize(std::min(copied, kProfileBufferSize - 1));
  return buffer;
}

}  // namespace usborva::transport
