// SPDX-License-Identifier: Apache-2.0
#include "fake_sysfs.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace usborva::testing {
namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary) << contents;
}

std::string Hex(const char* format, unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

FakeSysfs::FakeSysfs(std::string root) : root_(std::move(root)) {
  fs::create_directories(fs::path(root_) / "class/hidraw");
}

void FakeSysfs::Add(int number, const FakeSysfsDevice& device) {
  const fs::path root(root_);
  fs::path tree;
  fs::path parent;
  if (device.bus == 3) {
    const std::string port = "1-" + std::to_string(number + 1);
    tree = root / "devices/pci0000:00/0000:00:14.0/usb1" / port;
    parent = tree / (port + ":1.0");
    fs::create_directories(parent);
    WriteFile(tree / "idVendor", Hex("%04x\n", device.vendor));
    WriteFile(tree / "idProduct", Hex("%04x\n", device.product));
    WriteFile(tree / "bcdDevice", Hex("%04x\n", device.bcd_device));
    WriteFile(tree / "busnum", std::to_string(device.busnum) + "\n");
    WriteFile(tree / "devnum", std::to_string(device.devnum) + "\n");
    if (device.usb_serial) WriteFile(tree / "serial", *device.usb_serial + "\n");
    if (device.usb_product) WriteFile(tree / "product", *device.usb_product + "\n");
    if (device.usb_manufacturer) {
      WriteFile(tree / "manufacturer", *device.usb_manufacturer + "\n");
    }
    WriteFile(parent / "bInterfaceNumber", "00\n");
  } else {
    tree = root / "devices/platform" / ("i2c_hid." + std::to_string(number));
    parent = tree;
    fs::create_directories(parent);
  }
  const std::string hid_name = Hex("%04X:", device.bus) + Hex("%04X:", device.vendor) +
                               Hex("%04X.", device.product) + Hex("%04X", next_hid_sequence_++);
  const fs::path hid_dir = parent / hid_name;
  const std::string node = "hidraw" + std::to_string(number);
  fs::create_directories(hid_dir / "hidraw" / node);
  WriteFile(hid_dir / "uevent",
            "DRIVER=hid-generic\nHID_ID=" + Hex("%04X:", device.bus) + Hex("%08X:", device.vendor) +
                Hex("%08X", device.product) + "\nHID_NAME=" + device.hid_name +
                "\nHID_PHYS=" + device.hid_phys + "\nHID_UNIQ=" + device.hid_uniq +
                "\nMODALIAS=hid:b0003g0001v00002A5Cp00004C21\n");
  WriteFile(hid_dir / "report_descriptor",
            std::string(device.descriptor.begin(), device.descriptor.end()));
  fs::create_directory_symlink("../../", hid_dir / "hidraw" / node / "device");
  fs::create_directory_symlink(fs::relative(hid_dir / "hidraw" / node, root / "class/hidraw"),
                               root / "class/hidraw" / node);
  device_trees_[number] = tree.string();
}

void FakeSysfs::Remove(int number) {
  auto it = device_trees_.find(number);
  if (it == device_trees_.end()) return;
  fs::remove(fs::path(root_) / "class/hidraw" / ("hidraw" + std::to_string(number)));
  fs::remove_all(it->second);
  device_trees_.erase(it);
}

}  // namespace usborva::testing
