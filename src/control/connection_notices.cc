// SPDX-License-Identifier: Apache-2.0
// Connection notifications: what the host may learn of the terminal coming and going. They
// observe the port lifecycle and the poll loop and change nothing either does; a container
// that does not listen sees the control exactly as before.
#include <string>

#include "diagnostics/diagnostics.h"
#include "transport/transport.h"
#include "usborva/usborva.h"

namespace usborva {
namespace {

OpenFailure FailureOf(transport::OpenOutcome outcome) {
  switch (outcome) {
    case transport::OpenOutcome::kAccessDenied:
    case transport::OpenOutcome::kOpenedForQueryOnly:
      return OpenFailure::kPermissionDenied;
    case transport::OpenOutcome::kRefusedByRules:
      return OpenFailure::kRefusedByMatchingRules;
    case transport::OpenOutcome::kRefusedByConfigFile:
      return OpenFailure::kRefusedByConfigFile;
    case transport::OpenOutcome::kDeviceFailed:
      return OpenFailure::kDeviceFailed;
    case transport::OpenOutcome::kNotTried:
    case transport::OpenOutcome::kOpened:
    case transport::OpenOutcome::kNoTerminal:
      break;
  }
  return OpenFailure::kNoTerminal;
}

}  // namespace

std::string_view ConnectionChangeName(ConnectionChange change) {
  switch (change) {
    case ConnectionChange::kOpenFailed:
      return "open_failed";
    case ConnectionChange::kLost:
      return "lost";
    case ConnectionChange::kReconnected:
      return "reconnected";
    case ConnectionChange::kIdle:
      return "idle";
  }
  return "unknown";
}

std::string_view OpenFailureName(OpenFailure reason) {
  switch (reason) {
    case OpenFailure::kNone:
      return "none";
    case OpenFailure::kNoTerminal:
      return "no_terminal";
    case OpenFailure::kRefusedByMatchingRules:
      return "refused_by_matching_rules";
    case OpenFailure::kRefusedByConfigFile:
      return "refused_by_config_file";
    case OpenFailure::kPermissionDenied:
      return "permission_denied";
    case OpenFailure::kEventCreationFailed:
      return "event_creation_failed";
    case OpenFailure::kDeviceFailed:
      return "device_failed";
  }
  return "unknown";
}

void USBORVA::Notice(const ConnectionNotice& notice) { container_.ConnectionChanged(notice); }

// reason kNone: the open's own outcome says why.
void USBORVA::NoticeOpenFailed(OpenFailure reason) {
  const transport::DeviceRecord& record = transport::ThreadDeviceRecord();
  ConnectionNotice notice;
  notice.change = ConnectionChange::kOpenFailed;
  notice.reason = reason != OpenFailure::kNone ? reason : FailureOf(record.Observed.open);
  if (notice.reason == OpenFailure::kPermissionDenied) {
    notice.product_id = record.DeviceAttributes.ProductID;
    notice.path = record.Observed.device_path;
  }
  Notice(notice);
}

// After a read step that returned no report: the device was given up, or polling halted.
void USBORVA::NoticeReadFailure() {
  const transport::DeviceRecord& record = transport::ThreadDeviceRecord();
  if (!record.TransportStatus.empty()) return NoticeIdle();
  if (record.DeviceHandle != kInvalidHandleValue) return;  // the read is still out
  if (record.Observed.read_error == kErrorAccessDenied) {
    // A terminal the user may not read (opened for queries only) fails every read, and the
    // loop reopens it every other tick: one notice, not a loss and a return each time.
    if (told_ == Told::kUnreadable) return;
    told_ = Told::kUnreadable;
    return NoticeOpenFailed(OpenFailure::kPermissionDenied);
  }
  if (told_ != Told::kConnected) return;  // a reconnect that failed before it was told
  told_ = Told::kLost;
  ConnectionNotice notice;
  notice.change = ConnectionChange::kLost;
  notice.error = record.Observed.read_error;
  notice.path = record.Observed.device_path;
  Notice(notice);
}

// Polling halted on a transport status: nothing more happens until the port is reopened.
void USBORVA::NoticeIdle() {
  const transport::DeviceRecord& record = transport::ThreadDeviceRecord();
  diagnostics::Note(DiagnosticTopic::kConnection, [&] {
    return "polling halted: " + record.TransportStatus + "; it resumes when the port is opened";
  });
  ConnectionNotice notice;
  notice.change = ConnectionChange::kIdle;
  notice.status = record.TransportStatus;
  notice.path = record.Observed.device_path;
  Notice(notice);
}

// The first read step on a terminal the poll loop reopened: it is back unless that read
// failed (which NoticeReadFailure tells, or not, as a loss).
void USBORVA::NoticeBack() {
  reconnect_unconfirmed_ = false;
  const transport::DeviceRecord& record = transport::ThreadDeviceRecord();
  if (record.DeviceHandle == kInvalidHandleValue || !record.TransportStatus.empty()) return;
  if (told_ == Told::kConnected) return;
  told_ = Told::kConnected;
  diagnostics::Note(DiagnosticTopic::kConnection,
                    [&] { return record.Observed.device_path + ": reconnected by the poll loop"; });
  ConnectionNotice notice;
  notice.change = ConnectionChange::kReconnected;
  notice.product_id = record.DeviceAttributes.ProductID;
  notice.path = record.Observed.device_path;
  Notice(notice);
}

}  // namespace usborva
