// SPDX-License-Identifier: Apache-2.0
// The survey of HID interfaces and the terminal choice: what the survey reports is what
// OpenDevice does, and a choice only narrows what the matching rules accept.
#include "usborva/discovery.h"

#include <string>
#include <vector>

#include "transport_fixture.h"
#include "usborva/last_error.h"

namespace usborva::transport {
namespace {

class DiscoveryTest : public TransportTest {
 protected:
  SimulatedHidSystem::InterfaceId AddTerminal(std::u16string serial) {
    sim::InterfaceSpec spec;
    spec.path = "/dev/term-" + StringToUtf8(serial);
    spec.serial_number = std::move(serial);
    return sim_.AddInterface(spec);
  }

  // The path OpenDevice takes with choice, or "" when it takes none.
  std::string OpenedPath(const TerminalChoice& choice) {
    CloseDevice();
    EXPECT_TRUE(InitTransport());
    OpenDevice(choice);
    if (record().DeviceHandle == kInvalidHandleValue) return "";
    return sim_.OpenLog().back().path;  // the open stops at the interface it takes
  }

  static std::string TakenPath(const std::vector<DiscoveredInterface>& found) {
    for (const DiscoveredInterface& item : found) {
      if (item.taken) return item.path;
    }
    return "";
  }
};

TEST_F(DiscoveryTest, EachVerdictWithItsReasonAndError) {
  struct Case {
    uint16_t vendor, product;
    std::optional<sim::Fault> fault;
    InterfaceVerdict verdict;
    bool supported, openable;
    uint32_t error;
    const char* reason;
  };
  const Case cases[] = {
      {0x2A5C, 0x4C21, {}, InterfaceVerdict::kSupported, true, true, 0, ""},
      {0x1234, 0x4C21, {}, InterfaceVerdict::kOtherVendor, false, false, 0, "other vendor"},
      {0x2A5C,
       0x4C22,
       {},
       InterfaceVerdict::kProductNotListed,
       false,
       false,
       0,
       "product not in the list (a configuration file can add it)"},
      {0x2A5C, 0x4C2B, sim::Fault::kReadWriteAccess, InterfaceVerdict::kSupported, true, false,
       kErrorAccessDenied,
       "supported, but cannot be opened for reading and writing (permission denied)"},
      {0x2A5C, 0x4C21, sim::Fault::kOpen, InterfaceVerdict::kCannotOpen, false, false,
       kErrorAccessDenied, "cannot be opened (permission denied)"},
      {0x2A5C, 0x4C21, sim::Fault::kAttributes, InterfaceVerdict::kCannotIdentify, false, false,
       kErrorGenFailure, "cannot be identified (the device failed the request)"},
      {0x2A5C, 0x4C21, sim::Fault::kCaps, InterfaceVerdict::kNoCapabilities, true, true, 0,
       "supported, but its capabilities cannot be read"},
  };
  for (const Case& c : cases) {
    const auto id = Add(c.vendor, c.product);
    if (c.fault) sim_.SetFault(id, *c.fault);
  }
  const std::vector<DiscoveredInterface> found = SurveyHidInterfaces();
  ASSERT_EQ(found.size(), std::size(cases));
  for (size_t i = 0; i < found.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(found[i].verdict, cases[i].verdict);
    EXPECT_EQ(found[i].supported, cases[i].supported);
    EXPECT_EQ(found[i].openable, cases[i].openable);
    EXPECT_EQ(found[i].error, cases[i].error);
    EXPECT_EQ(found[i].reason, cases[i].reason);
    EXPECT_EQ(found[i].taken, i == 0);
  }
  EXPECT_EQ(found[1].vendor_id, 0x1234);
  EXPECT_EQ(found[1].product, u"USB Payment Terminal");
  EXPECT_EQ(found[1].serial, u"SIM00001");
  EXPECT_FALSE(found[5].identified);
  EXPECT_EQ(sim_.OpenHandles(), 0u);  // every candidate given back, the set destroyed
}

TEST_F(DiscoveryTest, ConfigurationFileVerdicts) {
  Add(0x2A5C, 0x4C21);
  Add(0x2A5C, 0x0123);
  sim_.SetConfigText("[Settings]\nUseConfigFile=TRUE\n[PID_123]\nActive=1\n");
  std::vector<DiscoveredInterface> found = SurveyHidInterfaces();
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].verdict, InterfaceVerdict::kRefusedByConfigFile);
  EXPECT_EQ(found[0].reason, "refused by the configuration file ([PID_4C21] Active is not TRUE)");
  EXPECT_EQ(found[1].verdict, InterfaceVerdict::kSupported);
  EXPECT_TRUE(found[1].taken);
  sim_.SetConfigText("[Settings]\nUseConfigFile=yes\n");
  found = SurveyHidInterfaces();
  EXPECT_EQ(found[0].verdict, InterfaceVerdict::kConfigFileUnusable);
  EXPECT_EQ(found[0].reason,
            "refused by the configuration file (UseConfigFile is neither TRUE nor FALSE)");
  EXPECT_FALSE(found[1].taken);
}

