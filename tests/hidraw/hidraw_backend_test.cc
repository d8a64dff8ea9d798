// SPDX-License-Identifier: Apache-2.0
// The hidraw backend through the kernel: every call below is a real open, poll, read or
// ioctl on a FUSE-emulated node, enumerated from a fake sysfs tree.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "descriptors.h"
#include "kernel_rig.h"
#include "usborva/hidraw_hid_system.h"

namespace usborva::testing {
namespace {

constexpr uint32_t kReadWrite = kGenericRead | kGenericWrite;
constexpr uint32_t kShare = kFileShareRead | kFileShareWrite;
constexpr uint8_t kUntouched = 0xAA;

RigDevice Terminal(uint16_t product = 0x4C21) {
  RigDevice device;
  device.product = product;
  device.descriptor = kTerminalDescriptor;
  device.usb_serial = "ABC123";
  device.usb_product = "Card Terminal";
  return device;
}

RigDevice Unnumbered() {
  RigDevice device = Terminal();
  device.descriptor = kUnnumberedDescriptor;
  return device;
}

class HidrawBackendTest : public KernelBackendTest {
 protected:
  Handle Open(int number, uint32_t access = kReadWrite) {
    const SecurityAttributes security{12, 0, 1};
    return hid_->CreateFileA(rig().NodePath(number).c_str(), access, kShare, &security,
                             kOpenExisting, kFileFlagOverlapped);
  }

  HidCaps Caps(Handle device) {
    Handle preparsed = 0;
    HidCaps caps;
    EXPECT_TRUE(hid_->HidD_GetPreparsedData(device, &preparsed));
    EXPECT_EQ(hid_->HidP_GetCaps(preparsed, &caps), kHidpStatusSuccess);
    EXPECT_TRUE(hid_->HidD_FreePreparsedData(preparsed));
    return caps;
  }

  // The device paths of the present HID interfaces, by the detail-size dance.
  std::vector<std::string> Enumerate() {
    Guid guid;
    hid_->HidD_GetHidGuid(&guid);
    const Handle set = hid_->SetupDiGetClassDevsA(guid, kDigcfPresent | kDigcfDeviceInterface);
    EXPECT_NE(set, kInvalidHandleValue);
    std::vector<std::string> paths;
    for (int32_t index = 0;; ++index) {
      DeviceInterfaceData data;
      data.cbSize = 28;
      if (!hid_->SetupDiEnumDeviceInterfaces(set, guid, index, &data)) {
        EXPECT_EQ(hid_->GetLastError(), kErrorNoMoreItems);
        break;
      }
      uint32_t required = 0;
      EXPECT_FALSE(hid_->SetupDiGetDeviceInterfaceDetailA(set, data, nullptr, 0, &required));
      EXPECT_EQ(hid_->GetLastError(), kErrorInsufficientBuffer);
      std::vector<uint8_t> detail(required + 1, 0);
      detail[0] = 5;
      uint32_t again = 0;
      EXPECT_TRUE(
          hid_->SetupDiGetDeviceInterfaceDetailA(set, data, detail.data(), required, &again));
      paths.emplace_back(reinterpret_cast<const char*>(detail.data() + 4));
    }
    EXPECT_TRUE(hid_->SetupDiDestroyDeviceInfoList(set));
    return paths;
  }

