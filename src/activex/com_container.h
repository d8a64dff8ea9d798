// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_ACTIVEX_COM_CONTAINER_H_
#define USBORVA_ACTIVEX_COM_CONTAINER_H_

#include <functional>
#include <memory>
#include <string_view>

#include "usborva/container.h"

namespace usborva::activex {

// The container services of an ActiveX host, as the control's COM object provides them:
// the ambient UserMode and the property notifications come from the object's site and
// sinks (through the hooks), the timer is a message-only window timer, the settings live
// where the Windows runtime keeps per-user application settings, and the message box is
// the system's.
// GetSetting and SaveSetting raise error 75 with the value's name and the system's reason
// when the registry refuses, and keep any text exactly.
class ComContainer final : public Container {
 public:
  struct Hooks {
    std::function<bool()> user_mode;
    std::function<void(std::u16string_view)> property_changed;
    EventSink* events = nullptr;
  };

  explicit ComContainer(Hooks hooks) : hooks_(std::move(hooks)) {}

  bool UserMode() override { return hooks_.user_mode(); }
  void PropertyChanged(std::u16string_view name) override { hooks_.property_changed(name); }
  EventSink& Events() override { return *hooks_.events; }
  std::unique_ptr<Timer> CreateTimer(std::function<void()> on_tick) override;
  String GetSetting(const String& application, const String& section, const String& key,
                    const String& default_value) override;
  void SaveSetting(const String& application, const String& section, const String& key,
                   const String& value) override;
  void MessageBox(const String& text) override;
  // The card's clear tracks are saved with the control's properties only where the user
  // has switched it on: HKEY_CURRENT_USER\Software\USBORVA\ctlUSBORVA, DWORD value
  // PersistCardData = 1. Anything else (absent, another type or value) keeps them out.
  bool PersistCardData() override;

 private:
  Hooks hooks_;
};

}  // namespace usborva::activex

#endif  // USBORVA_ACTIVEX_COM_CONTAINER_H_
