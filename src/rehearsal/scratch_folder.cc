// SPDX-License-Identifier: Apache-2.0
#include "rehearsal/scratch_folder.h"

#include <filesystem>
#include <random>
#include <stdexcept>
#include <system_error>

namespace usborva::rehearsal {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
  const fs::path base = fs::temp_directory_path();
  std::random_device random;
  // A name taken by someone else is skipped: create_directory makes a new folder or nothing.
  for (int attempt = 0; attempt < 16; ++attempt) {
    const fs::path candidate = base / ("usborva-rehearsal-" + std::to_string(random()));
    std::error_code error;
    if (!fs::create_directory(candidate, error)) continue;
    fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace, error);
    if (error) {
      fs::remove(candidate, error);
      break;
    }
    path_ = candidate.string();
    return;
  }
  throw std::runtime_error("cannot make a scratch folder for the rehearsal's settings in " +
                           base.string());
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

}  // namespace usborva::rehearsal
