// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TESTS_HIDRAW_FAKE_SYSFS_H_
#define USBORVA_TESTS_HIDRAW_FAKE_SYSFS_H_

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace usborva::testing {

// The sysfs view of one hidraw device, as the kernel lays it out.
struct FakeSysfsDevice {
  uint32_t bus = 3;  // USB
  uint16_t vendor = 0;
  uint16_t product = 0;
  std::string hid_name;
  std::string hid_phys;
  std::string hid_uniq;
  std::vector<uint8_t> descriptor;
  // The USB device above the HID device (bus 3 only); absent attributes are not written.
  std::optional<std::string> usb_serial;
  std::optional<std::string> usb_product;
  std::optional<std::string> usb_manufacturer;
  uint16_t bcd_device = 0x0100;
  int busnum = 1;
  int devnum = 2;
};

// A fake sysfs tree under root: devices/.../<hid device>/hidraw/hidrawN and the
// class/hidraw/hidrawN link to it, with relative links as the kernel makes them.
class FakeSysfs {
 public:
  explicit FakeSysfs(std::string root);
  void Add(int number, const FakeSysfsDevice& device);
  void Remove(int number);
  const std::string& root() const { return root_; }

 private:
  std::string root_;
  std::map<int, std::string> device_trees_;  // what Remove deletes
  int next_hid_sequence_ = 1;
};

}  // namespace usborva::testing

#endif  // USBORVA_TESTS_HIDRAW_FAKE_SYSFS_H_
