// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_HID_SYSTEM_TERMINAL_VENDOR_H_
#define USBORVA_HID_SYSTEM_TERMINAL_VENDOR_H_

#include <cstdint>

namespace usborva::hid_system {

// The vendor ID of the terminal the transport looks for. Here, below the transport, because
// a backend that remembers what it learnt of other devices must keep the terminal's own
// interfaces out of that memory: their every candidacy is judged afresh.
inline constexpr uint16_t kTerminalVendorId = 0x2A5C;

}  // namespace usborva::hid_system

#endif  // USBORVA_HID_SYSTEM_TERMINAL_VENDOR_H_
