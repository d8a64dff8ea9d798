// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_CARD_VIEW_H_
#define USBORVA_CARD_VIEW_H_

#include <string_view>

#include "usborva/export.h"
#include "usborva/variant.h"

namespace usborva {

/// The fields of a payment card as its tracks carry them, for hosts that want more than the
/// control's positional methods. Track 1 is read in format B ("%B" PAN "^" name "^" YYMM
/// service-code discretionary "?"), track 2 as ";" PAN "=" YYMM service-code discretionary
/// "?". A field the card does not carry is empty.
///
/// Only a well-formed track fills fields; one that is not is reported malformed and gives
/// none, so text in the wrong place (a card number as the name, discretionary data run into
/// the name for want of a separator) is never shown as a harmless field. Well-formed:
///  - PAN: 12 to 19 ASCII digits, the first a digit; "*" counts as a digit (a reader's
///    masked form); on track 1 single blanks may part digit groups.
///  - Track 1: PAN "^" name "^" tail, both separators present; the name 2 to 26 characters
///    of the track-1 set (blank to "_") without digits, "%" or "?"; the data after "%B" at
///    most 76 characters (79 with the sentinels).
///  - Track 2: PAN "=" tail; the data after ";" at most 38 characters (40 with the
///    sentinels).
///  - Tail: YYMM as 4 digits, then the service code as 3 digits, either replaced by the
///    track's separator when left out, or both absent when the track ends first; then
///    discretionary data of the track's character set ("^" excluded on track 1; on track 2
///    digits, ":", "<", "=", ">"), "*" allowed as a mask.
/// The end sentinel may be missing, as readers drop it; the track then ends at a line break
/// or where track 2 starts. Characters outside ASCII (look-alike digits among them) are never
/// well-formed.
struct USBORVA_EXPORT CardView {
  /// The track's start ("%B", or ";" and a digit) and its first separator are there.
  bool track1_found = false;
  bool track2_found = false;  ///< The same for track 2.
  /// Found but not well-formed: the track filled no field.
  bool track1_malformed = false;
  bool track2_malformed = false;  ///< The same for track 2.
  /// Digits as recorded, blanks removed; a reader's masked form keeps its mask characters.
  /// Clear card data: show it through MaskedPan, never as is.
  String pan;
  /// An all-digit PAN of 8 to 19 digits whose Luhn check digit is right.
  bool pan_luhn_valid = false;
  /// From the track-1 name field "SURNAME/FIRST MIDDLE.TITLE", padding trimmed.
  String surname;
  String first_name;      ///< FIRST of the name field.
  String middle_initial;  ///< MIDDLE of the name field.
  String title;           ///< TITLE of the name field, after the ".".
  /// YYMM; empty when absent or when MM is not 01 to 12.
  String expiry;
  String service_code;          ///< Three digits, as recorded.
  String track1_discretionary;  ///< Track 1's discretionary data. Clear card data.
  String track2_discretionary;  ///< Track 2's discretionary data. Clear card data.

  /// Whether a track was found but is not well-formed: a printer shows "malformed" and none
  /// of the fields.
  bool malformed() const { return track1_malformed || track2_malformed; }

  /// Every field equal.
  friend bool operator==(const CardView&, const CardView&) = default;
};

/// Reads card-data text as readers emit it: track 1 and track 2 one after the other, joined
/// directly or by CR/LF, with or without a stray check character after the end sentinel or
/// the end sentinel itself. Track 1 supplies PAN, expiry and service code; track 2 fills in
/// whatever track 1 lacks. Pure; never throws on any input (short of running out of memory).
USBORVA_EXPORT CardView ParseCardView(std::u16string_view text);

/// The PAN for display: at most the first six and the last four characters shown, every
/// other one replaced by "*", length kept. A PAN of 12 or fewer characters shows only its
/// last four at most, never more than half of it, so a short number is never shown whole.
USBORVA_EXPORT String MaskedPan(std::u16string_view pan);

}  // namespace usborva

#endif  // USBORVA_CARD_VIEW_H_
