// SPDX-License-Identifier: Apache-2.0
// The settings folder-name guard over arbitrary application names: no name may give a
// folder outside the settings root, and two different names must never share a folder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "host/settings_folder_name.h"

namespace {

// Two names from one input: UTF-16 code units from byte pairs, split at the first 0xFFFF
// unit (which is then in neither name).
void Split(const uint8_t* data, size_t size, usborva::String& first, usborva::String& second) {
  usborva::String* into = &first;
  for (size_t i = 0; i + 1 < size; i += 2) {
    const auto unit = static_cast<char16_t>(data[i] | data[i + 1] << 8);
    if (unit == 0xFFFF && into == &first) {
      into = &second;
      continue;
    }
    into->push_back(unit);
  }
}

void CheckOneComponent(const usborva::String& name, const std::string& folder) {
  if (name.empty()) return;
  if (folder.empty() || folder == "." || folder == "..") std::abort();
  if (folder.find('/') != std::string::npos || folder.find('\0') != std::string::npos) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  usborva::String first;
  usborva::String second;
  Split(data, size, first, second);
  const std::string first_folder = usborva::host::SettingsFolderName(first);
  const std::string second_folder = usborva::host::SettingsFolderName(second);
  CheckOneComponent(first, first_folder);
  CheckOneComponent(second, second_folder);
  if (first != second && first_folder == second_folder) std::abort();
  return 0;
}
