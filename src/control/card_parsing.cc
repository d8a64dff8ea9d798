// SPDX-License-Identifier: Apache-2.0
// The card-parsing methods: tracks, names and elements of CardData and CardDataMasked. Each
// reads the property's current value and never touches the other one; none raises to the
// host, a failure is the empty string.
#include <utility>

#include "carddata/extract_track.h"
#include "carddata/locate_element.h"
#include "carddata/names.h"
#include "carddata/stored_tracks.h"
#include "usborva/usborva.h"

namespace usborva {

String USBORVA::GetTrack(int16_t& TrackNum) {
  return carddata::ExtractTrack(TrackNum, state_.CardData, carddata::ClearTrackSet());
}

String USBORVA::GetTrackMasked(int16_t& TrackNum) {
  return carddata::ExtractTrack(TrackNum, state_.CardDataMasked, carddata::MaskedTrackSet());
}

String USBORVA::GetFName() { return carddata::ParseFirstName(state_.CardData); }

String USBORVA::GetLName() { return carddata::ParseLastName(state_.CardData); }

String USBORVA::GetFNameMasked() { return carddata::ParseFirstName(state_.CardDataMasked); }

String USBORVA::GetLNameMasked() { return carddata::ParseLastName(state_.CardDataMasked); }

// The track comes through the public GetTrack, as a host calling it would get it.
String USBORVA::FindElement(int16_t TrackNum, String RefChar, int16_t Displacement,
                            String NumDigits, Variant& DirectionBack) {
  const String track = GetTrack(TrackNum);
  return carddata::LocateElement(track, RefChar, Displacement, NumDigits, DirectionBack);
}

String USBORVA::FindElementMasked(int16_t TrackNum, String RefChar, int16_t Displacement,
                                  String NumDigits, Variant& DirectionBack) {
  const String track = GetTrackMasked(TrackNum);
  return carddata::LocateElement(track, RefChar, Displacement, NumDigits, DirectionBack);
}

String USBORVA::FindElement(int16_t TrackNum, String RefChar, int16_t Displacement,
                            String NumDigits) {
  Variant direction_back = Variant::Missing();
  return FindElement(TrackNum, std::move(RefChar), Displacement, std::move(NumDigits),
                     direction_back);
}

String USBORVA::FindElementMasked(int16_t TrackNum, String RefChar, int16_t Displacement,
                                  String NumDigits) {
  Variant direction_back = Variant::Missing();
  return FindElementMasked(TrackNum, std::move(RefChar), Displacement, std::move(NumDigits),
                           direction_back);
}

}  // namespace usborva
