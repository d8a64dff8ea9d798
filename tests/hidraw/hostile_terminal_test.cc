// SPDX-License-Identifier: Apache-2.0
// A broken or hostile terminal on the real backend: reports that do not fit the descriptor,
// feature answers of the wrong length, descriptors of garbage, strings without a NUL and
// counts that claim more than was copied. Whatever it sends, the backend stays inside the
// caller's buffers (these run under the sanitizers too) and every case ends in a defined
// outcome, both at the backend and for the host of the control.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "descriptors.h"
#include "kernel_rig.h"
#include "platform/hidraw/report_descriptor.h"
#include "transport/transport.h"
#include "usborva/hidraw_hid_system.h"
#include "usborva/usborva.h"
#include "usborva_test/recording_container.h"

namespace usborva::testing {
namespace {

constexpr uint32_t kReadWrite = kGenericRead | kGenericWrite;
constexpr uint32_t kShare = kFileShareRead | kFileShareWrite;
constexpr uint8_t kGuard = 0xAA;
constexpr size_t kGuardBytes = 32;
constexpr uint32_t kReportLength = 64;  // the terminal's input and feature caps

// The terminal's descriptor with report 0x25 declared as a feature only: an input report
// 0x25 is then one the descriptor does not give.
std::vector<uint8_t> WithoutInput25() {
  std::vector<uint8_t> descriptor = kTerminalDescriptor;
  const uint8_t id_item[] = {0x85, 0x25};
  auto it =
      std::search(descriptor.begin(), descriptor.end(), std::begin(id_item), std::end(id_item));
  it[6] = 0xB1;  // Input (0x81) becomes Feature
  return descriptor;
}

RigDevice Terminal(std::vector<uint8_t> descriptor = kTerminalDescriptor) {
  RigDevice device;
  device.descriptor = std::move(descriptor);
  device.usb_serial = "ABC123";
  device.usb_product = "Card Terminal";
  return device;
}

Bytes Filled(Bytes head, size_t size, uint8_t fill) {
  head.resize(size, fill);
  return head;
}

// A caller's buffer with guard bytes after the part the call may write.
struct GuardedBuffer {
  explicit GuardedBuffer(size_t length) : bytes(length + kGuardBytes, kGuard), length(length) {}
  uint8_t* data() { return bytes.data(); }
  Bytes Used() const { return Bytes(bytes.begin(), bytes.begin() + length); }
  bool GuardsIntact() const {
    return std::all_of(bytes.begin() + length, bytes.end(), [](uint8_t b) { return b == kGuard; });
  }
  Bytes bytes;
  size_t length;
};

class HostileTerminalTest : public KernelControlTest {
 protected:
  // Plugs device as node number, misbehaving as node says, its feature gets answered by
  // answer (an empty answer stalls).
  void PlugHostile(int number, const RigDevice& device, FakeNode node,
                   std::function<Bytes(const Bytes&)> answer = nullptr) {
    rig().Plug(number, device);
    rig().fs().AddNode(number, std::move(node));
    if (answer) rig().fs().SetFeatureModel(number, FeatureModel{std::move(answer), nullptr});
  }

