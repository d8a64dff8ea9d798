// SPDX-License-Identifier: Apache-2.0
#include "scenario/lexer.h"

#include <algorithm>
#include <cstdint>

#include "convert/text_escapes.h"
#include "usborva/scenario.h"
#include "usborva/text_guard.h"
#include "usborva/utf8.h"
#include "usborva/variant.h"

namespace usborva::scenario {
namespace {

// Columns of one line, counted once from left to right: the tokenizer asks for them in
// increasing order, so a line of many words costs no more than its length. A character is
// what the codec reads as one (a malformed sequence, read as one U+FFFD, is one column).
class ColumnCounter {
 public:
  explicit ColumnCounter(std::string_view line) : line_(line) {}

  int At(size_t offset) {
    offset = std::min(offset, line_.size());
    while (counted_ < offset) {
      counted_ += DecodeUtf8(line_, counted_).length;
      ++column_;
    }
    return column_;
  }

 private:
  std::string_view line_;
  size_t counted_ = 0;
  int column_ = 1;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// A \uHHHH escape in text that is UTF-8: a surrogate pair written as two escapes is one
// character; half of a pair has no UTF-8 form. Returns the length read (one or two escapes).
size_t AppendCodeUnit(std::string_view line, size_t backslash, const convert::TextEscape& escape,
                      std::string& text) {
  const char16_t unit = escape.value;
  if (IsHighSurrogate(unit)) {
    const size_t next = backslash + escape.length;
    const convert::TextEscape low = next < line.size() && line[next] == '\\'
                                        ? convert::ReadTextEscape(line, next)
                                        : convert::TextEscape{};
    if (low.code_unit && IsLowSurrogate(low.value)) {
      text += StringToUtf8(String{unit, low.value});
      return escape.length + low.length;
    }
  }
  if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
    throw LineError(ColumnOf(line, backslash),
                    "\\u" + std::string(line.substr(backslash + 2, 4)) +
                        " is half of a surrogate pair: write the pair, high half first");
  }
  AppendUtf8(unit, text);
  return escape.length;
}

// Appends the escape whose backslash is line[backslash] and returns the position after it.
// Scenario texts are UTF-8 bytes: \xHH is one byte, so "\xC3\xA9" spells U+00E9.
size_t AppendEscape(std::string_view line, size_t backslash, std::string& text) {
  const convert::TextEscape escape = convert::ReadTextEscape(line, backslash);
  if (escape.length == 0) {
    const char e = line[backslash + 1];
    if (e != 'x' && e != 'u') {
      throw LineError(ColumnOf(line, backslash),
                      "unknown escape \\" + QuoteForMessage(std::string_view(&e, 1)) + " (use " +
                          std::string(convert::kTextEscapeList) + ")");
    }
    throw LineError(ColumnOf(line, backslash), escape.problem);
  }
  if (escape.code_unit) return backslash + AppendCodeUnit(line, backslash, escape, text);
  text.push_back(static_cast<char>(escape.value));
  return backslash + escape.length;
}

// Reads the quoted text that starts at line[pos] (the opening quote); pos ends past the
// closing quote.
std::string ReadQuoted(std::string_view line, size_t& pos) {
  const size_t open = pos++;
  std::string text;
  while (pos < line.size()) {
    const char c = line[pos];
    if (c == '"') {
      ++pos;
      return text;
    }
    if (c != '\\') {
      text.push_back(c);
      ++pos;
      continue;
    }
    if (pos + 1 >= line.size()) break;
    pos = AppendEscape(line, pos, text);
  }
  throw LineError(ColumnOf(line, open), "unterminated text: a closing \" is missing");
}

}  // namespace

int ColumnOf(std::string_view line, size_t offset) { return ColumnCounter(line).At(offset); }

std::vector<Token> TokenizeLine(std::string_view line, int line_number, size_t max_tokens) {
  std::vector<Token> tokens;
  ColumnCounter columns(line);
  size_t pos = 0;
  while (pos < line.size()) {
    if (IsBlank(line[pos])) {
      ++pos;
      continue;
    }
    if (line[pos] == '#') break;
    if (tokens.size() >= max_tokens) {
      throw LineError(columns.At(pos), "a line holds at most " + std::to_string(kMaxLineWords) +
                                           " words, continuation lines included");
    }
    Token token;
    token.line = line_number;
    token.column = columns.At(pos);
    if (line[pos] == '"') {
      token.text = ReadQuoted(line, pos);
      token.quoted = true;
    } else {
      const size_t start = pos;
      while (pos < line.size() && !IsBlank(line[pos]) && line[pos] != '"' && line[pos] != '#') {
        ++pos;
      }
      token.text = std::string(line.substr(start, pos - start));
    }
    token.end_column = columns.At(pos);
    tokens.push_back(std::move(token));
  }
  return tokens;
}

}  // namespace usborva::scenario
