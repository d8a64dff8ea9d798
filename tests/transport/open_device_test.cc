// SPDX-License-Identifier: Apache-2.0
#include <memory>
#include <string>
#include <vector>

#include "transport_fixture.h"

namespace usborva::transport {
namespace {

class OpenDeviceTest : public TransportTest {};

TEST_F(OpenDeviceTest, TakesFirstMatchingInterfaceInEnumerationOrder) {
  auto mouse = Add(0x845E, 0x0001);
  auto first = Add(0x2A5C, 0x4C2B);
  auto second = Add(0x2A5C, 0x4C21);
  ASSERT_TRUE(Open());
  EXPECT_TRUE(Opened(first));
  EXPECT_EQ(record().DeviceAttributes.ProductID, 0x4C2B);
  EXPECT_EQ(record().DeviceCaps.InputReportByteLength, sim::kDefaultInputReportLength);
  EXPECT_EQ(record().DeviceCaps.FeatureReportByteLength, sim::kDefaultFeatureReportLength);
  EXPECT_NE(record().PreparsedData, 0);
  EXPECT_EQ(sim_.OpenCount(second), 0u);  // never touched
  EXPECT_EQ(sim_.OpenDeviceHandles(mouse), 0u);
  // The refused candidate was opened and closed again; the set is gone.
  EXPECT_EQ(sim_.OpenCount(mouse), 1u);
  EXPECT_EQ(sim_.OpenHandles(HandleKind::kDeviceInfoSet), 0u);
  Close();
  EXPECT_EQ(sim_.OpenHandles(), 0u);
}

TEST_F(OpenDeviceTest, EverySkipPathReleasesTheCandidateAndGoesOn) {
  const Fault kFaults[] = {Fault::kDetailSize, Fault::kOpen, Fault::kAttributes,
                           Fault::kPreparsedData, Fault::kCaps};
  for (Fault fault : kFaults) {
    SCOPED_TRACE(std::string(sim::FaultName(fault)));
    const std::unique_ptr<SimulatedHidSystem> machine = NewSimulatedHidSystem();
    ScopedHidSystem installed(*machine);
    machine->SetConfigText(std::string());
    record() = DeviceRecord{};
    auto broken = machine->AddInterface();
    auto good = machine->AddInterface();
    machine->SetFault(broken, fault);
    ASSERT_TRUE(Open());
    EXPECT_EQ(machine->OpenDeviceHandles(broken), 0u);
    EXPECT_EQ(machine->OpenDeviceHandles(good), 1u);
    EXPECT_EQ(machine->OpenHandles(HandleKind::kPreparsedData), 1u);  // only the good one's
    Close();
    EXPECT_EQ(machine->OpenHandles(), 0u);
  }
}

TEST_F(OpenDeviceTest, NothingFoundLeavesTheRecordClosed) {
  Add(0x2A5C, 0x4C22);
  Add(0x1234, 0x4C21);
  EXPECT_FALSE(Open());
  EXPECT_EQ(record().PreparsedData, 0);
  EXPECT_EQ(sim_.OpenHandles(HandleKind::kDevice), 0u);
  EXPECT_EQ(sim_.OpenHandles(HandleKind::kDeviceInfoSet), 0u);
}

TEST_F(OpenDeviceTest, FailedClassDevsDestroysNothing) {
  Add(0x2A5C, 0x4C21);
  sim_.SetFault(Fault::kClassDevs);
  EXPECT_FALSE(Open());
  EXPECT_EQ(sim_.CallCount(sim::Op::kDestroyDeviceInfoList), 0u);
  EXPECT_EQ(sim_.CallCount(sim::Op::kCreateFile), 0u);
}

TEST_F(OpenDeviceTest, FallsBackToQueryOnlyAccessWithANonInheritableHandle) {
  auto id = Add(0x2A5C, 0x4C21);
  sim_.SetFault(id, Fault::kReadWriteAccess);
  ASSERT_TRUE(Open());
  ASSERT_EQ(sim_.OpenLog().size(), 2u);
  EXPECT_EQ(sim_.OpenLog()[0].desired_access, kGenericRead | kGenericWrite);
  EXPECT_EQ(sim_.OpenLog()[1].desired_access, 0u);
  for (const auto& attempt : sim_.OpenLog()) {
    EXPECT_EQ(attempt.share_mode, kFileShareRead | kFileShareWrite);
    EXPECT_EQ(attempt.creation_disposition, kOpenExisting);
    EXPECT_EQ(attempt.flags_and_attributes, kFileFlagOverlapped);
    EXPECT_EQ(attempt.path, "\\\\?\\hid#vid_2a5c&pid_4c21#sim0");
  }
  ASSERT_TRUE(sim_.LastSecurity().has_value());
  EXPECT_EQ(sim_.LastSecurity()->bInheritHandle, 0);
  EXPECT_EQ(sim_.LastSecurity()->lpSecurityDescriptor, 0u);
  // A query-only handle fails its first read and is closed by it.
  EXPECT_FALSE(ReadInputReport());
  EXPECT_EQ(record().DeviceHandle, kInvalidHandleValue);
  EXPECT_EQ(sim_.OpenHandles(HandleKind::kPreparsedData), 0u);
}

TEST_F(OpenDeviceTest, AHeldDeviceIsNeverOpenedOver) {
  Add(0x2A5C, 0x4C21);
  ASSERT_TRUE(Open());
  OpenDevice();
  EXPECT_EQ(sim_.OpenHandles(HandleKind::kDevice), 1u);
}

TEST_F(OpenDeviceTest, CloseDeviceIsIdempotentAndHarmlessOnAZeroedRecord) {
  CloseDevice();  // handle 0: CloseHandle(0) fails without effect
  EXPECT_EQ(record().DeviceHandle, kInvalidHandleValue);
  EXPECT_EQ(sim_.CallCount(sim::Op::kCloseHandle), 1u);
  Add(0x2A5C, 0x4C21);
  ASSERT_TRUE(Open());
  HidCaps caps = record().DeviceCaps;
  CloseDevice();
  CloseDevice();
  EXPECT_EQ(sim_.CallCount(sim::Op::kCloseHandle), 2u);
  EXPECT_EQ(sim_.CallCount(sim::Op::kFreePreparsedData), 1u);
  EXPECT_EQ(record().DeviceCaps.InputReportByteLength, caps.InputReportByteLength);  // kept
}

// Matching: the vendor, the built-in product IDs, and the configuration file.
struct MatchCase {
  const char* name;
  const char* config;
  uint16_t vendor_id;
  uint16_t product_id;
  bool supported;
};

class MatchingTest : public TransportTest, public ::testing::WithParamInterface<MatchCase> {};

TEST_P(MatchingTest, Decides) {
  const MatchCase& c = GetParam();
  sim_.SetConfigText(std::string(c.config));
  EXPECT_EQ(IsSupportedDevice(c.vendor_id, c.product_id), c.supported);
}

constexpr const char kUse4C21[] = "[Settings]\nUseConfigFile=TRUE\n[PID_4C21]\nActive=TRUE\n";

INSTANTIATE_TEST_SUITE_P(
    Rules, MatchingTest,
    ::testing::Values(
        MatchCase{"NoFile4C21", "", 0x2A5C, 0x4C21, true},
        MatchCase{"NoFile4C2B", "", 0x2A5C, 0x4C2B, true},
        MatchCase{"NoFile4C22", "", 0x2A5C, 0x4C22, false},
        MatchCase{"OtherVendor", kUse4C21, 0x2A5D, 0x4C21, false},
        MatchCase{"ConfigAccepts", kUse4C21, 0x2A5C, 0x4C21, true},
        MatchCase{"ConfigRefusesBuiltIn", kUse4C21, 0x2A5C, 0x4C2B, false},
        MatchCase{"ThreeDigitSection", "[settings]\nusecONFIGfile = 1\n[pid_123]\nactive=-1\n",
                  0x2A5C, 0x0123, true},
        MatchCase{"SingleDigitSection", "[Settings]\nUseConfigFile=true\n[PID_7]\nActive=2.5\n",
                  0x2A5C, 0x0007, true},
        MatchCase{"BlanksAndQuotes",
                  "  [ Settings ]  \n UseConfigFile = \"TRUE\" \n[PID_4C21]\n"
                  "\tActive\t=\tTrue\t\n",
                  0x2A5C, 0x4C21, true},
        MatchCase{"ActiveFalse", "[Settings]\nUseConfigFile=1\n[PID_4C21]\nActive=FALSE\n", 0x2A5C,
                  0x4C21, false},
        MatchCase{"NoActiveKey", "[Settings]\nUseConfigFile=1\n", 0x2A5C, 0x4C21, false},
        MatchCase{"ConfigOffIgnoresSections",
                  "[Settings]\nUseConfigFile=0\n[PID_4C22]\nActive=TRUE\n", 0x2A5C, 0x4C22, false},
        MatchCase{"ConfigOffBuiltIn", "[Settings]\nUseConfigFile=false\n[PID_4C21]\nActive=0\n",
                  0x2A5C, 0x4C21, true},
        MatchCase{"BadActive", "[Settings]\nUseConfigFile=1\n[PID_4C21]\nActive=yes\n", 0x2A5C,
                  0x4C21, false},
        MatchCase{"EmptyActive", "[Settings]\nUseConfigFile=1\n[PID_4C21]\nActive=\n", 0x2A5C,
                  0x4C21, false},
        MatchCase{"BadUseConfigFile", "[Settings]\nUseConfigFile=maybe\n", 0x2A5C, 0x4C21, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OpenDeviceTest, ConfigurationIsReadOnlyForTheTerminalVendorAndAfreshEachTime) {
  Add(0x845E, 0x0001);
  auto terminal = Add(0x2A5C, 0x4C21);
  EXPECT_TRUE(Open());
  EXPECT_EQ(sim_.CallCount(sim::Op::kGetPrivateProfileString), 1u);
  Close();
  sim_.SetConfigText(std::string("[Settings]\nUseConfigFile=1\n"));
  EXPECT_FALSE(Open());
  EXPECT_EQ(sim_.OpenDeviceHandles(terminal), 0u);
  EXPECT_EQ(sim_.CallCount(sim::Op::kGetPrivateProfileString), 3u);
}

TEST_F(OpenDeviceTest, BadConfigurationValueRefusesTheCandidateAndReleasesEverything) {
  Add(0x2A5C, 0x4C21);
  sim_.SetConfigText(std::string("[Settings]\nUseConfigFile=1\n[PID_4C21]\nActive=on\n"));
  EXPECT_FALSE(Open());
  EXPECT_EQ(sim_.OpenHandles(HandleKind::kDevice), 0u);
  EXPECT_EQ(sim_.OpenHandles(HandleKind::kDeviceInfoSet), 0u);
}

}  // namespace
}  // namespace usborva::transport
