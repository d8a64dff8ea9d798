// SPDX-License-Identifier: Apache-2.0
#include "usborva/settings_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/settings_text.h"
#include "temp_folder.h"
#include "usborva/automation_error.h"

namespace usborva {
namespace {

using testing::ReadAll;
using testing::TempFolder;
using testing::WriteAll;

const std::vector<String>& HostileStrings() {
  static const std::vector<String> strings = {u"",
                                              u" lead",
                                              u"trail ",
                                              u"a=b = c",
                                              u";semi",
                                              u"#hash",
                                              u"[br]",
                                              u"\"q\" 'a'",
                                              u"back\\x",
                                              u"cr\rlf\nboth\r\n",
                                              String(u"nul\0mid", 7),
                                              u"h\u00e9llo \u20ac",
                                              u"\U0001F600",
                                              String(1, u'\xD800'),
                                              String(1, u'\xDC00') + u"x",
                                              u"\t\x01\x7f\\n",
                                              u"Startup",
                                              u"\uFEFFbom"};
  return strings;
}

TEST(SettingsStoreTest, HostileStringsRoundTripAcrossInstances) {
  TempFolder folder;
  const std::vector<String>& hostile = HostileStrings();
  const size_t n = hostile.size();
  {
    const SettingsStore writer(folder.path());
    for (size_t i = 0; i < n; ++i) {
      writer.SaveSetting(u"App", hostile[i], hostile[(i + 1) % n], hostile[(i + 2) % n]);
    }
  }
  const SettingsStore reader(folder.path());
  for (size_t i = 0; i < n; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(reader.GetSetting(u"App", hostile[i], hostile[(i + 1) % n], u"<default>"),
              hostile[(i + 2) % n]);
  }
}

TEST(SettingsStoreTest, FileIsReadableAndMissingNamesGiveTheDefault) {
  TempFolder folder;
  const SettingsStore store(folder.path());
  EXPECT_EQ(store.GetSetting(u"USBHID", u"Startup", u"ComPort", u"none"), u"none");
  store.SaveSetting(u"USBHID", u"Startup", u"ComPort", u"3");
  store.SaveSetting(u"USBHID", u"Startup", u"comport", u"4");  // same key, other case
  EXPECT_EQ(ReadAll(folder / "USBHID/settings.ini"), "[Startup]\nComPort = \"4\"\n");
  struct stat info;
  ASSERT_EQ(stat((folder / "USBHID/settings.ini").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(store.GetSetting(u"USBHID", u"STARTUP", u"COMPORT", u""), u"4");
  EXPECT_EQ(store.GetSetting(u"USBHID", u"Startup", u"Other", u"d"), u"d");
  EXPECT_EQ(store.GetSetting(u"USBHID", u"Other", u"ComPort", u"d"), u"d");
  EXPECT_EQ(store.GetSetting(u"Other", u"Startup", u"ComPort", u"d"), u"d");
  EXPECT_EQ(store.GetSetting(u"", u"Startup", u"ComPort", u"d"), u"d");
  EXPECT_THROW(store.SaveSetting(u"", u"Startup", u"ComPort", u"x"), AutomationError);
}

TEST(SettingsStoreTest, ApplicationNamesStayInsideTheRoot) {
  TempFolder folder;
  const SettingsStore store(folder.path());
  const std::vector<String> names = {
      u"..",    u".",       u"../escape",       u"a/b",
      u"a%2Fb", u".hidden", String(u"n\0l", 3), String(1, u'\xD800')};
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string path = store.FilePath(names[i]);
    const std::string component = path.substr(folder.path().size() + 1);
    EXPECT_EQ(component.find('/'), component.size() - std::string("/settings.ini").size());
    EXPECT_NE(component.front(), '.');
    store.SaveSetting(names[i], u"S", u"k", String(1, static_cast<char16_t>(u'A' + i)));
  }
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(store.GetSetting(names[i], u"S", u"k", u""),
              String(1, static_cast<char16_t>(u'A' + i)));
  }
  EXPECT_FALSE(std::filesystem::exists(folder.path() + "/../escape"));
}

struct LenientCase {
  const char* name;
  std::string text;
  String section;
  String key;
  std::optional<String> expected;
};

TEST(SettingsTextTest, DamagedOrHandEditedFilesAreReadLeniently) {
  const std::vector<LenientCase> cases = {
      {"unquoted value", "[Startup]\nComPort =  3 \n", u"Startup", u"ComPort", u"3"},
      {"bom and crlf", "\xEF\xBB\xBF[Startup]\r\nComPort = \"3\"\r\n", u"Startup", u"ComPort",
       u"3"},
      {"truncated quote", "[Startup]\nComPort = \"3", u"Startup", u"ComPort", std::nullopt},
      {"bad header hides its keys", "[Startup]\n[Start\nComPort = 3\n", u"Startup", u"ComPort",
       std::nullopt},
      {"key before any section", "ComPort = 3\n[Startup]\n", u"Startup", u"ComPort", std::nullopt},
      {"first of two wins", "[startup]\ncomport=\"a\"\n[Startup]\nComPort=\"b\"\n", u"Startup",
       u"ComPort", u"a"},
      {"comment after value", "[A]\nk=1\n[Startup]\nk = \"v\" ; note\n", u"Startup", u"k", u"v"},
      {"junk after value", "[Startup]\nk = \"v\" junk\n", u"Startup", u"k", std::nullopt},
      {"bad lines skipped", std::string(1, '\0') + "\xff[\n=\n\"\n[Startup]\nk=\"\\q\"\nk=\"ok\"\n",
       u"Startup", u"k", u"ok"},
      {"quoted names", "[\"Start\\nup\"]\n\"spaced \" = \" v \"\n", u"Start\nup", u"spaced ",
       u" v "},
      {"empty value", "[Startup]\nk =\n", u"Startup", u"k", u""},
      {"invalid utf-8", "[Startup]\nk = \"\xE9t\xE9\"\n", u"Startup", u"k", u"\uFFFDt\uFFFD"},
  };
  for (const LenientCase& c : cases) {
    EXPECT_EQ(host::SettingsText(c.text).Find(c.section, c.key), c.expected) << c.name;
  }
}

// Names and values, quoted or bare, read malformed UTF-8 with the product's one codec: one
// U+FFFD for each maximal prefix of a sequence that cannot be completed.
TEST(SettingsTextTest, MalformedUtf8ReadsAsTheOneCodecReadsIt) {
  const host::SettingsText quoted("[Startup]\nk = \"\xE2\x82\x41\xE2\x82\"\n");
  EXPECT_EQ(quoted.Find(u"Startup", u"k"), String(u"\uFFFDA\uFFFD"));
  const host::SettingsText bare("[\xF0\x9F\x92]\n\xE2\x82\x41 = \xE2\x82\x41\n");
  EXPECT_EQ(bare.Find(u"\uFFFD", u"\uFFFDA"), String(u"\uFFFDA"));
}

TEST(SettingsTextTest, SaveKeepsEveryOtherLineByteForByte) {
  const std::string original =
      "; top comment\r\n[Other]\r\nkeep = me\r\ngarbage without equals\r\n"
      "[Startup]\r\nComPort = \"3\"   ; hand edited\r\n\r\n; about Later\r\n"
      "[Later]\r\nz=\"\\q\"";
  const host::SettingsText text(original);
  EXPECT_EQ(text.WithValue(u"startup", u"comport", u"4"),
            "; top comment\r\n[Other]\r\nkeep = me\r\ngarbage without equals\r\n"
            "[Startup]\r\nComPort = \"4\"   ; hand edited\r\n\r\n; about Later\r\n"
            "[Later]\r\nz=\"\\q\"");
  EXPECT_EQ(text.WithValue(u"Startup", u"Baud", u"9600"),
            "; top comment\r\n[Other]\r\nkeep = me\r\ngarbage without equals\r\n"
            "[Startup]\r\nComPort = \"3\"   ; hand edited\r\nBaud = \"9600\"\r\n\r\n"
            "; about Later\r\n[Later]\r\nz=\"\\q\"");
  EXPECT_EQ(text.WithValue(u"New", u"k", u"v"), original + "\n\n[New]\nk = \"v\"\n");
  EXPECT_EQ(host::SettingsText("[Later]\nz=\n").WithValue(u"Later", u"z", u"1"),
            "[Later]\nz= \"1\"\n");
}

// Runs body in a child process without the right to write the folders made by root (or,
// when the tests do not run as root, in this process) and returns what it returned.
std::string RunUnprivileged(const std::function<std::string()>& body) {
  if (geteuid() != 0) return body();
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return "pipe failed";
  const pid_t child = fork();
  if (child == 0) {
    close(pipe_fds[0]);
    std::string result = (setgid(65534) == 0 && setuid(65534) == 0) ? body() : "setuid failed";
    if (write(pipe_fds[1], result.data(), result.size()) < 0) _exit(2);
    _exit(0);
  }
  close(pipe_fds[1]);
  std::string result;
  char buffer[512];
  for (ssize_t got; (got = read(pipe_fds[0], buffer, sizeof buffer)) > 0;)
    result.append(buffer, got);
  close(pipe_fds[0]);
  waitpid(child, nullptr, 0);
  return result;
}

TEST(SettingsStoreTest, UnwritableStoreRaisesError75AndKeepsTheOldFile) {
  TempFolder folder;
  const std::string app_folder = folder / "USBHID";
  const std::string path = app_folder + "/settings.ini";
  const std::string old_text = "; mine\n[Startup]\nComPort = \"3\"\n";
  WriteAll(path, old_text);
  WriteAll(path + ".lock", "");
  chmod(folder.path().c_str(), 0755);
  chmod(path.c_str(), 0644);
  chmod((path + ".lock").c_str(), 0666);
  chmod(app_folder.c_str(), 0555);
  const std::string outcome = RunUnprivileged([&] {
    try {
      SettingsStore(folder.path()).SaveSetting(u"USBHID", u"Startup", u"ComPort", u"4");
      return std::string("saved");
    } catch (const AutomationError& e) {
      return std::to_string(e.number()) + " " + e.description();
    }
  });
  EXPECT_EQ(outcome.substr(0, 3), "75 ");
  EXPECT_NE(outcome.find(path), std::string::npos) << outcome;
  EXPECT_NE(outcome.find("ermission denied"), std::string::npos) << outcome;
  EXPECT_EQ(ReadAll(path), old_text);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(app_folder), {}), 2);
  chmod(app_folder.c_str(), 0755);

