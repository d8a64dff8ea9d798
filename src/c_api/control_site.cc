// SPDX-License-Identifier: Apache-2.0
#include "c_api/control_site.h"

#include <string>
#include <utility>

#include "c_api/handles.h"

namespace usborva::c_api {
namespace {

// The C interface's numbers are the C++ enumerators' values.
static_assert(static_cast<int32_t>(ConnectionChange::kIdle) == USBORVA_CONNECTION_IDLE);
static_assert(static_cast<int32_t>(ConnectionChange::kLost) == USBORVA_CONNECTION_LOST);
static_assert(static_cast<int32_t>(OpenFailure::kPermissionDenied) ==
              USBORVA_OPEN_FAILURE_PERMISSION_DENIED);
static_assert(static_cast<int32_t>(OpenFailure::kDeviceFailed) ==
              USBORVA_OPEN_FAILURE_DEVICE_FAILED);

HostOptions MakeHostOptions(EventSink& events, const SiteOptions& options) {
  HostOptions host_options;
  host_options.user_mode = options.user_mode;
  host_options.persist_card_data = options.persist_card_data;
  host_options.events = &events;
  host_options.settings_root = options.settings_root;
  return host_options;
}

}  // namespace

// The C interface numbers its events as the event interface does.
static_assert(USBORVA_EVENT_CARD_DATA_CHANGED == static_cast<int>(EventId::kCardDataChanged) &&
              USBORVA_EVENT_CARD_DATA_ERROR == static_cast<int>(EventId::kCardDataError) &&
              USBORVA_EVENT_DEVICE_STATUS_CHANGED ==
                  static_cast<int>(EventId::kDeviceStatusChanged) &&
              USBORVA_EVENT_CARD_STATUS_CHANGED == static_cast<int>(EventId::kCardStatusChanged) &&
              USBORVA_EVENT_PIN_RESPONSE == static_cast<int>(EventId::kPINResponse) &&
              USBORVA_EVENT_SELECT_RESPONSE == static_cast<int>(EventId::kSelectResponse) &&
              USBORVA_EVENT_DISPLAY_DONE == static_cast<int>(EventId::kDisplayDone));

// The PIN block is sensitive: its UTF-8 copy lives only for the handler's call.
void EventRelay::Forward(const RaisedEvent& event) {
  // The host's scenario judges what its controls received (`expect event`).
  if (control_->host != nullptr && control_->host->scenario) {
    control_->host->scenario->player().EventRaised(event);
  }
  if (handler_ == nullptr) return;
  std::string ksn = event.KSN != nullptr ? StringToUtf8(*event.KSN) : std::string();
  std::string epb = event.EPB != nullptr ? StringToUtf8(*event.EPB) : std::string();
  struct WipeOnExit {
    std::string& a;
    std::string& b;
    ~WipeOnExit() {
      Wipe(a);
      Wipe(b);
    }
  } wipe{ksn, epb};
  handler_(user_, control_, static_cast<int32_t>(event.id),
           event.byte_count != 0 ? event.bytes.data() : nullptr, event.byte_count,
           event.KSN != nullptr ? ksn.c_str() : nullptr,
           event.EPB != nullptr ? epb.c_str() : nullptr);
}

ControlSite::ControlSite(EventLoop& loop, usborva_control* control, const SiteOptions& options)
    : control_(control),
      relay_(control),
      host_(loop, MakeHostOptions(relay_, options)),
      on_message_(options.on_message),
      message_user_(options.message_user) {}

void ControlSite::PropertyChanged(std::u16string_view name) {
  host_.PropertyChanged(name);
  if (on_change_ == nullptr) return;
  const std::string utf8 = StringToUtf8(String(name));
  on_change_(change_user_, control_, utf8.c_str());
}

void ControlSite::MessageBox(const String& text) {
  if (on_message_ == nullptr) {
    host_.MessageBox(text);
    return;
  }
  const std::string utf8 = StringToUtf8(text);
  on_message_(message_user_, utf8.c_str());
}

// The notice's texts are views: the C handler gets terminated copies.
void ControlSite::ConnectionChanged(const ConnectionNotice& notice) {
  if (on_connection_ == nullptr) return;
  const std::string status(notice.status);
  const std::string path(notice.path);
  on_connection_(connection_user_, control_, static_cast<int32_t>(notice.change),
                 static_cast<int32_t>(notice.reason), notice.product_id, notice.error,
                 status.c_str(), path.c_str());
}

}  // namespace usborva::c_api
