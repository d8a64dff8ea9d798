// SPDX-License-Identifier: Apache-2.0
// Reading a scenario file: a bounded read of a regular file, so a wrong path (a FIFO, a
// device such as /dev/zero, a directory) or a huge file gives a clear error instead of a
// hang or an exhausted memory.
#include "scenario/scenario_file.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iostream>

#include "usborva/scenario.h"

#ifdef _WIN32
#include <filesystem>
#include <fstream>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
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

// Closes the descriptor on every way out.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { ::close(fd_); }
  int get() const { return fd_; }

 private:
  int fd_;
};

std::string ReadRegularFile(const std::string& path) {
  // Non-blocking, so that opening a FIFO returns at once (and fstat then refuses it)
  // instead of waiting for a writer; a regular file reads the same either way.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) throw ScenarioError(path, 0, 0, std::string("cannot open: ") + std::strerror(errno));
  const Descriptor file(fd);
  struct stat status {};
  if (::fstat(file.get(), &status) != 0) {
    throw ScenarioError(path, 0, 0, std::string("cannot read: ") + std::strerror(errno));
  }
  if (!S_ISREG(status.st_mode)) throw ScenarioError(path, 0, 0, "not a regular file");
  if (static_cast<uint64_t>(status.st_size) > kMaxScenarioBytes) {
    TooLarge(path, static_cast<uint64_t>(status.st_size));
  }
  std::string text;
  text.reserve(static_cast<size_t>(status.st_size));
  char buffer[kChunk];
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0)
      throw ScenarioError(path, 0, 0, std::string("cannot read: ") + std::strerror(errno));
    if (got == 0) return text;
    text.append(buffer, static_cast<size_t>(got));
    // The file may have grown since fstat.
    if (text.size() > kMaxScenarioBytes) TooLarge(path);
  }
}

#endif

}  // namespace

std::string ReadScenarioFile(const std::string& path) {
  if (path == "-") return ReadStream(std::cin, kStdinName);
  return ReadRegularFile(path);
}

}  // namespace usborva::scenario
