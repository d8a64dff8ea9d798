// SPDX-License-Identifier: Apache-2.0
#include "hid_system/bounded_file.h"

#include <string_view>

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

// The one place below the host where the seam's shared code touches the operating system:
// a non-blocking open is the only way to look at a FIFO or a device without waiting on it.

namespace usborva::hid_system {
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

// Appends one chunk unless that would pass the limit.
bool AppendWithin(BoundedFile& file, const char* chunk, size_t length, size_t max_bytes) {
  if (length > max_bytes - file.text.size()) return false;
  file.text.append(chunk, length);
  return true;
}

#ifdef _WIN32

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

BoundedFile ReadOpenFile(int fd, const std::string& path, size_t max_bytes) {
  struct stat info;
  if (fstat(fd, &info) != 0) return Refused("cannot read", path, std::strerror(errno));
  if (!S_ISREG(info.st_mode)) return Refused("cannot read", path, KindOf(info.st_mode));
  if (info.st_size < 0 || static_cast<unsigned long long>(info.st_size) > max_bytes) {
    return TooLarge(path, max_bytes);
  }
  BoundedFile result;
  result.outcome = BoundedFile::Outcome::kRead;
  result.text.reserve(static_cast<size_t>(info.st_size));
  char chunk[kChunkBytes];
  for (;;) {
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got == 0) return result;
    if (got < 0) {
      if (errno == EINTR) continue;
      return Refused("cannot read", path, std::strerror(errno));
    }
    // The size checked above may be stale: a file that grows while read is still capped.
    if (!AppendWithin(result, chunk, static_cast<size_t>(got), max_bytes)) {
      return TooLarge(path, max_bytes);
    }
  }
}

BoundedFile ReadLimited(const std::string& path, size_t max_bytes) {
  int fd;
  do {
    fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return BoundedFile{};
    return Refused("cannot open", path, std::strerror(errno));
  }
  BoundedFile result = ReadOpenFile(fd, path, max_bytes);
  close(fd);
  return result;
}

#endif

}  // namespace

BoundedFile ReadBoundedFile(const std::string& path, size_t max_bytes) {
  return ReadLimited(path, max_bytes);
}

}  // namespace usborva::hid_system
