// SPDX-License-Identifier: Apache-2.0
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/file_system.h"

namespace usborva::posix {

std::optional<std::string> WhyNoNewFileIn(const std::string& folder) {
  struct stat info;
  if (stat(folder.c_str(), &info) != 0) return std::string(std::strerror(errno));
  if (!S_ISDIR(info.st_mode)) return std::string(std::strerror(ENOTDIR));
  // A new entry needs write and search permission on the folder.
  if (access(folder.c_str(), W_OK | X_OK) != 0) return std::string(std::strerror(errno));
  return std::nullopt;
}

}  // namespace usborva::posix
