// SPDX-License-Identifier: Apache-2.0
// Loading a scenario from a path: a regular file is read, at most kMaxScenarioBytes of it;
// anything else a path can name is refused at once, with the path in the error.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "usborva/scenario.h"

namespace usborva::scenario {
namespace {

class ScenarioFileTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = testing::TempDir() + "scenario_file_" + std::to_string(::getpid());
    ASSERT_EQ(::mkdir(dir_.c_str(), 0700), 0);
  }
  void TearDown() override {
    for (const std::string& path : created_) ::unlink(path.c_str());
    ::rmdir(dir_.c_str());
  }

  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    created_.push_back(path);
    return path;
  }

  static std::string LoadError(const std::string& path) {
    try {
      LoadScenario(path);
    } catch (const ScenarioError& error) {
      EXPECT_EQ(error.line(), 0);
      return error.what();
    }
    ADD_FAILURE() << "loaded " << path;
    return "";
  }

  std::string dir_;
  std::vector<std::string> created_;
};

TEST_F(ScenarioFileTest, ReadsARegularFileUpToTheLimit) {
  const std::string path = Write("ok.scn", "serial \"F1\"\r\nwait 1ms\rnote here\n");
  Scenario s = LoadScenario(path);
  EXPECT_EQ(s.source, path);
  ASSERT_EQ(s.steps.size(), 2u);
  EXPECT_EQ(s.steps[1].line, 3);

  const std::string at_limit = Write("full.scn", std::string(kMaxScenarioBytes, '#'));
  EXPECT_TRUE(LoadScenario(at_limit).steps.empty());
  const std::string over = Write("over.scn", std::string(kMaxScenarioBytes + 1, '#'));
  EXPECT_EQ(LoadError(over), over +
                                 ": the file is 4194305 bytes; a scenario is at most 4 MiB "
                                 "(4194304 bytes)");
}

TEST_F(ScenarioFileTest, RefusesWhatIsNotARegularFileWithoutBlocking) {
  const std::string fifo = dir_ + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  created_.push_back(fifo);
  // With no writer, a blocking open would wait here for ever.
  EXPECT_EQ(LoadError(fifo), fifo + ": not a regular file");
  EXPECT_EQ(LoadError(dir_), dir_ + ": not a regular file");
  EXPECT_EQ(LoadError("/dev/zero"), "/dev/zero: not a regular file");
  EXPECT_NE(LoadError(dir_ + "/missing").find("cannot open"), std::string::npos);
}

}  // namespace
}  // namespace usborva::scenario
