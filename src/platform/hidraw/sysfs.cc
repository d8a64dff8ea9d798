// SPDX-License-Identifier: Apache-2.0
#include "platform/hidraw/sysfs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/posix/retry_on_interrupt.h"
#include "usborva/hex_digits.h"

namespace usborva::hidraw {
namespace {

constexpr std::string_view kHidrawPrefix = "hidraw";

int HidrawNumberImpl(std::string_view name) {
  if (name.substr(0, kHidrawPrefix.size()) != kHidrawPrefix) return -1;
  std::string_view digits = name.substr(kHidrawPrefix.size());
  if (digits.empty() || digits.size() > 9) return -1;
  int number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return -1;
    number = number * 10 + (c - '0');
  }
  return number;
}

std::string ResolvedPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) return {};
  return resolved;
}

std::string ParentDir(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return "/";
  return path.substr(0, slash);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// HID_ID=BBBB:VVVVVVVV:PPPPPPPP.
bool ParseHidId(std::string_view value, HidUevent* uevent) {
  const size_t first = value.find(':');
  if (first == std::string_view::npos) return false;
  const size_t second = value.find(':', first + 1);
  if (second == std::string_view::npos) return false;
  return ParseHexField(value.substr(0, first), &uevent->bus) &&
         ParseHexField(value.substr(first + 1, second - first - 1), &uevent->vendor) &&
         ParseHexField(value.substr(second + 1), &uevent->product);
}

}  // namespace

int HidrawNumberOfName(std::string_view name) { return HidrawNumberImpl(name); }

bool ParseHexField(std::string_view text, uint32_t* value) {
  if (text.empty() || text.size() > 8) return false;
  uint32_t result = 0;
  for (char c : text) {
    const int digit = HexDigitValue(c);
    if (digit < 0) return false;
    result = result * 16 + static_cast<uint32_t>(digit);
  }
  *value = result;
  return true;
}

bool ListHidrawNodes(const std::string& sysfs_root, const std::string& dev_root,
                     std::vector<HidrawNode>* nodes) {
  nodes->clear();
  const std::string class_dir = sysfs_root + "/class/hidraw";
  DIR* dir = opendir(class_dir.c_str());
  if (dir == nullptr) return errno == ENOENT || errno == ENOTDIR;
  while (const dirent* entry = readdir(dir)) {
    const int number = HidrawNumberOfName(entry->d_name);
    if (number < 0) continue;
    nodes->push_back({number, entry->d_name, dev_root + "/" + entry->d_name, entry->d_ino});
  }
  closedir(dir);
  std::sort(nodes->begin(), nodes->end(),
            [](const HidrawNode& a, const HidrawNode& b) { return a.number < b.number; });
  return true;
}

std::string HidrawNameOfPath(const std::string& path) {
  std::string resolved = ResolvedPath(path);
  if (resolved.empty()) resolved = path;
  const size_t slash = resolved.find_last_of('/');
  std::string base = slash == std::string::npos ? resolved : resolved.substr(slash + 1);
  return HidrawNumberOfName(base) >= 0 ? base : std::string();
}

HidUevent ParseHidUevent(std::string_view text) {
  HidUevent uevent;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 1);
    if (key == "HID_ID") {
      uevent.has_id = ParseHidId(value, &uevent);
    } else if (key == "HID_NAME") {
      uevent.name = value;
    } else if (key == "HID_PHYS") {
      uevent.phys = value;
    } else if (key == "HID_UNIQ") {
      uevent.uniq = value;
    }
  }
  return uevent;
}

NodeSysfs LocateNodeSysfs(const std::string& sysfs_root, const std::string& node_name) {
  NodeSysfs located;
  if (node_name.empty()) return located;
  located.hid_dir = ResolvedPath(sysfs_root + "/class/hidraw/" + node_name + "/device");
  if (located.hid_dir.empty()) return located;
  // A USB HID device sits below its interface, which sits below the USB device.
  const std::string interface_dir = ParentDir(located.hid_dir);
  const std::string usb_device_dir = ParentDir(interface_dir);
  if (FileExists(interface_dir + "/bInterfaceNumber") && FileExists(usb_device_dir + "/idVendor")) {
    located.usb_device_dir = usb_device_dir;
  }
  return located;
}

std::optional<std::string> ReadWholeFile(const std::string& path, size_t max_bytes) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string contents;
  char chunk[4096];
  while (contents.size() < max_bytes) {
    const ssize_t n = posix::RetryOnInterrupt(
        [&] { return read(fd, chunk, std::min(sizeof chunk, max_bytes - contents.size())); });
    if (n < 0) {
      close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    contents.append(chunk, static_cast<size_t>(n));
  }
  close(fd);
  return contents;
}

std::optional<std::string> ReadAttribute(const std::string& dir, const char* name) {
  if (dir.empty()) return std::nullopt;
  std::optional<std::string> value = ReadWholeFile(dir + "/" + name);
  if (value && !value->empty() && value->back() == '\n') value->pop_back();
  return value;
}

}  // namespace usborva::hidraw
