// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_CARDDATA_NAMES_H_
#define USBORVA_CARDDATA_NAMES_H_

#include <string_view>

#include "usborva/variant.h"

namespace usborva::carddata {

// The card holder's names from the name field of a track-1 segment. The format code is the
// character after the first "%" (the text's first character when it has no "%"); only "A"
// and "B", in upper case, carry names. The searches span the whole text, not just track 1.
// Never throws; every failure is the empty string.

// Everything between the first "/" and the next "^", without its outer U+0020 blanks:
// given names, initials and title together.
String ParseFirstName(std::u16string_view text);

// Format "B": from after the first "^" to before the first "/"; format "A": from after the
// first "A" to before the first "/". Not trimmed, so padding before the "/" stays.
String ParseLastName(std::u16string_view text);

}  // namespace usborva::carddata

#endif  // USBORVA_CARDDATA_NAMES_H_
