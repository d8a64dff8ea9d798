// SPDX-License-Identifier: Apache-2.0
// Every allocation a scenario's reading makes is refused in turn: the reading must give up
// with std::bad_alloc (or a ScenarioError), free what it took and leave the heap sound, the
// way a host that runs out of memory while creating its control relies on.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "usborva/scenario.h"

namespace {

// Allocations left until the one that is refused (0: none is).
long countdown = 0;
long refused = 0;

void* Allocate(std::size_t size) {
  if (countdown > 0 && --countdown == 0) {
    ++refused;
    throw std::bad_alloc();
  }
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace usborva::scenario {
namespace {

std::vector<std::filesystem::path> ScenarioFiles() {
  std::vector<std::filesystem::path> files;
  for (const char* dir : {"examples", "tests/windows"}) {
    const std::filesystem::path path = std::filesystem::path(USBORVA_SOURCE_DIR) / dir;
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
      if (entry.path().extension() == ".scn") files.push_back(entry.path());
    }
  }
  return files;
}

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Refuses allocation 1, 2, ... of `read` until it runs through. Returns the number of
// refusals; a refusal must surface as bad_alloc or a ScenarioError, never a result.
template <typename Read>
long RefuseEachAllocation(const std::string& what, Read read) {
  for (long n = 1;; ++n) {
    refused = 0;
    countdown = n;
    bool threw = false;
    try {
      read();
    } catch (const std::bad_alloc&) {
      threw = true;
    } catch (const ScenarioError&) {
      threw = true;
    }
    const bool reached = refused > 0;
    countdown = 0;
    if (!reached) {
      EXPECT_FALSE(threw) << what << ": failed at " << n << " with nothing refused";
      return n - 1;
    }
    EXPECT_TRUE(threw) << what << ": allocation " << n << " refused, yet it succeeded";
    if (!threw) return n;
  }
}

TEST(ScenarioAllocRefusal, EveryExampleGivesUpCleanly) {
  const std::vector<std::filesystem::path> files = ScenarioFiles();
  ASSERT_FALSE(files.empty());
  for (const auto& file : files) {
    const std::string text = ReadAll(file);
    const std::string name = file.filename().string();
    const Scenario whole = ParseScenario(text, name);
    const long parses = RefuseEachAllocation(name, [&] {
      const Scenario scenario = ParseScenario(text, name);
      // Sizes are compared so a refusal cannot end in a shortened scenario.
      EXPECT_EQ(scenario.steps.size(), whole.steps.size()) << name;
    });
    EXPECT_GT(parses, 0) << name;
    const long loads = RefuseEachAllocation(name, [&] { LoadScenario(file.string()); });
    EXPECT_GT(loads, parses) << name;
  }
}

// What the Windows control does when it is created under a scenario: load it, put its
// terminal on a machine of its own and play it through.
TEST(ScenarioAllocRefusal, SessionInstalledAndPlayedGivesUpCleanly) {
  const std::string path =
      (std::filesystem::path(USBORVA_SOURCE_DIR) / "tests/windows/session.scn").string();
  const long n = RefuseEachAllocation("session", [&] {
    const std::unique_ptr<SimulatedHidSystem> system = NewSimulatedHidSystem();
    Player player(*system, LoadScenario(path));
    player.Install();
    while (player.Advance()) {
    }
  });
  EXPECT_GT(n, 0);
}

TEST(ScenarioAllocRefusal, DemoGivesUpCleanly) {
  EXPECT_GT(RefuseEachAllocation("demo", [] { DemoScenario(); }), 0);
}

}  // namespace
}  // namespace usborva::scenario
