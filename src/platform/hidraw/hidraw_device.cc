// SPDX-License-Identifier: Apache-2.0
#include "platform/hidraw/hidraw_device.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>
#include <utility>

#include "diagnostics/diagnostics.h"
#include "platform/hidraw/report_buffers.h"
#include "platform/hidraw/string_buffer.h"
#include "platform/hidraw/usbfs.h"
#include "platform/posix/retry_on_interrupt.h"
#include "usborva/variant.h"

namespace usborva::hidraw {
namespace {

// The length field of a hidraw ioctl number has 14 bits.
constexpr uint32_t kMaxIoctlLength = (1u << 14) - 1;
constexpr size_t kStringIoctlLength = 256;
// The kernel keeps this many input reports per open file.
constexpr size_t kQueueDepth = 64;

int OpenFlags(Access access) {
  switch (access) {
    case Access::kQuery:
      return O_PATH | O_CLOEXEC;
    case Access::kRead:
      return O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    case Access::kWrite:
      return O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    case Access::kReadWrite:
      break;
  }
  return O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
}

std::optional<std::u16string> NonEmptyUtf16(const std::optional<std::string>& text) {
  if (!text || text->empty()) return std::nullopt;
  // sysfs gives device strings as UTF-8; a corrupt one still reads as text (U+FFFD).
  return Utf8ToString(*text);
}

}  // namespace

uint32_t WinErrorFromErrno(int error, const char* operation, const std::string& path) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return kErrorFileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return kErrorAccessDenied;
    case EBADF:
      return kErrorInvalidHandle;
    case ENOMEM:
      return kErrorNotEnoughMemory;
    case EINVAL:
    case EFAULT:
      return kErrorInvalidParameter;
    case ENOTTY:
    case ENOSYS:
    case EOPNOTSUPP:
      return kErrorNotSupported;
    case EIO:
    case ENODEV:
    case ENXIO:
    case ENOTCONN:
    case ESHUTDOWN:
      return kErrorDeviceNotConnected;
    case EPIPE:      // the device stalled the request: it refuses that report
    case EPROTO:     // a USB protocol error on the transfer
    case ETIMEDOUT:  // the device did not answer the control transfer in time
      return kErrorGenFailure;
    default:
      break;
  }
  diagnostics::Note(DiagnosticTopic::kSystem, [&] {
    return "hidraw " + std::string(operation) + " " + path + ": unexpected errno " +
           std::to_string(error) + " (" + std::generic_category().message(error) +
           "), reported as error " + std::to_string(kErrorGenFailure);
  });
  return kErrorGenFailure;
}

ParsedDescriptor ParseDescriptorBytes(const std::vector<uint8_t>& bytes) {
  ParsedDescriptor parsed;
  parsed.status = ParseReportDescriptor(bytes, &parsed.caps);
  return parsed;
}

std::optional<HidrawDevice> HidrawDevice::Open(const std::string& path, Access access,
                                               const HidrawRoots& roots, uint32_t* error) {
  const int fd = posix::RetryOnInterrupt([&] { return open(path.c_str(), OpenFlags(access)); });
  if (fd < 0) {
    *error = WinErrorFromErrno(errno, "open", path);
    return std::nullopt;
  }
  NodeSysfs sysfs = LocateNodeSysfs(roots.sysfs_root, HidrawNameOfPath(path));
  HidrawDevice device(fd, access == Access::kQuery, path, std::move(sysfs), roots.dev_root);
  // The report layout is fixed at open, as the HID stack's preparsed data is: reports
  // queued before an unplug must still be readable after it.
  uint32_t ignored = 0;
  device.Descriptor(&ignored);
  return device;
}

HidrawDevice::HidrawDevice(int fd, bool query_only, std::string path, NodeSysfs sysfs,
                           std::string dev_root)
    : fd_(fd),
      query_only_(query_only),
      unplug_signal_(SystemUnplugSignal()),
      path_(std::move(path)),
      sysfs_(std::move(sysfs)),
      dev_root_(std::move(dev_root)) {}

