#ifndef USBORVA_TESTS_HIDRAW_KERNEL_RIG_H_
#define USBORVA_TESTS_HIDRAW_KERNEL_RIG_H_

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "fake_hidraw_fs.h"
#include "fake_sysfs.h"
#include "usborva/hidraw_hid_system.h"

namespace usborva::testing {

// A device as both sysfs and its node show it.
struct RigDevice {
  uint32_t bus = 3;
  uint16_t vendor = 0x2A5C;
  uint16_t product = 0x4C21;
  Bytes descriptor;
  std::string hid_name = "Maker Terminal";
  std::string hid_uniq;
  std::optional<std::string> usb_serial;
  std::optional<std::string> usb_product;
  bool refuse_open = false;
};

// A temporary directory holding a fake sysfs tree (sys/), a FUSE-emulated device root
// (dev/, hidraw nodes only) and a configuration directory (etc/).
class KernelRig {
 public:
  // nullptr and *reason when this machine cannot serve the emulated nodes (not root, no
  // /dev/fuse, or the mount fails).
  static std::unique_ptr<KernelRig> Create(std::string* reason);
  ~KernelRig();

  void Plug(int number, const RigDevice& device);
  // The FUSE node Plug serves for device, for a test to add misbehaviour to.
  static FakeNode NodeOf(const RigDevice& device);
  void Unplug(int number);
  FakeHidrawFs& fs() { return *fs_; }
  HidrawRoots roots() const;
  std::string NodePath(int number) const;
  std::string ConfigDir() const { return dir_ + "/etc"; }
  // Writes the configuration file into ConfigDir().
  void WriteConfig(const std::string& contents) const;

 private:
  KernelRig() = default;
  std::string dir_;
  std::unique_ptr<FakeSysfs> sysfs_;
  std::unique_ptr<FakeHidrawFs> fs_;
};

// A test over the emulated nodes. Skipped with the reason where the machine cannot serve
// them, except under CI (CI=true), where that is a failure.
class KernelPathTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  KernelRig& rig() { return *rig_; }

 private:
  std::unique_ptr<KernelRig> rig_;
  std::optional<std::string> saved_config_dir_;
};

}  // namespace usborva::testing

#endif  // USBORVA_TESTS_HIDRAW_KERNEL_RIG_H_
