// SPDX-License-Identifier: Apache-2.0
// A PortOpen write and a feature exchange end silently on the automation errors their
// behaviour expects, and say so on the debug channel; anything else (no memory, a fault of
// the program's own) reaches the host's loop.
#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "transport/transport.h"
#include "usborva/diagnostics.h"
#include "usborva/simulated_hid_system.h"
#include "usborva/usborva.h"
#include "usborva_test/recording_container.h"

namespace usborva {
namespace {

// A container whose PropertyChanged throws what the test sets.
class ThrowingContainer : public test::RecordingContainer {
 public:
  void PropertyChanged(std::u16string_view name) override {
    RecordingContainer::PropertyChanged(name);
    if (what == "bad_alloc") throw std::bad_alloc();
    if (what == "logic_error") throw std::logic_error("a fault of the host's own");
    if (what == "automation") throw AutomationError(error::kInvalidProcedureCall);
  }
  std::string what;
};

class Lines : public DiagnosticSink {
 public:
  void Diagnostic(DiagnosticTopic topic, std::string_view text) override {
    lines.push_back(std::string(DiagnosticTopicName(topic)) + ": " + std::string(text));
  }
  std::vector<std::string> lines;
};

class UnswallowedErrorsTest : public ::testing::Test {
 protected:
  UnswallowedErrorsTest() {
    transport::ThreadDeviceRecord() = transport::DeviceRecord{};
    previous_ = InstallThreadHidSystem(&hid_);
    hid_.SetConfigText(std::string());
    hid_.AddInterface();
    control_.InitProperties();
    control_.put_PortOpen(true);
  }
  ~UnswallowedErrorsTest() override {
    container_.what.clear();
    control_.Terminate();
    InstallThreadHidSystem(previous_);
    transport::ThreadDeviceRecord() = transport::DeviceRecord{};
  }

  std::unique_ptr<SimulatedHidSystem> owned_hid = NewSimulatedHidSystem();
  SimulatedHidSystem& hid_ = *owned_hid;
  ThrowingContainer container_;
  USBORVA control_{container_};
  HidSystem* previous_ = nullptr;
};

TEST_F(UnswallowedErrorsTest, OnlyAutomationErrorsEndAPortWriteSilently) {
  Lines sink;
  ScopedDiagnosticSink on(sink);
  container_.what = "automation";
  EXPECT_NO_THROW(control_.put_PortOpen(false));
  EXPECT_EQ(sink.lines,
            std::vector<std::string>{"feature: close sequence ended early: automation error 5"});
  container_.what = "bad_alloc";
  EXPECT_THROW(control_.put_PortOpen(true), std::bad_alloc);
  container_.what = "logic_error";
  EXPECT_THROW(control_.put_PortOpen(false), std::logic_error);
  EXPECT_FALSE(control_.get_PortOpen());  // the close itself was done
}

TEST_F(UnswallowedErrorsTest, OnlyAutomationErrorsEndAFeatureExchangeSilently) {
  Variant output;
  Lines sink;
  ScopedDiagnosticSink on(sink);
  EXPECT_EQ(control_.SetFeatureReport(u"0G", output), 0);  // no hex: error 13, silent
  EXPECT_EQ(sink.lines,
            std::vector<std::string>{"feature: set feature exchange ended: automation error 13"});
  container_.what = "automation";
  EXPECT_EQ(control_.SetFeatureReport(u"09", output), 1);
  container_.what = "bad_alloc";
  EXPECT_THROW(control_.SetFeatureReport(u"09", output), std::bad_alloc);
  container_.what = "logic_error";
  EXPECT_THROW(control_.GetFeatureReport(u"09", output), std::logic_error);
}

}  // namespace
}  // namespace usborva
