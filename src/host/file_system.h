#ifndef USBORVA_HOST_FILE_SYSTEM_H_
#define USBORVA_HOST_FILE_SYSTEM_H_

#include <optional>
#include <string>
#include <string_view>

namespace usborva::host {

// The host's few file operations. Every failure throws AutomationError 75 (path/file
// access error) whose description names the path and the system's reason.

// The whole file, or nullopt when it (or a folder on its path) does not exist.
std::optional<std::string> ReadFileIfExists(const std::string& path);

// Creates the folder and any missing parents, each with mode 0700.
void MakeDirectories(const std::string& path);

// Replaces path with contents so that a reader sees either the old or the new file, never
// a mix, and a crash leaves one of the two: a temporary file in the same folder (mode 0600)
// is written, flushed to disk and renamed over path, and the folder entry is flushed.
// On failure the temporary file is removed and the old file is untouched.
void WriteFileAtomically(const std::string& path, std::string_view contents);

// An exclusive advisory lock (flock) on a lock file, created with mode 0600 when missing,
// held until destruction. Cooperating processes (and separate opens in one process)
// serialise on it; nothing stops a process that ignores it.
class FileLock {
 public:
  explicit FileLock(const std::string& path);
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

}  // namespace usborva::host

#endif  // USBORVA_HOST_FILE_SYSTEM_H_
