// SPDX-License-Identifier: Apache-2.0
#include "error_json.h"

#include <streambuf>
#include <string_view>

#include "json.h"

namespace usborva::cli {
namespace {

// A message line longer than this is cut: an error is one sentence, not a dump.
constexpr size_t kMaxMessage = 1024;

bool IsMessage(std::string_view line) {
  return !line.empty() && !line.starts_with("Run 'usborva help") &&
         line.find("warning: ") == std::string_view::npos &&
         line.find("note: ") == std::string_view::npos;
}

}  // namespace

class ErrorRecorder::Buffer : public std::streambuf {
 public:
  explicit Buffer(std::ostream& target) : target_(target) {}

  const std::string& message() const { return message_; }

  void FinishLine() {
    if (IsMessage(line_)) message_ = line_;
    line_.clear();
  }

 protected:
  int_type overflow(int_type ch) override {
    if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
    const char c = traits_type::to_char_type(ch);
    target_.put(c);
    Keep(c);
    return ch;
  }

  std::streamsize xsputn(const char* text, std::streamsize count) override {
    target_.write(text, count);
    for (std::streamsize i = 0; i < count; ++i) Keep(text[i]);
    return count;
  }

  int sync() override {
    target_.flush();
    return 0;
  }

 private:
  void Keep(char c) {
    if (c == '\n') {
      FinishLine();
    } else if (line_.size() < kMaxMessage) {
      line_.push_back(c);
    }
  }

  std::ostream& target_;
  std::string line_;
  std::string message_;
};

ErrorRecorder::ErrorRecorder(std::ostream& err)
    : std::ostream(nullptr), buffer_(std::make_unique<Buffer>(err)) {
  rdbuf(buffer_.get());
}

ErrorRecorder::~ErrorRecorder() = default;

void ErrorRecorder::Report(int status, std::ostream& out) {
  buffer_->FinishLine();
  // `settings get` of an absent key fails without a word, as its text form does.
  if (status == 0 || buffer_->message().empty()) return;
  out << JsonLine(JsonObject()
                      .AddString("type", "error")
                      .AddInt("status", status)
                      .AddString("message", buffer_->message()))
      << "\n";
}

bool WantsJson(std::span<const std::string> args) {
  for (const std::string& arg : args) {
    if (arg == "--") return false;
    if (arg == "--json") return true;
  }
  return false;
}

}  // namespace usborva::cli
