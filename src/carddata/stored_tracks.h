// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_CARDDATA_STORED_TRACKS_H_
#define USBORVA_CARDDATA_STORED_TRACKS_H_

#include <array>

#include "usborva/variant.h"

namespace usborva::carddata {

// The per-track texts that track numbers 1 to 3 return, one set for CardData and one for
// CardDataMasked. They belong to the thread, shared by every control on it, and start
// empty. Nothing in the control fills them: a track of the card-data text is cut out with
// track numbers 4 and 5 instead, and the reader's own tracks arrive in Track1Data and its
// siblings. Keeping them lets a host-side extension supply them without changing callers.
struct StoredTrackTexts {
  String StoredTrack1;
  String StoredTrack2;
  String StoredTrack3;
  String StoredTrack1Masked;
  String StoredTrack2Masked;
  String StoredTrack3Masked;
};

StoredTrackTexts& ThreadStoredTracks();

// One of the two sets, as ExtractTrack reads it: tracks[0] is track 1.
struct StoredTrackSet {
  std::array<const String*, 3> tracks;
};

// StoredTrack1..3, used with CardData.
StoredTrackSet ClearTrackSet();
// StoredTrack1Masked..3Masked, used with CardDataMasked.
StoredTrackSet MaskedTrackSet();

}  // namespace usborva::carddata

#endif  // USBORVA_CARDDATA_STORED_TRACKS_H_
