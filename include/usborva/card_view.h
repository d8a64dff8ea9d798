#ifndef USBORVA_CARD_VIEW_H_
#define USBORVA_CARD_VIEW_H_

#include <string_view>

#include "usborva/variant.h"

namespace usborva {

// The fields of a payment card as its tracks carry them, for hosts that want more than the
// control's positional methods. Track 1 is read in format B ("%B" PAN "^" name "^" YYMM
// service-code discretionary "?"), track 2 as ";" PAN "=" YYMM service-code discretionary
// "?". A field the card does not carry, or that does not parse, is empty.
struct CardView {
  bool track1_found = false;
  bool track2_found = false;
  // Digits as recorded, blanks removed; a reader's masked form keeps its mask characters.
  // Clear card data: show it through MaskedPan, never as is.
  String pan;
  // An all-digit PAN of 8 to 19 digits whose Luhn check digit is right.
  bool pan_luhn_valid = false;
  // From the track-1 name field "SURNAME/FIRST MIDDLE.TITLE", padding trimmed.
  String surname;
  String first_name;
  String middle_initial;
  String title;
  // YYMM; empty when absent or when MM is not 01 to 12.
  String expiry;
  String service_code;
  String track1_discretionary;
  String track2_discretionary;

  friend bool operator==(const CardView&, const CardView&) = default;
};

// Reads card-data text as readers emit it: track 1 and track 2 one after the other, joined
// directly or by CR/LF, with or without a stray check character after the end sentinel or
// the end sentinel itself. Track 1 supplies PAN, expiry and service code; track 2 fills in
// whatever track 1 lacks. Pure; never throws on any input (short of running out of memory).
CardView ParseCardView(std::u16string_view text);

// The PAN for display: at most the first six and the last four characters shown, every
// other one replaced by "*", length kept. A PAN of 12 or fewer characters shows only its
// last four at most, never more than half of it, so a short number is never shown whole.
String MaskedPan(std::u16string_view pan);

}  // namespace usborva

#endif  // USBORVA_CARD_VIEW_H_
