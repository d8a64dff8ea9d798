// SPDX-License-Identifier: Apache-2.0
#include "scenario/lexer.h"

#include <algorithm>
#include <cstdint>

#include "usborva/scenario.h"
#include "usborva/text_guard.h"

namespace usborva::scenario {
namespace {

bool IsContinuationByte(char c) { return (static_cast<uint8_t>(c) & 0xC0) == 0x80; }

// Columns of one line, counted once from left to right: the tokenizer asks for them in
// increasing order, so a line of many words costs no more than its length.
class ColumnCounter {
 public:
  explicit ColumnCounter(std::string_view line) : line_(line) {}

  int At(size_t offset) {
    offset = std::min(offset, line_.size());
    for (; counted_ < offset; ++counted_) {
      if (!IsContinuationByte(line_[counted_])) ++column_;
    }
    return column_;
  }

 private:
  std::string_view line_;
  size_t counted_ = 0;
  int column_ = 1;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
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
    const size_t escape = pos;
    if (pos + 1 >= line.size()) break;
    const char e = line[pos + 1];
    pos += 2;
    switch (e) {
      case '\\':
        text.push_back('\\');
        break;
      case '"':
        text.push_back('"');
        break;
      case 'n':
        text.push_back('\n');
        break;
      case 'r':
        text.push_back('\r');
        break;
      case 't':
        text.push_back('\t');
        break;
      case '0':
        text.push_back('\0');
        break;
      case 'x': {
        const int high = pos < line.size() ? HexValue(line[pos]) : -1;
        const int low = pos + 1 < line.size() ? HexValue(line[pos + 1]) : -1;
        if (high < 0 || low < 0) {
          throw LineError(ColumnOf(line, escape), "\\x needs two hexadecimal digits");
        }
        text.push_back(static_cast<char>(high << 4 | low));
        pos += 2;
        break;
      }
      default:
        throw LineError(ColumnOf(line, escape), "unknown escape \\" +
                                                    QuoteForMessage(std::string_view(&e, 1)) +
                                                    " (use \\\\ \\\" \\n \\r \\t \\0 or \\xHH)");
    }
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
