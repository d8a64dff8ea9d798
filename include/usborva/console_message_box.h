// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_CONSOLE_MESSAGE_BOX_H_
#define USBORVA_CONSOLE_MESSAGE_BOX_H_

#include <iosfwd>
#include <string>

#include "usborva/export.h"
#include "usborva/variant.h"

namespace usborva {

/// The standalone host's message box: the caption (the application title) and the text on
/// an output stream, line breaks in the text shown as the console's. It waits for Enter
/// only when asked to be interactive and its input is a terminal, so scripts and pipes never
/// hang on it. Ticks are not delivered while it waits.
class USBORVA_EXPORT ConsoleMessageBox {
 public:
  /// Writes to out; reads Enter from standard input, which counts as a terminal when isatty
  /// says so.
  ConsoleMessageBox(std::ostream& out, bool interactive, std::string title = "USBORVA");
  /// The same with an explicit input and whether it counts as a terminal.
  ConsoleMessageBox(std::ostream& out, std::istream& in, bool in_is_terminal, bool interactive,
                    std::string title = "USBORVA");

  /// Writes "[title]" (when the title is not empty) and text, then, when interactive and
  /// reading a terminal, "[OK: press Enter]" and waits for a line. Returns when the user has
  /// answered; nothing ticks meanwhile, as under a modal box.
  void Show(const String& text);

  /// Whether Show waits for Enter (on a terminal only).
  void set_interactive(bool interactive) { interactive_ = interactive; }

 private:
  std::ostream& out_;
  std::istream& in_;
  bool in_is_terminal_;
  bool interactive_;
  std::string title_;
};

}  // namespace usborva

#endif  // USBORVA_CONSOLE_MESSAGE_BOX_H_
