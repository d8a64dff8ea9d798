// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_UDEV_FIX_H_
#define USBORVA_TOOLS_UDEV_FIX_H_

#include <string>
#include <string_view>

namespace usborva::cli {

// Where udev reads the rule we ship, in the order udev lets one override another.
inline constexpr std::string_view kUdevRulePaths[] = {"/etc/udev/rules.d/70-usborva.rules",
                                                      "/usr/lib/udev/rules.d/70-usborva.rules",
                                                      "/lib/udev/rules.d/70-usborva.rules"};

// What to do when the terminal is there but the user may not open it: the same advice the
// README, docs/cli.md and packaging/udev/README.md give. It names the installed rule when
// udev can see one (installed_rule, "" when none) and the rule's two variants, and never
// asks the user to overwrite a packaged rule with a rule of their own.
std::string UdevFix(std::string_view installed_rule);

// The first of kUdevRulePaths that exists, or "".
std::string InstalledUdevRule();

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_UDEV_FIX_H_
