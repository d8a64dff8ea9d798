// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TESTS_HIDRAW_KERNEL_RIG_H_
#define USBORVA_TESTS_HIDRAW_KERNEL_RIG_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "fake_hidraw_fs.h"
#include "fake_sysfs.h"
#include "usborva/hidraw_hid_system.h"
#include "usborva/usborva.h"
#include "usborva_test/recording_container.h"

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

// A KernelPathTest with the rig's backend in hid_, gone before the mount so that the
// descriptors it holds open on the mount go first.
class KernelBackendTest : public KernelPathTest {
 protected:
  void SetUp() override {
    KernelPathTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    hid_ = std::make_unique<HidrawHidSystem>(rig().roots());
  }
  void TearDown() override {
    installed_.reset();
    hid_.reset();
    KernelPathTest::TearDown();
  }
  // Makes hid_ the thread's HidSystem until the test ends.
  void InstallOnThread() { installed_.emplace(*hid_); }

  std::unique_ptr<HidrawHidSystem> hid_;

 private:
  std::optional<ScopedHidSystem> installed_;
};

// A KernelBackendTest with a control on the rig's backend: the HidrawHidSystem installed on
// the thread and a fresh USBORVA in a recording container, ended and removed after the test.
class KernelControlTest : public KernelBackendTest {
 protected:
  void SetUp() override {
    KernelBackendTest::SetUp();
    if (hid_ == nullptr) return;
    InstallOnThread();
    control_ = std::make_unique<USBORVA>(container_);
    control_->InitProperties();
  }
  void TearDown() override {
    if (control_ != nullptr) {
      control_->Terminate();
      control_.reset();
    }
    KernelBackendTest::TearDown();
  }

  // Ticks the poll loop until the host has seen event (by its name), at most max_ticks.
  bool TickUntil(const std::string& event, int max_ticks = 40) {
    for (int tick = 0; tick < max_ticks; ++tick) {
      if (std::any_of(container_.events.begin(), container_.events.end(),
                      [&](const std::string& e) { return e.rfind(event, 0) == 0; })) {
        return true;
      }
      container_.Tick();
    }
    return false;
  }

  test::RecordingContainer container_;
  std::unique_ptr<USBORVA> control_;
};

}  // namespace usborva::testing

#endif  // USBORVA_TESTS_HIDRAW_KERNEL_RIG_H_
