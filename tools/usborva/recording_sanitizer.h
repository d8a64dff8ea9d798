// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_RECORDING_SANITIZER_H_
#define USBORVA_TOOLS_RECORDING_SANITIZER_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace usborva::cli {

// What a recording keeps of card data unless --reveal: the shape, never the data, so a
// recording can be shared while the host still sees a swipe of the same kind and lengths.

// A clear track replaced by synthetic test data of the same length and layout: the card
// number by a Luhn-valid test number of as many digits (blanks between digit groups kept),
// the track-1 name by a placeholder, the expiry and the service code kept, the
// discretionary data and whatever follows the end sentinel zeroed ('0' for each letter or
// digit; separators and sentinels kept). A track that does not read as a card's (track 1
// "%B" PAN "^" NAME "^" ..., tracks 2 and 3 ";" PAN "=" ..., with a PAN of 12 to 19 digits,
// on track 3 after a two-digit format code) keeps only its length: every character '0'.
// item_type is the card-data item (1 to 3).
std::string SyntheticTrack(std::string_view track, uint8_t item_type);

// An input report made safe in place: clear tracks as SyntheticTrack, encrypted tracks,
// sigil data, the data of unknown card-data items and PIN blocks as zero bytes of the same
// length, and the bytes past the last field of every report the protocol defines zeroed (a
// terminal's buffer may hold what an earlier report left there). Report IDs, item types,
// lengths, statuses, KSNs and the sigil status stay as read; a report of an ID the protocol
// does not define is left as it is.
void SanitizeReport(std::span<uint8_t> report);

// A note of the scenario a simulated session played, with every card number masked.
std::string SanitizeNote(std::string_view text);

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_RECORDING_SANITIZER_H_
