// SPDX-License-Identifier: Apache-2.0
#include "carddata/text_primitives.h"

#include <limits>

namespace usborva::carddata {

std::optional<int64_t> SearchChar(std::u16string_view text, int64_t start, char16_t ch) {
  if (start < 1) return std::nullopt;
  const auto size = static_cast<int64_t>(text.size());
  if (start > size) return 0;
  const size_t found = text.find(ch, static_cast<size_t>(start - 1));
  if (found == std::u16string_view::npos) return 0;
  return static_cast<int64_t>(found) + 1;
}

std::optional<String> Substring(std::u16string_view text, int64_t start, int64_t length) {
  if (start < 1 || length < 0) return std::nullopt;
  const auto size = static_cast<int64_t>(text.size());
  if (start > size || length == 0) return String();
  const int64_t available = size - start + 1;
  const int64_t taken = length < available ? length : available;
  return String(text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(taken)));
}

std::optional<int16_t> ToInt16(int64_t value) {
  if (value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max())
    return std::nullopt;
  return static_cast<int16_t>(value);
}

std::optional<int32_t> ToInt32(int64_t value) {
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
    return std::nullopt;
  return static_cast<int32_t>(value);
}

String TrimSpaces(std::u16string_view text) {
  const size_t first = text.find_first_not_of(u' ');
  if (first == std::u16string_view::npos) return String();
  const size_t last = text.find_last_not_of(u' ');
  return String(text.substr(first, last - first + 1));
}

}  // namespace usborva::carddata
