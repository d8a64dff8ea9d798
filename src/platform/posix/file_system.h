// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_PLATFORM_POSIX_FILE_SYSTEM_H_
#define USBORVA_PLATFORM_POSIX_FILE_SYSTEM_H_

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace usborva::posix {

// The host's few file operations. Every failure throws AutomationError 75 (path/file
// access error) whose description names the path and the system's reason.

// The whole file, or nullopt when it (or a folder on its path) does not exist. Whatever is
// at path, this neither blocks nor holds more than max_bytes: a folder, FIFO, device or
// socket, and a file of more than max_bytes (even one growing while read), throw error 75
// naming the path and the reason (for a large file, the limit).
std::optional<std::string> ReadFileIfExists(const std::string& path, size_t max_bytes);

// Creates the folder and any missing parents, each with mode 0700.
void MakeDirectories(const std::string& path);

// Replaces path with contents so that a reader sees either the old or the new file, never
// a mix, and a crash leaves one of the two: a temporary file in the same folder (mode 0600)
// is written, flushed to disk and renamed over path, and the folder entry is flushed.
// On failure the temporary file is removed and the old file is untouched.
void WriteFileAtomically(const std::string& path, std::string_view contents);

// Why this process cannot create a file in folder (the system's reason, "Permission
// denied", "No such file or directory", "Not a directory"), or nullopt when it can: the
// check a command makes before a long run whose result WriteFileAtomically saves there.
std::optional<std::string> WhyNoNewFileIn(const std::string& folder);

// How long FileLock waits for a lock another process holds before giving up.
inline constexpr std::chrono::milliseconds kLockTimeout{5000};

// An exclusive advisory lock (flock) on a lock file, created with mode 0600 when missing,
// held until destruction. Cooperating processes (and separate opens in one process)
// serialise on it; nothing stops a process that ignores it. A lock still held by someone
// else after timeout throws error 75 naming the lock file, so a stuck or hostile holder
// cannot stall a save for ever.
class FileLock {
 public:
  explicit FileLock(const std::string& path, std::chrono::milliseconds timeout = kLockTimeout);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_;
};

// The folder part of a path ("." when there is none).
std::string ParentFolder(const std::string& path);

// Throws AutomationError 75: "<action> <path>: <reason of errno_value>".
[[noreturn]] void ThrowFileError(std::string_view action, const std::string& path, int errno_value);

}  // namespace usborva::posix

#endif  // USBORVA_PLATFORM_POSIX_FILE_SYSTEM_H_
