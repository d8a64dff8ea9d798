// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_CARDDATA_LOCATE_ELEMENT_H_
#define USBORVA_CARDDATA_LOCATE_ELEMENT_H_

#include <cstdint>
#include <string_view>

#include "usborva/variant.h"

namespace usborva::carddata {

// A data element of a track, found by its place relative to a reference character.
//  - The reference is occurrence number len(RefChar) of RefChar's first character, counted
//    from the start of the track.
//  - NumDigits is either a count (see ParseElementCount) or a terminator: occurrence number
//    len(NumDigits) of its first character, also counted from the start.
//  - Going forward, the element starts Displacement characters after the reference and,
//    with a terminator, stops just before it. Going backward, it ends Displacement
//    characters before the reference; with a terminator it keeps the width of the gap
//    between terminator and reference and only moves back.
//  - A missing DirectionBack becomes True when RefChar is exactly "?" (the end sentinel)
//    and False otherwise, and is written back once both characters have been found.
// The reference, the terminator, Displacement, the count derived from a terminator and the
// forward start are Integers; a given count is a Long; the backward start is unlimited.
// Never throws; every failure is the empty string.
String LocateElement(std::u16string_view track, std::u16string_view RefChar, int16_t Displacement,
                     std::u16string_view NumDigits, Variant& DirectionBack);

}  // namespace usborva::carddata

#endif  // USBORVA_CARDDATA_LOCATE_ELEMENT_H_
