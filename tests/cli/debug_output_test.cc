// SPDX-License-Identifier: Apache-2.0
// USBORVA_DEBUG: the transport's debug channel on standard error, only when asked for, and
// never on standard output or in a JSON run's lines.
#include <gtest/gtest.h>

#include <string>

#include "tool_runner.h"

namespace usborva::cli_test {
namespace {

const std::string kData = std::string(USBORVA_CLI_TEST_DIR) + "/data/";

TEST(DebugOutputTest, OnlyWhenAskedAndOnlyOnStandardError) {
  const std::vector<std::string> args = {"monitor", "--json", "--simulate",
                                         kData + "no_read_access.scn", "--virtual-time"};
  const RunResult quiet = RunTool(args);
  EXPECT_EQ(quiet.err.find("usborva: debug:"), std::string::npos);
  for (const char* off : {"", "0"}) {
    RunOptions options;
    options.env["USBORVA_DEBUG"] = off;
    EXPECT_EQ(RunTool(args, options).err.find("debug:"), std::string::npos) << off;
  }
  RunOptions on;
  on.env["USBORVA_DEBUG"] = "1";
  const RunResult debug = RunTool(args, on);
  EXPECT_EQ(debug.status, quiet.status);
  EXPECT_EQ(debug.out, quiet.out);
  EXPECT_NE(debug.err.find("usborva: debug: open: \\\\?\\hid#vid_2a5c&pid_4c21#sim0: read/write "
                           "open refused (error 5)"),
            std::string::npos)
      << debug.err;
  EXPECT_NE(debug.err.find("usborva: debug: read: "), std::string::npos);
}

}  // namespace
}  // namespace usborva::cli_test
