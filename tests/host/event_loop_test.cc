// SPDX-License-Identifier: Apache-2.0
#include "usborva/event_loop.h"

#include <gtest/gtest.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "usborva/automation_error.h"
#include "usborva/manual_loop_clock.h"

namespace usborva {
namespace {

using std::chrono::milliseconds;

class EventLoopTest : public ::testing::Test {
 protected:
  // Milliseconds since the test began, on the manual clock.
  int64_t Elapsed() {
    return std::chrono::duration_cast<milliseconds>(clock_.Now() - start_).count();
  }
  // A timer that records the time of each tick in ticks and then runs extra.
  std::unique_ptr<Timer> Recording(std::vector<int64_t>& ticks, int32_t interval,
                                   std::function<void()> extra = {}) {
    auto timer = loop_.CreateTimer([this, &ticks, extra] {
      ticks.push_back(Elapsed());
      if (extra) extra();
    });
    timer->SetInterval(interval);
    return timer;
  }

  ManualLoopClock clock_;
  LoopClock::TimePoint start_ = clock_.Now();
  EventLoop loop_{clock_};
};

TEST_F(EventLoopTest, TicksEveryIntervalAndSleepsBetween) {
  std::vector<int64_t> ticks;
  auto timer = Recording(ticks, 25);
  timer->SetEnabled(true);
  loop_.RunFor(milliseconds(100));
  EXPECT_EQ(ticks, (std::vector<int64_t>{25, 50, 75, 100}));
  EXPECT_EQ(Elapsed(), 100);
  EXPECT_LE(clock_.sleep_count(), 5u);
}

TEST_F(EventLoopTest, DisabledAndZeroIntervalTimersNeverTick) {
  std::vector<int64_t> ticks;
  auto disabled = Recording(ticks, 10);
  auto zero = Recording(ticks, 0);
  zero->SetEnabled(true);
  loop_.RunFor(std::chrono::hours(3));
  EXPECT_TRUE(ticks.empty());
  EXPECT_EQ(Elapsed(), 3 * 3600 * 1000);
  EXPECT_LE(clock_.sleep_count(), 4u);
  EXPECT_THROW(zero->SetInterval(-1), AutomationError);
}

TEST_F(EventLoopTest, EnablingOrChangingIntervalRestartsTheCount) {
  std::vector<int64_t> ticks;
  auto timer = Recording(ticks, 25);
  timer->SetEnabled(true);
  loop_.RunFor(milliseconds(20));
  timer->SetEnabled(false);
  timer->SetEnabled(true);  // due at 45
  loop_.RunFor(milliseconds(30));
  timer->SetEnabled(true);  // already enabled: still due at 70
  loop_.RunFor(milliseconds(15));
  timer->SetInterval(40);  // due at 65 + 40
  loop_.RunFor(milliseconds(40));
  EXPECT_EQ(ticks, (std::vector<int64_t>{45, 105}));
}

TEST_F(EventLoopTest, NoTickFromSetEnabledOrOutsideARun) {
  int ticks = 0;
  auto timer = loop_.CreateTimer([&] { ++ticks; });
  timer->SetInterval(1);
  timer->SetEnabled(true);
  clock_.Advance(milliseconds(50));
  timer->SetEnabled(true);
  EXPECT_EQ(ticks, 0);
  loop_.RunFor(milliseconds(0));
  EXPECT_EQ(ticks, 1);  // overdue ticks come once, not as a burst of 50
}

TEST_F(EventLoopTest, DisablingInsideATickStopsThatAndOtherTimers) {
  std::vector<int64_t> first_ticks, second_ticks;
  std::unique_ptr<Timer> second;
  std::unique_ptr<Timer> first = Recording(first_ticks, 10, [&] {
    if (first_ticks.size() == 2) {
      first->SetEnabled(false);
      second->SetEnabled(false);
    }
  });
  second = Recording(second_ticks, 10);  // due together with first; created after it
  first->SetEnabled(true);
  second->SetEnabled(true);
  loop_.RunFor(milliseconds(100));
  EXPECT_EQ(first_ticks, (std::vector<int64_t>{10, 20}));
  EXPECT_EQ(second_ticks, (std::vector<int64_t>{10}));
}

TEST_F(EventLoopTest, DisableAndEnableInsideTheTickRestartsFromTheTickEnd) {
  // The control's poll tick: timer off for the work, on again after it.
  std::vector<int64_t> ticks;
  std::unique_ptr<Timer> timer;
  timer = Recording(ticks, 25, [&] {
    timer->SetEnabled(false);
    clock_.Advance(milliseconds(5));
    timer->SetEnabled(true);
  });
  timer->SetEnabled(true);
  loop_.RunFor(milliseconds(100));
  EXPECT_EQ(ticks, (std::vector<int64_t>{25, 55, 85}));
}

TEST_F(EventLoopTest, SlowHandlerGetsOneLateTickNotABurst) {
  std::vector<int64_t> ticks;
  auto timer = Recording(ticks, 10, [&] {
    if (ticks.size() == 1) clock_.Advance(milliseconds(35));
  });
  timer->SetEnabled(true);
  loop_.RunFor(milliseconds(65));
  EXPECT_EQ(ticks, (std::vector<int64_t>{10, 55, 65}));
}

TEST_F(EventLoopTest, StopFromATickEndsRunAndRunUntilReportsWhy) {
  int ticks = 0;
  int stop_at = 3;
  auto timer = loop_.CreateTimer([&] {
    if (++ticks == stop_at) loop_.Stop();
  });
  timer->SetInterval(25);
  timer->SetEnabled(true);
  loop_.Run();
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(Elapsed(), 75);

  EXPECT_TRUE(loop_.RunUntil([&] { return ticks == 5; }, std::chrono::seconds(1)));
  EXPECT_EQ(Elapsed(), 125);
  EXPECT_FALSE(loop_.RunUntil([] { return false; }, milliseconds(60)));
  EXPECT_EQ(Elapsed(), 185);
  stop_at = 8;
  EXPECT_FALSE(loop_.RunUntil([] { return false; }, std::chrono::seconds(1)));
  EXPECT_EQ(Elapsed(), 200);
  loop_.Stop();  // no run in progress: no effect on the next one
  loop_.RunFor(milliseconds(50));
  EXPECT_EQ(ticks, 10);
}

TEST_F(EventLoopTest, TimersDestroyedInsideTicksOrAfterTheLoop) {
  int ticks = 0;
  std::unique_ptr<Timer> other;
  std::unique_ptr<Timer> self;
  self = loop_.CreateTimer([&] {
    ++ticks;
    other.reset();  // due at the same moment, after this one
    self.reset();   // the handler outlives its own timer's destruction
  });
  other = loop_.CreateTimer([&] { ADD_FAILURE() << "destroyed timer"; });
  self->SetInterval(10);
  other->SetInterval(10);
  self->SetEnabled(true);
  other->SetEnabled(true);
  loop_.RunFor(milliseconds(100));
  EXPECT_EQ(ticks, 1);

  auto outliving = std::make_unique<EventLoop>(clock_);
  std::unique_ptr<Timer> orphan = outliving->CreateTimer([] {});
  outliving.reset();
  orphan->SetInterval(5);
  orphan->SetEnabled(true);
  EXPECT_TRUE(orphan->Enabled());
}

TEST_F(EventLoopTest, NestedRunDeliversOtherTimersButNeverReentersTheHandler) {
  std::vector<int64_t> outer_ticks, inner_ticks;
  int depth = 0;
  auto outer = Recording(outer_ticks, 10, [&] {
    ++depth;
    EXPECT_EQ(depth, 1);
    if (outer_ticks.size() == 1) loop_.RunFor(milliseconds(30));  // a modal wait
    --depth;
  });
  auto inner = Recording(inner_ticks, 15);
  outer->SetEnabled(true);
  inner->SetEnabled(true);
  loop_.RunFor(milliseconds(50));
  EXPECT_EQ(inner_ticks, (std::vector<int64_t>{15, 30, 45}));
  EXPECT_EQ(outer_ticks, (std::vector<int64_t>{10, 50}));
}

TEST_F(EventLoopTest, ThrowingHandlerEndsTheRunAndKeepsTheSchedule) {
  std::vector<int64_t> ticks;
  auto timer = Recording(ticks, 10, [&] {
    if (ticks.size() == 1) throw std::runtime_error("handler failed");
  });
  timer->SetEnabled(true);
  EXPECT_THROW(loop_.RunFor(milliseconds(100)), std::runtime_error);
  loop_.RunFor(milliseconds(10));
  EXPECT_EQ(ticks, (std::vector<int64_t>{10, 20}));
}

int64_t ThreadCpuMicroseconds() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return int64_t{now.tv_sec} * 1000000 + now.tv_nsec / 1000;
}

TEST(EventLoopRealTimeTest, SleepsBetweenTicksAndStopsFromAnotherThread) {
  EventLoop loop;
  int ticks = 0;
  auto timer = loop.CreateTimer([&] { ++ticks; });
  timer->SetInterval(20);
  timer->SetEnabled(true);
  const auto began = std::chrono::steady_clock::now();
  const int64_t cpu_before = ThreadCpuMicroseconds();
  loop.RunFor(milliseconds(200));
  const int64_t cpu_used = ThreadCpuMicroseconds() - cpu_before;
  EXPECT_GE(std::chrono::steady_clock::now() - began, milliseconds(200));
  EXPECT_GE(ticks, 5);
  EXPECT_LE(ticks, 11);
  EXPECT_LT(cpu_used, 50000) << "the loop should sleep, not spin";

  timer->SetEnabled(false);
  std::thread stopper([&] {
    std::this_thread::sleep_for(milliseconds(30));
    loop.Stop();
  });
  const auto run_began = std::chrono::steady_clock::now();
  loop.RunFor(std::chrono::seconds(20));
  stopper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - run_began, std::chrono::seconds(10));
}

