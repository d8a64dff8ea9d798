// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_CARDDATA_EXTRACT_TRACK_H_
#define USBORVA_CARDDATA_EXTRACT_TRACK_H_

#include <cstdint>
#include <string_view>

#include "carddata/stored_tracks.h"
#include "usborva/variant.h"

namespace usborva::carddata {

// One track of a card-data text, selected by TrackNum:
//   0     the whole text (empty when it is longer than 32,767 characters);
//   1..3  the stored per-track text of that number from stored;
//   4     from the first "#" through the first "?" at or after it;
//   5     the same from the first "!";
//   other the empty string.
// Positions are Integers: a sentinel beyond position 32,767 yields the empty string. Never
// throws; every failure is the empty string.
String ExtractTrack(int16_t TrackNum, std::u16string_view text, const StoredTrackSet& stored);

}  // namespace usborva::carddata

#endif  // USBORVA_CARDDATA_EXTRACT_TRACK_H_
