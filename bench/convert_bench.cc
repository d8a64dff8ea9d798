// SPDX-License-Identifier: Apache-2.0
// Hex encoding runs for every encrypted track, key serial number and feature-report answer;
// the table-driven encoders are measured beside the obvious snprintf loop they replace.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "support/random_bytes.h"
#include "usborva/convert.h"

namespace {

using usborva::String;
using usborva::bench::RandomBytes;

String NaiveBytesToHex(const std::vector<uint8_t>& buffer) {
  String text;
  for (uint8_t b : buffer) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02X", b);
    text.push_back(pair[0]);
    text.push_back(pair[1]);
  }
  return text;
}

void BM_BytesToHex(benchmark::State& state) {
  const auto buffer = RandomBytes(static_cast<size_t>(state.range(0)));
  const auto count = static_cast<int32_t>(buffer.size());
  for (auto _ : state) benchmark::DoNotOptimize(usborva::convert::BytesToHex(buffer, 0, count));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_BytesToHexSpaced(benchmark::State& state) {
  const auto buffer = RandomBytes(static_cast<size_t>(state.range(0)));
  const auto count = static_cast<int32_t>(buffer.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(usborva::convert::BytesToHexSpaced(buffer, 0, count));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_NaiveSnprintfHex(benchmark::State& state) {
  const auto buffer = RandomBytes(static_cast<size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(NaiveBytesToHex(buffer));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

// A display command as a host writes it, into a 64-byte feature report.
void BM_HexToBytesCommand(benchmark::State& state) {
  const String command = u"0A 01 02 48 65 6C 6C 6F 20 77 6F 72 6C 64";
  for (auto _ : state) benchmark::DoNotOptimize(usborva::convert::HexToBytes(command, 64));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(command.size()));
}

BENCHMARK(BM_BytesToHex)->Arg(64)->Arg(4096);
BENCHMARK(BM_BytesToHexSpaced)->Arg(64)->Arg(4096);
BENCHMARK(BM_NaiveSnprintfHex)->Arg(64)->Arg(4096);
BENCHMARK(BM_HexToBytesCommand);

}  // namespace
