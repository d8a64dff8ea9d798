// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_DISCOVERY_H_
#define USBORVA_DISCOVERY_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "usborva/export.h"
#include "usborva/variant.h"

namespace usborva {

/// Which terminal the control takes when more than one is supported. The terminal's own
/// matching rules (vendor, product, configuration file) decide first; a choice only narrows
/// what they accept further, never widens it. An empty choice (the default) adds nothing:
/// the first supported terminal in enumeration order is taken.
struct USBORVA_EXPORT TerminalChoice {
  /// The interface's device path exactly as discovery reports it (DiscoveredInterface::path,
  /// `usborva list`); empty: any path.
  std::string device_path;
  /// The USB serial number string, compared code unit for code unit; empty: any serial.
  /// Reading it costs one string request per supported candidate, made only when set.
  String serial_number;

  /// True when the choice adds nothing to the matching rules.
  bool Any() const { return device_path.empty() && serial_number.empty(); }
};

/// What discovery made of one HID interface, in the order of its tests.
enum class InterfaceVerdict {
  kSupported,            ///< passes every test: the control can take it
  kCannotOpen,           ///< opens neither for reading and writing nor for queries
  kCannotIdentify,       ///< its vendor and product IDs cannot be read
  kOtherVendor,          ///< the vendor is not the terminal's
  kProductNotListed,     ///< not a built-in product, and no configuration file is in use
  kRefusedByConfigFile,  ///< the configuration file is in use and does not make it active
  kConfigFileUnusable,   ///< the configuration file cannot be read: every terminal is refused
  kNotChosen,            ///< supported, but the TerminalChoice names another terminal
  kNoCapabilities,       ///< supported, but its preparsed data or capabilities cannot be read
};

/// One HID interface as the transport sees it.
struct USBORVA_EXPORT DiscoveredInterface {
  std::string path;               ///< the device path, as the backend names it
  bool identified = false;        ///< vendor_id and product_id were read
  uint16_t vendor_id = 0;         ///< USB vendor ID; 0 when not identified.
  uint16_t product_id = 0;        ///< USB product ID; 0 when not identified.
  std::optional<String> product;  ///< the product string; nullopt when it cannot be read
  std::optional<String> serial;   ///< the serial number string; nullopt when it has none
  InterfaceVerdict verdict = InterfaceVerdict::kCannotOpen;  ///< What discovery made of it.
  /// The matching rules accept it (whatever the choice and its capabilities say).
  bool supported = false;
  /// Supported, and it opens for reading and writing. A supported terminal that opens only
  /// for queries is still taken by the control, whose reads then fail: on Linux, the user
  /// lacks permission on its node.
  bool openable = false;
  /// The control's next open takes this interface (at most one is marked).
  bool taken = false;
  /// The backend's last error for the step that failed (verdicts kCannotOpen,
  /// kCannotIdentify, and kNoCapabilities when the preparsed data failed), or, for a
  /// kSupported terminal that is not openable, of its read/write open; 0 otherwise. Windows
  /// numbering (5 access denied, 2 not found); LastErrorText names it.
  uint32_t error = 0;
  /// Why the interface is not used, in a short phrase for people ("other vendor",
  /// "supported, but cannot be opened for reading and writing (permission denied)"); empty
  /// when it is supported, openable and not refused by the choice.
  std::string reason;
};

/// Every HID interface present on the thread's installed HidSystem, in enumeration order,
/// each with the verdict of the very code PortOpen and the poll loop's reconnection run:
/// the same open (read/write, then query access), the same matching rules read afresh from
/// the configuration file, choice applied after them, and the same capability checks. The
/// interface the control would take with this choice is marked `taken`.
///
/// Each interface is opened, inspected and closed again; its product and serial strings
/// are read. Nothing of the thread's device record changes: a port already open stays as it
/// is (its terminal is opened a second time, briefly, as sharing allows). Never throws
/// except std::bad_alloc; call it on the thread that uses the control, outside a poll
/// tick's handler if the backend's opens may block.
USBORVA_EXPORT std::vector<DiscoveredInterface> SurveyHidInterfaces(
    const TerminalChoice& choice = {});

}  // namespace usborva

#endif  // USBORVA_DISCOVERY_H_
