// SPDX-License-Identifier: Apache-2.0
#include "host/file_system.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>
#include <utility>

#include "hid_system/bounded_file.h"
#include "platform/posix/retry_on_interrupt.h"
#include "usborva/automation_error.h"

namespace usborva::host {
namespace {

// Closes fd, reporting a failed close (which can carry a delayed write error) as errno.
bool CloseChecked(int fd) { return close(fd) == 0 || errno == EINTR; }

void WriteAll(int fd, std::string_view contents, const std::string& path) {
  while (!contents.empty()) {
    const ssize_t written =
        posix::RetryOnInterrupt([&] { return write(fd, contents.data(), contents.size()); });
    if (written < 0) ThrowFileError("cannot write", path, errno);
    contents.remove_prefix(static_cast<size_t>(written));
  }
}

void SyncFolder(const std::string& folder) {
  const int fd = posix::RetryOnInterrupt(
      [&] { return open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
  if (fd < 0) ThrowFileError("cannot open folder", folder, errno);
  // Some file systems refuse fsync on a folder (EINVAL); the rename itself has happened.
  const bool synced = fsync(fd) == 0 || errno == EINVAL;
  const int sync_errno = errno;
  close(fd);
  if (!synced) ThrowFileError("cannot flush folder", folder, sync_errno);
}

}  // namespace

void ThrowFileError(std::string_view action, const std::string& path, int errno_value) {
  std::string description(action);
  description += ' ';
  description += path;
  description += ": ";
  description += std::strerror(errno_value);
  throw AutomationError(error::kPathFileAccessError, std::move(description));
}

std::string ParentFolder(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::optional<std::string> ReadFileIfExists(const std::string& path, size_t max_bytes) {
  hid_system::BoundedFile file = hid_system::ReadBoundedFile(path, max_bytes);
  switch (file.outcome) {
    case hid_system::BoundedFile::Outcome::kRead:
      return std::move(file.text);
    case hid_system::BoundedFile::Outcome::kMissing:
      return std::nullopt;
    case hid_system::BoundedFile::Outcome::kRefused:
      break;
  }
  throw AutomationError(error::kPathFileAccessError, std::move(file.problem));
}

void MakeDirectories(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) == 0) {
    if (!S_ISDIR(info.st_mode)) ThrowFileError("cannot use folder", path, ENOTDIR);
    return;
  }
  const std::string parent = ParentFolder(path);
  if (parent != path && parent != "." && parent != "/") MakeDirectories(parent);
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    ThrowFileError("cannot create folder", path, errno);
  }
}

void WriteFileAtomically(const std::string& path, std::string_view contents) {
  const std::string folder = ParentFolder(path);
  std::string temp = path + ".XXXXXX";
  // mkstemp creates the file with mode 0600 and O_EXCL, so a stale or hostile file of the
  // same name is never reused.
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) ThrowFileError("cannot create a temporary file beside", path, errno);
  try {
    WriteAll(fd, contents, temp);
    if (fsync(fd) != 0) ThrowFileError("cannot flush", temp, errno);
  } catch (...) {
    close(fd);
    unlink(temp.c_str());
    throw;
  }
  if (!CloseChecked(fd)) {
    const int close_errno = errno;
    unlink(temp.c_str());
    ThrowFileError("cannot write", temp, close_errno);
  }
  if (rename(temp.c_str(), path.c_str()) != 0) {
    const int rename_errno = errno;
    unlink(temp.c_str());
    ThrowFileError("cannot replace", path, rename_errno);
  }
  SyncFolder(folder);
}

FileLock::FileLock(const std::string& path, std::chrono::milliseconds timeout) {
  fd_ = posix::RetryOnInterrupt(
      [&] { return open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600); });
  if (fd_ < 0) ThrowFileError("cannot open lock file", path, errno);
  // Polled rather than a blocking flock, which no signal-free way can time out.
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  auto pause = std::chrono::milliseconds(1);
  while (posix::RetryOnInterrupt([&] { return flock(fd_, LOCK_EX | LOCK_NB); }) != 0) {
    const int lock_errno = errno;
    if (lock_errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
      close(fd_);
      if (lock_errno != EWOULDBLOCK) ThrowFileError("cannot lock", path, lock_errno);
      throw AutomationError(error::kPathFileAccessError,
                            "cannot lock " + path + ": still held by another process after " +
                                std::to_string(timeout.count()) + " ms");
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
}

FileLock::~FileLock() { close(fd_); }

}  // namespace usborva::host
