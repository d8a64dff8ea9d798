// SPDX-License-Identifier: Apache-2.0
#include "udev_fix.h"

#include <unistd.h>

namespace usborva::cli {

std::string InstalledUdevRule() {
  for (std::string_view path : kUdevRulePaths) {
    const std::string name(path);
    if (access(name.c_str(), F_OK) == 0) return name;
  }
  return "";
}

std::string UdevFix(std::string_view installed_rule) {
  std::string fix =
      "  Fix: give your user access with the udev rule USBORVA ships (70-usborva.rules).\n";
  if (installed_rule.empty()) {
    fix +=
        "    It is not installed: install the usborva package, or from the sources:\n"
        "      sudo install -m 0644 packaging/udev/70-usborva.rules /etc/udev/rules.d/\n";
  } else {
    fix += "    Installed: ";
    fix += installed_rule;
    fix += "\n";
  }
  fix +=
      "    Then: sudo udevadm control --reload-rules && sudo udevadm trigger, and plug the\n"
      "    terminal in again.\n"
      "  The rule grants the user at the seat (uaccess) the hidraw node and the USB device\n"
      "  node (for the firmware string). A service, kiosk or SSH session has no seat: copy the\n"
      "  rule to /etc/udev/rules.d/70-usborva.rules, use its commented plugdev lines instead,\n"
      "  and add the user to the plugdev group.\n";
  return fix;
}

}  // namespace usborva::cli
