// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_CONVERT_TEXT_ESCAPES_H_
#define USBORVA_CONVERT_TEXT_ESCAPES_H_

#include <cstddef>
#include <string_view>

namespace usborva::convert {

// The one escape grammar of the product's double-quoted texts: scenario files and the
// host's settings and property-bag files. A backslash starts one of
//
//   \\ \" \n \r \t \0   backslash, quote, line feed, carriage return, tab, NUL
//   \xHH                the value HH (two hex digits, either case) as one unit of the text
//   \uHHHH              the UTF-16 code unit HHHH (four hex digits, either case)
//
// and anything else after a backslash is an error. The unit \xHH stands for is the one the
// text is made of, which is where the two kinds of file part: settings and property-bag
// texts are UTF-16, so \xE9 is U+00E9 there; scenario texts are UTF-8 bytes, so \xE9 is one
// byte there and "\xC3\xA9" spells U+00E9. Below 0x80 both read the same. Files written by
// earlier versions rely on both meanings, so both stay.
struct TextEscape {
  size_t length = 0;              // bytes read, backslash included; 0: not an escape of the grammar
  char16_t value = 0;             // the character, the \xHH value or the \uHHHH code unit
  bool code_unit = false;         // \uHHHH; otherwise value is below 0x100
  const char* problem = nullptr;  // when length is 0: why, in a few words
};

// The escapes a person may write, for error messages.
inline constexpr std::string_view kTextEscapeList = "\\\\ \\\" \\n \\r \\t \\0 \\xHH or \\uHHHH";

// Reads the escape whose backslash is text[backslash]. Never reads past the end of text:
// an escape cut short by the end is refused.
TextEscape ReadTextEscape(std::string_view text, size_t backslash);

}  // namespace usborva::convert

#endif  // USBORVA_CONVERT_TEXT_ESCAPES_H_
