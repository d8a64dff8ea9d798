// SPDX-License-Identifier: Apache-2.0
#include "usborva/card_view.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "carddata/card_fields.h"

namespace usborva {
namespace {

using carddata::ParseTrackTail;
using carddata::RemoveSpaces;

constexpr std::u16string_view::size_type kNone = std::u16string_view::npos;
constexpr size_t kMinPanDigits = 12;
constexpr size_t kMaxPanDigits = 19;
constexpr size_t kMinNameLength = 2;
constexpr size_t kMaxNameLength = 26;
// A track's data between its format code or start sentinel and its end sentinel: track 1
// holds 79 characters in all, track 2 40.
constexpr size_t kMaxTrack1Data = 76;
constexpr size_t kMaxTrack2Data = 38;

bool IsDigit(char16_t ch) { return ch >= u'0' && ch <= u'9'; }

// A digit, or the character a reader writes in place of one in its masked form.
bool IsPanCharacter(char16_t ch) { return IsDigit(ch) || ch == u'*'; }

// The track-1 character set (blank to "_"), less the sentinels and the field separator.
bool IsTrack1Character(char16_t ch) {
  return ch >= 0x20 && ch <= 0x5F && ch != u'%' && ch != u'^' && ch != u'?';
}

// A name holds no digit: digits there are a number smuggled past the PAN's mask.
bool IsNameCharacter(char16_t ch) { return IsTrack1Character(ch) && !IsDigit(ch); }

// The track-2 character set less its sentinels, and the reader's mask character.
bool IsTrack2Character(char16_t ch) {
  return IsDigit(ch) || ch == u':' || ch == u'<' || ch == u'=' || ch == u'>' || ch == u'*';
}

// 12 to 19 digits (or mask characters), starting with a digit; on track 1 the digit groups
// may be parted by single blanks, as some issuers record them.
bool IsWellFormedPan(std::u16string_view field, bool blanks) {
  size_t count = 0;
  for (size_t i = 0; i < field.size(); ++i) {
    if (IsPanCharacter(field[i])) {
      ++count;
      continue;
    }
    const bool inner_blank = blanks && field[i] == u' ' && i > 0 && i + 1 < field.size() &&
                             IsPanCharacter(field[i - 1]) && IsPanCharacter(field[i + 1]);
    if (!inner_blank) return false;
  }
  return count >= kMinPanDigits && count <= kMaxPanDigits && IsDigit(field.front());
}

bool IsWellFormedName(std::u16string_view field) {
  return field.size() >= kMinNameLength && field.size() <= kMaxNameLength &&
         std::all_of(field.begin(), field.end(), IsNameCharacter);
}

// A numeric field of the tail: its digits, the separator marking it left out, or nothing
// at all when the track ends there.
bool SkipNumericField(std::u16string_view& rest, size_t width, char16_t separator) {
  if (rest.empty()) return true;
  if (rest.front() == separator) {
    rest.remove_prefix(1);
    return true;
  }
  if (rest.size() < width || !std::all_of(rest.begin(), rest.begin() + width, IsDigit)) {
    return false;
  }
  rest.remove_prefix(width);
  return true;
}

// YYMM, service code, then discretionary data of the track's own characters.
bool IsWellFormedTail(std::u16string_view tail, char16_t separator, bool (*allowed)(char16_t)) {
  return SkipNumericField(tail, 4, separator) && SkipNumericField(tail, 3, separator) &&
         std::all_of(tail.begin(), tail.end(), allowed);
}

bool IsLineBreak(char16_t ch) { return ch == u'\r' || ch == u'\n'; }

// A track's data between its start sentinel and where it ends, as offsets into the text.
struct TrackRange {
  size_t sentinel;
  size_t begin;
  size_t end;
};

// ";" and a digit: a numeric track starting (track 2, or track 3 after it).
bool NumericTrackStartsAt(std::u16string_view text, size_t at) {
  return text[at] == u';' && at + 1 < text.size() && IsDigit(text[at + 1]);
}

// Track 1 ends at its end sentinel; without one, at a line break or where the numeric
// track starts, so a lost "?" does not swallow track 2.
std::optional<TrackRange> FindTrack1(std::u16string_view text) {
  const size_t sentinel = text.find(u"%B");
  if (sentinel == kNone) return std::nullopt;
  const size_t begin = sentinel + 2;
  size_t end = begin;
  while (end < text.size() && text[end] != u'?' && !IsLineBreak(text[end]) &&
         !NumericTrackStartsAt(text, end)) {
    ++end;
  }
  return TrackRange{sentinel, begin, end};
}

// Track 2 ends at its end sentinel or at anything that starts another track or line. The
// search skips track 1, whose data may hold a stray ";".
std::optional<TrackRange> FindTrack2(std::u16string_view text, std::optional<TrackRange> track1) {
  size_t at = 0;
  while (at < text.size()) {
    if (track1 && at >= track1->sentinel && at < track1->end) {
      at = track1->end;
      continue;
    }
    if (NumericTrackStartsAt(text, at)) break;
    ++at;
  }
  if (at >= text.size()) return std::nullopt;
  const size_t begin = at + 1;
  size_t end = begin;
  while (end < text.size() && text[end] != u'?' && text[end] != u';' && text[end] != u'%' &&
         !IsLineBreak(text[end])) {
    ++end;
  }
  return TrackRange{at, begin, end};
}

// Format B: PAN "^" name "^" tail, every part well-formed, or the track gives no field.
bool IsWellFormedTrack1(std::u16string_view data, size_t first, size_t second) {
  return second != kNone && data.size() <= kMaxTrack1Data &&
         IsWellFormedPan(data.substr(0, first), true) &&
         IsWellFormedName(data.substr(first + 1, second - first - 1)) &&
         IsWellFormedTail(data.substr(second + 1), u'^', IsTrack1Character);
}

void ApplyTrack1(std::u16string_view data, CardView& view) {
  const size_t first = data.find(u'^');
  if (first == kNone) return;
  view.track1_found = true;
  const size_t second = data.find(u'^', first + 1);
  if (!IsWellFormedTrack1(data, first, second)) {
    view.track1_malformed = true;
    return;
  }
  view.pan = RemoveSpaces(data.substr(0, first));
  const carddata::HolderName name =
      carddata::SplitHolderName(data.substr(first + 1, second - first - 1));
  view.surname = name.surname;
  view.first_name = name.first_name;
  view.middle_initial = name.middle_initial;
  view.title = name.title;
  carddata::TrackTail tail = ParseTrackTail(data.substr(second + 1), u'^');
  view.expiry = std::move(tail.expiry);
  view.service_code = std::move(tail.service_code);
  view.track1_discretionary = std::move(tail.discretionary);
}

// Track 2 fills in what track 1 did not supply.
void ApplyTrack2(std::u16string_view data, CardView& view) {
  const size_t separator = data.find(u'=');
  if (separator == kNone) return;
  view.track2_found = true;
  if (data.size() > kMaxTrack2Data || !IsWellFormedPan(data.substr(0, separator), false) ||
      !IsWellFormedTail(data.substr(separator + 1), u'=', IsTrack2Character)) {
    view.track2_malformed = true;
    return;
  }
  if (view.pan.empty()) view.pan = RemoveSpaces(data.substr(0, separator));
  carddata::TrackTail tail = ParseTrackTail(data.substr(separator + 1), u'=');
  if (view.expiry.empty()) view.expiry = std::move(tail.expiry);
  if (view.service_code.empty()) view.service_code = std::move(tail.service_code);
  view.track2_discretionary = std::move(tail.discretionary);
}

std::u16string_view Slice(std::u16string_view text, TrackRange range) {
  return text.substr(range.begin, range.end - range.begin);
}

}  // namespace

CardView ParseCardView(std::u16string_view text) {
  CardView view;
  const std::optional<TrackRange> track1 = FindTrack1(text);
  if (track1) ApplyTrack1(Slice(text, *track1), view);
  const std::optional<TrackRange> track2 = FindTrack2(text, track1);
  if (track2) ApplyTrack2(Slice(text, *track2), view);
  view.pan_luhn_valid = carddata::PassesLuhn(view.pan);
  return view;
}

}  // namespace usborva