HidrawDevice::HidrawDevice(HidrawDevice&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      query_only_(other.query_only_),
      unplug_signal_(other.unplug_signal_),
      path_(std::move(other.path_)),
      sysfs_(std::move(other.sysfs_)),
      dev_root_(std::move(other.dev_root_)),
      descriptor_(std::move(other.descriptor_)) {}

HidrawDevice& HidrawDevice::operator=(HidrawDevice&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    query_only_ = other.query_only_;
    unplug_signal_ = other.unplug_signal_;
    path_ = std::move(other.path_);
    sysfs_ = std::move(other.sysfs_);
    dev_root_ = std::move(other.dev_root_);
    descriptor_ = std::move(other.descriptor_);
  }
  return *this;
}

HidrawDevice::~HidrawDevice() {
  if (fd_ >= 0) close(fd_);
}

std::optional<HidUevent> HidrawDevice::Uevent() const {
  std::optional<std::string> text = ReadAttribute(sysfs_.hid_dir, "uevent");
  if (!text) return std::nullopt;
  return ParseHidUevent(*text);
}

bool HidrawDevice::ReadAttributes(HidAttributes* attributes, uint32_t* error) const {
  if (query_only_) {
    // No descriptor to ask: the kernel's own record of the device serves.
    std::optional<HidUevent> uevent = Uevent();
    if (!uevent || !uevent->has_id) {
      *error = kErrorGenFailure;
      return false;
    }
    attributes->VendorID = static_cast<uint16_t>(uevent->vendor);
    attributes->ProductID = static_cast<uint16_t>(uevent->product);
  } else {
    hidraw_devinfo info{};
    if (posix::RetryOnInterrupt([&] { return ioctl(fd_, HIDIOCGRAWINFO, &info); }) < 0) {
      *error = WinErrorFromErrno(errno, "HIDIOCGRAWINFO", path_);
      return false;
    }
    // The kernel's struct declares them signed; IDs of 0x8000 and up arrive negative.
    attributes->VendorID = static_cast<uint16_t>(info.vendor);
    attributes->ProductID = static_cast<uint16_t>(info.product);
  }
  attributes->VersionNumber = 0;
  uint32_t version = 0;
  if (std::optional<std::string> bcd = ReadAttribute(sysfs_.usb_device_dir, "bcdDevice");
      bcd && ParseHexField(*bcd, &version)) {
    attributes->VersionNumber = static_cast<uint16_t>(version);
  }
  return true;
}

std::optional<std::vector<uint8_t>> HidrawDevice::ReadDescriptorBytes(uint32_t* error) const {
  if (!query_only_) {
    int size = 0;
    if (ioctl(fd_, HIDIOCGRDESCSIZE, &size) == 0 && size > 0 && size <= HID_MAX_DESCRIPTOR_SIZE) {
      hidraw_report_descriptor descriptor{};
      descriptor.size = static_cast<uint32_t>(size);
      if (ioctl(fd_, HIDIOCGRDESC, &descriptor) == 0) {
        // Our size, not the answer's: the kernel fills exactly the size asked for.
        return std::vector<uint8_t>(descriptor.value, descriptor.value + size);
      }
    }
    *error = WinErrorFromErrno(errno, "HIDIOCGRDESC", path_);
    if (*error == kErrorDeviceNotConnected) return std::nullopt;
  }
  std::optional<std::string> bytes =
      sysfs_.hid_dir.empty()
          ? std::nullopt
          : ReadWholeFile(sysfs_.hid_dir + "/report_descriptor", HID_MAX_DESCRIPTOR_SIZE);
  if (!bytes) {
    *error = kErrorGenFailure;
    return std::nullopt;
  }
  return std::vector<uint8_t>(bytes->begin(), bytes->end());
}

