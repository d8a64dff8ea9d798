// SPDX-License-Identifier: Apache-2.0
// Card-data text straight from the host: the track, name and element routines must return
// a piece of the text (or nothing) for any text and any arguments, and never fault.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "carddata/extract_track.h"
#include "carddata/locate_element.h"
#include "carddata/names.h"
#include "carddata/stored_tracks.h"
#include "fuzz_checks.h"

namespace {

using usborva::fuzz::Require;

using usborva::String;
using usborva::Variant;

bool IsPieceOf(const String& piece, const String& text) {
  return piece.empty() || text.find(piece) != String::npos;
}

Variant DirectionFrom(uint8_t kind) {
  switch (kind % 6) {
    case 0:
      return Variant::Missing();
    case 1:
      return Variant::FromBoolean(kind & 0x80);
    case 2:
      return Variant::FromInteger(static_cast<int16_t>(kind) - 128);
    case 3:
      return Variant::FromString(kind & 0x80 ? u"True" : u"x");
    case 4:
      return Variant::Null();
    default:
      return Variant::FromDouble(-1.0);
  }
}

}  // namespace

// Layout: track number (2 bytes), Displacement (2), direction kind (1), RefChar length (1),
// NumDigits length (1), then one character per byte: RefChar, NumDigits, card text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 7) return 0;
  const auto track_num = static_cast<int16_t>(data[0] | data[1] << 8);
  const auto displacement = static_cast<int16_t>(data[2] | data[3] << 8);
  Variant direction = DirectionFrom(data[4]);
  String chars(data + 7, data + size);
  const size_t ref_len = std::min<size_t>(data[5] % 8, chars.size());
  const size_t digits_len = std::min<size_t>(data[6] % 12, chars.size() - ref_len);
  const String ref = chars.substr(0, ref_len);
  const String digits = chars.substr(ref_len, digits_len);
  const String text = chars.substr(ref_len + digits_len);

  const String track =
      usborva::carddata::ExtractTrack(track_num, text, usborva::carddata::ClearTrackSet());
  Require(IsPieceOf(track, text));
  Require(IsPieceOf(usborva::carddata::ParseFirstName(text), text));
  Require(IsPieceOf(usborva::carddata::ParseLastName(text), text));
  const String element =
      usborva::carddata::LocateElement(track, ref, displacement, digits, direction);
  Require(IsPieceOf(element, track));
  Require(!direction.IsMissing() || element.empty());
  return 0;
}
