// SPDX-License-Identifier: Apache-2.0
#include "hid_system/ini_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "transport/transport.h"
#include "transport_fixture.h"
#include "usborva_test/growth.h"

namespace usborva::transport {
namespace {

// The reader lives beside the seam, which the backends share; the transport reads through it.
using hid_system::ConfigDirectory;
using hid_system::ConfigFilePath;
using hid_system::ConfigFileProblem;
using hid_system::kMaxConfigFileBytes;
using hid_system::ReadProfileString;

std::string Read(std::string_view text, const char* section, const char* key,
                 const char* default_value = "DEF", uint32_t size = 2048) {
  std::string buffer(size, '#');
  uint32_t n = ReadProfileString(text, section, key, default_value, buffer.data(), size);
  EXPECT_LT(n, size == 0 ? 1 : size);
  if (size > 0) {
    EXPECT_EQ(buffer[n], '\0');
  }
  return buffer.substr(0, n);
}

struct IniCase {
  const char* text;
  const char* section;
  const char* key;
  const char* expected;
};

TEST(IniFileTest, ReadsLikeTheProfileReader) {
  const IniCase kCases[] = {
      {"[S]\nk=v\n", "S", "k", "v"},
      {"[s]\nK=v\n", "S", "k", "v"},                    // names without regard to case
      {"  [ S ]  \n  k  =  v w  \n", "S", "k", "v w"},  // blanks around names and values
      {"[S]\r\nk=v\r\n", "S", "k", "v"},                // CRLF
      {"[S]\nk=\"quoted \"\n", "S", "k", "quoted "},    // matching quotes lost
      {"[S]\nk='q'\n", "S", "k", "q"},
      {"[S]\nk=\"half\n", "S", "k", "\"half"},    // unmatched quote kept
      {"[S]\n;k=comment\nk=v\n", "S", "k", "v"},  // ';' starts a comment line
      {"[S]\nk=a ; not a comment\n", "S", "k", "a ; not a comment"},
      {"[S]\nk=first\nk=second\n", "S", "k", "first"},  // first key wins
      {"[S]\nk=1\n[S]\nj=2\n", "S", "j", "DEF"},        // only the first section is searched
      {"[T]\nk=t\n[S]\nk=s\n", "S", "k", "s"},
      {"[S]\nk=v\n", "S", "missing", "DEF"},
      {"[S]\nk=v\n", "T", "k", "DEF"},
      {"", "S", "k", "DEF"},
      {"[S]\nk=\n", "S", "k", ""},  // present but empty: not the default
      {"[S]\nk\n", "S", "k", ""},
      {"[S\nk=v\n", "S", "k", "DEF"},  // a broken header is no section
      {"k=v\n[S]\n", "S", "k", "DEF"},
      {"\xEF\xBB\xBF[S]\nk=v", "S", "k", "v"},  // UTF-8 mark, no final newline
      {"[S]\nk=v=w\n", "S", "k", "v=w"},
  };
  for (const IniCase& c : kCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Read(c.text, c.section, c.key), c.expected);
  }
}

TEST(IniFileTest, CopiesAtMostSizeLessOneAndTrimsTheDefault) {
  std::string value(3000, 'x');
  EXPECT_EQ(Read("[S]\nk=" + value, "S", "k").size(), 2047u);
  EXPECT_EQ(Read("[S]\nk=abcdef", "S", "k", "", 4), "abc");
  EXPECT_EQ(Read("", "S", "k", "FALSE  "), "FALSE");
  EXPECT_EQ(Read("", "S", "k", nullptr), "");
  char untouched = '#';
  EXPECT_EQ(ReadProfileString("[S]\nk=v", "S", "k", "", &untouched, 0), 0u);
  EXPECT_EQ(untouched, '#');
}

TEST(IniFileTest, ReadConfigValueGoesThroughTheThreadSystem) {
  const std::unique_ptr<SimulatedHidSystem> machine = NewSimulatedHidSystem();
  ScopedHidSystem installed(*machine);
  machine->SetConfigText(std::string("[Settings]\nUseConfigFile = TRUE\n"));
  EXPECT_EQ(ReadConfigValue("Settings", "UseConfigFile", "FALSE", kConfigFileName), "TRUE");
  EXPECT_EQ(ReadConfigValue("Settings", "Other", "FALSE", kConfigFileName), "FALSE");
}

// The file itself, found in the configuration directory.
class ConfigDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/usborva_ini_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    const char* old = getenv("USBORVA_CONFIG_DIR");
    if (old != nullptr) old_ = old;
    setenv("USBORVA_CONFIG_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
    if (old_) {
      setenv("USBORVA_CONFIG_DIR", old_->c_str(), 1);
    } else {
      unsetenv("USBORVA_CONFIG_DIR");
    }
  }
  void Write(const std::string& text) { std::ofstream(path(), std::ios::binary) << text; }
  std::string path() const { return dir_ + "/" + kConfigFileName; }
  std::string dir_;
  std::optional<std::string> old_;
};

TEST_F(ConfigDirectoryTest, FileIsReadAfreshFromTheDirectory) {
  EXPECT_EQ(ConfigDirectory(), dir_);
  EXPECT_EQ(ConfigFilePath("QXORVA.cfg"), dir_ + "/QXORVA.cfg");
  EXPECT_EQ(ConfigFilePath("/x/y.cfg"), "/x/y.cfg");
  // No in-memory text: the file decides.
  const std::unique_ptr<SimulatedHidSystem> machine = NewSimulatedHidSystem();
  ScopedHidSystem installed(*machine);
  EXPECT_TRUE(IsSupportedDevice(0x2A5C, 0x4C21));  // no file: built-in IDs
  Write("[Settings]\nUseConfigFile=TRUE\n[PID_4C21]\nActive=FALSE\n");
  EXPECT_FALSE(IsSupportedDevice(0x2A5C, 0x4C21));
  Write("[Settings]\nUseConfigFile=TRUE\n[PID_4C21]\nActive=TRUE\n");
  EXPECT_TRUE(IsSupportedDevice(0x2A5C, 0x4C21));
  unsetenv("USBORVA_CONFIG_DIR");
  EXPECT_EQ(ConfigDirectory(), "/etc");
}

