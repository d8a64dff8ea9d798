// SPDX-License-Identifier: Apache-2.0
#include "carddata/extract_track.h"

#include "carddata/text_primitives.h"

namespace usborva::carddata {
namespace {

constexpr char16_t kTrack4Sentinel = u'#';
constexpr char16_t kTrack5Sentinel = u'!';
constexpr char16_t kEndSentinel = u'?';

String WholeText(std::u16string_view text) {
  const auto length = ToInt16(static_cast<int64_t>(text.size()));
  if (!length) return String();
  return Substring(text, 1, *length).value_or(String());
}

// From the first opening character through the next end sentinel, both included. A missing
// opening character makes the search for "?" start at 0 and fail; a missing "?" leaves a
// length of 1 - s, which is empty at position 1 and a failure beyond it.
String Segment(std::u16string_view text, char16_t opening) {
  const auto s = ToInt16(*SearchChar(text, 1, opening));
  if (!s) return String();
  const auto e_found = SearchChar(text, *s, kEndSentinel);
  if (!e_found) return String();
  const auto e = ToInt16(*e_found);
  if (!e) return String();
  const auto length = ToInt16(int64_t{*e} - *s + 1);
  if (!length) return String();
  return Substring(text, *s, *length).value_or(String());
}

}  // namespace

String ExtractTrack(int16_t TrackNum, std::u16string_view text, const StoredTrackSet& stored) {
  switch (TrackNum) {
    case 0:
      return WholeText(text);
    case 1:
    case 2:
    case 3:
      return *stored.tracks[static_cast<size_t>(TrackNum - 1)];
    case 4:
      return Segment(text, kTrack4Sentinel);
    case 5:
      return Segment(text, kTrack5Sentinel);
    default:
      return String();
  }
}

}  // namespace usborva::carddata
