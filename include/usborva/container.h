// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_CONTAINER_H_
#define USBORVA_CONTAINER_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "usborva/connection.h"
#include "usborva/events.h"
#include "usborva/export.h"
#include "usborva/variant.h"

namespace usborva {

/// A timer of the host's user-interface thread. Ticks arrive through the host's own loop,
/// between the control's calls (or inside a modal loop), never re-entrantly from inside a
/// call, and never while the timer is disabled.
class USBORVA_EXPORT Timer {
 public:
  virtual ~Timer() = default;
  /// Starts or stops the ticks: enabling a disabled timer restarts the count, so the first
  /// tick comes one Interval later; disabling it, even from inside a tick, delivers nothing
  /// more. Never ticks from inside this call.
  virtual void SetEnabled(bool enabled) = 0;
  /// Whether the timer is ticking.
  virtual bool Enabled() const = 0;
  /// The time between ticks, in milliseconds; 0 never ticks. On an enabled timer the count
  /// restarts.
  virtual void SetInterval(int32_t milliseconds) = 0;
  /// The time between ticks, in milliseconds.
  virtual int32_t Interval() const = 0;
};

/// What the control asks of the container that hosts it. All calls come on the one thread
/// that created the control. Any call may throw AutomationError; the control passes such
/// errors on to its own caller where its behaviour says so.
class USBORVA_EXPORT Container {
 public:
  virtual ~Container() = default;

  /// Ambient UserMode: true in a running host, false in a form designer. Asked on every
  /// write of PortOpen or of a read-only property.
  virtual bool UserMode() = 0;
  /// The named property changed: the container marks its saved state dirty.
  virtual void PropertyChanged(std::u16string_view name) = 0;
  /// Where events go. Must stay valid while the control lives.
  virtual EventSink& Events() = 0;
  /// A new timer, disabled, whose ticks call on_tick through the host's loop.
  virtual std::unique_ptr<Timer> CreateTimer(std::function<void()> on_tick) = 0;
  /// Per-user settings: application, section and key address one text value. The stored
  /// value, or default_value when there is none; may throw AutomationError (75).
  virtual String GetSetting(const String& application, const String& section, const String& key,
                            const String& default_value) = 0;
  /// Stores value under application, section and key for the current user; a later
  /// GetSetting returns it. Throws AutomationError (75) when the store cannot be written.
  virtual void SaveSetting(const String& application, const String& section, const String& key,
                           const String& value) = 0;
  /// A modal message box with an OK button only, no icon and no caption of the caller's:
  /// returns when the user closes it.
  virtual void MessageBox(const String& text) = 0;
  /// Whether WriteProperties saves the clear card data (CardData, Track1Data, Track2Data,
  /// Track3Data) into the property bag. Off by default because card-industry rules forbid
  /// keeping full track data after authorization, and a saved bag (a form file, a bag file)
  /// outlives the transaction and is copied around with the application. A container turns
  /// it on only when its user has asked for it explicitly. Loading always reads those keys.
  virtual bool PersistCardData() { return false; }
  /// The connection with the terminal changed (usborva/connection.h): the port could not
  /// open, the terminal was lost or is back, polling went idle. Observations only: the
  /// control does the same whether or not the container listens, and the default ignores
  /// them. Called on the control's thread, at the end of a PortOpen write or inside a poll
  /// tick, as an event handler is; the notice's texts are valid during the call only.
  virtual void ConnectionChanged(const ConnectionNotice& notice) { (void)notice; }
};

/// The container's keyed store of saved properties.
class USBORVA_EXPORT PropertyBag {
 public:
  virtual ~PropertyBag() = default;
  /// The stored Variant for key, or default_value when the key is absent.
  virtual Variant ReadProperty(const String& key, const Variant& default_value) = 0;
  /// Stores value under key, except that a value equal to default_value is not stored
  /// at all (ValueEquals decides).
  virtual void WriteProperty(const String& key, const Variant& value,
                             const Variant& default_value) = 0;
};

}  // namespace usborva

#endif  // USBORVA_CONTAINER_H_
