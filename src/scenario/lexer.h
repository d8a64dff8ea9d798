// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_SCENARIO_LEXER_H_
#define USBORVA_SCENARIO_LEXER_H_

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace usborva::scenario {

// One word of a scenario line: a bare word, or a "quoted" text with its escapes resolved.
struct Token {
  std::string text;
  bool quoted = false;
  int line = 0;        // 1-based line number (set by the parser)
  int column = 0;      // 1-based, in characters, where the token starts
  int end_column = 0;  // the column just past its last character
};

// Thrown by the lexer and the value readers; the parser adds the source, and the line
// where the error has none of its own.
struct LineError {
  LineError(int column, std::string message) : column(column), message(std::move(message)) {}
  // At the start of a token.
  LineError(const Token& at, std::string message)
      : line(at.line), column(at.column), message(std::move(message)) {}
  // Just past a token: where a missing value should have been.
  static LineError AtEnd(const Token& after, std::string message) {
    LineError error(after.end_column, std::move(message));
    error.line = after.line;
    return error;
  }

  int line = 0;
  int column = 0;
  std::string message;
};

// The tokens of one line, without its comment ("#" outside quotes to the end of the line),
// each marked with line_number.
// Quoted texts know the product's escapes (convert/text_escapes.h): \\ \" \n \r \t \0,
// \xHH (one byte of the UTF-8 text) and \uHHHH (a code unit, written as its UTF-8; a
// surrogate pair as two escapes, high half first). A line of more
// than max_tokens words is refused at the first word too many (the caller passes what is
// left of kMaxLineWords). Linear in the length of the line. Throws LineError.
std::vector<Token> TokenizeLine(std::string_view line, int line_number, size_t max_tokens);

// The 1-based column, in characters, of byte offset in the line: characters as the UTF-8
// codec reads them, so a malformed sequence (one U+FFFD) is one column.
int ColumnOf(std::string_view line, size_t offset);

}  // namespace usborva::scenario

#endif  // USBORVA_SCENARIO_LEXER_H_
