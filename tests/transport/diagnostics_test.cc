// SPDX-License-Identifier: Apache-2.0
// The transport's debug channel: off unless a sink is installed, a line per open attempt
// and verdict, read errors with their device, quiet while an open keeps failing the same
// way, and never card data.
#include "diagnostics/diagnostics.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "transport_fixture.h"
#include "usborva/diagnostics.h"

namespace usborva::transport {
namespace {

class Lines : public DiagnosticSink {
 public:
  void Diagnostic(DiagnosticTopic topic, std::string_view text) override {
    lines.push_back(std::string(DiagnosticTopicName(topic)) + ": " + std::string(text));
  }
  bool Any(const std::string& part) const {
    for (const std::string& line : lines) {
      if (line.find(part) != std::string::npos) return true;
    }
    return false;
  }
  std::vector<std::string> lines;
};

class DiagnosticsTest : public TransportTest {
 protected:
  Lines sink_;
};

TEST_F(DiagnosticsTest, OffUnlessASinkIsInstalledAndTheGuardPutsTheOldOneBack) {
  EXPECT_FALSE(diagnostics::Enabled());
  bool formatted = false;
  diagnostics::Note(DiagnosticTopic::kOpen, [&] {
    formatted = true;
    return std::string("never");
  });
  EXPECT_FALSE(formatted);
  Lines outer;
  {
    ScopedDiagnosticSink first(outer);
    {
      ScopedDiagnosticSink second(sink_);
      diagnostics::Record(DiagnosticTopic::kRead, "inner");
    }
    diagnostics::Record(DiagnosticTopic::kRead, "outer");
  }
  EXPECT_FALSE(diagnostics::Enabled());
  EXPECT_EQ(sink_.lines, std::vector<std::string>{"read: inner"});
  EXPECT_EQ(outer.lines, std::vector<std::string>{"read: outer"});
}

TEST_F(DiagnosticsTest, EachInterfaceGetsItsVerdictAndTheOpenItsOutcome) {
  Add(0x1234, 0x0001);
  Add(kTerminalVendorId, 0x4C22);
  const auto refused = Add(kTerminalVendorId, 0x4C21);
  sim_.SetFault(refused, Fault::kOpen);
  const auto terminal = Add(kTerminalVendorId, 0x4C2B);
  ScopedDiagnosticSink on(sink_);
  ASSERT_TRUE(Open());
  EXPECT_TRUE(sink_.Any("match: \\\\?\\hid#vid_1234&pid_0001#sim0: 1234:0001 not the terminal's"));
  EXPECT_TRUE(sink_.Any("2a5c:4c22 refused: product ID not in the built-in list"));
  EXPECT_TRUE(sink_.Any("open: \\\\?\\hid#vid_2a5c&pid_4c21#sim2: cannot be opened"));
  EXPECT_TRUE(sink_.Any("sim3: opened for reading and writing"));
  EXPECT_TRUE(sink_.Any("open: opened (4 HID interfaces looked at)"));
  EXPECT_TRUE(Opened(terminal));
}

TEST_F(DiagnosticsTest, ARetriedOpenIsToldOnlyWhenItsOutcomeChanges) {
  ScopedDiagnosticSink on(sink_);
  ASSERT_TRUE(InitTransport());
  for (int i = 0; i < 10; ++i) OpenDevice();
  EXPECT_EQ(sink_.lines,
            std::vector<std::string>{
                "open: no terminal opened: none present (0 HID interfaces looked at)"});
  sim_.SetConfigText("[Settings]\nUseConfigFile=TRUE\n");
  Add(kTerminalVendorId, 0x4C21);
  for (int i = 0; i < 10; ++i) OpenDevice();
  EXPECT_EQ(sink_.lines.size(), 3u);  // the verdict and the new outcome, once
  EXPECT_TRUE(sink_.Any("refused by the configuration file (its product section"));
  EXPECT_EQ(record().Observed.open, OpenOutcome::kRefusedByConfigFile);
}

TEST_F(DiagnosticsTest, AFailedReadNamesItsDeviceAndError) {
  const auto id = Add(kTerminalVendorId, 0x4C21);
  ASSERT_TRUE(Open());
  EXPECT_FALSE(ReadInputReport());  // pending
  ScopedDiagnosticSink on(sink_);
  sim_.Unplug(id);
  EXPECT_FALSE(ReadInputReport());
  EXPECT_EQ(record().Observed.read_error, kErrorDeviceNotConnected);
  ASSERT_EQ(sink_.lines.size(), 1u);
  EXPECT_EQ(sink_.lines[0],
            "read: \\\\?\\hid#vid_2a5c&pid_4c21#sim0: collecting a read failed (error " +
                std::to_string(kErrorDeviceNotConnected) +
                "); device closed, the poll loop reconnects");
}

TEST_F(DiagnosticsTest, QueryOnlyOpenIsPermissionDenied) {
  const auto id = Add(kTerminalVendorId, 0x4C21);
  sim_.SetFault(id, Fault::kReadWriteAccess);
  ScopedDiagnosticSink on(sink_);
  ASSERT_TRUE(Open());
  EXPECT_EQ(record().Observed.open, OpenOutcome::kOpenedForQueryOnly);
  EXPECT_TRUE(sink_.Any("read/write open refused (error 5); opened for queries only"));
}

TEST_F(DiagnosticsTest, CardDataNeverReachesTheChannel) {
  constexpr char kPan[] = "4000000000000002";
  sim::InterfaceSpec spec;
  spec.serial_number = u"4000000000000002";
  spec.product_string = u"4000000000000002";
  const auto id = sim_.AddInterface(spec);
  ScopedDiagnosticSink on(sink_);
  ASSERT_TRUE(Open());
  const std::string track = std::string("%B") + kPan + "^CARD/TEST^2512101?";
  std::vector<uint8_t> report{0x23, 1, static_cast<uint8_t>(track.size())};
  report.insert(report.end(), track.begin(), track.end());
  sim_.QueueInputReport(id, report);
  for (int i = 0; i < 3; ++i) ReadInputReport();
  sim_.Unplug(id);
  for (int i = 0; i < 3; ++i) ReadInputReport();
  ASSERT_FALSE(sink_.lines.empty());
  for (const std::string& line : sink_.lines) EXPECT_EQ(line.find(kPan), std::string::npos) << line;
}

}  // namespace
}  // namespace usborva::transport
