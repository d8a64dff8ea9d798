// SPDX-License-Identifier: Apache-2.0
#include "platform/posix/bounded_file.h"

#include <string_view>
#include <utility>

#ifdef _WIN32
#include <filesystem>
#include <fstream>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

// Shared by the configuration file's reader below the transport and the host's own files:
// a non-blocking open is the only way to look at a FIFO or a device without waiting on it.

namespace usborva::posix {
namespace {

constexpr size_t kChunkBytes = 16384;

BoundedFile Refused(std::string_view action, const std::string& path, std::string_view reason) {
  BoundedFile result;
  result.outcome = BoundedFile::Outcome::kRefused;
  result.problem.append(action).append(" ").append(path).append(": ").append(reason);
  return result;
}

BoundedFile TooLarge(const std::string& path, size_t max_bytes) {
  return Refused("cannot read", path,
                 "larger than the limit of " + std::to_string(max_bytes) + " bytes");
}

#ifdef _WIN32

// Appends one chunk unless that would pass the limit.
bool AppendWithin(BoundedFile& file, const char* chunk, size_t length, size_t max_bytes) {
  if (length > max_bytes - file.text.size()) return false;
  file.text.append(chunk, length);
  return true;
}

// Windows keeps pipes and devices out of the file system's folders, so a look at the type
// before opening is as good as a look after it.
BoundedFile ReadLimited(const std::string& path, size_t max_bytes) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::file_status status = fs::status(fs::path(path), error);
  if (status.type() == fs::file_type::not_found) return BoundedFile{};
  if (error) return Refused("cannot open", path, error.message());
  if (status.type() == fs::file_type::directory) {
    return Refused("cannot read", path, "Is a directory");
  }
  if (status.type() != fs::file_type::regular) {
    return Refused("cannot read", path, "not a regular file");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) return Refused("cannot open", path, "the file cannot be opened");
  BoundedFile result;
  result.outcome = BoundedFile::Outcome::kRead;
  char chunk[kChunkBytes];
  while (in) {
    in.read(chunk, sizeof chunk);
    if (in.bad()) return Refused("cannot read", path, "read error");
    if (!AppendWithin(result, chunk, static_cast<size_t>(in.gcount()), max_bytes)) {
      return TooLarge(path, max_bytes);
    }
  }
  return result;
}

#else

std::string_view KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return std::strerror(EISDIR);  // the system's own words, as for open
  if (S_ISFIFO(mode)) return "a FIFO, not a regular file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device, not a regular file";
  if (S_ISSOCK(mode)) return "a socket, not a regular file";
  return "not a regular file";
}

BoundedFile ReadLimited(const std::string& path, size_t max_bytes) {
  RegularFile file = ReadRegularFile(path, max_bytes);
  switch (file.failure) {
    case RegularFile::Failure::kNone: {
      BoundedFile result;
      result.outcome = BoundedFile::Outcome::kRead;
      result.text = std::move(file.text);
      return result;
    }
    case RegularFile::Failure::kOpen:
      if (file.error == ENOENT || file.error == ENOTDIR) return BoundedFile{};
      return Refused("cannot open", path, std::strerror(file.error));
    case RegularFile::Failure::kNotRegular:
      return Refused("cannot read", path, file.kind);
    case RegularFile::Failure::kTooLarge:
      return TooLarge(path, max_bytes);
    case RegularFile::Failure::kStat:
    case RegularFile::Failure::kRead:
      break;
  }
  return Refused("cannot read", path, std::strerror(file.error));
}

#endif

}  // namespace

BoundedFile ReadBoundedFile(const std::string& path, size_t max_bytes) {
  return ReadLimited(path, max_bytes);
}

#ifndef _WIN32

namespace {

RegularFile Failed(RegularFile::Failure failure, int error) {
  RegularFile result;
  result.failure = failure;
  result.error = error;
  return result;
}

RegularFile TooLong(std::optional<uint64_t> size) {
  RegularFile result;
  result.failure = RegularFile::Failure::kTooLarge;
  result.size = size;
  return result;
}

RegularFile ReadOpenFile(int fd, size_t max_bytes) {
  struct stat info;
  if (fstat(fd, &info) != 0) return Failed(RegularFile::Failure::kStat, errno);
  if (!S_ISREG(info.st_mode)) {
    RegularFile result;
    result.failure = RegularFile::Failure::kNotRegular;
    result.kind = KindOf(info.st_mode);
    return result;
  }
  if (info.st_size < 0 || static_cast<unsigned long long>(info.st_size) > max_bytes) {
    return TooLong(static_cast<uint64_t>(info.st_size));
  }
  RegularFile result;
  result.text.reserve(static_cast<size_t>(info.st_size));
  char chunk[kChunkBytes];
  for (;;) {
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got == 0) return result;
    if (got < 0) {
      if (errno == EINTR) continue;
      return Failed(RegularFile::Failure::kRead, errno);
    }
    // The size checked above may be stale: a file that grows while read is still capped.
    if (static_cast<size_t>(got) > max_bytes - result.text.size()) return TooLong(std::nullopt);
    result.text.append(chunk, static_cast<size_t>(got));
  }
}

}  // namespace

RegularFile ReadRegularFile(const std::string& path, size_t max_bytes) {
  int fd;
  do {
    fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return Failed(RegularFile::Failure::kOpen, errno);
  RegularFile result = ReadOpenFile(fd, max_bytes);
  close(fd);
  return result;
}

#endif

}  // namespace usborva::posix
