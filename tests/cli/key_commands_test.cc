// SPDX-License-Identifier: Apache-2.0
// The keys of `usborva simulate` on a simulated machine, without a keyboard: what each key
// makes the terminal send, and how typed bytes become keys.
#include "key_commands.h"

#include <gtest/gtest.h>

#include <memory>

#include "key_splitter.h"
#include "usborva/scenario.h"
#include "usborva/test_cards.h"

namespace usborva::cli {
namespace {

class KeyCommandsTest : public testing::Test {
 protected:
  KeyCommandsTest() : id_(system_->AddInterface()), keys_(*system_, id_) {}

  // The reports queued since the last call, read off the machine as the control reads them.
  std::vector<sim::Report> Sent() {
    const Handle device = system_->CreateFileA(
        "\\\\?\\hid#vid_2a5c&pid_4c21#sim0", kGenericRead | kGenericWrite,
        kFileShareRead | kFileShareWrite, nullptr, kOpenExisting, kFileFlagOverlapped);
    std::vector<sim::Report> reports;
    while (system_->QueuedInputReports(id_) > 0) {
      sim::Report report(sim::kDefaultInputReportLength);
      Overlapped overlapped;
      uint32_t read = 0;
      EXPECT_TRUE(system_->ReadFile(device, report.data(), static_cast<uint32_t>(report.size()),
                                    &read, &overlapped));
      report.resize(read);
      reports.push_back(std::move(report));
    }
    system_->CloseHandle(device);
    return reports;
  }

