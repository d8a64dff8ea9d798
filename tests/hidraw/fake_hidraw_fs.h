// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TESTS_HIDRAW_FAKE_HIDRAW_FS_H_
#define USBORVA_TESTS_HIDRAW_FAKE_HIDRAW_FS_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace usborva::testing {

using Bytes = std::vector<uint8_t>;

// What a device does with feature reports. get: report[0] is the report ID asked for;
// return the answer (byte 0 = report ID, 0 for an unnumbered device) or an empty vector to
// stall. set: report is what the host sent.
struct FeatureModel {
  std::function<Bytes(const Bytes& request)> get;
  std::function<void(const Bytes& report)> set;
};

// One emulated hidraw node.
struct FakeNode {
  uint32_t bus = 3;
  uint16_t vendor = 0;
  uint16_t product = 0;
  Bytes descriptor;
  std::string name;          // HIDIOCGRAWNAME
  std::string phys;          // HIDIOCGRAWPHYS
  std::string uniq;          // HIDIOCGRAWUNIQ
  bool refuse_open = false;  // every open fails with EACCES, as a node without permission
  // As hidraw before 3.10: a non-blocking read of an unplugged node answers EAGAIN for ever
  // (poll still answers POLLERR | POLLHUP).
  bool eagain_after_unplug = false;

  // A broken or hostile device, or a driver that lies: answers the kernel's own hidraw never
  // gives. Through FUSE the daemon's counts reach the caller unchanged, so a reader must not
  // trust them. Unset: as the kernel answers.
  bool strings_without_nul = false;    // the string ioctls copy the text alone, no NUL
  std::optional<int> string_count;     // the count the string ioctls return
  std::optional<int> feature_count;    // the count a feature get returns
  std::optional<int> descriptor_size;  // what HIDIOCGRDESCSIZE answers
};

// A FUSE file system serving hidraw-like nodes named hidrawN, through the kernel: every
// call of the code under test is a real open/read/poll/ioctl on a file of the mount. It
// behaves as drivers/hid/hidraw.c does: one report per read, a queue of 64 reports per
// open file, EAGAIN for a non-blocking read of an empty queue, poll, the hidraw ioctls;
// after an unplug reads give EIO once the queue is empty, ioctls ENODEV, poll
// POLLERR | POLLHUP, and opening ENOENT. Served in-process on a thread of its own.
class FakeHidrawFs {
 public:
  // Mounts on mountpoint (an existing empty directory). nullptr and *error when FUSE is not
  // available here.
  static std::unique_ptr<FakeHidrawFs> Mount(const std::string& mountpoint, std::string* error);
  ~FakeHidrawFs();  // unmounts

  void AddNode(int number, FakeNode node);
  // Unplug: the node goes away; files open on it behave as on a disconnected device.
  void Unplug(int number);
  // Queues one input report (as the device sends it) on every file open on the node.
  void SendInput(int number, Bytes report);
  void SetFeatureModel(int number, FeatureModel model);
  // Answers by report ID, for tests that need no model.
  void SetFeatureAnswer(int number, uint8_t report_id, Bytes answer);
  std::vector<Bytes> FeatureSets(int number);
  int OpenFiles(int number);
  // OpenFiles once the releases of files already closed have arrived (up to a second).
  int OpenFilesSettled(int number);
  // A permission change: opens fail with EACCES (refuse) or succeed again; the node's mode
  // and ctime change with it, as a chmod's do.
  void SetRefuseOpen(int number, bool refuse);
  // How many opens of the node reached the file system, failed ones included.
  int Opens(int number);

  struct State;

 private:
  FakeHidrawFs() = default;
  std::unique_ptr<State> state_;
};

}  // namespace usborva::testing

#endif  // USBORVA_TESTS_HIDRAW_FAKE_HIDRAW_FS_H_
