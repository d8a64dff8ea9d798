// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_HOST_PROPERTY_LITERAL_H_
#define USBORVA_HOST_PROPERTY_LITERAL_H_

#include <optional>
#include <string>
#include <string_view>

#include "usborva/variant.h"

namespace usborva::host {

// A Variant as the property-bag file spells it, so that the subtype survives as well as
// the value (docs/property-bag-format.md):
//
//   "text"            String (quoted_text.h escapes)
//   42                Long            CLng(42) is read too
//   CInt(42)          Integer
//   CByte(42)         Byte
//   1.5  2.0  1e+300  Double: shortest form that reads back to the same bits, always with
//   Inf -Inf NaN      a '.' or an exponent; CDbl(...) is read too
//   True  False       Boolean
//   Bytes(01 A0 FF)   Byte array (hex pairs; blanks optional)
//   Empty  Null  Missing
std::string FormatLiteral(const Variant& value);

// The Variant a literal spells (blanks around it ignored; keywords in any case), or nullopt
// with why in *reason when it is not a literal of the form above or is out of range.
std::optional<Variant> ParseLiteral(std::string_view text, std::string* reason);

}  // namespace usborva::host

#endif  // USBORVA_HOST_PROPERTY_LITERAL_H_
