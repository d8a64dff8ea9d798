// SPDX-License-Identifier: Apache-2.0
#include "carddata/stored_tracks.h"

namespace usborva::carddata {

StoredTrackTexts& ThreadStoredTracks() {
  thread_local StoredTrackTexts texts;
  return texts;
}

StoredTrackSet ClearTrackSet() {
  StoredTrackTexts& texts = ThreadStoredTracks();
  return {{&texts.StoredTrack1, &texts.StoredTrack2, &texts.StoredTrack3}};
}

StoredTrackSet MaskedTrackSet() {
  StoredTrackTexts& texts = ThreadStoredTracks();
  return {{&texts.StoredTrack1Masked, &texts.StoredTrack2Masked, &texts.StoredTrack3Masked}};
}

}  // namespace usborva::carddata
