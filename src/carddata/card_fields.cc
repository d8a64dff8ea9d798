// SPDX-License-Identifier: Apache-2.0
#include "carddata/card_fields.h"

#include <algorithm>

#include "carddata/text_primitives.h"

namespace usborva::carddata {
namespace {

bool IsDigit(char16_t ch) { return ch >= u'0' && ch <= u'9'; }

bool AllDigits(std::u16string_view text) { return std::all_of(text.begin(), text.end(), IsDigit); }

// Takes a fixed-width numeric field off the front of rest. The separator in its place means
// the field was left out; anything else that is not `width` digits is not that field.
std::u16string_view TakeNumericField(std::u16string_view& rest, size_t width, char16_t separator) {
  if (!rest.empty() && rest.front() == separator) {
    rest.remove_prefix(1);
    return {};
  }
  if (rest.size() < width || !AllDigits(rest.substr(0, width))) return {};
  const std::u16string_view field = rest.substr(0, width);
  rest.remove_prefix(width);
  return field;
}

bool IsValidMonth(std::u16string_view yymm) {
  const int month = (yymm[2] - u'0') * 10 + (yymm[3] - u'0');
  return month >= 1 && month <= 12;
}

// Splits text at the first ch: the part before it stays in text, the part after is returned.
std::u16string_view SplitOff(std::u16string_view& text, char16_t ch) {
  const size_t at = text.find(ch);
  if (at == std::u16string_view::npos) return {};
  const std::u16string_view after = text.substr(at + 1);
  text = text.substr(0, at);
  return after;
}

}  // namespace

TrackTail ParseTrackTail(std::u16string_view tail, char16_t separator) {
  TrackTail fields;
  const std::u16string_view expiry = TakeNumericField(tail, 4, separator);
  // A date with an impossible month is still four characters of the track: the service
  // code follows it either way.
  if (!expiry.empty() && IsValidMonth(expiry)) fields.expiry = String(expiry);
  fields.service_code = String(TakeNumericField(tail, 3, separator));
  fields.discretionary = String(tail);
  return fields;
}

HolderName SplitHolderName(std::u16string_view field) {
  HolderName name;
  std::u16string_view surname = field;
  std::u16string_view given = SplitOff(surname, u'/');
  const std::u16string_view title = SplitOff(given, u'.');
  const String given_trimmed = TrimSpaces(given);
  std::u16string_view first = given_trimmed;
  const std::u16string_view middle = SplitOff(first, u' ');
  name.surname = TrimSpaces(surname);
  name.first_name = String(first);
  name.middle_initial = TrimSpaces(middle);
  name.title = TrimSpaces(title);
  return name;
}

String RemoveSpaces(std::u16string_view text) {
  String out;
  out.reserve(text.size());
  for (const char16_t ch : text) {
    if (ch != u' ') out.push_back(ch);
  }
  return out;
}

bool PassesLuhn(std::u16string_view pan) {
  if (pan.size() < 8 || pan.size() > 19 || !AllDigits(pan)) return false;
  int sum = 0;
  bool doubled = false;
  for (auto it = pan.rbegin(); it != pan.rend(); ++it) {
    int digit = *it - u'0';
    if (doubled) digit = digit * 2 > 9 ? digit * 2 - 9 : digit * 2;
    sum += digit;
    doubled = !doubled;
  }
  return sum % 10 == 0;
}

}  // namespace usborva::carddata
