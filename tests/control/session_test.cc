// SPDX-License-Identifier: Apache-2.0
// End-to-end stories of a running host on the simulated terminal: opening, identity,
// card swipes one report per tick, unplug and reconnection, handlers that change the
// port, closing.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>

#include "transport/transport.h"
#include "usborva/convert.h"
#include "usborva/hid_system_wrapper.h"
#include "usborva/simulated_hid_system.h"
#include "usborva/usborva.h"
#include "usborva_test/recording_container.h"

namespace usborva {
namespace {

using sim::HandleKind;
using Strings = std::vector<std::string>;

template <typename Edit>
sim::InterfaceSpec Spec(Edit edit) {
  sim::InterfaceSpec spec;
  edit(spec);
  return spec;
}

// The simulated machine with a configuration file that can change between two reads, as
// one edited while the port opens would. Unscripted, the machine's own file answers. Scripted, it
// says UseConfigFile=TRUE and answers each product's Active key from active_answers, one per
// matching check, then default_active: so the check inside OpenDevice and the caller's
// re-check can disagree.
class ScriptedConfigSystem : public HidSystemWrapper {
 public:
  using HidSystemWrapper::HidSystemWrapper;

  uint32_t GetPrivateProfileStringA(const char* section, const char* key, const char* def,
                                    char* buffer, uint32_t size, const char* file) override {
    if (!scripted) {
      return HidSystemWrapper::GetPrivateProfileStringA(section, key, def, buffer, size, file);
    }
    bool value = true;
    if (std::strcmp(key, "Active") == 0) {
      value = default_active;
      if (!active_answers.empty()) {
        value = active_answers.front();
        active_answers.pop_front();
      }
    }
    std::snprintf(buffer, size, "%s", value ? "TRUE" : "FALSE");
    return static_cast<uint32_t>(std::strlen(buffer));
  }
  bool scripted = false;
  std::deque<bool> active_answers;
  bool default_active = true;
};

class SessionTest : public ::testing::Test {
 protected:
  SessionTest() {
    transport::ThreadDeviceRecord() = transport::DeviceRecord{};
    previous_ = InstallThreadHidSystem(&config);
    hid.SetConfigText(std::string());  // no configuration file: built-in product IDs
    control.InitProperties();
  }
  ~SessionTest() override {
    control.Terminate();
    InstallThreadHidSystem(previous_);
    transport::ThreadDeviceRecord() = transport::DeviceRecord{};
  }

  sim::Report Report(sim::Report r) { return r; }
  void Queue(sim::Report report, size_t id = 0) { hid.QueueInputReport(id, std::move(report)); }
  // Ticks until the timer stops or n ticks ran.
  void Tick(int n = 1) {
    for (int i = 0; i < n; ++i) container.Tick();
  }
  void Open() {
    control.put_PortOpen(true);
    container.notifications.clear();
  }

