// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_HOST_H_
#define USBORVA_HOST_H_

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "usborva/connection.h"
#include "usborva/console_message_box.h"
#include "usborva/container.h"
#include "usborva/diagnostics.h"
#include "usborva/event_loop.h"
#include "usborva/events.h"
#include "usborva/export.h"
#include "usborva/settings_store.h"

namespace usborva {

namespace host {
class EventForwarder;
class ScenarioShare;
}  // namespace host

/// How a Host behaves; every field has the default an ordinary program wants.
struct USBORVA_EXPORT HostOptions {
  /// False makes a design-time host (a form designer), where the control refuses port and
  /// read-only puts with error 387.
  bool user_mode = true;
  /// Where the control's events go; not owned. Null drops them.
  EventSink* events = nullptr;
  /// The settings store's root; empty for the user's ${XDG_CONFIG_HOME:-$HOME/.config}.
  std::string settings_root;
  /// Where message boxes print; null for standard output.
  std::ostream* message_out = nullptr;
  /// Message boxes wait for Enter (only when standard input is a terminal).
  bool interactive = false;
  /// Saved property bags keep the clear card data (CardData and Track1Data-Track3Data).
  /// Off by default: full track data must not be kept at rest once the card has been
  /// authorized. Turn it on only at the user's explicit request, for example to replay a
  /// test card; CardDataMasked, the encrypted tracks and the KSNs are saved either way.
  bool persist_card_data = false;
  /// Connection notifications (usborva/connection.h): the port could not open and why, the
  /// terminal was lost or is back, polling went idle. Empty: none, and the control behaves
  /// exactly as without them. Called on the host's thread, as event handlers are.
  std::function<void(const ConnectionNotice&)> on_connection;
  /// The transport's debug channel (usborva/diagnostics.h): what it did and why it failed,
  /// never card data. Installed for the thread that constructs the host, for the host's
  /// life; empty: off, at no cost. Must not throw.
  std::function<void(DiagnosticTopic, std::string_view)> on_diagnostic;
};

/// A container for the control in an ordinary program: timers on an EventLoop of the
/// program's thread, settings in the user's settings files, message boxes on the console,
/// events to the program's sink. PropertyChanged marks the host dirty, as a form is marked
/// unsaved, and the program may watch the names as they come.
///
/// Development without a terminal: when the environment variable USBORVA_SCENARIO names a
/// scenario file (docs/scenarios.md, "Any host, unchanged"), every control created through
/// a Host of the thread works against one simulated terminal playing it instead of the
/// HID stack. The simulated machine is made with the thread's first such host and goes
/// with its last; the scenario starts when a control of the thread first tries to open
/// its port. A thread that runs on a HID system installed before the host (a test's, the
/// tool's) keeps it: the variable never overrides an explicit choice. A build configured
/// with -DUSBORVA_SCENARIO_SWITCH=OFF does not read the variable at all.
class USBORVA_EXPORT Host final : public Container {
 public:
  /// loop must outlive the host and every timer it creates. Throws scenario::ScenarioError
  /// when USBORVA_SCENARIO names a scenario that cannot be read (its message names the
  /// file, line and column), rather than let the program reach for a real terminal.
  explicit Host(EventLoop& loop, HostOptions options = {});
  ~Host() override;
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  bool UserMode() override { return user_mode_; }
  void PropertyChanged(std::u16string_view name) override;
  /// A sink that stays valid for the host's life and passes each event on to the sink set
  /// now, so the program may change sinks while a control holds this one.
  EventSink& Events() override;
  std::unique_ptr<Timer> CreateTimer(std::function<void()> on_tick) override;
  String GetSetting(const String& application, const String& section, const String& key,
                    const String& default_value) override;
  void SaveSetting(const String& application, const String& section, const String& key,
                   const String& value) override;
  void MessageBox(const String& text) override;
  /// HostOptions::persist_card_data.
  bool PersistCardData() override { return persist_card_data_; }
  /// Passes the notice to HostOptions::on_connection, or to the observer set since.
  void ConnectionChanged(const ConnectionNotice& notice) override;

  /// Switches between a running host (true) and a designer (false), as HostOptions::user_mode.
  void set_user_mode(bool user_mode) { user_mode_ = user_mode; }
  /// Null drops events.
  void set_event_sink(EventSink* sink);
  /// Called with each name PropertyChanged receives, after the host has recorded it.
  void set_property_changed_observer(std::function<void(std::u16string_view)> observer) {
    observer_ = std::move(observer);
  }

  /// Replaces HostOptions::on_connection; an empty function: no notifications.
  void set_connection_observer(std::function<void(const ConnectionNotice&)> observer) {
    on_connection_ = std::move(observer);
  }

  /// Whether a property changed since construction or the last MarkClean.
  bool dirty() const { return dirty_; }
  /// The names that changed since then, each once.
  const std::set<String>& changed_properties() const { return changed_; }
  /// Every PropertyChanged call since construction.
  uint64_t property_change_count() const { return change_count_; }
  /// After the program has saved the control's state.
  void MarkClean();

  EventLoop& loop() { return loop_; }                        ///< The loop the timers tick on.
  SettingsStore& settings() { return settings_; }            ///< Where the settings live.
  ConsoleMessageBox& message_box() { return message_box_; }  ///< Where message boxes show.

 private:
  void JoinEnvironmentScenario();

  EventLoop& loop_;
  bool user_mode_;
  bool persist_card_data_;
  std::unique_ptr<host::EventForwarder> events_;
  SettingsStore settings_;
  ConsoleMessageBox message_box_;
  std::function<void(std::u16string_view)> observer_;
  std::function<void(const ConnectionNotice&)> on_connection_;
  // The diagnostic sink installed for the host's life, and the one it replaced.
  std::unique_ptr<DiagnosticSink> diagnostics_;
  DiagnosticSink* previous_diagnostics_ = nullptr;
  // The thread's simulated terminal named by the environment; null without one.
  std::unique_ptr<host::ScenarioShare> scenario_;
  bool dirty_ = false;
  std::set<String> changed_;
  uint64_t change_count_ = 0;
};

}  // namespace usborva

#endif  // USBORVA_HOST_H_
