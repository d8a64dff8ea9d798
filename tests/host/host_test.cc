// SPDX-License-Identifier: Apache-2.0
#include "usborva/host.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "temp_folder.h"
#include "usborva/manual_loop_clock.h"

namespace usborva {
namespace {

struct CountingSink : EventSink {
  void CardDataChanged() override { ++card_data_changed; }
  void DisplayDone(uint8_t& DisplayStatus) override { last_display_status = DisplayStatus; }
  int card_data_changed = 0;
  int last_display_status = -1;
};

TEST(HostTest, PropertyChangedMarksDirtyAndCanBeWatched) {
  EventLoop loop;
  Host host(loop);
  EXPECT_TRUE(host.UserMode());
  EXPECT_FALSE(host.dirty());
  std::vector<String> seen;
  host.set_property_changed_observer([&](std::u16string_view name) { seen.emplace_back(name); });
  host.PropertyChanged(u"CardData");
  host.PropertyChanged(u"PortOpen");
  host.PropertyChanged(u"CardData");
  EXPECT_TRUE(host.dirty());
  EXPECT_EQ(seen, (std::vector<String>{u"CardData", u"PortOpen", u"CardData"}));
  EXPECT_EQ(host.changed_properties(), (std::set<String>{u"CardData", u"PortOpen"}));
  host.MarkClean();
  EXPECT_FALSE(host.dirty());
  EXPECT_TRUE(host.changed_properties().empty());
  EXPECT_EQ(host.property_change_count(), 3u);

  HostOptions design_time;
  design_time.user_mode = false;
  Host designer(loop, design_time);
  EXPECT_FALSE(designer.UserMode());
}

TEST(HostTest, EventsReachTheSinkSetNowThroughTheSinkGivenEarlier) {
  EventLoop loop;
  Host host(loop);
  EventSink& events = host.Events();
  events.CardDataChanged();  // no sink yet: dropped
  CountingSink sink;
  host.set_event_sink(&sink);
  events.CardDataChanged();
  uint8_t status = 7;
  events.DisplayDone(status);
  host.set_event_sink(nullptr);
  events.CardDataChanged();
  EXPECT_EQ(sink.card_data_changed, 1);
  EXPECT_EQ(sink.last_display_status, 7);
}

TEST(HostTest, TimersSettingsAndMessageBoxComeFromTheHostsParts) {
  testing::TempFolder folder;
  ManualLoopClock clock;
  EventLoop loop(clock);
  std::ostringstream out;
  HostOptions options;
  options.settings_root = folder.path();
  options.message_out = &out;
  Host host(loop, options);

  int ticks = 0;
  std::unique_ptr<Timer> timer = host.CreateTimer([&] { ++ticks; });
  timer->SetInterval(25);
  timer->SetEnabled(true);
  loop.RunFor(std::chrono::milliseconds(100));
  EXPECT_EQ(ticks, 4);

  host.SaveSetting(u"USBHID", u"Startup", u"ComPort", u"3");
  EXPECT_EQ(host.GetSetting(u"USBHID", u"Startup", u"ComPort", u""), u"3");
  EXPECT_EQ(testing::ReadAll(folder / "USBHID/settings.ini"), "[Startup]\nComPort = \"3\"\n");

  host.MessageBox(u"first\r\nsecond \u00e9");
  EXPECT_EQ(out.str(), "[USBORVA]\nfirst\nsecond \xC3\xA9\n");
}

TEST(ConsoleMessageBoxTest, WaitsForEnterOnlyWhenInteractiveOnATerminal) {
  struct Case {
    bool terminal;
    bool interactive;
    bool waits;
  };
  for (const Case c :
       {Case{true, true, true}, Case{false, true, false}, Case{true, false, false}}) {
    std::ostringstream out;
    std::istringstream in("\nrest");
    ConsoleMessageBox box(out, in, c.terminal, c.interactive, "");
    box.Show(u"About");
    std::string left;
    std::getline(in, left);
    EXPECT_EQ(left, c.waits ? "rest" : "") << c.terminal << c.interactive;
    EXPECT_EQ(out.str().substr(0, 6), "About\n");
  }
}

}  // namespace
}  // namespace usborva
