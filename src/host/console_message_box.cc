// SPDX-License-Identifier: Apache-2.0
#include "usborva/console_message_box.h"

#include <unistd.h>

#include <iostream>
#include <string>
#include <utility>

#include "host/quoted_text.h"

namespace usborva {
namespace {

// CR LF and lone CRs (the text's own line breaks) become the console's LF.
std::string ConsoleLines(const String& text) {
  const std::string utf8 = StringToUtf8(text);
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '\r') {
      out += '\n';
      if (i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
    } else {
      out += utf8[i];
    }
  }
  return out;
}

}  // namespace

ConsoleMessageBox::ConsoleMessageBox(std::ostream& out, bool interactive, std::string title)
    : ConsoleMessageBox(out, std::cin, isatty(STDIN_FILENO) == 1, interactive, std::move(title)) {}

ConsoleMessageBox::ConsoleMessageBox(std::ostream& out, std::istream& in, bool in_is_terminal,
                                     bool interactive, std::string title)
    : out_(out),
      in_(in),
      in_is_terminal_(in_is_terminal),
      interactive_(interactive),
      title_(std::move(title)) {}

void ConsoleMessageBox::Show(const String& text) {
  if (!title_.empty()) out_ << "[" << title_ << "]\n";
  out_ << ConsoleLines(text) << "\n";
  if (interactive_ && in_is_terminal_) {
    out_ << "[OK: press Enter]" << std::flush;
    std::string ignored;
    std::getline(in_, ignored);
  }
  out_.flush();
}

}  // namespace usborva
