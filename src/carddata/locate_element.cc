// SPDX-License-Identifier: Apache-2.0
#include "carddata/locate_element.h"

#include <optional>

#include "carddata/direction.h"
#include "carddata/element_count.h"
#include "carddata/occurrences.h"
#include "carddata/text_primitives.h"

namespace usborva::carddata {
namespace {

constexpr std::u16string_view kEndSentinel = u"?";

// Position of occurrence number len(key) of key's first character: 0 when a one-character
// key is absent; empty on an empty key or too few occurrences.
std::optional<int16_t> OccurrencePosition(std::u16string_view track, std::u16string_view key) {
  if (key.empty()) return std::nullopt;
  const auto entries = FindOccurrences(key.front(), track);
  if (!entries || key.size() > entries->size()) return std::nullopt;
  return ToInt16((*entries)[key.size() - 1]);
}

struct ElementSpan {
  int64_t start;
  int64_t count;
};

// The element's end as NumDigits gives it: exactly one of count and terminator is set.
struct ElementEnd {
  std::optional<int64_t> count;
  int16_t terminator = 0;
};

std::optional<ElementSpan> ForwardSpan(int16_t r, int16_t d, const ElementEnd& end) {
  const auto start = ToInt16(int64_t{r} + d + 1);
  if (!start) return std::nullopt;
  if (end.count) {
    const auto n = ToInt32(*end.count);
    if (!n) return std::nullopt;
    return ElementSpan{*start, *n};
  }
  const auto gap = ToInt16(int64_t{end.terminator} - r - 1);
  if (!gap || *gap <= 0) return std::nullopt;
  const auto count = ToInt16(int64_t{*gap} - d);
  if (!count) return std::nullopt;
  return ElementSpan{*start, *count};
}

std::optional<ElementSpan> BackwardSpan(int16_t r, int16_t d, const ElementEnd& end) {
  if (end.count) {
    const auto n = ToInt32(*end.count);
    if (!n) return std::nullopt;
    return ElementSpan{int64_t{r} - *n - d, *n};
  }
  // Displacement moves the element back without narrowing it.
  const auto count = ToInt16(int64_t{r} - end.terminator - 1);
  if (!count) return std::nullopt;
  return ElementSpan{int64_t{r} - *count - d, *count};
}

}  // namespace

String LocateElement(std::u16string_view track, std::u16string_view RefChar, int16_t Displacement,
                     std::u16string_view NumDigits, Variant& DirectionBack) {
  const auto r = OccurrencePosition(track, RefChar);
  if (!r) return String();
  ElementEnd end{ParseElementCount(NumDigits)};
  if (!end.count) {
    const auto t = OccurrencePosition(track, NumDigits);
    if (!t) return String();
    end.terminator = *t;
  }
  if (DirectionBack.IsMissing()) DirectionBack = Variant::FromBoolean(RefChar == kEndSentinel);
  const bool backward = IsDirectionBack(DirectionBack);
  const auto span =
      backward ? BackwardSpan(*r, Displacement, end) : ForwardSpan(*r, Displacement, end);
  if (!span) return String();
  // Going forward an absent reference yields nothing; going backward r = 0 takes part in
  // the arithmetic like any other position.
  if (!backward && *r == 0) return String();
  return Substring(track, span->start, span->count).value_or(String());
}

}  // namespace usborva::carddata
