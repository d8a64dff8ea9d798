// SPDX-License-Identifier: Apache-2.0
#include "usborva/simulated_hid_system.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "transport_fixture.h"

namespace usborva::transport {
namespace {

class SimulatedTerminalTest : public TransportTest {
 protected:
  void SetUp() override {
    id_ = sim_.AddInterface();
    ASSERT_TRUE(Open());
  }
  // The terminal's answer to Set then Get of report_id (item for 0x0E).
  std::vector<uint8_t> Ask(uint8_t report_id, uint8_t item = 0) {
    std::vector<uint8_t> report(sim::kDefaultFeatureReportLength, 0);
    report[0] = report_id;
    report[1] = item;
    if (report_id == sim::kFeatureInfo) {
      EXPECT_EQ(sim_.HidD_SetFeature(record().DeviceHandle, report.data(), report.size()), 1);
    }
    std::fill(report.begin() + 1, report.end(), 0);
    if (sim_.HidD_GetFeature(record().DeviceHandle, report.data(), report.size()) != 1) return {};
    return report;
  }
  std::u16string String(bool (SimulatedHidSystem::*call)(Handle, void*, uint32_t)) {
    std::array<uint8_t, 130> buffer;
    buffer.fill(0xAA);
    if (!(sim_.*call)(record().DeviceHandle, buffer.data(), 128)) return u"<failed>";
    EXPECT_EQ(buffer[128], 0xAA);  // never past the length given
    std::u16string text;
    for (size_t i = 0; i + 1 < 128; i += 2) {
      char16_t c = static_cast<char16_t>(buffer[i] | buffer[i + 1] << 8);
      if (c == 0) return text;
      text.push_back(c);
    }
    return text + u"<no NUL>";
  }
  SimulatedHidSystem::InterfaceId id_ = 0;
};

TEST_F(SimulatedTerminalTest, AnswersTheItemChosenByTheLastSet) {
  std::vector<uint8_t> crc = Ask(sim::kFeatureInfo, sim::kInfoBitmapCRC);
  ASSERT_GE(crc.size(), 8u);
  EXPECT_EQ(std::vector<uint8_t>(crc.begin(), crc.begin() + 8),
            (std::vector<uint8_t>{0x0E, 0x10, 0x00, 0x04, 0x12, 0x34, 0x56, 0x78}));
  std::vector<uint8_t> label = Ask(sim::kFeatureInfo, sim::kInfoPINLabel);
  EXPECT_EQ(label[3], 5);  // "PIN:" and its zero byte
  EXPECT_EQ(std::string(label.begin() + 4, label.begin() + 8), "PIN:");
  EXPECT_EQ(Ask(sim::kFeatureInfo, 0x55)[3], 0);  // unknown item: no data
  std::vector<uint8_t> config = Ask(sim::kFeatureConfig);
  EXPECT_EQ(std::vector<uint8_t>(config.begin(), config.begin() + 9),
            (std::vector<uint8_t>{0x09, 1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_TRUE(Ask(0x42).empty());  // no such report
  sim_.Terminal(id_).fixed_reports[0x42] = {0x42, 0xFF};
  EXPECT_EQ(Ask(0x42)[1], 0xFF);
  // Everything exchanged is in the log, in order.
  ASSERT_EQ(sim_.FeatureLog().size(), 9u);
  EXPECT_FALSE(sim_.FeatureLog()[0].get);
  EXPECT_EQ(sim_.FeatureLog()[0].sent[1], sim::kInfoBitmapCRC);
  EXPECT_TRUE(sim_.FeatureLog()[1].get);
  EXPECT_EQ(sim_.FeatureLog()[1].answer, crc);
  EXPECT_FALSE(sim_.FeatureLog()[7].ok);
}

TEST_F(SimulatedTerminalTest, StringsAreCutToTheBufferAndTerminatedOnlyWhenShorter) {
  using S = SimulatedHidSystem;
  EXPECT_EQ(String(&S::HidD_GetSerialNumberString), u"SIM00001");
  sim_.Interface(id_).product_string = std::u16string(63, u'p');
  EXPECT_EQ(String(&S::HidD_GetProductString), std::u16string(63, u'p'));
  sim_.Interface(id_).product_string = std::u16string(70, u'q');
  EXPECT_EQ(String(&S::HidD_GetProductString), std::u16string(64, u'q') + u"<no NUL>");
  sim_.Interface(id_).serial_number.reset();
  EXPECT_EQ(String(&S::HidD_GetSerialNumberString), u"<failed>");
  uint8_t buffer[128] = {};
  EXPECT_TRUE(sim_.HidD_GetIndexedString(record().DeviceHandle, 4, buffer, sizeof buffer));
  EXPECT_FALSE(sim_.HidD_GetIndexedString(record().DeviceHandle, 5, buffer, sizeof buffer));
}

// A burst of reports sent at once, each numbered in its display-status byte, then read
// until the driver has nothing left: what the host gets, in order, and what was dropped.
struct Burst {
  sim::QueuePolicy policy;
  int sent;
  bool read_outstanding;  // the host's read was waiting when the burst came, as in a poll loop
  std::vector<int> kept;
  uint64_t dropped;
};

std::vector<int> Numbers(int first, int last) {
  std::vector<int> numbers;
  for (int i = first; i <= last; ++i) numbers.push_back(i);
  return numbers;
}

std::vector<int> Joined(std::vector<int> a, const std::vector<int>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class QueuePolicyTest : public SimulatedTerminalTest, public testing::WithParamInterface<Burst> {};

TEST_P(QueuePolicyTest, KeepsAndDropsTheReportsItsDriverWould) {
  const Burst& burst = GetParam();
  sim_.Interface(id_).queue_policy = burst.policy;
  if (burst.read_outstanding) {
    ASSERT_FALSE(ReadInputReport());
    ASSERT_EQ(sim_.PendingReads(id_), 1u);
  }
  for (int i = 0; i < burst.sent; ++i) {
    sim_.QueueInputReport(id_, sim::DisplayDone(static_cast<uint8_t>(i)));
  }
  EXPECT_EQ(sim_.DroppedInputReports(id_), burst.dropped);
  std::vector<int> read;
  while (ReadInputReport()) read.push_back(record().InputReport[1]);
  EXPECT_EQ(read, burst.kept);
  EXPECT_EQ(sim_.QueuedInputReports(id_), 0u);
  EXPECT_EQ(sim_.DroppedInputReports(id_), burst.dropped);  // reading drops nothing
}

INSTANTIATE_TEST_SUITE_P(
    Bursts, QueuePolicyTest,
    testing::Values(
        // Windows: the newest 32 stay; a waiting read takes the first into its buffer.
        Burst{sim::QueuePolicy::kWindows, 40, false, Numbers(8, 39), 8},
        Burst{sim::QueuePolicy::kWindows, 40, true, Joined({0}, Numbers(8, 39)), 7},
        Burst{sim::QueuePolicy::kWindows, 32, false, Numbers(0, 31), 0},
        // Linux: the first 63 stay, the waiting read's report among them.
        Burst{sim::QueuePolicy::kLinux, 40, false, Numbers(0, 39), 0},
        Burst{sim::QueuePolicy::kLinux, 40, true, Numbers(0, 39), 0},
        Burst{sim::QueuePolicy::kLinux, 70, false, Numbers(0, 62), 7},
        Burst{sim::QueuePolicy::kLinux, 70, true, Numbers(0, 62), 7}),
    [](const testing::TestParamInfo<Burst>& info) {
      const Burst& b = info.param;
      return std::string(sim::QueuePolicyName(b.policy)) + "_" + std::to_string(b.sent) +
             (b.read_outstanding ? "_read_waiting" : "");
    });

TEST_F(SimulatedTerminalTest, LinuxRingFreesASlotOnlyWhenTheHostCollectsItsRead) {
  sim_.Interface(id_).queue_policy = sim::QueuePolicy::kLinux;
  ASSERT_FALSE(ReadInputReport());  // a read waits
  for (int i = 0; i < 63; ++i) {
    sim_.QueueInputReport(id_, sim::DisplayDone(static_cast<uint8_t>(i)));
  }
  // The read holds report 0 but the host has not collected it: the ring is full.
  sim_.QueueInputReport(id_, sim::DisplayDone(63));
  EXPECT_EQ(sim_.DroppedInputReports(id_), 1u);
  ASSERT_TRUE(ReadInputReport());
  EXPECT_EQ(record().InputReport[1], 0);
  sim_.QueueInputReport(id_, sim::DisplayDone(64));
  EXPECT_EQ(sim_.DroppedInputReports(id_), 1u);
  EXPECT_EQ(sim_.QueuedInputReports(id_), 63u);
}

TEST(QueuePolicyNamesTest, RoundTripAndFollowTheBuildPlatform) {
  for (sim::QueuePolicy policy : {sim::QueuePolicy::kWindows, sim::QueuePolicy::kLinux}) {
    EXPECT_EQ(sim::QueuePolicyFromName(sim::QueuePolicyName(policy)), policy);
  }
  EXPECT_FALSE(sim::QueuePolicyFromName("Linux"));
  EXPECT_THROW(sim::QueuePolicyName(static_cast<sim::QueuePolicy>(7)), std::out_of_range);
#ifdef _WIN32
  EXPECT_EQ(sim::InterfaceSpec{}.queue_policy, sim::QueuePolicy::kWindows);
#else
  EXPECT_EQ(sim::InterfaceSpec{}.queue_policy, sim::QueuePolicy::kLinux);
#endif
}

TEST_F(SimulatedTerminalTest, UnpluggedHandlesGoDeadAndStayDeadAfterReplug) {
  Handle old = record().DeviceHandle;
  sim_.Unplug(id_);
  sim_.Replug(id_);
  uint8_t report[sim::kDefaultFeatureReportLength] = {sim::kFeatureConfig};
  EXPECT_EQ(sim_.HidD_GetFeature(old, report, sizeof report), 0);
  EXPECT_EQ(sim_.GetLastError(), kErrorDeviceNotConnected);
  EXPECT_EQ(sim_.OpenDeviceHandles(id_), 1u);  // still to be closed
  EXPECT_TRUE(sim_.CloseHandle(old));
}

TEST_F(SimulatedTerminalTest, ScheduledFailureHitsExactlyTheKthCall) {
  const uint64_t k = sim_.CallCount() + 2;
  sim_.FailCall(k);
  uint8_t report[sim::kDefaultFeatureReportLength] = {sim::kFeatureConfig};
  Handle device = record().DeviceHandle;
  EXPECT_EQ(sim_.HidD_GetFeature(device, report, sizeof report), 1);
  EXPECT_EQ(sim_.HidD_GetFeature(device, report, sizeof report), 0);
  EXPECT_EQ(sim_.GetLastError(), kErrorGenFailure);
  EXPECT_EQ(sim_.HidD_GetFeature(device, report, sizeof report), 1);
  EXPECT_EQ(sim_.CallCount(sim::Op::kGetFeature), 3u);
  // A failed release still releases.
  sim_.FailCall(sim_.CallCount() + 1);
  EXPECT_FALSE(sim_.CloseHandle(device));
  EXPECT_EQ(sim_.OpenHandles(HandleKind::kDevice), 0u);
}

TEST_F(SimulatedTerminalTest, SetHookLetsTheTerminalAnswerACommand) {
  sim_.SetSetFeatureHook([this](SimulatedHidSystem::InterfaceId id, std::span<const uint8_t> r) {
    if (r[0] == 0x30) sim_.QueueInputReport(id, sim::SelectResponse(0, r[1]));
  });
  uint8_t command[sim::kDefaultFeatureReportLength] = {0x30, 0x02};
  EXPECT_EQ(sim_.HidD_SetFeature(record().DeviceHandle, command, sizeof command), 1);
  ASSERT_TRUE(ReadInputReport());
  EXPECT_EQ(record().InputReport[2], 0x02);
}

// Scenario files name faults and fault reports name operations: each value has a name of
// its own that leads back to it, and a value past the end is refused, not read past.
TEST(SimulatedNamesTest, EveryFaultAndOperationHasANameOfItsOwn) {
  std::set<std::string_view> faults;
  for (int i = 0; i < sim::kFaultCount; ++i) {
    const auto fault = static_cast<sim::Fault>(i);
    EXPECT_EQ(sim::FaultFromName(sim::FaultName(fault)), fault);
    faults.insert(sim::FaultName(fault));
  }
  EXPECT_EQ(faults.size(), static_cast<size_t>(sim::kFaultCount));
  EXPECT_EQ(sim::FaultName(sim::Fault::kReadFile), "read-file");
  EXPECT_EQ(sim::FaultFromName("Open"), std::nullopt);
  EXPECT_THROW(sim::FaultName(static_cast<sim::Fault>(sim::kFaultCount)), std::out_of_range);
  std::set<std::string_view> ops;
  for (int i = 0; i < sim::kOpCount; ++i) ops.insert(sim::OpName(static_cast<sim::Op>(i)));
  EXPECT_EQ(ops.size(), static_cast<size_t>(sim::kOpCount));
  EXPECT_EQ(sim::OpName(sim::Op::kGetPrivateProfileString), "GetPrivateProfileStringA");
  EXPECT_THROW(sim::OpName(static_cast<sim::Op>(sim::kOpCount)), std::out_of_range);
}

TEST(SimulatedReportsTest, BuildersPlaceFieldsWhereTheTerminalDoes) {
  const std::vector<uint8_t> ksn = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  const std::vector<uint8_t> epb = {11, 12, 13, 14, 15, 16, 17, 18};
  sim::Report end = sim::CardDataEnd(0, ksn, sim::SigilStatusBytes(1000));
  EXPECT_EQ(end.size(), static_cast<size_t>(sim::kDefaultInputReportLength));
  EXPECT_EQ(std::vector<uint8_t>(end.begin(), end.begin() + 18),
            (std::vector<uint8_t>{0x23, 99, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 0, 0x10, 0}));
  sim::Report track = sim::CardDataItem(sim::kCardItemTrack2, ";123=4?", 16);
  EXPECT_EQ(track, (sim::Report{0x23, 2, 0, 7, ';', '1', '2', '3', '=', '4', '?', 0, 0, 0, 0, 0}));
  sim::Report pin = sim::PINResponse(1, ksn, epb, 20);
  EXPECT_EQ(pin[1], 1);
  EXPECT_EQ(pin[11], 10);
  EXPECT_EQ(pin[19], 18);
  EXPECT_EQ(sim::CardStatus(1, 2, 3, 3), (sim::Report{0x22, 1, 2}));  // cut to the length
  EXPECT_EQ(sim::SigilStatusBytes(7), (std::array<uint8_t, 4>{0, 0, 0, 7}));
  EXPECT_EQ(sim::SigilStatusBytes(12345678), (std::array<uint8_t, 4>{0x12, 0x34, 0x56, 0x78}));
}

#if defined(__SANITIZE_ADDRESS__)
// The point of writing reports the way a driver does: a buffer given up under a pending
// read is caught when the report arrives.
TEST(SimulatedDriverDeathTest, ReportIntoABufferFreedUnderAPendingReadIsCaught) {
  EXPECT_DEATH(
      {
        const std::unique_ptr<SimulatedHidSystem> machine = NewSimulatedHidSystem();
        auto id = machine->AddInterface();
        Handle device =
            machine->CreateFileA("\\\\?\\HID#VID_2A5C&PID_4C21#SIM0", kGenericRead | kGenericWrite,
                                 3, nullptr, kOpenExisting, kFileFlagOverlapped);
        auto* buffer = new std::vector<uint8_t>(sim::kDefaultInputReportLength);
        Overlapped overlapped;
        machine->ReadFile(device, buffer->data(), buffer->size(), nullptr, &overlapped);
        delete buffer;
        machine->QueueInputReport(id, sim::DisplayDone(1));
      },
      "use-after-free");
}
#endif

}  // namespace
}  // namespace usborva::transport
