// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_SETTINGS_LIST_H_
#define USBORVA_TOOLS_SETTINGS_LIST_H_

#include <string_view>
#include <utility>
#include <vector>

#include "usborva/variant.h"

namespace usborva::cli {

// Every key of one section of a settings file's text with the value a lookup of it gives,
// in the order the keys first appear. A key the settings reader would not find (an entry
// line it cannot read) is left out, so the list never shows what `settings get` would not.
// Linear in the text.
std::vector<std::pair<String, String>> ListSettings(std::string_view text, const String& section);

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_SETTINGS_LIST_H_
