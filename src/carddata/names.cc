// SPDX-License-Identifier: Apache-2.0
#include "carddata/names.h"

#include "carddata/text_primitives.h"

namespace usborva::carddata {
namespace {

constexpr char16_t kStartSentinel = u'%';
constexpr char16_t kNameSplit = u'/';
constexpr char16_t kFieldSeparator = u'^';

enum class NameFormat { kNone, kA, kB };

NameFormat FormatCode(std::u16string_view text) {
  const int64_t p = *SearchChar(text, 1, kStartSentinel);
  const String code = Substring(text, p + 1, 1).value_or(String());
  if (code == u"A") return NameFormat::kA;
  if (code == u"B") return NameFormat::kB;
  return NameFormat::kNone;
}

// The text between the character at `after` and the one at `before`, both excluded.
String Between(std::u16string_view text, int64_t after, int64_t before) {
  return Substring(text, after + 1, before - after - 1).value_or(String());
}

}  // namespace

String ParseFirstName(std::u16string_view text) {
  if (FormatCode(text) == NameFormat::kNone) return String();
  const int64_t s = *SearchChar(text, 1, kNameSplit);
  // Without a "/" the search starts at 0 and fails.
  const auto c = SearchChar(text, s, kFieldSeparator);
  if (!c) return String();
  return TrimSpaces(Between(text, s, *c));
}

String ParseLastName(std::u16string_view text) {
  const NameFormat format = FormatCode(text);
  if (format == NameFormat::kNone) return String();
  const char16_t opening = format == NameFormat::kA ? u'A' : kFieldSeparator;
  const int64_t start = *SearchChar(text, 1, opening);
  const int64_t s = *SearchChar(text, 1, kNameSplit);
  return Between(text, start, s);
}

}  // namespace usborva::carddata
