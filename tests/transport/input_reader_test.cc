// SPDX-License-Identifier: Apache-2.0
#include <string>
#include <vector>

#include "transport_fixture.h"

namespace usborva::transport {
namespace {

class InputReaderTest : public TransportTest {
 protected:
  void SetUp() override {
    id_ = sim_.AddInterface();
    ASSERT_TRUE(Open());
  }
  SimulatedHidSystem::InterfaceId id_ = 0;
};

TEST_F(InputReaderTest, ReadThatCompletesAtOnceReturnsTrueAndTheNextStartsAnother) {
  sim_.QueueInputReport(id_, sim::DeviceStatus(1, 2, 3));
  ASSERT_TRUE(ReadInputReport());
  EXPECT_EQ(record().InputReport, sim::DeviceStatus(1, 2, 3));
  EXPECT_FALSE(record().ReadPending);
  EXPECT_FALSE(ReadInputReport());  // nothing queued: a new read stays out
  EXPECT_TRUE(record().ReadPending);
  EXPECT_EQ(record().ReadOverlapped.hEvent, record().ReadEvent);
}

TEST_F(InputReaderTest, PendingReadIsCollectedOnTheCallAfterTheReportArrives) {
  EXPECT_FALSE(ReadInputReport());
  EXPECT_FALSE(ReadInputReport());
  EXPECT_EQ(sim_.PendingReads(id_), 1u);
  sim_.QueueInputReport(id_, sim::DisplayDone(7));
  EXPECT_TRUE(sim_.EventSignalled(record().ReadEvent));
  ASSERT_TRUE(ReadInputReport());
  EXPECT_EQ(record().InputReport[0], sim::kReportDisplayDone);
  EXPECT_EQ(record().InputReport[1], 7);
  EXPECT_FALSE(record().ReadPending);
}

TEST_F(InputReaderTest, UnplugDuringAPendingReadClosesTheDeviceAndReplugReconnects) {
  EXPECT_FALSE(ReadInputReport());
  sim_.Unplug(id_);
  EXPECT_FALSE(ReadInputReport());
  EXPECT_EQ(record().DeviceHandle, kInvalidHandleValue);
  EXPECT_FALSE(record().ReadPending);
  EXPECT_EQ(sim_.OpenHandles(HandleKind::kDevice), 0u);
  OpenDevice();
  EXPECT_EQ(record().DeviceHandle, kInvalidHandleValue);
  sim_.Replug(id_);
  OpenDevice();
  EXPECT_NE(record().DeviceHandle, kInvalidHandleValue);
}

TEST_F(InputReaderTest, CloseDeviceCancelsTheOutstandingRead) {
  EXPECT_FALSE(ReadInputReport());
  CloseDevice();
  EXPECT_FALSE(record().ReadPending);
  EXPECT_EQ(sim_.PendingReads(id_), 0u);
  EXPECT_EQ(sim_.CallCount(sim::Op::kCancelIo), 1u);
  sim_.QueueInputReport(id_, sim::DisplayDone(1));  // reaches no buffer now
  EXPECT_EQ(sim_.QueuedInputReports(id_), 1u);
}

TEST_F(InputReaderTest, CloseDeviceWipesTheLastReportOnceTheReadIsCancelled) {
  sim_.QueueInputReport(id_, sim::CardDataItem(1, "%B4111111111111111^DOE/J^2512?"));
  ASSERT_TRUE(ReadInputReport());
  EXPECT_FALSE(ReadInputReport());  // the next read is out, over the card's bytes
  const size_t size = record().InputReport.size();
  CloseDevice();
  EXPECT_EQ(sim_.PendingReads(id_), 0u);
  EXPECT_EQ(record().InputReport, std::vector<uint8_t>(size, 0));  // zeros, size kept
}

TEST_F(InputReaderTest, InitTransportReleasesWhatAnEarlierOpenHeld) {
  EXPECT_FALSE(ReadInputReport());
  ASSERT_TRUE(Open());  // the port opened a second time without closing
  EXPECT_EQ(sim_.OpenHandles(HandleKind::kDevice), 1u);
  EXPECT_EQ(sim_.OpenHandles(HandleKind::kEvent), 1u);
  EXPECT_EQ(sim_.OpenHandles(HandleKind::kPreparsedData), 1u);
  EXPECT_EQ(sim_.PendingReads(id_), 0u);
  // Under AddressSanitizer a report reaching the replaced buffer would be caught here.
  sim_.QueueInputReport(id_, sim::DisplayDone(1));
  EXPECT_TRUE(ReadInputReport());
}

TEST_F(InputReaderTest, SizeInputBufferNeverReplacesTheBufferUnderARead) {
  EXPECT_FALSE(ReadInputReport());
  SizeInputBuffer();
  EXPECT_FALSE(record().ReadPending);
  EXPECT_EQ(sim_.PendingReads(id_), 0u);
  sim_.QueueInputReport(id_, sim::DisplayDone(2));
  EXPECT_TRUE(ReadInputReport());
}

TEST_F(InputReaderTest, ReadErrorOtherThanPendingClosesTheDevice) {
  sim_.SetFault(id_, Fault::kReadFile);
  EXPECT_FALSE(ReadInputReport());
  EXPECT_EQ(record().DeviceHandle, kInvalidHandleValue);
  EXPECT_TRUE(record().TransportStatus.empty());
}

TEST_F(InputReaderTest, FailedCollectionClosesTheDevice) {
  EXPECT_FALSE(ReadInputReport());
  sim_.FailCall(sim_.CallCount() + 1);
  EXPECT_FALSE(ReadInputReport());
  EXPECT_EQ(record().DeviceHandle, kInvalidHandleValue);
}

TEST_F(InputReaderTest, ResetEventFailureHaltsWithoutReading) {
  sim_.SetFault(Fault::kResetEvent);
  EXPECT_FALSE(ReadInputReport());
  EXPECT_EQ(record().TransportStatus, "ResetEvent Failed");
  EXPECT_EQ(sim_.CallCount(sim::Op::kReadFile), 0u);
  sim_.SetFault(Fault::kResetEvent, false);
  ASSERT_TRUE(Open());
  EXPECT_TRUE(record().TransportStatus.empty());
}

TEST_F(InputReaderTest, CloseReadEventTwiceClosesOnce) {
  CloseDevice();
  CloseReadEvent();
  CloseReadEvent();
  EXPECT_EQ(record().ReadEvent, 0);
  EXPECT_EQ(sim_.CallCount(sim::Op::kCloseHandle), 2u);  // device, then the event once
  EXPECT_EQ(sim_.OpenHandles(), 0u);
}

TEST_F(TransportTest, CreateEventFailureLatchesTheStatus) {
  sim_.SetFault(Fault::kCreateEvent);
  EXPECT_FALSE(InitTransport());
  EXPECT_EQ(record().TransportStatus, "CreateEvent Failed");
  EXPECT_EQ(record().DeviceHandle, kInvalidHandleValue);
  EXPECT_FALSE(record().ReadPending);
}

TEST_F(TransportTest, DeviceWithoutInputReportsIsNeverReadFrom) {
  sim::InterfaceSpec spec;
  spec.input_report_length = 0;
  sim_.AddInterface(spec);
  ASSERT_TRUE(Open());
  EXPECT_TRUE(record().InputReport.empty());
  EXPECT_FALSE(ReadInputReport());
  EXPECT_FALSE(ReadInputReport());
  EXPECT_EQ(sim_.CallCount(sim::Op::kReadFile), 0u);
  EXPECT_NE(record().DeviceHandle, kInvalidHandleValue);
}

TEST_F(TransportTest, ReadNeverAsksForMoreThanTheBufferHolds) {
  auto id = sim_.AddInterface();
  ASSERT_TRUE(Open());
  record().InputReport.resize(8);  // not sized for this device
  sim_.QueueInputReport(id, sim::DisplayDone(1));
  EXPECT_FALSE(ReadInputReport());  // the driver refuses a short buffer; the device closes
  EXPECT_EQ(record().DeviceHandle, kInvalidHandleValue);
}

}  // namespace
}  // namespace usborva::transport
