// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TRANSPORT_TRANSPORT_H_
#define USBORVA_TRANSPORT_TRANSPORT_H_

#include <cstdint>
#include <string>

#include "hid_system/terminal_vendor.h"
#include "transport/device_record.h"
#include "usborva/discovery.h"

namespace usborva::transport {

using hid_system::kTerminalVendorId;
inline constexpr uint16_t kBuiltInProductIds[] = {0x4C21, 0x4C2B};
inline constexpr const char kConfigFileName[] = "QXORVA.cfg";

// Discovery, matching, open and close. All act on ThreadDeviceRecord() through
// ThreadHidSystem(); none throws. OpenDevice takes the first supported interface that
// choice also accepts; the default choice accepts every one.
void OpenDevice(const TerminalChoice& choice = {});
bool IsSupportedDevice(uint16_t vendor_id, uint16_t product_id);
void CloseDevice();

// The matching rules' verdict on a vendor and product ID: kSupported exactly when
// IsSupportedDevice is true, otherwise the rule that refuses it (kOtherVendor,
// kProductNotListed, kRefusedByConfigFile or kConfigFileUnusable). Reads the configuration
// file as IsSupportedDevice does.
InterfaceVerdict MatchDevice(uint16_t vendor_id, uint16_t product_id);
// The configuration file's section for a product ID: "PID_" and the ID in upper-case hex
// without leading zeros.
std::string ProductSection(uint16_t product_id);

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