  std::string ReadString(bool (HidrawHidSystem::*call)(Handle, void*, uint32_t), Handle device,
                         bool* ok) {
    std::vector<uint8_t> buffer(128, 0);
    *ok = (hid_.get()->*call)(device, buffer.data(), 128);
    std::string text;
    for (size_t i = 0; i + 1 < buffer.size() && buffer[i] != 0; i += 2) text += char(buffer[i]);
    return text;
  }
};

TEST_F(HidrawBackendTest, EnumeratesNodesInNumberOrder) {
  rig().Plug(10, Terminal());
  rig().Plug(2, Terminal(0x4C2B));
  RigDevice other = Terminal();
  other.vendor = 0x1234;
  rig().Plug(1, other);
  EXPECT_EQ(Enumerate(),
            (std::vector<std::string>{rig().NodePath(1), rig().NodePath(2), rig().NodePath(10)}));
}

TEST_F(HidrawBackendTest, DetailQueryChecksTheCallersRecord) {
  rig().Plug(0, Terminal());
  Guid guid;
  hid_->HidD_GetHidGuid(&guid);
  const Handle set = hid_->SetupDiGetClassDevsA(guid, kDigcfPresent | kDigcfDeviceInterface);
  DeviceInterfaceData data;
  ASSERT_TRUE(hid_->SetupDiEnumDeviceInterfaces(set, guid, 0, &data));
  uint32_t required = 0;
  hid_->SetupDiGetDeviceInterfaceDetailA(set, data, nullptr, 0, &required);
  EXPECT_EQ(required, 4 + rig().NodePath(0).size() + 1);
  std::vector<uint8_t> detail(required + 1, 0);
  EXPECT_FALSE(hid_->SetupDiGetDeviceInterfaceDetailA(set, data, detail.data(), required,
                                                      nullptr));  // cbSize 0
  detail[0] = 5;
  EXPECT_FALSE(
      hid_->SetupDiGetDeviceInterfaceDetailA(set, data, detail.data(), required - 1, nullptr));
  EXPECT_EQ(hid_->GetLastError(), kErrorInsufficientBuffer);
  EXPECT_TRUE(hid_->SetupDiDestroyDeviceInfoList(set));
  EXPECT_FALSE(hid_->SetupDiDestroyDeviceInfoList(set));
  EXPECT_FALSE(hid_->SetupDiEnumDeviceInterfaces(set, guid, 0, &data));
}

TEST_F(HidrawBackendTest, IdentityAtOpen) {
  rig().Plug(0, Terminal());
  // A vendor ID of 0x8000 and up arrives negative from the kernel; no USB strings, so
  // the HID-level ones serve.
  RigDevice high = Terminal(0xCC2B);
  high.vendor = 0x9A5C;
  high.usb_serial.reset();
  high.usb_product.reset();
  high.hid_uniq = "U-77";
  high.hid_name = "Maker Pad";
  rig().Plug(1, high);
  struct Expected {
    int number;
    uint16_t vendor;
    uint16_t product;
    const char* serial;
    const char* product_string;
  };
  for (const Expected& e : {Expected{0, 0x2A5C, 0x4C21, "ABC123", "Card Terminal"},
                            Expected{1, 0x9A5C, 0xCC2B, "U-77", "Maker Pad"}}) {
    SCOPED_TRACE(e.number);
    const Handle device = Open(e.number);
    ASSERT_NE(device, kInvalidHandleValue);
    HidAttributes attributes;
    attributes.Size = 12;
    ASSERT_TRUE(hid_->HidD_GetAttributes(device, &attributes));
    EXPECT_EQ(attributes.VendorID, e.vendor);
    EXPECT_EQ(attributes.ProductID, e.product);
    const HidCaps caps = Caps(device);
    EXPECT_EQ(caps.InputReportByteLength, 64);
    EXPECT_EQ(caps.FeatureReportByteLength, 64);
    EXPECT_EQ(caps.UsagePage, 0xFF00);
    bool ok = false;
    EXPECT_EQ(ReadString(&HidrawHidSystem::HidD_GetSerialNumberString, device, &ok), e.serial);
    EXPECT_TRUE(ok);
    EXPECT_EQ(ReadString(&HidrawHidSystem::HidD_GetProductString, device, &ok), e.product_string);
    EXPECT_TRUE(ok);
    // No usbfs node under the device root: the firmware string is not reachable.
    std::vector<uint8_t> buffer(128, 0);
    EXPECT_FALSE(hid_->HidD_GetIndexedString(device, 4, buffer.data(), 128));
    EXPECT_TRUE(hid_->CloseHandle(device));
  }
}

TEST_F(HidrawBackendTest, AccessZeroOpensForQueriesButNotForIo) {
  RigDevice locked = Terminal();
  locked.refuse_open = true;
  rig().Plug(0, locked);
  EXPECT_EQ(Open(0), kInvalidHandleValue);
  EXPECT_EQ(hid_->GetLastError(), kErrorAccessDenied);
  const Handle device = Open(0, 0);
  ASSERT_NE(device, kInvalidHandleValue);
  HidAttributes attributes;
  ASSERT_TRUE(hid_->HidD_GetAttributes(device, &attributes));
  EXPECT_EQ(attributes.ProductID, 0x4C21);
  EXPECT_EQ(Caps(device).InputReportByteLength, 64);
  bool ok = false;
  EXPECT_EQ(ReadString(&HidrawHidSystem::HidD_GetSerialNumberString, device, &ok), "ABC123");
  std::vector<uint8_t> buffer(64, kUntouched);
  Overlapped overlapped;
  uint32_t bytes = 0;
  EXPECT_FALSE(hid_->ReadFile(device, buffer.data(), 64, &bytes, &overlapped));
  EXPECT_EQ(hid_->GetLastError(), kErrorAccessDenied);  // a failure, not a pending read
  buffer[0] = 0x0E;
  EXPECT_EQ(hid_->HidD_GetFeature(device, buffer.data(), 64), 0);
  EXPECT_TRUE(hid_->CloseHandle(device));
  // A node that does not exist does not open even for queries.
  EXPECT_EQ(Open(5, 0), kInvalidHandleValue);
  EXPECT_EQ(hid_->GetLastError(), kErrorFileNotFound);
}

TEST_F(HidrawBackendTest, FeatureReportsUseTheWholeCapsLength) {
  rig().Plug(0, Terminal());
  rig().Plug(1, Unnumbered());
  rig().fs().SetFeatureAnswer(0, 0x0E, {0x0E, 0x10, 0x0A, 0xFF});  // a short answer
  rig().fs().SetFeatureAnswer(1, 0x00, {0x00, 0x01, 0x02, 0x03});
  const Handle terminal = Open(0);
  const Handle unnumbered = Open(1);
  std::vector<uint8_t> report(64, kUntouched);
  report[0] = 0x0E;
  ASSERT_EQ(hid_->HidD_GetFeature(terminal, report.data(), 64), 1);
  std::vector<uint8_t> expected(64, 0);
  expected[0] = 0x0E, expected[1] = 0x10, expected[2] = 0x0A, expected[3] = 0xFF;
  EXPECT_EQ(report, expected);  // nothing of the request left past the answer

  std::vector<uint8_t> command(64, 0);
  command[0] = 0x09;
  command[1] = 0x42;
  ASSERT_EQ(hid_->HidD_SetFeature(terminal, command.data(), 64), 1);
  ASSERT_EQ(rig().fs().FeatureSets(0).size(), 1u);
  EXPECT_EQ(rig().fs().FeatureSets(0).back(), command);

  report.assign(64, kUntouched);
  report[0] = 0x33;  // the device stalls a report it does not have
  EXPECT_EQ(hid_->HidD_GetFeature(terminal, report.data(), 64), 0);

  std::vector<uint8_t> plain(33, kUntouched);
  plain[0] = 0;
  ASSERT_EQ(hid_->HidD_GetFeature(unnumbered, plain.data(), 33), 1);
  EXPECT_EQ(plain[0], 0);
  EXPECT_EQ(plain[3], 0x03);
  EXPECT_EQ(plain[4], 0);
  EXPECT_EQ(plain[32], 0);
  hid_->CloseHandle(terminal);
  hid_->CloseHandle(unnumbered);
}

TEST_F(HidrawBackendTest, OverlappedReadIsANonBlockingStep) {
  rig().Plug(0, Terminal());
  const Handle device = Open(0);
  const Handle event = hid_->CreateEventA(true, false);
  ASSERT_NE(event, 0);
  ASSERT_TRUE(hid_->ResetEvent(event));
  std::vector<uint8_t> buffer(64, kUntouched);
  Overlapped overlapped;
  overlapped.hEvent = event;
  uint32_t bytes = 0;
  EXPECT_FALSE(hid_->ReadFile(device, buffer.data(), 64, &bytes, &overlapped));
  EXPECT_EQ(hid_->GetLastError(), kErrorIoPending);
  for (int tick = 0; tick < 3; ++tick) {
    EXPECT_FALSE(hid_->GetOverlappedResult(device, &overlapped, &bytes, false));
    EXPECT_EQ(hid_->GetLastError(), kErrorIoIncomplete);
  }
  EXPECT_EQ(buffer, std::vector<uint8_t>(64, kUntouched));
  rig().fs().SendInput(0, {0x22, 0x01, 0x02, 0x03});
  ASSERT_TRUE(hid_->GetOverlappedResult(device, &overlapped, &bytes, false));
  EXPECT_EQ(bytes, 64u);
  std::vector<uint8_t> expected(64, 0);
  expected[0] = 0x22, expected[1] = 0x01, expected[2] = 0x02, expected[3] = 0x03;
  EXPECT_EQ(buffer, expected);

  // A report already queued completes the read at once.
  rig().fs().SendInput(0, {0x20, 0x07});
  ASSERT_TRUE(hid_->ReadFile(device, buffer.data(), 64, &bytes, &overlapped));
  EXPECT_EQ(buffer[0], 0x20);
  EXPECT_EQ(buffer[1], 0x07);
  EXPECT_EQ(buffer[2], 0x00);  // zero-filled past the short report
  EXPECT_TRUE(hid_->CloseHandle(device));
  EXPECT_TRUE(hid_->CloseHandle(event));
  EXPECT_FALSE(hid_->CloseHandle(event));
}

TEST_F(HidrawBackendTest, UnnumberedReportsArriveAfterAZeroIdByte) {
  rig().Plug(0, Unnumbered());
  const Handle device = Open(0);
  ASSERT_EQ(Caps(device).InputReportByteLength, 65);
  rig().fs().SendInput(0, {0x22, 0x01, 0x02});
  std::vector<uint8_t> buffer(65, kUntouched);
  Overlapped overlapped;
  uint32_t bytes = 0;
  ASSERT_TRUE(hid_->ReadFile(device, buffer.data(), 65, &bytes, &overlapped));
  std::vector<uint8_t> expected(65, 0);
  expected[1] = 0x22, expected[2] = 0x01, expected[3] = 0x02;
  EXPECT_EQ(buffer, expected);
  hid_->CloseHandle(device);
}

TEST_F(HidrawBackendTest, UnplugMidReadFailsTheReadAndTheNodeReturns) {
  rig().Plug(0, Terminal());
  const Handle device = Open(0);
  std::vector<uint8_t> buffer(64, kUntouched);
  Overlapped overlapped;
  uint32_t bytes = 0;
  ASSERT_FALSE(hid_->ReadFile(device, buffer.data(), 64, &bytes, &overlapped));
  ASSERT_EQ(hid_->GetLastError(), kErrorIoPending);
  rig().Unplug(0);
  EXPECT_FALSE(hid_->GetOverlappedResult(device, &overlapped, &bytes, false));
  EXPECT_EQ(hid_->GetLastError(), kErrorDeviceNotConnected);
  EXPECT_EQ(buffer, std::vector<uint8_t>(64, kUntouched));
  buffer[0] = 0x0E;
  EXPECT_EQ(hid_->HidD_GetFeature(device, buffer.data(), 64), 0);
  EXPECT_EQ(hid_->GetLastError(), kErrorDeviceNotConnected);
  EXPECT_TRUE(hid_->CloseHandle(device));
  EXPECT_EQ(Open(0), kInvalidHandleValue);
  EXPECT_EQ(hid_->GetLastError(), kErrorFileNotFound);
  EXPECT_TRUE(Enumerate().empty());

  rig().Plug(0, Terminal());
  EXPECT_EQ(Enumerate(), std::vector<std::string>{rig().NodePath(0)});
  const Handle again = Open(0);
  ASSERT_NE(again, kInvalidHandleValue);
  rig().fs().SendInput(0, {0x27, 0x01});
  EXPECT_TRUE(hid_->ReadFile(again, buffer.data(), 64, &bytes, &overlapped));
  EXPECT_EQ(buffer[0], 0x27);
  hid_->CloseHandle(again);
}

TEST_F(HidrawBackendTest, ReportsQueuedBeforeAnUnplugAreStillDelivered) {
  rig().Plug(0, Terminal());
  const Handle device = Open(0);
  rig().fs().SendInput(0, {0x22, 0x01});
  rig().Unplug(0);
  std::vector<uint8_t> buffer(64, 0);
  Overlapped overlapped;
  uint32_t bytes = 0;
  ASSERT_TRUE(hid_->ReadFile(device, buffer.data(), 64, &bytes, &overlapped));
  EXPECT_EQ(buffer[0], 0x22);
  EXPECT_FALSE(hid_->ReadFile(device, buffer.data(), 64, &bytes, &overlapped));
  EXPECT_EQ(hid_->GetLastError(), kErrorDeviceNotConnected);
  hid_->CloseHandle(device);
}

TEST_F(HidrawBackendTest, CancelledReadNeverTouchesItsBuffer) {
  rig().Plug(0, Terminal());
  const Handle device = Open(0);
  std::vector<uint8_t> buffer(64, kUntouched);
  Overlapped overlapped;
  uint32_t bytes = 0;
  ASSERT_FALSE(hid_->ReadFile(device, buffer.data(), 64, &bytes, &overlapped));
  ASSERT_TRUE(hid_->CancelIo(device));
  rig().fs().SendInput(0, {0x20, 0x01, 0x02, 0x03});
  EXPECT_FALSE(hid_->GetOverlappedResult(device, &overlapped, &bytes, false));
  EXPECT_EQ(hid_->GetLastError(), kErrorOperationAborted);
  EXPECT_EQ(buffer, std::vector<uint8_t>(64, kUntouched));
  // The report stays queued for the next read.
  std::vector<uint8_t> fresh(64, 0);
  EXPECT_TRUE(hid_->ReadFile(device, fresh.data(), 64, &bytes, &overlapped));
  EXPECT_EQ(fresh[0], 0x20);
  hid_->CloseHandle(device);
}

// The descriptors this process holds on path, with their close-on-exec flags.
std::vector<int> DescriptorFlagsOf(const std::string& path) {
  std::vector<int> flags;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    if (std::filesystem::read_symlink(entry.path(), error) == path) {
      flags.push_back(fcntl(std::stoi(entry.path().filename().string()), F_GETFD));
    }
  }
  return flags;
}

TEST_F(HidrawBackendTest, HandlesAreNotDescriptorsAndDoNotLeakIntoChildren) {
  rig().Plug(0, Terminal());
  EXPECT_FALSE(hid_->CloseHandle(0));
  EXPECT_FALSE(hid_->CloseHandle(kInvalidHandleValue));
  EXPECT_NE(fcntl(0, F_GETFD), -1);  // standard input survives
  // The transport asks for an inheritable handle; the terminal stays out of children.
  const Handle device = Open(0);
  ASSERT_NE(device, kInvalidHandleValue);
  const std::vector<int> flags = DescriptorFlagsOf(rig().NodePath(0));
  ASSERT_EQ(flags.size(), 1u);
  EXPECT_TRUE(flags[0] & FD_CLOEXEC);
  EXPECT_TRUE(hid_->CloseHandle(device));
  EXPECT_TRUE(DescriptorFlagsOf(rig().NodePath(0)).empty());
  EXPECT_FALSE(hid_->HidD_GetAttributes(device, nullptr));
  EXPECT_EQ(hid_->GetLastError(), kErrorInvalidHandle);
}

TEST(HidrawBackendNoTreeTest, MissingSysfsIsAMachineWithoutDevices) {
  HidrawHidSystem hid(HidrawRoots{"/nonexistent/sys", "/nonexistent/dev"});
  Guid guid;
  hid.HidD_GetHidGuid(&guid);
  const Handle set = hid.SetupDiGetClassDevsA(guid, kDigcfPresent | kDigcfDeviceInterface);
  ASSERT_NE(set, kInvalidHandleValue);
  DeviceInterfaceData data;
  EXPECT_FALSE(hid.SetupDiEnumDeviceInterfaces(set, guid, 0, &data));
  EXPECT_EQ(hid.GetLastError(), kErrorNoMoreItems);
  EXPECT_TRUE(hid.SetupDiDestroyDeviceInfoList(set));
}

}  // namespace
}  // namespace usborva::testing

namespace usborva::testing {
namespace {

// A file left open on the mount (a test that stopped half-way) must not hang the teardown;
// the node then answers as a dead daemon's does.
TEST(KernelRigTest, TeardownWithAFileStillOpen) {
  std::string reason;
  std::unique_ptr<KernelRig> rig = KernelRig::Create(&reason);
  if (rig == nullptr) GTEST_SKIP() << reason;
  RigDevice device;
  device.descriptor = kTerminalDescriptor;
  rig->Plug(0, device);
  const int fd = open(rig->NodePath(0).c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  rig.reset();
  char byte;
  EXPECT_EQ(read(fd, &byte, 1), -1);
  EXPECT_EQ(errno, ENOTCONN);
  close(fd);
}

}  // namespace
}  // namespace usborva::testing
