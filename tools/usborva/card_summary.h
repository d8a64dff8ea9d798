// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_CARD_SUMMARY_H_
#define USBORVA_TOOLS_CARD_SUMMARY_H_

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "json.h"
#include "usborva/card_view.h"

namespace usborva::cli {

// What the tool shows of a card. Unless reveal is set, the PAN is masked (first six and
// last four at most) and the discretionary data is left out; name, expiry and service code
// are shown, as on a receipt. A malformed card (a track found but not well-formed) shows
// which track it is and no field at all, reveal or not.

// The JSON members of the card object (docs/cli.md), in their order; track3 (whether the
// card had a third track) is left out when not known. A malformed card has only the track
// members and "malformed": true.
JsonObject CardJson(const CardView& view, bool reveal, std::optional<bool> track3 = std::nullopt);

// "411111******1111  ALEX Q DEMO  expires 12/27": one line for a swipe.
std::string CardHeadline(const CardView& view, bool reveal);

// Label and value lines for `card info`.
std::vector<std::pair<std::string, std::string>> CardLines(const CardView& view, bool reveal);

// "ALEX Q DEMO" from the name fields; empty when the card carries no name.
std::string HolderName(const CardView& view);
// YYMM as MM/YY; other text as it is.
std::string FormatExpiry(const String& yymm);

// What a person sees of the PAN: masked unless reveal.
String ShownPan(const CardView& view, bool reveal);

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_CARD_SUMMARY_H_
