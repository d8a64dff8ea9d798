// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TEST_CARDS_H_
#define USBORVA_TEST_CARDS_H_

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "usborva/export.h"

namespace usborva {

/// A card for rehearsals and shared recordings: a published test number (Luhn-valid, from
/// the test ranges card schemes set aside, never a real account), a placeholder name and
/// tracks shaped as a real card writes them.
struct USBORVA_EXPORT TestCard {
  std::string_view label;         ///< what a person picks it by ("Visa", "Amex 15 digits")
  std::string_view pan;           ///< the card number
  std::string_view name;          ///< the track-1 name, "SURNAME/GIVEN"
  std::string_view expiry;        ///< YYMM
  std::string_view service_code;  ///< three digits
};

/// The built-in test cards, in a fixed order (the interactive simulator numbers them from 1).
USBORVA_EXPORT std::span<const TestCard> TestCards();

/// Track 1 of the card, format B with sentinels: "%B" PAN "^" name "^" YYMM service code,
/// zeroed discretionary data, "?".
USBORVA_EXPORT std::string TestTrack1(const TestCard& card);
/// Track 2 of the card with sentinels: ";" PAN "=" YYMM service code, zeroed discretionary
/// data, "?".
USBORVA_EXPORT std::string TestTrack2(const TestCard& card);

/// The Luhn check digit ('0' to '9') that completes digits; digits must hold only '0'-'9'.
USBORVA_EXPORT char LuhnCheckDigit(std::string_view digits);

/// A Luhn-valid number of length digits (clamped to 12..19) in the test range: "4", then
/// ones, then the check digit ("4111111111111111" for 16). What a recording puts in place
/// of a real card number, keeping its length.
USBORVA_EXPORT std::string TestPan(size_t length);

}  // namespace usborva

#endif  // USBORVA_TEST_CARDS_H_