// A file that is there but cannot be read as meant would otherwise read as no file, letting
// the built-in product IDs back in: it must refuse every terminal instead, and say why.
TEST_F(ConfigDirectoryTest, FileThatCannotBeReadRefusesEveryTerminal) {
  const std::unique_ptr<SimulatedHidSystem> machine = NewSimulatedHidSystem();
  ScopedHidSystem installed(*machine);
  EXPECT_EQ(ConfigFileProblem(kConfigFileName), "");  // missing: the built-in IDs
  struct Case {
    const char* name;
    std::function<void()> plant;
    const char* reason;
  };
  const Case kCases[] = {
      {"folder", [&] { std::filesystem::create_directory(path()); }, "directory"},
      {"fifo", [&] { ASSERT_EQ(mkfifo(path().c_str(), 0600), 0); }, "FIFO"},
      {"dev-zero", [&] { std::filesystem::create_symlink("/dev/zero", path()); }, "device"},
      {"over-limit",
       [&] { Write("[Settings]\nUseConfigFile=FALSE\n" + std::string(kMaxConfigFileBytes, ';')); },
       "limit of 1048576 bytes"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(path());
    c.plant();
    EXPECT_FALSE(IsSupportedDevice(0x2A5C, 0x4C21));
    EXPECT_EQ(ReadConfigValue("Settings", "UseConfigFile", "FALSE", kConfigFileName), "");
    const std::string problem = ConfigFileProblem(kConfigFileName);
    EXPECT_NE(problem.find(path()), std::string::npos) << problem;
    EXPECT_NE(problem.find(c.reason), std::string::npos) << problem;
  }
  std::filesystem::remove_all(path());
  Write(std::string(kMaxConfigFileBytes - 1, '\n') + "x");  // at the limit: read
  EXPECT_TRUE(IsSupportedDevice(0x2A5C, 0x4C21));
  if (geteuid() != 0) {  // permissions do not bind root
    ASSERT_EQ(chmod(path().c_str(), 0), 0);
    EXPECT_FALSE(IsSupportedDevice(0x2A5C, 0x4C21));
  }
}

class FailClosedOpenTest : public ConfigDirectoryTest {};

TEST_F(FailClosedOpenTest, SupportedTerminalIsNotOpenedWhileTheFileIsUnreadable) {
  const std::unique_ptr<SimulatedHidSystem> machine = NewSimulatedHidSystem();
  ScopedHidSystem installed(*machine);
  ThreadDeviceRecord() = DeviceRecord{};
  sim::InterfaceSpec spec;
  spec.vendor_id = 0x2A5C;
  spec.product_id = 0x4C21;
  machine->AddInterface(spec);
  std::filesystem::create_directory(path());
  ASSERT_TRUE(InitTransport());
  OpenDevice();
  EXPECT_EQ(ThreadDeviceRecord().DeviceHandle, kInvalidHandleValue);
  std::filesystem::remove(path());
  OpenDevice();
  EXPECT_NE(ThreadDeviceRecord().DeviceHandle, kInvalidHandleValue);
  CloseDevice();
  CloseReadEvent();
  ThreadDeviceRecord() = DeviceRecord{};
}

std::string Utf16Le(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

TEST(IniFileTest, Utf16LeWithAByteOrderMarkReadsAsTheAnsiReaderHandsItOut) {
  const std::string text = Utf16Le(
      u"[Settings]\r\nUseConfigFile = TRUE\r\n[PID_4C21]\r\nActive=caf\u00e9 "
      u"\u20ac\U0001F600.\r\n");
  EXPECT_EQ(Read(text, "settings", "USECONFIGFILE"), "TRUE");
  // Up to U+00FF as its byte; anything else, a surrogate pair included, as one '?'.
  EXPECT_EQ(Read(text, "PID_4C21", "Active"), "caf\xE9 ??.");
  EXPECT_EQ(Read(text, "PID_4C21", "Missing"), "DEF");
  EXPECT_EQ(Read(text.substr(0, text.size() - 1), "Settings", "UseConfigFile"), "TRUE");  // odd
  EXPECT_EQ(Read("\xFF\xFE", "S", "k"), "DEF");
}

// Time for a 1 MB text over a 100 KB one: about 10 when linear.
TEST(IniFileTest, LookupTimeIsLinearInTheText) {
  const auto make = [](size_t bytes) {
    std::string text;
    for (size_t i = 0; text.size() < bytes; ++i) {
      text += "[S" + std::to_string(i) + "]\nk=v\n";
    }
    return text;
  };
  const auto lookup = [](const std::string& text) {
    const std::string wide = Utf16Le(std::u16string(text.begin(), text.end()));
    return [text, wide] {
      char buffer[64];
      ReadProfileString(text, "Missing", "k", "", buffer, sizeof buffer);
      ReadProfileString(wide, "Missing", "k", "", buffer, sizeof buffer);
    };
  };
  const double growth = test::GrowthRatio(lookup(make(100 * 1000)), lookup(make(1000 * 1000)));
  EXPECT_LT(growth, 15);
  RecordProperty("growth", std::to_string(growth));
}

}  // namespace
}  // namespace usborva::transport