  Handle Open(int number) {
    return hid_->CreateFileA(rig().NodePath(number).c_str(), kReadWrite, kShare, nullptr,
                             kOpenExisting, kFileFlagOverlapped);
  }
};

// Every identity query answered with its report ID and nothing else.
Bytes BareAnswer(const Bytes& request) { return {request[0]}; }

TEST_F(HostileTerminalTest, InputReportsAreCutOrPaddedToTheCapsAndUndeclaredIdsDropped) {
  const RigDevice device = Terminal(WithoutInput25());
  PlugHostile(0, device, KernelRig::NodeOf(device));
  const Handle handle = Open(0);
  ASSERT_NE(handle, kInvalidHandleValue);
  const Bytes long_report = Filled({0x22, 0x01, 0x02, 0x03}, 300, 0xEE);
  rig().fs().SendInput(0, long_report);
  rig().fs().SendInput(0, {0x20});              // the ID alone
  rig().fs().SendInput(0, {0x25, 0x01, 0x02});  // declared as a feature, not an input
  rig().fs().SendInput(0, {0x00, 0x01, 0x02});  // ID 0 on a numbered device
  rig().fs().SendInput(0, {0x7F, 0x01});        // an ID the descriptor never names
  rig().fs().SendInput(0, {0x27, 0x05});

  const std::vector<Bytes> expected = {
      Bytes(long_report.begin(), long_report.begin() + kReportLength),
      Filled({0x20}, kReportLength, 0),
      Filled({0x27, 0x05}, kReportLength, 0),
  };
  for (const Bytes& report : expected) {
    GuardedBuffer buffer(kReportLength);
    Overlapped overlapped;
    uint32_t bytes = 0;
    ASSERT_TRUE(hid_->ReadFile(handle, buffer.data(), kReportLength, &bytes, &overlapped))
        << hid_->GetLastError();
    EXPECT_EQ(bytes, kReportLength);
    EXPECT_EQ(buffer.Used(), report);
    EXPECT_TRUE(buffer.GuardsIntact());
  }
  GuardedBuffer buffer(kReportLength);
  Overlapped overlapped;
  uint32_t bytes = 0;
  EXPECT_FALSE(hid_->ReadFile(handle, buffer.data(), kReportLength, &bytes, &overlapped));
  EXPECT_EQ(hid_->GetLastError(), kErrorIoPending);

  // A queue full of undeclared reports does not hold back the real one behind it.
  for (int i = 0; i < 63; ++i) rig().fs().SendInput(0, {0x25, 0x09, 0x09});
  rig().fs().SendInput(0, {0x20, 0x01, 0x02, 0x03});
  ASSERT_TRUE(hid_->GetOverlappedResult(handle, &overlapped, &bytes, false));
  EXPECT_EQ(buffer.Used(), Filled({0x20, 0x01, 0x02, 0x03}, kReportLength, 0));
  EXPECT_TRUE(buffer.GuardsIntact());
  hid_->CloseHandle(handle);
}

TEST_F(HostileTerminalTest, UnnumberedReportsLongerOrShorterThanTheCaps) {
  RigDevice device = Terminal(kUnnumberedDescriptor);
  PlugHostile(0, device, KernelRig::NodeOf(device));
  const Handle handle = Open(0);
  ASSERT_NE(handle, kInvalidHandleValue);
  const Bytes long_report = Filled({}, 100, 0x5A);
  rig().fs().SendInput(0, long_report);
  rig().fs().SendInput(0, {0x01});
  const std::vector<Bytes> expected = {Filled({0x00}, 65, 0x5A), Filled({0x00, 0x01}, 65, 0)};
  for (const Bytes& report : expected) {
    GuardedBuffer buffer(65);
    Overlapped overlapped;
    uint32_t bytes = 0;
    ASSERT_TRUE(hid_->ReadFile(handle, buffer.data(), 65, &bytes, &overlapped));
    EXPECT_EQ(buffer.Used(), report);
    EXPECT_TRUE(buffer.GuardsIntact());
  }
  hid_->CloseHandle(handle);
}

TEST_F(HostileTerminalTest, HostileReportsThroughThePollLoop) {
  const RigDevice device = Terminal(WithoutInput25());
  PlugHostile(0, device, KernelRig::NodeOf(device), BareAnswer);
  control_->put_PortOpen(true);
  ASSERT_TRUE(control_->state().PortOpen);
  rig().fs().SendInput(0, {0x20});                                       // padded with zeros
  rig().fs().SendInput(0, Filled({0x20, 0x01, 0x02, 0x03}, 300, 0xEE));  // cut to the caps
  // A track claiming 200 bytes in a report cut at 64: ignored as a whole.
  rig().fs().SendInput(0, Filled({0x23, 0x01, 0x00, 200}, 300, 'X'));
  rig().fs().SendInput(0, {0x25, 0x01, 0x02});  // not an input of this terminal: dropped
  rig().fs().SendInput(0, {0x24, 0x03});        // a PIN response cut short: zeros after
  rig().fs().SendInput(0, {0x27, 0x01});
  ASSERT_TRUE(TickUntil("DisplayDone"));
  const std::vector<std::string> expected = {
      "DeviceStatusChanged(0,0,0)",
      "DeviceStatusChanged(1,2,3)",
      "PINResponse(3,00000000000000000000,0000000000000000)",
      "DisplayDone(1)",
  };
  EXPECT_EQ(container_.events, expected);
  EXPECT_EQ(control_->state().Track1Data, u"");
  EXPECT_NE(transport::ThreadDeviceRecord().DeviceHandle, kInvalidHandleValue);
}

// Answers of feature gets that do not match the report asked for.
struct FeatureCase {
  const char* name;
  Bytes answer;
  std::optional<int> claimed_count;  // unset: the bytes copied
  Bytes expected;                    // the caller's 64 bytes afterwards
};

TEST_F(HostileTerminalTest, FeatureAnswersOfTheWrongLength) {
  const Bytes full = Filled({0x0E}, 100, 0x33);
  const FeatureCase cases[] = {
      {"shorter than the report",
       {0x0E, 0x01, 0x02},
       std::nullopt,
       Filled({0x0E, 0x01, 0x02}, 64, 0)},
      {"longer than the report", full, std::nullopt, Filled({0x0E}, 64, 0x33)},
      {"count beyond the buffer", full, 1000, Filled({0x0E}, 64, 0x33)},
      {"count of one", full, 1, Filled({0x0E}, 64, 0)},
      {"count of zero", full, 0, Filled({}, 64, 0)},
      {"another report's ID", {0x09, 0x07}, std::nullopt, Filled({0x09, 0x07}, 64, 0)},
  };
  int number = 0;
  for (const FeatureCase& c : cases) {
    SCOPED_TRACE(c.name);
    const RigDevice device = Terminal();
    FakeNode node = KernelRig::NodeOf(device);
    node.feature_count = c.claimed_count;
    PlugHostile(number, device, node, [&](const Bytes&) { return c.answer; });
    const Handle handle = Open(number++);
    ASSERT_NE(handle, kInvalidHandleValue);
    GuardedBuffer buffer(kReportLength);
    std::fill_n(buffer.data(), kReportLength, 0x11);  // stale command bytes
    buffer.bytes[0] = 0x0E;
    EXPECT_EQ(hid_->HidD_GetFeature(handle, buffer.data(), kReportLength), 1);
    EXPECT_EQ(buffer.Used(), c.expected);
    EXPECT_TRUE(buffer.GuardsIntact());
    hid_->CloseHandle(handle);
  }
}

TEST_F(HostileTerminalTest, HostileIdentityAnswersStillOpenThePort) {
  // Every answer claims 255 data bytes and far more than the buffer; the data is short.
  const RigDevice device = Terminal();
  FakeNode node = KernelRig::NodeOf(device);
  node.feature_count = 5000;
  PlugHostile(0, device, node, [](const Bytes& request) {
    return request[0] == 0x0E ? Bytes{0x0E, 0x01, 0x00, 0xFF, 'K', 'S', 'N'} : Bytes{0x09};
  });
  control_->put_PortOpen(true);
  const ControlState& state = control_->state();
  ASSERT_TRUE(state.PortOpen);
  EXPECT_EQ(state.PINKSN.substr(0, 3), u"KSN");
  EXPECT_EQ(state.AuthLabel.substr(0, 3), u"KSN");
  EXPECT_EQ(state.DeviceConfig, u"00 00 00 00 00 00 00 00");
  Variant output;
  EXPECT_EQ(control_->GetFeatureReport(u"0E 01", output), 1);
  EXPECT_EQ(output.string().substr(0, 21), u"0E 01 00 FF 4B 53 4E ");
  EXPECT_EQ(output.string().size(), 63u * 3 - 1);
}

// 4096-byte descriptors a broken device might give.
struct DescriptorCase {
  const char* name;
  std::vector<uint8_t> bytes;
  std::optional<int> claimed_size;  // what HIDIOCGRDESCSIZE answers; unset: the true size
};

std::vector<uint8_t> RandomBytes(uint32_t seed) {
  std::mt19937 engine(seed);
  std::vector<uint8_t> bytes(4096);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(engine());
  return bytes;
}

// A descriptor that parses: the largest input, output and feature reports a HID buffer
// holds, then reserved main items to 4096 bytes.
std::vector<uint8_t> LargestReports() {
  std::vector<uint8_t> bytes = {0x75, 0x08, 0x96, 0xFF, 0x3F, 0x81, 0x02,  // 16383 x 8 Input
                                0x91, 0x02, 0xB1, 0x02};                   // Output, Feature
  bytes.resize(4096, 0x00);
  return bytes;
}

std::vector<DescriptorCase> GarbageDescriptors() {
  std::vector<DescriptorCase> cases;
  for (uint32_t seed : {1u, 2u, 3u, 4u}) {
    cases.push_back({"random bytes", RandomBytes(seed), std::nullopt});
  }
  cases.push_back({"all 0xFF", std::vector<uint8_t>(4096, 0xFF), std::nullopt});
  cases.push_back({"long items past the end", std::vector<uint8_t>(4096, 0xFE), std::nullopt});
  std::vector<uint8_t> open_collections = kTerminalDescriptor;
  open_collections.resize(4096, 0xA1);
  cases.push_back({"collections never closed", open_collections, std::nullopt});
  cases.push_back({"largest reports", LargestReports(), std::nullopt});
  cases.push_back({"size beyond the maximum", LargestReports(), 5000});
  cases.push_back({"negative size", LargestReports(), -1});
  return cases;
}

TEST_F(HostileTerminalTest, GarbageDescriptorsAreRefusedOrBounded) {
  int number = 0;
  for (const DescriptorCase& c : GarbageDescriptors()) {
    SCOPED_TRACE(std::string(c.name) + " #" + std::to_string(number));
    hidraw::DescriptorCaps parsed;
    const bool parses =
        hidraw::ParseReportDescriptor(c.bytes, &parsed) == hidraw::DescriptorStatus::kOk;
    const RigDevice device = Terminal(c.bytes);
    FakeNode node = KernelRig::NodeOf(device);
    node.descriptor_size = c.claimed_size;
    PlugHostile(number, device, node);
    const Handle handle = Open(number++);
    ASSERT_NE(handle, kInvalidHandleValue);
    Handle preparsed = 0;
    ASSERT_TRUE(hid_->HidD_GetPreparsedData(handle, &preparsed));
    HidCaps caps;
    const uint32_t status = hid_->HidP_GetCaps(preparsed, &caps);
    hid_->HidD_FreePreparsedData(preparsed);
    if (!parses) {
      EXPECT_NE(status, kHidpStatusSuccess);
      GuardedBuffer buffer(kReportLength);
      Overlapped overlapped;
      uint32_t bytes = 0;
      EXPECT_FALSE(hid_->ReadFile(handle, buffer.data(), kReportLength, &bytes, &overlapped));
      EXPECT_EQ(hid_->GetLastError(), kErrorInvalidParameter);
      EXPECT_TRUE(buffer.GuardsIntact());
    } else {
      ASSERT_EQ(status, kHidpStatusSuccess);
      EXPECT_EQ(caps.InputReportByteLength, parsed.InputReportByteLength);
      EXPECT_LE(caps.InputReportByteLength, int32_t{hidraw::kMaxReportBytes});
      EXPECT_GT(caps.InputReportByteLength, 0);
    }
    hid_->CloseHandle(handle);
  }
}

TEST_F(HostileTerminalTest, PortOpenOnAGarbageDescriptorFailsClosed) {
  const RigDevice device = Terminal(RandomBytes(1));
  hidraw::DescriptorCaps parsed;
  ASSERT_NE(hidraw::ParseReportDescriptor(device.descriptor, &parsed),
            hidraw::DescriptorStatus::kOk);
  PlugHostile(0, device, KernelRig::NodeOf(device), BareAnswer);
  control_->put_PortOpen(true);
  EXPECT_FALSE(control_->state().PortOpen);
  EXPECT_EQ(transport::ThreadDeviceRecord().DeviceHandle, kInvalidHandleValue);
  // Nothing held on the refused device. The kernel sends the release after close returns.
  EXPECT_EQ(rig().fs().OpenFilesSettled(0), 0);
}

TEST_F(HostileTerminalTest, ThePollLoopCarriesTheLargestReports) {
  const RigDevice device = Terminal(LargestReports());
  PlugHostile(0, device, KernelRig::NodeOf(device), BareAnswer);
  control_->put_PortOpen(true);
  ASSERT_TRUE(control_->state().PortOpen);
  EXPECT_EQ(transport::ThreadDeviceRecord().InputReport.size(), hidraw::kMaxReportBytes);
  // Unnumbered: the data follows a zero ID byte, which no report of the terminal has.
  rig().fs().SendInput(0, Filled({0x20, 1, 2, 3}, 20000, 0x44));
  rig().fs().SendInput(0, {0x20, 1, 2, 3});
  for (int tick = 0; tick < 6; ++tick) container_.Tick();
  EXPECT_TRUE(container_.events.empty());
  EXPECT_NE(transport::ThreadDeviceRecord().DeviceHandle, kInvalidHandleValue);
}

// Strings the string ioctls give when sysfs has none for the device.
struct StringCase {
  const char* name;
  std::string text;
  bool without_nul;
  std::optional<int> claimed_count;  // unset: the bytes copied
  std::u16string expected;
};

TEST_F(HostileTerminalTest, StringsWithoutNulOrWithLyingCounts) {
  const std::u16string full(256, u'S');  // the backend's whole ioctl buffer
  const StringCase cases[] = {
      {"longer than the buffer", std::string(300, 'S'), false, std::nullopt, full},
      {"no NUL", "SER", true, std::nullopt, u"SER"},
      {"count beyond the buffer, no NUL", std::string(300, 'S'), true, 1000, full},
      {"count beyond the buffer", "AB", false, 10000, u"AB"},
      {"count short of the text", "ABCDEF", true, 2, u"AB"},
      {"invalid UTF-8", "\xFF\xC3", true, std::nullopt, u"\uFFFD\uFFFD"},
  };
  int number = 0;
  for (const StringCase& c : cases) {
    SCOPED_TRACE(c.name);
    RigDevice device = Terminal();
    device.usb_serial.reset();
    device.usb_product.reset();
    device.hid_name.clear();
    FakeNode node = KernelRig::NodeOf(device);
    node.name = c.text;
    node.uniq = c.text;
    node.strings_without_nul = c.without_nul;
    node.string_count = c.claimed_count;
    PlugHostile(number, device, node);
    const Handle handle = Open(number++);
    ASSERT_NE(handle, kInvalidHandleValue);
    for (auto call :
         {&HidrawHidSystem::HidD_GetSerialNumberString, &HidrawHidSystem::HidD_GetProductString}) {
      GuardedBuffer buffer(1024);
      ASSERT_TRUE((hid_.get()->*call)(handle, buffer.data(), 1024));
      std::u16string text;
      for (size_t i = 0; i + 1 < 1024; i += 2) {
        const char16_t unit = static_cast<char16_t>(buffer.bytes[i] | (buffer.bytes[i + 1] << 8));
        if (unit == 0) break;
        text.push_back(unit);
      }
      EXPECT_EQ(text, c.expected);
      EXPECT_TRUE(buffer.GuardsIntact());
    }
    hid_->CloseHandle(handle);
  }
}

TEST_F(HostileTerminalTest, PortOpenKeepsTheFirstCharactersOfAnUnterminatedSerial) {
  RigDevice device = Terminal();
  device.usb_serial.reset();
  FakeNode node = KernelRig::NodeOf(device);
  node.uniq = std::string(300, 'U');
  node.strings_without_nul = true;
  node.string_count = 1000;
  PlugHostile(0, device, node, BareAnswer);
  control_->put_PortOpen(true);
  ASSERT_TRUE(control_->state().PortOpen);
  EXPECT_EQ(control_->state().DeviceSerialNum, std::u16string(64, u'U'));
}

}  // namespace
}  // namespace usborva::testing
