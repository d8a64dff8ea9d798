// SPDX-License-Identifier: Apache-2.0
#include "platform/hidraw/usbfs.h"

#include <fcntl.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/hidraw/sysfs.h"
#include "platform/posix/retry_on_interrupt.h"

namespace usborva::hidraw {
namespace {

constexpr uint8_t kDescriptorTypeString = 3;
constexpr uint8_t kRequestTypeDeviceIn = 0x80;
constexpr uint8_t kRequestGetDescriptor = 6;
// Control transfers run on the host's UI thread: a device that does not answer quickly
// must not stall it for long.
constexpr unsigned kControlTimeoutMs = 500;
constexpr uint16_t kLanguageEnglishUs = 0x0409;

// GET_DESCRIPTOR(string, index, language) into buffer; the byte count or -1.
int GetStringDescriptor(int fd, uint8_t index, uint16_t language, uint8_t (&buffer)[255]) {
  usbdevfs_ctrltransfer transfer{};
  transfer.bRequestType = kRequestTypeDeviceIn;
  transfer.bRequest = kRequestGetDescriptor;
  transfer.wValue = static_cast<uint16_t>((kDescriptorTypeString << 8) | index);
  transfer.wIndex = language;
  transfer.wLength = sizeof buffer;
  transfer.timeout = kControlTimeoutMs;
  transfer.data = buffer;
  return posix::RetryOnInterrupt([&] { return ioctl(fd, USBDEVFS_CONTROL, &transfer); });
}

bool ParseDecimal(const std::optional<std::string>& text, unsigned* value) {
  if (!text || text->empty()) return false;
  char* end = nullptr;
  const unsigned long parsed = std::strtoul(text->c_str(), &end, 10);
  if (*end != '\0' || parsed > 999) return false;
  *value = static_cast<unsigned>(parsed);
  return true;
}

}  // namespace

std::optional<std::u16string> DecodeStringDescriptor(std::span<const uint8_t> bytes) {
  if (bytes.size() < 2 || bytes[1] != kDescriptorTypeString || bytes[0] < 2) return std::nullopt;
  const size_t length = bytes[0] < bytes.size() ? bytes[0] : bytes.size();
  std::u16string text;
  for (size_t i = 2; i + 1 < length; i += 2) {
    text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
  }
  return text;
}

std::string UsbfsPathOf(const std::string& usb_device_dir, const std::string& dev_root) {
  unsigned bus = 0;
  unsigned address = 0;
  if (!ParseDecimal(ReadAttribute(usb_device_dir, "busnum"), &bus) ||
      !ParseDecimal(ReadAttribute(usb_device_dir, "devnum"), &address)) {
    return {};
  }
  char tail[32];
  std::snprintf(tail, sizeof tail, "/bus/usb/%03u/%03u", bus, address);
  return dev_root + tail;
}

std::optional<std::u16string> ReadUsbString(const std::string& usbfs_path, uint8_t index) {
  if (usbfs_path.empty() || index == 0) return std::nullopt;
  const int fd = open(usbfs_path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  uint8_t buffer[255];
  uint16_t language = kLanguageEnglishUs;
  // String 0 lists the languages; the device's first is the one it speaks.
  int count = GetStringDescriptor(fd, 0, 0, buffer);
  if (count >= 4 && buffer[1] == kDescriptorTypeString) {
    language = static_cast<uint16_t>(buffer[2] | (buffer[3] << 8));
  }
  count = GetStringDescriptor(fd, index, language, buffer);
  close(fd);
  if (count < 0) return std::nullopt;
  return DecodeStringDescriptor(std::span<const uint8_t>(buffer, static_cast<size_t>(count)));
}

}  // namespace usborva::hidraw