  // A root that is a file cannot hold the folder at all.
  WriteAll(folder / "plain-file", "");
  try {
    SettingsStore(folder / "plain-file").SaveSetting(u"USBHID", u"Startup", u"k", u"v");
    ADD_FAILURE() << "saved under a file";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), error::kPathFileAccessError);
    EXPECT_NE(e.description().find(folder / "plain-file"), std::string::npos);
  }
}

TEST(SettingsStoreTest, ConcurrentSaversFromTwoProcessesLoseNothing) {
  TempFolder folder;
  constexpr int kSaves = 60;
  pid_t children[2];
  for (int writer = 0; writer < 2; ++writer) {
    children[writer] = fork();
    if (children[writer] == 0) {
      try {
        const SettingsStore store(folder.path());
        for (int i = 0; i < kSaves; ++i) {
          const std::string key = "w" + std::to_string(writer) + "_" + std::to_string(i);
          store.SaveSetting(u"USBHID", u"Startup", String(key.begin(), key.end()), u"v");
        }
      } catch (...) {
        _exit(1);
      }
      _exit(0);
    }
  }
  for (const pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const SettingsStore store(folder.path());
  for (int writer = 0; writer < 2; ++writer) {
    for (int i = 0; i < kSaves; ++i) {
      const std::string key = "w" + std::to_string(writer) + "_" + std::to_string(i);
      EXPECT_EQ(store.GetSetting(u"USBHID", u"Startup", String(key.begin(), key.end()), u""), u"v")
          << key;
    }
  }
}

}  // namespace
}  // namespace usborva
