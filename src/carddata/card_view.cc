#include "usborva/card_view.h"

#include <optional>
#include <utility>

#include "carddata/card_fields.h"

namespace usborva {
namespace {

using carddata::ParseTrackTail;
using carddata::RemoveSpaces;

constexpr std::u16string_view::size_type kNone = std::u16string_view::npos;

bool IsDigit(char16_t ch) { return ch >= u'0' && ch <= u'9'; }

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

void ApplyTrack1(std::u16string_view data, CardView& view) {
  const size_t first = data.find(u'^');
  if (first == kNone) return;
  view.track1_found = true;
  view.pan = RemoveSpaces(data.substr(0, first));
  std::u16string_view rest = data.substr(first + 1);
  const size_t second = rest.find(u'^');
  const carddata::HolderName name = carddata::SplitHolderName(rest.substr(0, second));
  view.surname = name.surname;
  view.first_name = name.first_name;
  view.middle_initial = name.middle_initial;
  view.title = name.title;
  if (second == kNone) return;
  carddata::TrackTail tail = ParseTrackTail(rest.substr(second + 1), u'^');
  view.expiry = std::move(tail.expiry);
  view.service_code = std::move(tail.service_code);
  view.track1_discretionary = std::move(tail.discretionary);
}

// Track 2 fills in what track 1 did not supply.
void ApplyTrack2(std::u16string_view data, CardView& view) {
  const size_t separator = data.find(u'=');
  if (separator == kNone) return;
  view.track2_found = true;
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
