// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_PLATFORM_HIDRAW_USBFS_H_
#define USBORVA_PLATFORM_HIDRAW_USBFS_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace usborva::hidraw {

// The text of a USB string descriptor (bLength, bDescriptorType 3, UTF-16LE), as far as
// both bLength and the received bytes reach; nullopt when it is not a string descriptor.
std::optional<std::u16string> DecodeStringDescriptor(std::span<const uint8_t> bytes);

// The usbfs node of the USB device whose sysfs directory is usb_device_dir
// (<dev_root>/bus/usb/BBB/DDD), or "" when sysfs does not give its bus and address.
std::string UsbfsPathOf(const std::string& usb_device_dir, const std::string& dev_root);

// Reads string index of the USB device through its usbfs node, in the device's first
// language. Needs the node open for writing (control transfers); nullopt on any failure.
std::optional<std::u16string> ReadUsbString(const std::string& usbfs_path, uint8_t index);

}  // namespace usborva::hidraw

#endif  // USBORVA_PLATFORM_HIDRAW_USBFS_H_