// A foreign loop asks how long it may sleep and runs what is due, never waiting inside.
TEST_F(EventLoopTest, ForeignLoopSeesNextDueTimeAndRunsOnlyWhatIsDue) {
  EXPECT_EQ(loop_.TimeUntilNextTick(), std::nullopt);
  std::vector<int64_t> ticks;
  auto slow = Recording(ticks, 40);
  auto fast = Recording(ticks, 15);
  auto off = Recording(ticks, 5);
  slow->SetEnabled(true);
  fast->SetEnabled(true);
  EXPECT_EQ(loop_.TimeUntilNextTick(), milliseconds(15));
  loop_.RunDue();
  EXPECT_TRUE(ticks.empty());
  EXPECT_EQ(Elapsed(), 0);  // nothing due: no sleep
  clock_.Advance(milliseconds(20));
  EXPECT_EQ(loop_.TimeUntilNextTick(), milliseconds(0));  // overdue reads as now
  loop_.RunDue();
  EXPECT_EQ(ticks, (std::vector<int64_t>{20}));
  EXPECT_EQ(loop_.TimeUntilNextTick(), milliseconds(10));  // fast again at 30
  clock_.Advance(milliseconds(25));
  loop_.RunDue();  // both due at 45: one tick each, in creation order
  EXPECT_EQ(ticks, (std::vector<int64_t>{20, 45, 45}));
  slow->SetEnabled(false);
  fast->SetEnabled(false);
  EXPECT_EQ(loop_.TimeUntilNextTick(), std::nullopt);
}

}  // namespace
}  // namespace usborva
