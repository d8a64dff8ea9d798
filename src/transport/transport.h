// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TRANSPORT_TRANSPORT_H_
#define USBORVA_TRANSPORT_TRANSPORT_H_

#include <cstdint>
#include <string>

#include "transport/device_record.h"

namespace usborva::transport {

inline constexpr uint16_t kTerminalVendorId = 0x2A5C;
inline constexpr uint16_t kBuiltInProductIds[] = {0x4C21, 0x4C2B};
inline constexpr const char kConfigFileName[] = "QXORVA.cfg";

// The matching rules' verdict on one vendor and product ID; IsSupportedDevice is true
// exactly for kSupported. Reads the configuration file as IsSupportedDevice does.
enum class MatchVerdict : uint8_t {
  kSupported,
  kOtherVendor,
  kNotInBuiltInList,     // no configuration file in use, and not a built-in product ID
  kRefusedByConfigFile,  // the file is in use and its product section is not active
  kConfigFileUnusable,   // UseConfigFile is no Boolean: every terminal is refused
};
MatchVerdict JudgeDevice(uint16_t vendor_id, uint16_t product_id);

// Discovery, matching, open and close. All act on ThreadDeviceRecord() through
// ThreadHidSystem(); none throws.
void OpenDevice();
bool IsSupportedDevice(uint16_t vendor_id, uint16_t product_id);
void CloseDevice();

// The input report reader.
bool InitTransport();
void SizeInputBuffer();
bool ReadInputReport();
void CloseReadEvent();

// The value of key in section of the INI file, or default_value.
std::string ReadConfigValue(const std::string& section, const std::string& key,
                            const std::string& default_value, const std::string& file_name);

}  // namespace usborva::transport

#endif  // USBORVA_TRANSPORT_TRANSPORT_H_