TEST_F(DiscoveryTest, TheSurveyTakesWhatOpenDeviceTakes) {
  const auto locked = AddTerminal(u"A1");
  const auto broken = AddTerminal(u"B2");
  AddTerminal(u"C3");
  AddTerminal(u"D4");
  sim_.SetFault(broken, sim::Fault::kCaps);
  const TerminalChoice choices[] = {
      {}, {"", u"C3"}, {"", u"B2"}, {sim_.Interface(3).path, u""}, {sim_.Interface(3).path, u"C3"},
  };
  for (bool lock : {false, true}) {
    sim_.SetFault(locked, sim::Fault::kReadWriteAccess, lock);
    for (const TerminalChoice& choice : choices) {
      SCOPED_TRACE(choice.device_path + " " + StringToUtf8(choice.serial_number));
      EXPECT_EQ(TakenPath(SurveyHidInterfaces(choice)), OpenedPath(choice));
    }
  }
  Close();
}

TEST_F(DiscoveryTest, AChoiceNarrowsTheRulesByPathOrSerial) {
  Add(0x1234, 0x4C21);  // another vendor with the serial asked for: never taken
  sim_.Interface(0).serial_number = u"WANTED";
  const auto first = AddTerminal(u"FIRST");
  const auto wanted = AddTerminal(u"WANTED");
  EXPECT_EQ(OpenedPath({}), sim_.Interface(first).path);
  EXPECT_EQ(OpenedPath({"", u"WANTED"}), sim_.Interface(wanted).path);
  EXPECT_EQ(OpenedPath({sim_.Interface(wanted).path, u""}), sim_.Interface(wanted).path);
  EXPECT_EQ(OpenedPath({sim_.Interface(first).path, u"WANTED"}), "");  // both must hold
  EXPECT_EQ(OpenedPath({"", u"wanted"}), "");                          // compared exactly
  EXPECT_EQ(record().PreparsedData, 0);
  const std::vector<DiscoveredInterface> found = SurveyHidInterfaces({"", u"NONE"});
  EXPECT_EQ(found[0].verdict, InterfaceVerdict::kOtherVendor);
  EXPECT_EQ(found[1].verdict, InterfaceVerdict::kNotChosen);
  EXPECT_TRUE(found[1].supported);
  EXPECT_EQ(found[1].reason, "supported, but not the chosen terminal (another serial number)");
  EXPECT_EQ(SurveyHidInterfaces({"/no/such", u""})[2].reason,
            "supported, but not the chosen terminal (another path)");
  Close();
  EXPECT_EQ(sim_.OpenHandles(), 0u);
}

TEST_F(DiscoveryTest, WithoutAChoiceTheOpenAsksForNoString) {
  AddTerminal(u"FIRST");
  AddTerminal(u"SECOND");
  EXPECT_EQ(OpenedPath({}), sim_.Interface(0).path);
  EXPECT_EQ(sim_.CallCount(sim::Op::kGetSerialNumberString), 0u);
  EXPECT_EQ(sim_.CallCount(sim::Op::kGetProductString), 0u);
  Close();
}

TEST_F(DiscoveryTest, TheSurveyLeavesAnOpenPortAsItIs) {
  AddTerminal(u"FIRST");
  ASSERT_TRUE(Open());
  const Handle held = record().DeviceHandle;
  const Handle preparsed = record().PreparsedData;
  const size_t handles = sim_.OpenHandles();
  const std::vector<DiscoveredInterface> found = SurveyHidInterfaces();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_TRUE(found[0].taken);
  EXPECT_EQ(record().DeviceHandle, held);
  EXPECT_EQ(record().PreparsedData, preparsed);
  EXPECT_EQ(sim_.OpenHandles(), handles);
  Close();
}

TEST_F(DiscoveryTest, NoInterfacesOrNoSetGiveAnEmptySurvey) {
  EXPECT_TRUE(SurveyHidInterfaces().empty());
  Add(0x2A5C, 0x4C21);
  sim_.SetFault(sim::Fault::kClassDevs);
  EXPECT_TRUE(SurveyHidInterfaces().empty());
}

TEST(LastErrorTextTest, NamesTheExpectedCodesAndNumbersTheRest) {
  EXPECT_EQ(LastErrorText(kErrorAccessDenied), "permission denied");
  EXPECT_EQ(LastErrorText(kErrorDeviceNotConnected), "the device is gone");
  EXPECT_EQ(LastErrorText(4242), "error 4242");
}

}  // namespace
}  // namespace usborva::transport
