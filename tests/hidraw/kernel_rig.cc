// SPDX-License-Identifier: Apache-2.0
#include "kernel_rig.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace usborva::testing {
namespace {

namespace fs = std::filesystem;

std::string Unavailable() {
  if (geteuid() != 0) return "needs root to mount the emulated hidraw nodes";
  const int fd = open("/dev/fuse", O_RDWR | O_CLOEXEC);
  if (fd < 0) return std::string("/dev/fuse unavailable: ") + std::strerror(errno);
  close(fd);
  return {};
}

}  // namespace

std::unique_ptr<KernelRig> KernelRig::Create(std::string* reason) {
  *reason = Unavailable();
  if (!reason->empty()) return nullptr;
  char pattern[] = "/tmp/usborva-hidraw-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    *reason = std::string("mkdtemp: ") + std::strerror(errno);
    return nullptr;
  }
  std::unique_ptr<KernelRig> rig(new KernelRig());
  rig->dir_ = pattern;
  fs::create_directories(rig->dir_ + "/dev");
  fs::create_directories(rig->dir_ + "/etc");
  rig->sysfs_ = std::make_unique<FakeSysfs>(rig->dir_ + "/sys");
  rig->fs_ = FakeHidrawFs::Mount(rig->dir_ + "/dev", reason);
  if (rig->fs_ == nullptr) return nullptr;
  return rig;
}

KernelRig::~KernelRig() {
  fs_.reset();  // unmount before the tree goes
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
}

FakeNode KernelRig::NodeOf(const RigDevice& device) {
  FakeNode node;
  node.bus = device.bus;
  node.vendor = device.vendor;
  node.product = device.product;
  node.descriptor = device.descriptor;
  node.name = device.hid_name;
  node.uniq = device.hid_uniq;
  node.refuse_open = device.refuse_open;
  return node;
}

void KernelRig::Plug(int number, const RigDevice& device) {
  FakeNode node = NodeOf(device);
  FakeSysfsDevice sysfs;
  sysfs.bus = device.bus;
  sysfs.vendor = device.vendor;
  sysfs.product = device.product;
  sysfs.hid_name = device.hid_name;
  sysfs.hid_uniq = device.hid_uniq;
  sysfs.descriptor = device.descriptor;
  sysfs.usb_serial = device.usb_serial;
  sysfs.usb_product = device.usb_product;
  sysfs.devnum = number + 2;
  sysfs_->Add(number, sysfs);
  fs_->AddNode(number, std::move(node));
}

void KernelRig::Unplug(int number) {
  fs_->Unplug(number);
  sysfs_->Remove(number);
}

HidrawRoots KernelRig::roots() const { return HidrawRoots{dir_ + "/sys", dir_ + "/dev"}; }

std::string KernelRig::NodePath(int number) const {
  return dir_ + "/dev/hidraw" + std::to_string(number);
}

void KernelRig::WriteConfig(const std::string& contents) const {
  std::ofstream(ConfigDir() + "/QXORVA.cfg") << contents;
}

void KernelPathTest::SetUp() {
  std::string reason;
  rig_ = KernelRig::Create(&reason);
  if (rig_ == nullptr) {
    const char* ci = std::getenv("CI");
    if (ci != nullptr && std::string(ci) == "true") {
      FAIL() << "kernel-path test cannot run under CI: " << reason;
    }
    GTEST_SKIP() << reason;
  }
  if (const char* dir = std::getenv("USBORVA_CONFIG_DIR")) saved_config_dir_ = dir;
  setenv("USBORVA_CONFIG_DIR", rig_->ConfigDir().c_str(), 1);
}

void KernelPathTest::TearDown() {
  if (rig_ == nullptr) return;
  if (saved_config_dir_) {
    setenv("USBORVA_CONFIG_DIR", saved_config_dir_->c_str(), 1);
  } else {
    unsetenv("USBORVA_CONFIG_DIR");
  }
  rig_.reset();
}

}  // namespace usborva::testing
