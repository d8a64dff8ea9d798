// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_CARDDATA_CARD_FIELDS_H_
#define USBORVA_CARDDATA_CARD_FIELDS_H_

#include <string_view>

#include "usborva/variant.h"

namespace usborva::carddata {

// The fields that follow the account number on both financial tracks: YYMM, a three-digit
// service code, then discretionary data up to the end of the track. A field the issuer left
// out is marked by the track's separator in its place ("^" on track 1, "=" on track 2).
struct TrackTail {
  String expiry;
  String service_code;
  String discretionary;
};
TrackTail ParseTrackTail(std::u16string_view tail, char16_t separator);

// The track-1 name field "SURNAME/FIRST MIDDLE.TITLE": split at the first "/", then at the
// first "." after it, then at the first blank of the given names; every part trimmed of the
// blank padding that fills the field to its recorded width.
struct HolderName {
  String surname;
  String first_name;
  String middle_initial;
  String title;
};
HolderName SplitHolderName(std::u16string_view field);

// The account number without the blanks some issuers record between digit groups.
String RemoveSpaces(std::u16string_view text);

// True for 8 to 19 decimal digits whose last one is the Luhn check digit of the others.
bool PassesLuhn(std::u16string_view pan);

}  // namespace usborva::carddata

#endif  // USBORVA_CARDDATA_CARD_FIELDS_H_
