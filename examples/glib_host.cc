// SPDX-License-Identifier: Apache-2.0
// A host whose program already has an event loop: the control's timer runs as a GLib
// timeout and its events arrive from GLib's main loop, as in a GTK point-of-sale screen.
// The control needs only the Container seam; USBORVA's own EventLoop plays no part here.
//
//   glib_host SCENARIO     plays a scenario on the simulated terminal, prints each event
#include <glib.h>

#include <functional>
#include <iostream>
#include <memory>
#include <utility>

#include "usborva/container.h"
#include "usborva/scenario.h"
#include "usborva/settings_store.h"
#include "usborva/simulated_hid_system.h"
#include "usborva/text_guard.h"
#include "usborva/usborva.h"

namespace {

// A timer of the control on GLib's main loop. The control disables it at the start of each
// tick and enables it at the end, so every enable makes a fresh timeout and every disable
// removes the current one: a disabled timer never ticks.
class GlibTimer final : public usborva::Timer {
 public:
  explicit GlibTimer(std::function<void()> on_tick) : on_tick_(std::move(on_tick)) {}
  ~GlibTimer() override { SetEnabled(false); }

  void SetEnabled(bool enabled) override {
    if (enabled == (source_ != 0)) return;
    if (enabled) {
      source_ = g_timeout_add(static_cast<guint>(interval_ms_), &GlibTimer::OnTimeout, this);
    } else {
      g_source_remove(source_);
      source_ = 0;
    }
  }
  bool Enabled() const override { return source_ != 0; }
  void SetInterval(int32_t milliseconds) override {
    interval_ms_ = milliseconds;
    if (Enabled()) {  // a running timer takes the new interval from now on
      SetEnabled(false);
      SetEnabled(true);
    }
  }
  int32_t Interval() const override { return interval_ms_; }

 private:
  static gboolean OnTimeout(gpointer self_pointer) {
    auto* self = static_cast<GlibTimer*>(self_pointer);
    const guint running = self->source_;
    self->on_tick_();
    // The tick may have disabled this timeout or replaced it with a new one.
    return self->source_ == running ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
  }

  std::function<void()> on_tick_;
  int32_t interval_ms_ = 0;
  guint source_ = 0;
};

// What the control asks of its container, answered by a GLib program.
class GlibContainer final : public usborva::Container {
 public:
  explicit GlibContainer(usborva::EventSink& events) : events_(events) {}

  bool UserMode() override { return true; }
  void PropertyChanged(std::u16string_view) override {}
  usborva::EventSink& Events() override { return events_; }
  std::unique_ptr<usborva::Timer> CreateTimer(std::function<void()> on_tick) override {
    return std::make_unique<GlibTimer>(std::move(on_tick));
  }
  usborva::String GetSetting(const usborva::String& application, const usborva::String& section,
                             const usborva::String& key,
                             const usborva::String& default_value) override {
    return settings_.GetSetting(application, section, key, default_value);
  }
  void SaveSetting(const usborva::String& application, const usborva::String& section,
                   const usborva::String& key, const usborva::String& value) override {
    settings_.SaveSetting(application, section, key, value);
  }
  void MessageBox(const usborva::String& text) override {
    std::cout << usborva::GuardText(usborva::StringToUtf8(text)) << "\n";
  }

 private:
  usborva::EventSink& events_;
  usborva::SettingsStore settings_;
};

// Prints what a point-of-sale screen would show: never the card number in clear.
class Screen final : public usborva::EventSink {
 public:
  void set_control(usborva::USBORVA* control) { control_ = control; }
  void CardDataChanged() override {
    std::cout << "CardDataChanged: KSN " << usborva::StringToUtf8(control_->get_DUKPTKSN()) << "\n";
    ++cards_;
  }
  void CardDataError() override { std::cout << "CardDataError\n"; }
  void DeviceStatusChanged(uint8_t& state, uint8_t& session, uint8_t& status) override {
    std::cout << "DeviceStatusChanged " << +state << " " << +session << " " << +status << "\n";
  }
  void CardStatusChanged(uint8_t& op, uint8_t& card, uint8_t& type) override {
    std::cout << "CardStatusChanged " << +op << " " << +card << " " << +type << "\n";
  }
  int cards() const { return cards_; }

 private:
  usborva::USBORVA* control_ = nullptr;
  int cards_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: glib_host SCENARIO\n";
    return 2;
  }
  const std::unique_ptr<usborva::SimulatedHidSystem> terminal = usborva::NewSimulatedHidSystem();
  usborva::scenario::Player player(*terminal, usborva::scenario::LoadScenario(argv[1]));
  player.Install();
  usborva::ScopedHidSystem use_terminal(*terminal);

  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  Screen screen;
  GlibContainer container(screen);
  usborva::USBORVA control(container);
  screen.set_control(&control);
  control.InitProperties();
  control.put_PortOpen(true);
  if (!control.get_PortOpen()) {
    std::cerr << "no supported terminal\n";
    return 3;
  }
  std::cout << "open: " << usborva::StringToUtf8(control.get_UsbProduct()) << "\n";

  // The scenario's own timeline runs on GLib timeouts too.
  usborva::scenario::TimedPlayer timed(player, [](std::function<void()> tick) {
    return std::make_unique<GlibTimer>(std::move(tick));
  });
  timed.Start();
  // Stop half a second after the last step, for the reports still on their way.
  auto stop_when_done = [](gpointer data) -> gboolean {
    auto* state = static_cast<std::pair<usborva::scenario::TimedPlayer*, GMainLoop*>*>(data);
    if (!state->first->Finished()) return G_SOURCE_CONTINUE;
    g_timeout_add(
        500,
        [](gpointer l) -> gboolean {
          g_main_loop_quit(static_cast<GMainLoop*>(l));
          return G_SOURCE_REMOVE;
        },
        state->second);
    return G_SOURCE_REMOVE;
  };
  std::pair<usborva::scenario::TimedPlayer*, GMainLoop*> state{&timed, loop};
  g_timeout_add(50, stop_when_done, &state);
  g_main_loop_run(loop);

  control.put_PortOpen(false);
  control.Terminate();
  g_main_loop_unref(loop);
  std::cout << "cards read: " << screen.cards() << "\n";
  return screen.cards() > 0 ? 0 : 1;
}