  std::unique_ptr<SimulatedHidSystem> system_ = NewSimulatedHidSystem();
  SimulatedHidSystem::InterfaceId id_;
  KeyCommands keys_;
};

TEST_F(KeyCommandsTest, DigitsSwipeTheTestCardsAsTheSwipeDirectiveSendsThem) {
  for (char digit = '1'; digit <= '8'; ++digit) {
    const TestCard& card = TestCards()[static_cast<size_t>(digit - '1')];
    const KeyOutcome outcome = keys_.Press(std::string(1, digit));
    EXPECT_NE(outcome.note.find(std::string(card.label)), std::string::npos) << outcome.note;
    // The number is masked in the note whatever the output's settings.
    EXPECT_EQ(outcome.note.find(std::string(card.pan)), std::string::npos) << outcome.note;
    scenario::SwipeFields fields;
    const std::string track1 = TestTrack1(card), track2 = TestTrack2(card);
    fields.items[0].assign(track1.begin(), track1.end());
    fields.items[1].assign(track2.begin(), track2.end());
    fields.card_status = {0, 1, 1};
    EXPECT_EQ(Sent(), scenario::SwipeReports(fields, system_->Interface(id_))) << digit;
  }
  EXPECT_NE(keys_.Press("9").note.find("does nothing"), std::string::npos);
  EXPECT_NE(keys_.Press("0").note.find("does nothing"), std::string::npos);
  EXPECT_TRUE(Sent().empty());
}

TEST_F(KeyCommandsTest, AFailedReadEndsWithAnErrorStatus) {
  keys_.Press("e");
  const std::vector<sim::Report> sent = Sent();
  ASSERT_EQ(sent.size(), 9u);
  EXPECT_EQ(sent[0][2], 2);  // card status: the read failed
  EXPECT_EQ(sent[8][1], protocol::kCardItemEnd);
  EXPECT_EQ(sent[8][2], KeyCommands::kReadError);
}

TEST_F(KeyCommandsTest, PinEntriesCarryThePinKsnAndAFixedTestBlock) {
  keys_.Press("p");
  keys_.Press("P");
  const std::vector<sim::Report> sent = Sent();
  ASSERT_EQ(sent.size(), 2u);
  const std::vector<uint8_t> ksn =
      scenario::TerminalKsn(system_->Interface(id_).terminal, sim::kInfoPINKSN);
  EXPECT_EQ(sent[0], sim::PINResponse(0, ksn, KeyCommands::kTestPinBlock));
  EXPECT_EQ(ksn[9], 0x01);  // the default terminal's PIN KSN ends in 01
  EXPECT_EQ(sent[1], sim::PINResponse(1, ksn, std::vector<uint8_t>(8, 0)));
}

TEST_F(KeyCommandsTest, SelectionKeysDisplayDoneAndDeviceStatus) {
  // !, then F1 as xterm, a VT220 and the Linux console send it, then $ and F4.
  for (const char* key : {"!", "\x1BOP", "\x1B[11~", "\x1B[[A", "$", "\x1BOS"}) {
    EXPECT_NE(keys_.Press(key).note.find("selection key"), std::string::npos) << key;
  }
  const std::vector<sim::Report> sent = Sent();
  ASSERT_EQ(sent.size(), 6u);
  const uint8_t expected[] = {1, 1, 1, 1, 4, 4};
  for (size_t i = 0; i < sent.size(); ++i) EXPECT_EQ(sent[i], sim::SelectResponse(0, expected[i]));
  for (const char* key : {"d", "s", "s"}) keys_.Press(key);
  EXPECT_EQ(Sent(), (std::vector<sim::Report>{sim::DisplayDone(0), sim::DeviceStatus(1, 1, 0),
                                              sim::DeviceStatus(1, 0, 0)}));
}

TEST_F(KeyCommandsTest, TheCableKeyTogglesAndNothingIsSentWhileItIsOut) {
  EXPECT_NE(keys_.Press("u").note.find("pulled"), std::string::npos);
  EXPECT_FALSE(system_->Present(id_));
  const KeyOutcome swipe = keys_.Press("1");
  EXPECT_NE(swipe.note.find("nothing reaches the host"), std::string::npos);
  EXPECT_EQ(system_->QueuedInputReports(id_), 0u);
  EXPECT_NE(keys_.Press("u").note.find("plugged back"), std::string::npos);
  EXPECT_TRUE(system_->Present(id_));
  keys_.Press("d");
  EXPECT_EQ(Sent().size(), 1u);
}

TEST_F(KeyCommandsTest, QuitHelpCardsLayoutAndUnknownKeys) {
  for (const char* key : {"q", "\x03", "\x04"}) EXPECT_TRUE(keys_.Press(key).quit) << key;
  EXPECT_EQ(keys_.Press("?").show, KeyOutcome::Show::kKeys);
  EXPECT_EQ(keys_.Press("h").show, KeyOutcome::Show::kKeys);
  EXPECT_EQ(keys_.Press("c").show, KeyOutcome::Show::kCards);
  for (const char* key : {" ", "\n", "\r", "\t"}) {
    const KeyOutcome layout = keys_.Press(key);
    EXPECT_TRUE(layout.note.empty() && !layout.quit && layout.show == KeyOutcome::Show::kNothing);
  }
  EXPECT_EQ(keys_.Press("x").note, "key 'x' does nothing (? lists the keys)");
  EXPECT_EQ(keys_.Press("\x1A").note, "key Ctrl-Z does nothing (? lists the keys)");
  EXPECT_EQ(keys_.Press("\x1B[A").note, "key Up does nothing (? lists the keys)");
  EXPECT_TRUE(Sent().empty());
  // The card list masks every number.
  for (const TestCard& card : TestCards()) {
    EXPECT_EQ(TestCardList().find(std::string(card.pan)), std::string::npos);
  }
}

std::vector<std::string> Split(KeySplitter& splitter, bool pause) {
  std::vector<std::string> keys;
  while (std::optional<std::string> key = splitter.Next(pause)) keys.push_back(*key);
  return keys;
}

TEST(KeySplitterTest, EscapeSequencesAndCharactersAreOneKeyEach) {
  KeySplitter splitter;
  splitter.Add("1\x1BOP\x1B[15~\xC3\xA9q\x1B[1;5Dx");
  EXPECT_EQ(Split(splitter, false), (std::vector<std::string>{"1", "\x1BOP", "\x1B[15~", "\xC3\xA9",
                                                              "q", "\x1B[1;5D", "x"}));
  // A sequence split over two reads waits for its end; Esc alone is taken at a pause.
  splitter.Add("\x1B[");
  EXPECT_TRUE(Split(splitter, false).empty());
  splitter.Add("B\x1B");
  EXPECT_EQ(Split(splitter, false), std::vector<std::string>{"\x1B[B"});
  EXPECT_EQ(Split(splitter, true), std::vector<std::string>{"\x1B"});
  // A sequence that never ends is cut at kMaxKey, and what breaks it off is a key again.
  splitter.Add("\x1B[" + std::string(40, '1'));
  EXPECT_EQ(Split(splitter, false).at(0).size(), KeySplitter::kMaxKey);
  EXPECT_LT(splitter.held(), 40u);
  KeySplitter broken;
  broken.Add("\x1B[1\x03");
  EXPECT_EQ(Split(broken, false), (std::vector<std::string>{"\x1B[1", "\x03"}));
  // A UTF-8 lead byte without its continuation is a key of its own.
  broken.Add("\xC3q");
  EXPECT_EQ(Split(broken, false), (std::vector<std::string>{"\xC3", "q"}));
}

}  // namespace
}  // namespace usborva::cli
