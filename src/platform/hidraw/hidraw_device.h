// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_PLATFORM_HIDRAW_HIDRAW_DEVICE_H_
#define USBORVA_PLATFORM_HIDRAW_HIDRAW_DEVICE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/hidraw/report_descriptor.h"
#include "platform/hidraw/sysfs.h"
#include "platform/hidraw/unplug_signal.h"
#include "usborva/hid_system.h"
#include "usborva/hidraw_hid_system.h"

namespace usborva::hidraw {

// The Windows last-error code closest to an errno of the hidraw or file calls. An errno
// these calls are not expected to give becomes ERROR_GEN_FAILURE, and is first written to
// the debug channel with its context: operation (the call) and path (what it was made on).
uint32_t WinErrorFromErrno(int error, const char* operation, const std::string& path);

// A report descriptor as read from a device, with what its parse gave.
struct ParsedDescriptor {
  DescriptorStatus status = DescriptorStatus::kEmpty;
  DescriptorCaps caps;
};
ParsedDescriptor ParseDescriptorBytes(const std::vector<uint8_t>& bytes);

// The outcome of one non-blocking read step.
enum class ReadStep { kComplete, kNothing, kFailed };

// How a node is opened: the access the caller asked for.
enum class Access { kQuery, kRead, kWrite, kReadWrite };

// One open hidraw node. Owns its descriptor; the handle table owns the device.
class HidrawDevice {
 public:
  // Opens path non-blocking and close-on-exec with the access asked for; kQuery opens it
  // O_PATH (no permission on the node needed, no I/O possible). nullopt with *error set
  // when the node cannot be opened.
  static std::optional<HidrawDevice> Open(const std::string& path, Access access,
                                          const HidrawRoots& roots, uint32_t* error);
  HidrawDevice(HidrawDevice&& other) noexcept;
  HidrawDevice& operator=(HidrawDevice&& other) noexcept;
  HidrawDevice(const HidrawDevice&) = delete;
  HidrawDevice& operator=(const HidrawDevice&) = delete;
  ~HidrawDevice();

  bool query_only() const { return query_only_; }

  // Vendor, product (HIDIOCGRAWINFO, or sysfs for a query-only handle) and version
  // (bcdDevice of a USB device, else 0). False with *error on failure.
  bool ReadAttributes(HidAttributes* attributes, uint32_t* error) const;
  // The parsed report descriptor, read at the first call and kept.
  const ParsedDescriptor* Descriptor(uint32_t* error);

  // Takes the next queued input report into buffer, laid out as the HID stack does:
  // byte 0 = report ID (0 when unnumbered), then the data, zero-filled to the input
  // length. timeout_ms as for poll(); *transferred is the input length on success.
  ReadStep ReadReport(uint8_t* buffer, uint32_t length, int timeout_ms, uint32_t* transferred,
                      uint32_t* error);

  // Feature report get/set with the caller's length; false with *error on failure.
  bool GetFeature(uint8_t* report, uint32_t length, uint32_t* error);
  bool SetFeature(const uint8_t* report, uint32_t length, uint32_t* error);

  // Device strings as UTF-16, nullopt when the device has none.
  std::optional<std::u16string> SerialNumber() const;
  std::optional<std::u16string> Product() const;
  std::optional<std::u16string> IndexedString(uint8_t index) const;

 private:
  HidrawDevice(int fd, bool query_only, std::string path, NodeSysfs sysfs, std::string dev_root);
  std::optional<std::vector<uint8_t>> ReadDescriptorBytes(uint32_t* error) const;
  // One step of reading up to report_length bytes into buffer in the caller's layout: a
  // poll() and read(), or the read() alone where that step need not wait and the kernel
  // reports an unplug by read(); *count is the bytes filled (ID byte included) on kComplete.
  ReadStep ReadOnce(uint8_t* buffer, uint32_t report_length, bool numbered, int timeout_ms,
                    size_t* count, uint32_t* error);
  ReadStep ReadDirect(uint8_t* buffer, uint32_t report_length, bool numbered, size_t* count,
                      uint32_t* error);
  std::optional<std::string> IoctlString(unsigned long request) const;
  std::optional<HidUevent> Uevent() const;

  int fd_ = -1;
  bool query_only_ = false;
  // Fixed at open: how this node's reads learn of an unplug.
  UnplugSignal unplug_signal_ = UnplugSignal::kPoll;
  std::string path_;
  NodeSysfs sysfs_;
  std::string dev_root_;
  std::optional<ParsedDescriptor> descriptor_;
};

}  // namespace usborva::hidraw

#endif  // USBORVA_PLATFORM_HIDRAW_HIDRAW_DEVICE_H_
