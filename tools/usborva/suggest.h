// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_SUGGEST_H_
#define USBORVA_TOOLS_SUGGEST_H_

#include <span>
#include <string>
#include <string_view>

namespace usborva::cli {

// "; did you mean 'PREFIXword'?" naming the candidate closest to what was typed (at most
// two edits away, as the scenario reader suggests directives), or "" when none is close.
// The candidates are the tool's own words, so the suggestion needs no guarding.
std::string DidYouMean(std::string_view typed, std::span<const std::string_view> candidates,
                       std::string_view prefix = "");

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_SUGGEST_H_
