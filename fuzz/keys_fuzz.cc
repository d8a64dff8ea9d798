// SPDX-License-Identifier: Apache-2.0
// The keys of `usborva simulate`: whatever bytes arrive (from a terminal, a pipe, a file),
// in whatever pieces, each byte ends up in exactly one key of bounded length, what is held
// stays small, and every key's note is one short line that holds no card number.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_checks.h"
#include "key_commands.h"
#include "key_splitter.h"
#include "usborva/simulated_hid_system.h"
#include "usborva/text_guard.h"

namespace {

using usborva::fuzz::Require;

void Take(usborva::cli::KeySplitter& splitter, usborva::cli::KeyCommands& commands, bool pause,
          std::string& taken) {
  while (std::optional<std::string> key = splitter.Next(pause)) {
    Require(!key->empty() && key->size() <= usborva::cli::KeySplitter::kMaxKey);
    taken += *key;
    const usborva::cli::KeyOutcome outcome = commands.Press(*key);
    Require(outcome.note.size() <= 200 && outcome.note.find('\n') == std::string::npos);
    Require(!usborva::HoldsCardNumber(outcome.note));
  }
  Require(splitter.held() < usborva::cli::KeySplitter::kMaxKey);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte sets the size of the pieces the rest arrives in (1 to 16 bytes).
  const size_t piece = (data[0] & 0x0F) + 1u;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::unique_ptr<usborva::SimulatedHidSystem> machine = usborva::NewSimulatedHidSystem();
  usborva::cli::KeyCommands commands(*machine, machine->AddInterface());
  usborva::cli::KeySplitter splitter;
  std::string taken;
  for (size_t at = 0; at < bytes.size(); at += piece) {
    splitter.Add(bytes.substr(at, piece));
    // Odd pieces are followed by a pause (nothing more came before the next tick).
    Take(splitter, commands, (at / piece) % 2 == 1, taken);
    Require(machine->QueuedInputReports(0) <=
            usborva::sim::InputQueueDepth(machine->Interface(0).queue_policy));
  }
  Take(splitter, commands, true, taken);
  Require(splitter.held() == 0 && taken == bytes);
  return 0;
}
