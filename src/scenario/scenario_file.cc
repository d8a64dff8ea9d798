// SPDX-License-Identifier: Apache-2.0
// Reading a scenario file: a bounded read of a regular file, so a wrong path (a FIFO, a
// device such as /dev/zero, a directory) or a huge file gives a clear error instead of a
// hang or an exhausted memory.
#include "scenario/scenario_file.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <utility>

#include "usborva/scenario.h"

#ifdef _WIN32
#include <filesystem>
#include <fstream>
#else
#include "platform/posix/bounded_file.h"
#endif

namespace usborva::scenario {
namespace {

constexpr size_t kChunk = 16 * 1024;

// A file whose size is known before it is read.
[[noreturn]] void TooLarge(const std::string& source, uint64_t bytes) {
  throw ScenarioError(source, 0, 0,
                      "the file is " + std::to_string(bytes) + " bytes; a scenario is at most " +
                          std::to_string(kMaxScenarioBytes >> 20) + " MiB (" +
                          std::to_string(kMaxScenarioBytes) + " bytes)");
}

// A stream, or a file that grew while it was read.
[[noreturn]] void TooLarge(const std::string& source) {
  throw ScenarioError(source, 0, 0,
                      "a scenario is at most " + std::to_string(kMaxScenarioBytes >> 20) +
                          " MiB (" + std::to_string(kMaxScenarioBytes) + " bytes); this is longer");
}

// Reads to the end of the stream, or refuses once it passes the limit.
std::string ReadStream(std::istream& in, const std::string& source) {
  std::string text;
  char buffer[kChunk];
  while (in) {
    in.read(buffer, sizeof buffer);
    text.append(buffer, static_cast<size_t>(in.gcount()));
    if (text.size() > kMaxScenarioBytes) TooLarge(source);
  }
  if (in.bad()) throw ScenarioError(source, 0, 0, "cannot read the file");
  return text;
}

#ifdef _WIN32

std::string ReadRegularFile(const std::string& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (error) throw ScenarioError(path, 0, 0, "cannot open: " + error.message());
  if (!std::filesystem::is_regular_file(status)) {
    throw ScenarioError(path, 0, 0, "not a regular file");
  }
  const uintmax_t size = std::filesystem::file_size(path, error);
  if (!error && size > kMaxScenarioBytes) TooLarge(path, size);
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ScenarioError(path, 0, 0, std::string("cannot open: ") + std::strerror(errno));
  return ReadStream(in, path);
}

#else

std::string ReadRegularFile(const std::string& path) {
  // Opened non-blocking, so that a FIFO is refused at once instead of waiting for a writer.
  posix::RegularFile file = posix::ReadRegularFile(path, kMaxScenarioBytes);
  switch (file.failure) {
    case posix::RegularFile::Failure::kNone:
      return std::move(file.text);
    case posix::RegularFile::Failure::kOpen:
      throw ScenarioError(path, 0, 0, std::string("cannot open: ") + std::strerror(file.error));
    case posix::RegularFile::Failure::kNotRegular:
      throw ScenarioError(path, 0, 0, "not a regular file");
    case posix::RegularFile::Failure::kTooLarge:
      if (file.size) TooLarge(path, *file.size);
      TooLarge(path);
    case posix::RegularFile::Failure::kStat:
    case posix::RegularFile::Failure::kRead:
      break;
  }
  throw ScenarioError(path, 0, 0, std::string("cannot read: ") + std::strerror(file.error));
}

#endif

}  // namespace

std::string ReadScenarioFile(const std::string& path) {
  if (path == "-") return ReadStream(std::cin, kStdinName);
  return ReadRegularFile(path);
}

}  // namespace usborva::scenario
