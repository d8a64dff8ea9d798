// SPDX-License-Identifier: Apache-2.0
// `monitor` on a simulated terminal whose driver's queue overflows: every drop is a line at
// the moment it happens, the host's events show exactly the reports the platform's driver
// keeps, and the summary counts the drops.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "tool_runner.h"

namespace usborva::cli_test {
namespace {

// A terminal that sends count display-done reports at once, 100 ms in, each numbered in
// its status byte.
std::string Burst(const std::string& queue, int count) {
  std::string text = "queue " + queue + "\nwait 100ms\n";
  for (int i = 0; i < count; ++i) text += "display-done " + std::to_string(i) + "\n";
  return text + "wait 100ms\n";
}

RunResult Monitor(const std::string& scenario, bool json) {
  RunOptions options;
  options.input = scenario;
  std::vector<std::string> args = {"monitor", "--simulate", "-", "--virtual-time"};
  if (json) args.push_back("--json");
  return RunTool(args, options);
}

// The display statuses of the DisplayDone events, in order.
std::vector<int> Statuses(const std::string& out) {
  static const std::regex kEvent(R"("event":"DisplayDone","args":\{"DisplayStatus":(\d+)\})");
  std::vector<int> statuses;
  for (auto it = std::sregex_iterator(out.begin(), out.end(), kEvent); it != std::sregex_iterator();
       ++it) {
    statuses.push_back(std::stoi((*it)[1]));
  }
  return statuses;
}

std::vector<int> Numbers(int first, int last) {
  std::vector<int> numbers;
  for (int i = first; i <= last; ++i) numbers.push_back(i);
  return numbers;
}

TEST(QueueTest, WindowsKeepsTheNewestAndSaysHowManyWentWhen) {
  const RunResult run = Monitor(Burst("windows", 40), true);
  ASSERT_EQ(run.status, 0) << run.err;
  // The control's read was waiting and took report 0; the queue kept the last 32.
  std::vector<int> expected = {0};
  for (int i : Numbers(8, 39)) expected.push_back(i);
  EXPECT_EQ(Statuses(run.out), expected);
  EXPECT_NE(run.out.find(R"({"schema":1,"type":"dropped","time_ms":100,)"
                         R"("time":"1970-01-01T00:00:00.100Z","count":7,"queue":"windows",)"
                         R"("lost":"oldest"})"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find(R"("type":"dropped")"), run.out.rfind(R"("type":"dropped")"));
  EXPECT_NE(run.out.find(R"("dropped":7})"), std::string::npos) << run.out;
}

TEST(QueueTest, LinuxKeepsTheFirst63AndLosesTheRest) {
  const RunResult burst = Monitor(Burst("linux", 40), true);
  ASSERT_EQ(burst.status, 0) << burst.err;
  EXPECT_EQ(Statuses(burst.out), Numbers(0, 39));
  EXPECT_EQ(burst.out.find(R"("type":"dropped")"), std::string::npos);
  EXPECT_NE(burst.out.find(R"("dropped":0})"), std::string::npos) << burst.out;

  const RunResult flood = Monitor(Burst("linux", 70), false);
  ASSERT_EQ(flood.status, 0) << flood.err;
  EXPECT_NE(flood.out.find("   0.100s  dropped 7 input reports: the driver's queue was full "
                           "(linux: the newest are lost)\n"),
            std::string::npos)
      << flood.out;
  EXPECT_NE(flood.out.find(": 63 input reports, 63 events, 7 dropped by the driver.\n"),
            std::string::npos)
      << flood.out;
}

TEST(QueueTest, DropsAreReportedAsTheyHappenNotOnlyAtTheEnd) {
  // Two bursts a second apart: two lines, each at its own time, one input report each.
  const std::string scenario =
      "queue windows\nwait 100ms\nrepeat 34\ndisplay-done 1\nend\n"
      "wait 1s\nrepeat 34\ndisplay-done 2\nend\nwait 100ms\n";
  const RunResult run = Monitor(scenario, false);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("   0.100s  dropped 1 input report: the driver's queue was full "
                         "(windows: the oldest are lost)\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("   1.100s  dropped 1 input report:"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(", 2 dropped by the driver.\n"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace usborva::cli_test
