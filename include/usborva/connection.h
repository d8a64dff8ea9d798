// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_CONNECTION_H_
#define USBORVA_CONNECTION_H_

#include <cstdint>
#include <string_view>

#include "usborva/export.h"

namespace usborva {

/// What happened to the connection with the terminal.
enum class ConnectionChange : int32_t {
  /// A write of PortOpen = True could not make the terminal usable; reason says why. The
  /// port is closed (PortOpen reads False), except for kPermissionDenied, where the control
  /// holds the terminal opened for queries only: PortOpen reads True and the poll loop keeps
  /// trying, but nothing can be read until the user may read the device.
  kOpenFailed = 1,
  /// A read failed and the control gave the terminal up (unplugged, usually); error holds
  /// the read's last error. PortOpen stays True and the poll loop reconnects on its own.
  kLost = 2,
  /// The poll loop opened the terminal again after a loss; product_id is the terminal's.
  kReconnected = 3,
  /// Polling halted on a transport status (status holds its text): "Incompatible device
  /// attached", "ResetEvent Failed". Only a new write of PortOpen = True starts it again.
  kIdle = 4,
};

/// Why the port could not open (kOpenFailed); kNone for the other changes.
enum class OpenFailure : int32_t {
  kNone = 0,
  kNoTerminal = 1,              ///< no terminal of the supported vendor is present
  kRefusedByMatchingRules = 2,  ///< a terminal is present, but its product ID is not supported
  kRefusedByConfigFile = 3,     ///< the configuration file refuses it (or cannot be read as one)
  kPermissionDenied = 4,        ///< the system refuses read/write access to the terminal
  kEventCreationFailed = 5,     ///< the system refused the read event
  kDeviceFailed = 6,            ///< a supported terminal whose descriptor or caps cannot be read
};

/// One connection notification. Its texts are valid only during the call that delivers it.
/// It carries no card data, and no device strings.
struct ConnectionNotice {
  ConnectionChange change = ConnectionChange::kOpenFailed;  ///< What happened.
  OpenFailure reason = OpenFailure::kNone;                  ///< kOpenFailed
  uint16_t product_id = 0;  ///< kReconnected, and kOpenFailed/kPermissionDenied
  uint32_t error = 0;       ///< kLost: the failed read's last error
  std::string_view status;  ///< kIdle: the transport status text
  std::string_view path;    ///< the terminal's device path, where one is known
};

/// The names used in logs and JSON: "open_failed", "lost", "reconnected", "idle".
USBORVA_EXPORT std::string_view ConnectionChangeName(ConnectionChange change);
/// "none", "no_terminal", "refused_by_matching_rules", "refused_by_config_file",
/// "permission_denied", "event_creation_failed", "device_failed".
USBORVA_EXPORT std::string_view OpenFailureName(OpenFailure reason);

}  // namespace usborva

#endif  // USBORVA_CONNECTION_H_
