// SPDX-License-Identifier: Apache-2.0
// The output guard end to end: hostile card data, notes and arguments through the tool,
// in text and JSON, and the process-level safety nets (no core dumps, no aborts).
#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <streambuf>

#include "commands.h"
#include "tool_runner.h"
#include "usborva/text_guard.h"

namespace usborva::cli_test {
namespace {

// A strict JSON reader, enough to tell whether a line is one valid JSON value.
class JsonChecker {
 public:
  static bool Valid(std::string_view text) {
    JsonChecker checker(text);
    return checker.Value() && checker.at_ == text.size();
  }

 private:
  explicit JsonChecker(std::string_view text) : text_(text) {}
  bool Eat(char c) { return at_ < text_.size() && text_[at_] == c && ++at_; }
  bool Word(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }
  bool String() {
    if (!Eat('"')) return false;
    while (at_ < text_.size() && text_[at_] != '"') {
      const auto c = static_cast<unsigned char>(text_[at_++]);
      if (c < 0x20) return false;
      if (c != '\\') continue;
      if (at_ >= text_.size()) return false;
      const char e = text_[at_++];
      if (e == 'u') {
        for (int i = 0; i < 4; ++i, ++at_) {
          if (at_ >= text_.size() || !std::isxdigit(static_cast<unsigned char>(text_[at_]))) {
            return false;
          }
        }
      } else if (std::string_view("\"\\/bfnrt").find(e) == std::string_view::npos) {
        return false;
      }
    }
    return Eat('"');
  }
  bool Number() {
    const size_t start = at_;
    Eat('-');
    while (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_]))) ++at_;
    return at_ > start;
  }
  bool Members(char close, bool keyed) {
    if (Eat(close)) return true;
    do {
      if (keyed && !(String() && Eat(':'))) return false;
      if (!Value()) return false;
    } while (Eat(','));
    return Eat(close);
  }
  bool Value() {
    if (Eat('{')) return Members('}', true);
    if (Eat('[')) return Members(']', false);
    if (at_ < text_.size() && text_[at_] == '"') return String();
    return Word("true") || Word("false") || Word("null") || Number();
  }

  std::string_view text_;
  size_t at_ = 0;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Nothing a person's terminal would act on, and no card number.
void ExpectSafe(const std::string& text, const std::string& what) {
  EXPECT_FALSE(HoldsCardNumber(text)) << what << ":\n" << text;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    EXPECT_TRUE(byte >= 0x20 || c == '\n') << what << ": raw byte " << int{byte};
  }
  EXPECT_EQ(text.find("\u202E"), std::string::npos) << what;
}

const char* const kHostileTracks[] = {
    "%B^4111111111111111/5555555555554444^2812101000?",
    "%B4111111111111111^PUBLIC/JOHN Q 2812101123456789012345?",
    "%B4111111111111111^PUBLIC/JOHN.4111 1111 1111 1111^2812101?",
    "%B4111111111111111^4111-1111/1111.1111^2812101?",
    "%B4111111111111111^\xEF\xBC\x94\xEF\xBC\x91\xEF\xBC\x91\xEF\xBC\x91/J^2812101?",
    "%B4111111111111111^PUBLIC/JOHN^2812101?;4111111111111111=2812101PUB LIC 5555555555554444?",
};

TEST(GuardTest, CardInfoShowsMalformedTracksAsMalformedOnly) {
  for (const char* track : kHostileTracks) {
    RunOptions options;
    options.input = track;
    const RunResult text = RunTool({"card", "info"}, options);
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("malformed"), std::string::npos) << track << "\n" << text.out;
    ExpectSafe(text.out, track);
    const RunResult json = RunTool({"card", "info", "--json"}, options);
    EXPECT_NE(json.out.find("\"malformed\":true}"), std::string::npos) << json.out;
    EXPECT_TRUE(JsonChecker::Valid(Lines(json.out).at(0))) << json.out;
    ExpectSafe(json.out, track);
  }
}

// A scenario of hostile swipes and notes, watched as a person and as a script would.
TEST(GuardTest, MonitorMasksAndEscapesEverything) {
  TempDir dir;
  std::string fullwidth;
  for (int i = 0; i < 16; ++i) fullwidth += "\xEF\xBC\x91";
  std::string scenario =
      "note \"pan 4111 1111 1111 1111 \\x1B[2J \\xFF\\xFE \xE2\x80\xAE " + fullwidth + "\"\n";
  for (const char* track : kHostileTracks) {
    // The terminal sends one byte per character: look-alike digits come as superscripts.
    if (std::string_view(track).find('\xEF') != std::string_view::npos) continue;
    scenario += "swipe track1 \"" + std::string(track) + "\"\nwait 100ms\n";
  }
  std::string superscripts;
  for (int i = 0; i < 4; ++i) superscripts += "\xC2\xB9\xC2\xB2\xC2\xB3";
  scenario += "swipe track2 \";4111111111111111=2812101" + superscripts + "?\"\nwait 100ms\n";
  WriteFile(dir.path() / "hostile.scn", scenario);
  const std::string path = (dir.path() / "hostile.scn").string();
  for (const char* form : {"--json", "--virtual-time"}) {
    const RunResult run = RunTool({"monitor", "--simulate", path, "--virtual-time", form});
    ASSERT_EQ(run.status, 0) << run.err;
    ExpectSafe(run.out, form);
    EXPECT_NE(run.out.find("pan 4111 11** **** 1111"), std::string::npos) << run.out;
    const bool json = std::string(form) == "--json";
    EXPECT_NE(run.out.find(json ? "\\u001b[2J" : "\\x1B[2J"), std::string::npos) << run.out;
    if (json) {
      for (const std::string& line : Lines(run.out)) {
        EXPECT_TRUE(JsonChecker::Valid(line)) << line;
      }
      EXPECT_NE(run.out.find("\"malformed\":true"), std::string::npos);
    } else {
      EXPECT_NE(run.out.find("malformed card data"), std::string::npos) << run.out;
    }
  }
  // --reveal lifts the digit mask only: escapes stay.
  const RunResult revealed =
      RunTool({"monitor", "--simulate", path, "--virtual-time", "--json", "--reveal"});
  EXPECT_NE(revealed.out.find("pan 4111 1111 1111 1111"), std::string::npos);
  EXPECT_EQ(revealed.out.find('\x1B'), std::string::npos);
  for (const std::string& line : Lines(revealed.out)) EXPECT_TRUE(JsonChecker::Valid(line));
}

