// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_PLATFORM_HIDRAW_SYSFS_H_
#define USBORVA_PLATFORM_HIDRAW_SYSFS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace usborva::hidraw {

// One hidraw node as sysfs lists it.
struct HidrawNode {
  int number = 0;           // N of hidrawN
  std::string name;         // "hidrawN"
  std::string device_path;  // the node under the device root
  // The inode of its class/hidraw entry as the listing gave it (0 where the file system
  // gives none): sysfs makes a new entry for every device it adds.
  uint64_t sysfs_ino = 0;
};

// N of "hidrawN", or -1 when name is not of that form.
int HidrawNumberOfName(std::string_view name);

// Lists <sysfs_root>/class/hidraw in hidraw-number order. A missing class directory (no
// hidraw support loaded) is an empty list; any other failure to read it returns false.
bool ListHidrawNodes(const std::string& sysfs_root, const std::string& dev_root,
                     std::vector<HidrawNode>* nodes);

// "hidrawN" when path (after resolving links) names a hidraw node, else "". The node is
// recognised by name, never by device number: an emulated node is a regular file.
std::string HidrawNameOfPath(const std::string& path);

// The values of a HID device's uevent file.
struct HidUevent {
  bool has_id = false;
  uint32_t bus = 0;
  uint32_t vendor = 0;
  uint32_t product = 0;
  std::string name;  // HID_NAME
  std::string phys;  // HID_PHYS
  std::string uniq;  // HID_UNIQ
};
HidUevent ParseHidUevent(std::string_view text);

// Parses text, one to eight hex digits in either case and nothing else (a sysfs number such
// as bcdDevice, or a field of HID_ID), into value; false and value untouched otherwise.
bool ParseHexField(std::string_view text, uint32_t* value);

// Where sysfs describes one node: its HID device directory and, for a USB device, the USB
// device directory two levels up. Empty strings where there is none.
struct NodeSysfs {
  std::string hid_dir;
  std::string usb_device_dir;
};
NodeSysfs LocateNodeSysfs(const std::string& sysfs_root, const std::string& node_name);

// The whole contents of a file (sysfs attributes are small; at most max_bytes are read).
std::optional<std::string> ReadWholeFile(const std::string& path, size_t max_bytes = 65536);
// A sysfs text attribute without its trailing newline; nullopt when absent or unreadable.
std::optional<std::string> ReadAttribute(const std::string& dir, const char* name);

}  // namespace usborva::hidraw

#endif  // USBORVA_PLATFORM_HIDRAW_SYSFS_H_
