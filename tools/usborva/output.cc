// SPDX-License-Identifier: Apache-2.0
#include "output.h"

#include <streambuf>

#include "usborva/text_guard.h"

namespace usborva::cli {
namespace {

// Back to the start of the line and erase it: the only control sequence the tool sends.
constexpr std::string_view kEraseLine = "\r\033[K";

}  // namespace

class GuardedStream::Buffer : public std::streambuf {
 public:
  Buffer(std::streambuf& target, bool terminal) : target_(target), terminal_(terminal) {}

  bool terminal() const { return terminal_; }
  void set_reveal() { reveal_ = true; }

  // Whole lines go out guarded; a partial line waits for its end, so a card number is
  // never judged in pieces.
  void EmitLines() {
    const size_t end = pending_.rfind('\n');
    if (end == std::string::npos) return;
    Send(GuardText(std::string_view(pending_).substr(0, end + 1), reveal_));
    pending_.erase(0, end + 1);
  }

  void EmitAll() {
    if (pending_.empty()) return;
    Send(GuardText(pending_, reveal_));
    pending_.clear();
  }

  // Past the guard: held text first, so the order stays as written.
  void SendExact(std::string_view text) {
    EmitAll();
    Send(text);
    target_.pubsync();
  }

 protected:
  int_type overflow(int_type ch) override {
    if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
    pending_.push_back(traits_type::to_char_type(ch));
    if (ch == '\n') EmitLines();
    return ch;
  }

  std::streamsize xsputn(const char* text, std::streamsize count) override {
    const std::string_view added(text, static_cast<size_t>(count));
    pending_.append(added);
    if (added.find('\n') != std::string_view::npos) EmitLines();
    return count;
  }

  int sync() override {
    EmitLines();
    return target_.pubsync();
  }

 private:
  void Send(std::string_view text) {
    target_.sputn(text.data(), static_cast<std::streamsize>(text.size()));
  }

  std::streambuf& target_;
  const bool terminal_;
  bool reveal_ = false;
  std::string pending_;
};

GuardedStream::GuardedStream(std::ostream& target, bool terminal)
    : std::ostream(nullptr), buffer_(std::make_unique<Buffer>(*target.rdbuf(), terminal)) {
  rdbuf(buffer_.get());
  // An exception inside the guard (out of memory) reaches the tool's top level instead of
  // silently turning the stream off.
  exceptions(std::ios::badbit);
}

GuardedStream::~GuardedStream() {
  try {
    Finish();
  } catch (...) {
  }
}

void GuardedStream::Finish() {
  buffer_->EmitAll();
  buffer_->pubsync();
}

void GuardedStream::Reveal() {
  // Lines already written were meant for the mask.
  flush();
  buffer_->set_reveal();
}

void GuardedStream::WriteExact(std::string_view text) { buffer_->SendExact(text); }

bool GuardedStream::terminal() const { return buffer_->terminal(); }

namespace {

GuardedStream* Guarded(std::ostream& stream) { return dynamic_cast<GuardedStream*>(&stream); }

}  // namespace

void RevealCardNumbers(std::ostream& stream) {
  if (GuardedStream* guarded = Guarded(stream)) guarded->Reveal();
}

void PrintExact(std::ostream& stream, std::string_view text) {
  if (GuardedStream* guarded = Guarded(stream)) {
    guarded->WriteExact(text);
  } else {
    stream << text;
  }
}

void DrawStatusLine(std::ostream& stream, std::string_view text) {
  // Guarded here, as the exact path below would not; always masked, as the line is only a
  // glance at the session.
  PrintExact(stream, std::string(kEraseLine) + QuoteForMessage(text, 200));
}

void ClearStatusLine(std::ostream& stream) { PrintExact(stream, kEraseLine); }

bool WritesToTerminal(std::ostream& stream) {
  const GuardedStream* guarded = Guarded(stream);
  return guarded != nullptr && guarded->terminal();
}

}  // namespace usborva::cli