const ParsedDescriptor* HidrawDevice::Descriptor(uint32_t* error) {
  if (!descriptor_) {
    std::optional<std::vector<uint8_t>> bytes = ReadDescriptorBytes(error);
    if (!bytes) return nullptr;
    descriptor_ = ParseDescriptorBytes(*bytes);
  }
  return &*descriptor_;
}

ReadStep HidrawDevice::ReadReport(uint8_t* buffer, uint32_t length, int timeout_ms,
                                  uint32_t* transferred, uint32_t* error) {
  if (query_only_) {
    *error = kErrorAccessDenied;
    return ReadStep::kFailed;
  }
  const ParsedDescriptor* descriptor = Descriptor(error);
  if (descriptor == nullptr) return ReadStep::kFailed;
  const uint32_t report_length = descriptor->caps.InputReportByteLength;
  if (descriptor->status != DescriptorStatus::kOk || report_length == 0 || buffer == nullptr ||
      length < report_length) {
    *error = kErrorInvalidParameter;
    return ReadStep::kFailed;
  }
  const auto& input_ids = descriptor->caps.report_ids[static_cast<size_t>(ReportKind::kInput)];
  // A report whose ID the descriptor gives no input never reaches the caller, as the HID
  // stack drops it. A whole queue of them is skipped in one call, so a device flooding
  // such reports cannot hold back a real one by more than one step.
  for (size_t skipped = 0; skipped <= kQueueDepth; ++skipped) {
    size_t count = 0;
    const ReadStep step = ReadOnce(buffer, report_length, descriptor->caps.numbered,
                                   skipped == 0 ? timeout_ms : 0, &count, error);
    if (step != ReadStep::kComplete) return step;
    if (descriptor->caps.numbered && !input_ids.test(buffer[0])) continue;
    std::memset(buffer + count, 0, report_length - count);
    *transferred = report_length;
    return ReadStep::kComplete;
  }
  return ReadStep::kNothing;
}

