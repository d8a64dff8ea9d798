// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_REHEARSAL_SCRATCH_FOLDER_H_
#define USBORVA_REHEARSAL_SCRATCH_FOLDER_H_

#include <string>

namespace usborva::rehearsal {

// A folder of the user's own (mode 0700) under the system's temporary folder, removed with
// its contents when the object goes: where a rehearsal's control keeps its settings.
class ScratchFolder {
 public:
  // Throws std::runtime_error (std::filesystem::filesystem_error) when none can be made.
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace usborva::rehearsal

#endif  // USBORVA_REHEARSAL_SCRATCH_FOLDER_H_
