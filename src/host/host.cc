// SPDX-License-Identifier: Apache-2.0
#include "usborva/host.h"

#include <iostream>
#include <utility>

#include "diagnostics/diagnostics.h"
#include "host/event_forwarder.h"
#include "host/scenario_share.h"

namespace usborva {
namespace {

SettingsStore MakeSettingsStore(const std::string& root) {
  return root.empty() ? SettingsStore() : SettingsStore(root);
}

// HostOptions::on_diagnostic as the thread's sink.
class DiagnosticCallback final : public DiagnosticSink {
 public:
  explicit DiagnosticCallback(std::function<void(DiagnosticTopic, std::string_view)> callback)
      : callback_(std::move(callback)) {}
  void Diagnostic(DiagnosticTopic topic, std::string_view text) override { callback_(topic, text); }

 private:
  std::function<void(DiagnosticTopic, std::string_view)> callback_;
};

}  // namespace

Host::Host(EventLoop& loop, HostOptions options)
    : loop_(loop),
      user_mode_(options.user_mode),
      persist_card_data_(options.persist_card_data),
      events_(std::make_unique<host::EventForwarder>()),
      settings_(MakeSettingsStore(options.settings_root)),
      message_box_(options.message_out != nullptr ? *options.message_out : std::cout,
                   options.interactive) {
  events_->set_target(options.events);
  on_connection_ = std::move(options.on_connection);
  if (options.on_diagnostic) {
    diagnostics_ = std::make_unique<DiagnosticCallback>(std::move(options.on_diagnostic));
    previous_diagnostics_ = InstallThreadDiagnosticSink(diagnostics_.get());
  }
  try {
    JoinEnvironmentScenario();
  } catch (...) {
    // No destructor runs for a host that failed to construct: give the sink back here.
    if (diagnostics_ != nullptr) InstallThreadDiagnosticSink(previous_diagnostics_);
    throw;
  }
}

Host::~Host() {
  if (diagnostics_ != nullptr) InstallThreadDiagnosticSink(previous_diagnostics_);
}

void Host::JoinEnvironmentScenario() {
  scenario_ = host::ScenarioShare::Join(
      [this](std::function<void()> on_tick) { return loop_.CreateTimer(std::move(on_tick)); });
  if (scenario_ == nullptr) return;
  events_->set_observer(scenario_.get());
  diagnostics::Note(DiagnosticTopic::kSystem, [this] { return scenario_->notice(); });
}

void Host::ConnectionChanged(const ConnectionNotice& notice) {
  if (on_connection_) on_connection_(notice);
}

void Host::PropertyChanged(std::u16string_view name) {
  dirty_ = true;
  ++change_count_;
  changed_.emplace(name);
  if (scenario_ != nullptr && name == u"PortOpen") scenario_->PortOpenChanged();
  if (observer_) observer_(name);
}

EventSink& Host::Events() { return *events_; }

void Host::set_event_sink(EventSink* sink) { events_->set_target(sink); }

std::unique_ptr<Timer> Host::CreateTimer(std::function<void()> on_tick) {
  return loop_.CreateTimer(std::move(on_tick));
}

String Host::GetSetting(const String& application, const String& section, const String& key,
                        const String& default_value) {
  return settings_.GetSetting(application, section, key, default_value);
}

void Host::SaveSetting(const String& application, const String& section, const String& key,
                       const String& value) {
  settings_.SaveSetting(application, section, key, value);
}

void Host::MessageBox(const String& text) { message_box_.Show(text); }

void Host::MarkClean() {
  dirty_ = false;
  changed_.clear();
}

}  // namespace usborva