ReadStep HidrawDevice::ReadOnce(uint8_t* buffer, uint32_t report_length, bool numbered,
                                int timeout_ms, size_t* count, uint32_t* error) {
  // Where the kernel reports an unplug through read() itself, a step that does not wait is
  // one read(): the poll() before it would double the cost of every report.
  if (timeout_ms == 0 && unplug_signal_ == UnplugSignal::kRead) {
    return ReadDirect(buffer, report_length, numbered, count, error);
  }
  pollfd entry{fd_, POLLIN, 0};
  const int ready = poll(&entry, 1, timeout_ms);
  if (ready < 0) {
    if (errno == EINTR) return ReadStep::kNothing;
    *error = WinErrorFromErrno(errno, "poll", path_);
    return ReadStep::kFailed;
  }
  // Old kernels answer EAGAIN forever after an unplug; poll's error bits are the truth.
  const bool gone = (entry.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
  ssize_t received = -1;
  if (entry.revents & POLLIN) {
    // Reports queued before an unplug are still the device's: take them first. A report
    // longer than the caps is cut to them, as the kernel cuts it to our buffer.
    const size_t offset = InputReadOffset(numbered);
    received = read(fd_, buffer + offset, report_length - offset);
    if (received < 0 && errno != EAGAIN && errno != EINTR) {
      *error = WinErrorFromErrno(errno, "read", path_);
      return ReadStep::kFailed;
    }
  }
  if (received <= 0) {
    if (!gone) return ReadStep::kNothing;
    *error = kErrorDeviceNotConnected;
    return ReadStep::kFailed;
  }
  *count = CompleteInputRead(buffer, report_length, numbered, static_cast<size_t>(received));
  return ReadStep::kComplete;
}

ReadStep HidrawDevice::ReadDirect(uint8_t* buffer, uint32_t report_length, bool numbered,
                                  size_t* count, uint32_t* error) {
  // The kernel hands out reports queued before an unplug first, then answers EIO.
  const size_t offset = InputReadOffset(numbered);
  const ssize_t received = read(fd_, buffer + offset, report_length - offset);
  if (received < 0) {
    if (errno == EAGAIN || errno == EINTR) return ReadStep::kNothing;
    *error = WinErrorFromErrno(errno, "read", path_);
    return ReadStep::kFailed;
  }
  if (received == 0) return ReadStep::kNothing;
  *count = CompleteInputRead(buffer, report_length, numbered, static_cast<size_t>(received));
  return ReadStep::kComplete;
}

bool HidrawDevice::GetFeature(uint8_t* report, uint32_t length, uint32_t* error) {
  if (query_only_) {
    *error = kErrorAccessDenied;
    return false;
  }
  if (report == nullptr || length < 2 || length > kMaxIoctlLength) {
    *error = kErrorInvalidParameter;
    return false;
  }
  const int count =
      posix::RetryOnInterrupt([&] { return ioctl(fd_, HIDIOCGFEATURE(length), report); });
  if (count < 0) {
    *error = WinErrorFromErrno(errno, "HIDIOCGFEATURE", path_);
    return false;
  }
  uint32_t ignored = 0;
  const ParsedDescriptor* descriptor = Descriptor(&ignored);
  const bool unnumbered = descriptor != nullptr && descriptor->status == DescriptorStatus::kOk &&
                          !descriptor->caps.numbered;
  CompleteFeatureAnswer(report, length, count, unnumbered);
  return true;
}

bool HidrawDevice::SetFeature(const uint8_t* report, uint32_t length, uint32_t* error) {
  if (query_only_) {
    *error = kErrorAccessDenied;
    return false;
  }
  if (report == nullptr || length < 2 || length > kMaxIoctlLength) {
    *error = kErrorInvalidParameter;
    return false;
  }
  if (posix::RetryOnInterrupt([&] { return ioctl(fd_, HIDIOCSFEATURE(length), report); }) < 0) {
    *error = WinErrorFromErrno(errno, "HIDIOCSFEATURE", path_);
    return false;
  }
  return true;
}

std::optional<std::string> HidrawDevice::IoctlString(unsigned long request) const {
  if (query_only_) return std::nullopt;
  char text[kStringIoctlLength] = {};
  const int count = ioctl(fd_, request, text);
  if (count <= 0) return std::nullopt;
  // The count includes the NUL; a string cut at the buffer's end has none. A driver may
  // claim more than the buffer holds: the buffer is all there is.
  const size_t copied = std::min(static_cast<size_t>(count), sizeof text);
  return std::string(text, strnlen(text, copied));
}

std::optional<std::u16string> HidrawDevice::SerialNumber() const {
  if (auto serial = NonEmptyUtf16(ReadAttribute(sysfs_.usb_device_dir, "serial"))) return serial;
  if (auto uniq = NonEmptyUtf16(IoctlString(HIDIOCGRAWUNIQ(kStringIoctlLength)))) return uniq;
  std::optional<HidUevent> uevent = Uevent();
  return uevent ? NonEmptyUtf16(uevent->uniq) : std::nullopt;
}

std::optional<std::u16string> HidrawDevice::Product() const {
  if (auto product = NonEmptyUtf16(ReadAttribute(sysfs_.usb_device_dir, "product"))) {
    return product;
  }
  // HID_NAME is "manufacturer product" for USB devices: the best there is without sysfs.
  std::optional<HidUevent> uevent = Uevent();
  if (auto name = uevent ? NonEmptyUtf16(uevent->name) : std::nullopt) return name;
  return NonEmptyUtf16(IoctlString(HIDIOCGRAWNAME(kStringIoctlLength)));
}

std::optional<std::u16string> HidrawDevice::IndexedString(uint8_t index) const {
  if (sysfs_.usb_device_dir.empty()) return std::nullopt;
  return ReadUsbString(UsbfsPathOf(sysfs_.usb_device_dir, dev_root_), index);
}

}  // namespace usborva::hidraw
