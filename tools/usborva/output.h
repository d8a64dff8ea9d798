// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_OUTPUT_H_
#define USBORVA_TOOLS_OUTPUT_H_

#include <memory>
#include <ostream>
#include <string>
#include <string_view>

namespace usborva::cli {

// The tool's one way to standard output and standard error. RunTool hands every command a
// GuardedStream in place of the real streams, so whatever a command writes (text lines,
// JSON lines, messages, warnings, help) is held until its line is complete and then passes
// GuardText: card numbers masked, control and bidirectional-override characters escaped.
// A number split over several writes is still seen whole, and no command can reach the
// real stream around the guard; the only ways past it are the functions below.
class GuardedStream : public std::ostream {
 public:
  // terminal: the target is a person's terminal (the live status line is drawn only there).
  GuardedStream(std::ostream& target, bool terminal);
  ~GuardedStream() override;
  GuardedStream(const GuardedStream&) = delete;
  GuardedStream& operator=(const GuardedStream&) = delete;

  // Writes what is still held (a last line without its line feed), guarded.
  void Finish();

  // The functions below, for a stream that is one of these.
  void Reveal();
  void WriteExact(std::string_view text);
  bool terminal() const;

 private:
  class Buffer;
  std::unique_ptr<Buffer> buffer_;
};

// --reveal: from now on the stream's card numbers are shown as they are; escaping stays.
void RevealCardNumbers(std::ostream& stream);

// The documented exception: `card track`, `first-name`, `last-name` and `element` print the
// method's result exactly, as the user supplied the text it comes from.
void PrintExact(std::ostream& stream, std::string_view text);

// The live status line: redrawn in place at the bottom of a terminal. The text is guarded;
// only the tool's own cursor control passes as it is.
void DrawStatusLine(std::ostream& stream, std::string_view text);
void ClearStatusLine(std::ostream& stream);

// Whether the stream is a GuardedStream writing to a terminal.
bool WritesToTerminal(std::ostream& stream);

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_OUTPUT_H_
