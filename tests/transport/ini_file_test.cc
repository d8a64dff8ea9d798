#include "transport/ini_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "transport/transport.h"
#include "transport_fixture.h"

namespace usborva::transport {
namespace {

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
  SimulatedHidSystem machine;
  ScopedHidSystem installed(machine);
  machine.SetConfigText(std::string("[Settings]\nUseConfigFile = TRUE\n"));
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
    std::remove((dir_ + "/" + kConfigFileName).c_str());
    rmdir(dir_.c_str());
    if (old_) {
      setenv("USBORVA_CONFIG_DIR", old_->c_str(), 1);
    } else {
      unsetenv("USBORVA_CONFIG_DIR");
    }
  }
  void Write(const std::string& text) {
    std::ofstream(dir_ + "/" + kConfigFileName, std::ios::binary) << text;
  }
  std::string dir_;
  std::optional<std::string> old_;
};

TEST_F(ConfigDirectoryTest, FileIsReadAfreshFromTheDirectory) {
  EXPECT_EQ(ConfigDirectory(), dir_);
  EXPECT_EQ(ConfigFilePath("QXORVA.cfg"), dir_ + "/QXORVA.cfg");
  EXPECT_EQ(ConfigFilePath("/x/y.cfg"), "/x/y.cfg");
  SimulatedHidSystem machine;  // no in-memory text: the file decides
  ScopedHidSystem installed(machine);
  EXPECT_TRUE(IsSupportedDevice(0x2A5C, 0x4C21));  // no file: built-in IDs
  Write("[Settings]\nUseConfigFile=TRUE\n[PID_4C21]\nActive=FALSE\n");
  EXPECT_FALSE(IsSupportedDevice(0x2A5C, 0x4C21));
  Write("[Settings]\nUseConfigFile=TRUE\n[PID_4C21]\nActive=TRUE\n");
  EXPECT_TRUE(IsSupportedDevice(0x2A5C, 0x4C21));
  unsetenv("USBORVA_CONFIG_DIR");
  EXPECT_EQ(ConfigDirectory(), "/etc");
}

}  // namespace
}  // namespace usborva::transport