  const std::unique_ptr<SimulatedHidSystem> hid_owner = NewSimulatedHidSystem();
  SimulatedHidSystem& hid = *hid_owner;
  ScriptedConfigSystem config{hid};  // installed: every call reaches hid through it
  test::RecordingContainer container;
  USBORVA control{container};
  HidSystem* previous_ = nullptr;
};

// --- opening -----------------------------------------------------------------------------

TEST_F(SessionTest, NoTerminalLeavesThePortClosedAndNotifiesOnce) {
  hid.AddInterface(Spec([](sim::InterfaceSpec& s) { s.vendor_id = 0x1234; }));  // another vendor
  hid.AddInterface(
      Spec([](sim::InterfaceSpec& s) { s.product_id = 0x4C22; }));  // not a product we know
  control.put_PortOpen(true);
  EXPECT_FALSE(control.get_PortOpen());
  EXPECT_FALSE(control.tmrMain().Enabled());
  EXPECT_EQ(container.notifications, Strings{"PortOpen"});
  EXPECT_EQ(hid.OpenHandles(HandleKind::kDevice), 0u);
}

TEST_F(SessionTest, FirstSupportedTerminalInEnumerationOrderWins) {
  hid.AddInterface(Spec([](sim::InterfaceSpec& s) { s.serial_number = u"FIRST"; }));
  hid.AddInterface(Spec([](sim::InterfaceSpec& s) {
    s.product_id = 0x4C2B;
    s.serial_number = u"SECOND";
  }));
  control.put_PortOpen(true);
  EXPECT_TRUE(control.get_PortOpen());
  EXPECT_TRUE(control.tmrMain().Enabled());
  EXPECT_EQ(control.get_DeviceSerialNum(), u"FIRST");
  EXPECT_EQ(hid.OpenCount(1), 0u);
}

TEST_F(SessionTest, EventCreationFailureLatchesTheStatus) {
  hid.AddInterface();
  hid.SetFault(sim::Fault::kCreateEvent);
  control.put_PortOpen(true);
  EXPECT_FALSE(control.get_PortOpen());
  EXPECT_EQ(transport::ThreadDeviceRecord().TransportStatus, "CreateEvent Failed");
  EXPECT_EQ(container.notifications, Strings{"PortOpen"});
}

TEST_F(SessionTest, DeviceHandleIsNotInheritable) {
  hid.AddInterface();
  control.put_PortOpen(true);
  ASSERT_TRUE(hid.LastSecurity().has_value());
  EXPECT_EQ(hid.LastSecurity()->bInheritHandle, 0);
}

// --- identity ----------------------------------------------------------------------------

TEST_F(SessionTest, IdentityIsReadAtOpenThenNotifiedOnce) {
  hid.SetConfigText("[Settings]\nUseConfigFile=TRUE\n[PID_ABC]\nActive=1\n");
  hid.AddInterface(Spec([](sim::InterfaceSpec& s) {
    s.product_id = 0x0ABC;
    s.serial_number = u"ABC123";
    s.product_string = u"Payment Terminal";
    s.indexed_strings = {{4, u"2.10.7"}};
  }));
  control.put_PortOpen(true);
  EXPECT_EQ(control.get_ReaderID(), u"ABC");
  EXPECT_EQ(control.get_DeviceSerialNum(), u"ABC123");
  EXPECT_EQ(control.get_UsbProduct(), u"Payment Terminal");
  EXPECT_EQ(control.get_Firmware(), u"2.10.7");
  EXPECT_EQ(control.get_BitmapCRC(), u"12 34 56 78 ");
  EXPECT_EQ(control.get_PINKSN(), u"FFFF9876543210E00001");
  EXPECT_EQ(control.get_MSRKSN(), u"FFFF9876543210E00002");
  EXPECT_EQ(control.get_DeviceConfig(), u"01 02 03 04 05 06 07 08");
  EXPECT_EQ(control.get_AuthLabel(), u"AUTH01");
  EXPECT_EQ(control.get_PINLabel(), u"PIN:");
  EXPECT_EQ(control.get_MSRLabel(), u"MSR:");
  // The last exchange was the Get of "0E 04": 63 of its 64 bytes, spaced.
  std::vector<uint8_t> last(64, 0);
  const uint8_t head[] = {0x0E, 0x04, 0x00, 0x05, 'M', 'S', 'R', ':', 0x00};
  std::copy(std::begin(head), std::end(head), last.begin());
  EXPECT_EQ(control.get_SwipeCommandOutput(), convert::BytesToHexSpaced(last, 0, 63));
  EXPECT_EQ(container.notifications.back(), "PortOpen");
  EXPECT_EQ(container.Count("PortOpen"), 1u);
  EXPECT_EQ(container.Count("SwipeCommandOutput"), 13u);
}

TEST_F(SessionTest, QueriesAskInTheirOrder) {
  hid.AddInterface();
  control.put_PortOpen(true);
  Strings asked;
  for (const auto& exchange : hid.FeatureLog()) {
    asked.push_back(std::string(exchange.get ? "get " : "set ") +
                    test::Utf8(convert::BytesToHex(exchange.sent, 0, exchange.get ? 1 : 2)));
  }
  EXPECT_EQ(asked,
            (Strings{"set 0E10", "get 0E", "set 0E01", "get 0E", "set 0E02", "get 0E", "get 09",
                     "set 0E00", "get 0E", "set 0E03", "get 0E", "set 0E04", "get 0E"}));
}

TEST_F(SessionTest, AllZeroAnswersGiveEmptyValuesAndTheOpenGoesOn) {
  auto id = hid.AddInterface();
  hid.Terminal(id).items.clear();
  hid.Terminal(id).config = {};
  control.put_PortOpen(true);
  EXPECT_EQ(control.get_BitmapCRC(), u"");
  EXPECT_EQ(control.get_PINKSN(), u"");
  EXPECT_EQ(control.get_AuthLabel(), u"");
  EXPECT_EQ(control.get_PINLabel(), u"");
  EXPECT_EQ(control.get_MSRLabel(), u"");
  EXPECT_EQ(control.get_DeviceConfig(), u"00 00 00 00 00 00 00 00");
  EXPECT_EQ(container.notifications.back(), "PortOpen");
}

TEST_F(SessionTest, OversizedLengthByteTakesTheAnswerToItsEnd) {
  auto id = hid.AddInterface(Spec([](sim::InterfaceSpec& s) { s.feature_report_length = 8; }));
  hid.Terminal(id).items[sim::kInfoBitmapCRC] = std::vector<uint8_t>(200, 0xAB);
  control.put_PortOpen(true);
  // Eight-byte reports render seven bytes: data bytes 4, 5 and 6.
  EXPECT_EQ(control.get_BitmapCRC(), u"AB AB AB");
}

TEST_F(SessionTest, UnansweredQueriesLeaveTheirPropertiesEmpty) {
  hid.AddInterface();
  hid.SetFault(sim::Fault::kGetFeature);
  control.put_PortOpen(true);
  EXPECT_TRUE(control.get_PortOpen());
  EXPECT_EQ(control.get_BitmapCRC(), u"");
  EXPECT_EQ(control.get_DeviceConfig(), u"");
  EXPECT_EQ(container.notifications.back(), "PortOpen");
}

TEST_F(SessionTest, StringThatFillsTheBufferIsKeptWholeAndTheOpenGoesOn) {
  const std::u16string serial(70, u'S');
  hid.AddInterface(Spec([&](sim::InterfaceSpec& s) { s.serial_number = serial; }));
  control.put_PortOpen(true);
  EXPECT_EQ(control.get_DeviceSerialNum(), serial.substr(0, 64));
  EXPECT_EQ(control.get_UsbProduct(), u"USB Payment Terminal");
  EXPECT_EQ(control.get_AuthLabel(), u"AUTH01");
  EXPECT_EQ(container.notifications.back(), "PortOpen");
}

TEST_F(SessionTest, MissingStringsKeepTheirEarlierValues) {
  auto id = hid.AddInterface();
  control.put_PortOpen(true);
  EXPECT_EQ(control.get_Firmware(), u"1.00.0");
  control.put_PortOpen(false);
  hid.Interface(id).indexed_strings.clear();
  hid.Interface(id).serial_number.reset();
  control.put_PortOpen(true);
  EXPECT_EQ(control.get_Firmware(), u"1.00.0");
  EXPECT_EQ(control.get_DeviceSerialNum(), u"SIM00001");
}

// --- running -----------------------------------------------------------------------------

TEST_F(SessionTest, CardSwipeArrivesOneReportPerTickThenOneEvent) {
  hid.AddInterface();
  Open();
  const uint8_t ksn[10] = {0xFF, 0xFF, 0x98, 0x76, 0x54, 0x32, 0x10, 0xE0, 0x00, 0x2A};
  Queue(sim::CardStatus(0, 1, 2));
  Queue(sim::CardDataItem(1, "%B4111111111111111^DOE/JOHN^2512101?"));
  Queue(sim::CardDataItem(2, ";4111111111111111=2512101?"));
  Queue(sim::CardDataItem(3, ""));
  const uint8_t enc[] = {0xDE, 0xAD};
  for (uint8_t type = 4; type <= 7; ++type) Queue(sim::CardDataItem(type, 0, enc));
  Queue(sim::CardDataEnd(0, ksn, sim::SigilStatusBytes(1000)));
  Tick();
  EXPECT_EQ(container.events, Strings{"CardStatusChanged(0,1,2)"});
  Tick(7);
  EXPECT_EQ(container.events.size(), 1u);
  EXPECT_EQ(control.get_Track1Data(), u"%B4111111111111111^DOE/JOHN^2512101?");
  EXPECT_EQ(control.get_EncTrack3Data(), u"DEAD");
  EXPECT_EQ(control.get_SigilData(), Variant::FromString(u"DEAD"));
  Tick();
  EXPECT_EQ(container.events, (Strings{"CardStatusChanged(0,1,2)", "CardDataChanged()"}));
  EXPECT_EQ(control.get_DUKPTKSN(), u"FFFF9876543210E0002A");
  EXPECT_EQ(control.get_SigilStatus(), 1000);
  EXPECT_TRUE(container.notifications.empty());
}

TEST_F(SessionTest, EveryOtherReportKindReachesItsEvent) {
  hid.AddInterface();
  Open();
  const uint8_t ksn[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  const uint8_t epb[8] = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7};
  Queue(sim::DeviceStatus(1, 2, 3));
  Queue(sim::PINResponse(0, ksn, epb));
  Queue(sim::SelectResponse(0, 3));
  Queue(sim::DisplayDone(1));
  Queue({0x21, 1, 2, 3});
  Queue(sim::CardDataEnd(4, ksn, sim::SigilStatusBytes(0)));
  Tick(6);
  EXPECT_EQ(container.events,
            (Strings{"DeviceStatusChanged(1,2,3)",
                     "PINResponse(0,0102030405060708090A,"
                     "A0A1A2A3A4A5A6A7)",
                     "SelectResponse(0,3)", "DisplayDone(1)", "CardDataError()"}));
  EXPECT_EQ(control.get_DeviceStatus(), 3);
}

TEST_F(SessionTest, IdleTicksWaitOnOnePendingRead) {
  hid.AddInterface();
  Open();
  Tick(5);
  EXPECT_EQ(hid.PendingReads(0), 1u);
  EXPECT_EQ(hid.CallCount(sim::Op::kReadFile), 1u);
  Queue(sim::DisplayDone(0));
  Tick();
  EXPECT_EQ(container.events, Strings{"DisplayDone(0)"});
  EXPECT_TRUE(control.tmrMain().Enabled());
}

TEST_F(SessionTest, UnplugThenReplugReconnectsAndLosesNothingQueuedAfter) {
  hid.SetConfigText(
      "[Settings]\nUseConfigFile=1\n[PID_4C21]\nActive=TRUE\n[PID_4C2B]\nActive=TRUE\n");
  hid.AddInterface();
  Open();
  EXPECT_EQ(control.get_ReaderID(), u"4C21");
  Tick();  // a read is pending
  hid.Unplug(0);
  Tick();
  EXPECT_EQ(transport::ThreadDeviceRecord().DeviceHandle, kInvalidHandleValue);
  EXPECT_TRUE(control.get_PortOpen());
  Tick(3);  // nothing to reconnect to
  EXPECT_EQ(control.get_ReaderID(), u"4C21");
  control.DispatchInputReport(std::vector<uint8_t>{0x00});
  hid.Interface(0).product_id = 0x4C2B;  // the other model comes back on that port
  hid.Replug(0);
  Tick();  // reconnects, reads nothing
  EXPECT_NE(transport::ThreadDeviceRecord().DeviceHandle, kInvalidHandleValue);
  EXPECT_EQ(control.get_ReaderID(), u"4C2B");
  Queue(sim::SelectResponse(0, 1));
  Queue(sim::SelectResponse(0, 2));
  Tick(2);
  EXPECT_EQ(container.events, (Strings{"SelectResponse(0,1)", "SelectResponse(0,2)"}));
  EXPECT_EQ(hid.OpenHandles(HandleKind::kDevice), 1u);
}

TEST_F(SessionTest, ResetEventFailureIdlesUntilTheNextOpen) {
  hid.AddInterface();
  Open();
  hid.SetFault(sim::Fault::kResetEvent);
  Tick();
  EXPECT_EQ(transport::ThreadDeviceRecord().TransportStatus, "ResetEvent Failed");
  Queue(sim::DisplayDone(0));
  Tick(3);
  EXPECT_TRUE(container.events.empty());
  EXPECT_TRUE(control.tmrMain().Enabled());
  hid.SetFault(sim::Fault::kResetEvent, false);
  control.put_PortOpen(true);
  Tick();
  EXPECT_EQ(container.events, Strings{"DisplayDone(0)"});
}

TEST_F(SessionTest, RecheckRefusalClosesTheDeviceAndIncompatibleReconnectIdles) {
  config.scripted = true;
  hid.AddInterface();
  config.active_answers = {true, false};  // OpenDevice accepts, the re-check refuses
  control.put_PortOpen(true);
  EXPECT_EQ(hid.OpenCount(0), 1u);
  EXPECT_EQ(hid.OpenHandles(HandleKind::kDevice), 0u);
  EXPECT_FALSE(control.get_PortOpen());  // as it was
  EXPECT_FALSE(control.tmrMain().Enabled());
  EXPECT_EQ(container.notifications, Strings{"PortOpen"});

  Open();
  Tick();  // a read is pending
  hid.Unplug(0);
  Tick();
  hid.Replug(0);
  config.active_answers = {true, false};
  Tick();  // reconnects to a device the re-check refuses
  const transport::DeviceRecord& record = transport::ThreadDeviceRecord();
  EXPECT_EQ(record.TransportStatus, "Incompatible device attached");
  // Idle: ticks keep coming and do nothing at all.
  Queue(sim::DisplayDone(1));
  const uint64_t calls = hid.CallCount();
  EXPECT_EQ(container.Tick(), 1);
  Tick(3);
  EXPECT_EQ(hid.CallCount(), calls);
  EXPECT_TRUE(container.events.empty());
  EXPECT_TRUE(control.get_PortOpen());
  EXPECT_TRUE(control.tmrMain().Enabled());
}

// --- handlers that change the port -------------------------------------------------------

TEST_F(SessionTest, ClosingFromAHandlerStopsPollingForGood) {
  hid.AddInterface();
  Open();
  container.on_event = [&](const std::string&) { control.put_PortOpen(false); };
  Queue(sim::DisplayDone(0));
  Tick();
  EXPECT_FALSE(control.tmrMain().Enabled());
  EXPECT_FALSE(control.get_PortOpen());
  Tick(5);
  EXPECT_EQ(hid.OpenHandles(HandleKind::kDevice), 0u);
  EXPECT_EQ(hid.OpenHandles(HandleKind::kEvent), 0u);
  EXPECT_EQ(hid.OpenCount(0), 1u);
}

TEST_F(SessionTest, ReopeningFromAHandlerKeepsPolling) {
  hid.AddInterface();
  Open();
  bool reopened = false;
  container.on_event = [&](const std::string&) {
    if (reopened) return;
    reopened = true;
    control.put_PortOpen(false);
    control.put_PortOpen(true);
  };
  Queue(sim::DisplayDone(1));
  Tick();
  Queue(sim::DisplayDone(2));
  Tick(2);
  EXPECT_EQ(container.events, (Strings{"DisplayDone(1)", "DisplayDone(2)"}));
  EXPECT_EQ(hid.OpenHandles(HandleKind::kDevice), 1u);
}

TEST_F(SessionTest, ReopenFromAHandlerThatTheRecheckRefusesKeepsPolling) {
  config.scripted = true;
  hid.AddInterface();
  Open();
  container.on_event = [&](const std::string&) {
    container.on_event = nullptr;
    config.active_answers = {true, false};
    control.put_PortOpen(true);
  };
  Queue(sim::DisplayDone(1));
  Tick();
  // The reopen gave the device back; the port is still open, so polling must go on.
  EXPECT_TRUE(control.get_PortOpen());
  EXPECT_TRUE(control.tmrMain().Enabled());
  EXPECT_EQ(transport::ThreadDeviceRecord().DeviceHandle, kInvalidHandleValue);
  Tick();  // reconnects
  Queue(sim::DisplayDone(2));
  Tick(2);
  EXPECT_EQ(container.events, (Strings{"DisplayDone(1)", "DisplayDone(2)"}));
  EXPECT_EQ(hid.OpenHandles(HandleKind::kDevice), 1u);
}

TEST_F(SessionTest, FailedReopenFromAHandlerStopsPolling) {
  auto id = hid.AddInterface();
  Open();
  container.on_event = [&](const std::string&) {
    hid.Unplug(id);
    control.put_PortOpen(true);  // finds no terminal: the port closes
  };
  Queue(sim::DisplayDone(1));
  Tick();
  EXPECT_FALSE(control.get_PortOpen());
  EXPECT_FALSE(control.tmrMain().Enabled());
}

TEST_F(SessionTest, ClearBufferOnlyClearsTheFlagAndPollingGoesOn) {
  hid.AddInterface();
  Open();
  container.on_event = [&](const std::string&) { control.ClearBuffer(); };
  Queue(sim::CardStatus(0, 0, 0));
  Queue(sim::DisplayDone(3));
  Tick(2);
  EXPECT_FALSE(control.get_PortOpen());
  EXPECT_EQ(container.events, (Strings{"CardStatusChanged(0,0,0)", "DisplayDone(3)"}));
  EXPECT_TRUE(control.tmrMain().Enabled());
}

TEST_F(SessionTest, WritingTrueOnAnOpenPortHoldsExactlyOneDeviceAndEvent) {
  hid.AddInterface();
  Open();
  Tick();  // a read is pending into the input buffer
  control.put_PortOpen(true);
  EXPECT_EQ(hid.OpenHandles(HandleKind::kDevice), 1u);
  EXPECT_EQ(hid.OpenHandles(HandleKind::kEvent), 1u);
  EXPECT_EQ(hid.PendingReads(0), 0u);
  Queue(sim::DisplayDone(5));  // would land in a freed buffer if the old read survived
  Tick();
  EXPECT_EQ(container.events, Strings{"DisplayDone(5)"});
}

// --- closing and ending ------------------------------------------------------------------

TEST_F(SessionTest, ClosingTwiceNotifiesTwiceAndKeepsIdentity) {
  hid.AddInterface();
  Open();
  control.put_PortOpen(false);
  control.put_PortOpen(false);
  EXPECT_EQ(container.notifications, (Strings{"PortOpen", "PortOpen"}));
  EXPECT_EQ(control.get_DeviceSerialNum(), u"SIM00001");
  EXPECT_EQ(control.get_AuthLabel(), u"AUTH01");
  EXPECT_FALSE(control.tmrMain().Enabled());
  EXPECT_EQ(hid.OpenHandles(), 0u);
}

TEST_F(SessionTest, TerminatingEitherOfTwoControlsClosesTheSharedDevice) {
  hid.AddInterface();
  Open();
  USBORVA other(container);
  other.InitProperties();
  other.Terminate();
  EXPECT_EQ(hid.OpenHandles(HandleKind::kDevice), 0u);
  EXPECT_EQ(hid.OpenHandles(HandleKind::kEvent), 0u);
  EXPECT_TRUE(control.get_PortOpen());  // the flag is not touched
}

TEST_F(SessionTest, TerminateStopsARunningTimer) {
  hid.AddInterface();
  Open();
  Tick();  // a read is pending
  ASSERT_TRUE(control.tmrMain().Enabled());
  control.Terminate();
  EXPECT_FALSE(control.tmrMain().Enabled());
  EXPECT_EQ(container.Tick(), 0);
  EXPECT_EQ(hid.PendingReads(0), 0u);
  EXPECT_TRUE(control.get_PortOpen());
  EXPECT_TRUE(container.notifications.empty());
}

}  // namespace
}  // namespace usborva