TEST(GuardTest, ErrorMessagesQuoteLittleAndMaskIt) {
  const std::string track = ";4111111111111111=2812101123456789?\x1B]0;owned\x07";
  const std::vector<std::vector<std::string>> mistakes = {
      {"monitor", "--" + track + std::string(3000, 'x')},
      {"monitor", track},
      {track},
      {"card", track, "--data", "x"},
      {"card", "track", "4111111111111111", "--data", "x"},
      {"monitor", "--duration", track},
      {"send", "--get", "0E \xEF\xBC\x91", "--simulate"},
  };
  for (const auto& args : mistakes) {
    const RunResult result = RunTool(args);
    EXPECT_EQ(result.status, 2) << args[0];
    ExpectSafe(result.err, args[0]);
    for (const std::string& line : Lines(result.err)) EXPECT_LT(line.size(), 160u) << line;
  }
}

TEST(GuardTest, CardNumbersOnTheCommandLineAreWarnedAbout) {
  const std::string card = "%B4111111111111111^PUBLIC/JOHN^2812101?";
  const RunResult data = RunTool({"card", "last-name", "--data", card});
  EXPECT_EQ(data.out, "PUBLIC\n");
  EXPECT_NE(data.err.find("warning: --data"), std::string::npos);
  EXPECT_NE(data.err.find("standard input"), std::string::npos);
  EXPECT_EQ(Lines(data.err).size(), 1u);
  ExpectSafe(data.err, "warning");
  RunOptions piped;
  piped.input = card;
  EXPECT_EQ(RunTool({"card", "last-name"}, piped).err, "");
  EXPECT_EQ(RunTool({"card", "last-name", "--data", "%BX^DOE/ANN^?"}).err, "");
}

// The documented exception: the card methods' results, byte for byte.
TEST(GuardTest, CardMethodsPrintTheirResultExactly) {
  const std::string card = "%B4111111111111111^PUB\x1BLIC/JOHN^2812101?";
  RunOptions piped;
  piped.input = card;
  EXPECT_EQ(RunTool({"card", "track", "0"}, piped).out, card + "\n");
  EXPECT_EQ(RunTool({"card", "last-name"}, piped).out, "PUB\x1BLIC\n");
}

TEST(GuardTest, SendMasksUnlessRevealed) {
  const RunResult masked = RunTool({"send", "--get", "09", "--simulate"});
  EXPECT_EQ(masked.status, 0);
  EXPECT_NE(masked.out.find("OutPutData  09 01 02 ** **"), std::string::npos) << masked.out;
  const RunResult revealed = RunTool({"send", "--get", "09", "--simulate", "--reveal"});
  EXPECT_NE(revealed.out.find("OutPutData  09 01 02 03 04"), std::string::npos);
  EXPECT_NE(revealed.err.find("warning: --reveal"), std::string::npos);
}

// A running tool can neither dump core nor be read by another process of its user.
TEST(ProcessTest, TheToolIsNotDumpable) {
  RunOptions options;
  options.input = "device-status 1 0 0\nwait 1h\n";
  Child child({"monitor", "--simulate", "-", "--json"}, options, /*drop_root=*/true);
  usleep(400 * 1000);
  const std::string proc = "/proc/" + std::to_string(child.pid());
  EXPECT_NE(ReadFile(proc + "/limits").find("Max core file size        0                    0"),
            std::string::npos);
  // A process that is not dumpable has its /proc entries owned by root, whoever runs it.
  struct stat status {};
  ASSERT_EQ(stat((proc + "/status").c_str(), &status), 0);
  EXPECT_EQ(status.st_uid, 0u);
  child.Signal(SIGINT);
  EXPECT_EQ(child.Wait().status, 0);
}

// A streambuf that fails as a full disk or an exhausted heap would.
template <typename Failure>
class FailingBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type) override { throw Failure("disk 4111111111111111\x1B[2J"); }
  std::streamsize xsputn(const char*, std::streamsize) override {
    throw Failure("disk 4111111111111111\x1B[2J");
  }
};

class FakeBadAlloc : public std::bad_alloc {
 public:
  explicit FakeBadAlloc(const char*) {}
};

TEST(ProcessTest, AnyFailureIsOneLineAndStatusFour) {
  const std::vector<std::string> args = {"help"};
  std::ostringstream err;
  FailingBuffer<FakeBadAlloc> no_memory;
  std::ostream out_of_memory(&no_memory);
  EXPECT_EQ(cli::RunTool(args, out_of_memory, err), 4);
  EXPECT_EQ(err.str(), "usborva: out of memory\n");

  std::ostringstream err2;
  FailingBuffer<std::runtime_error> broken;
  std::ostream failing(&broken);
  EXPECT_EQ(cli::RunTool(args, failing, err2), 4);
  EXPECT_EQ(err2.str(), "usborva: internal error: disk 411111******1111\\x1B[2J\n");
}

}  // namespace
}  // namespace usborva::cli_test
