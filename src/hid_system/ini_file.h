// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_HID_SYSTEM_INI_FILE_H_
#define USBORVA_HID_SYSTEM_INI_FILE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace usborva::hid_system {

// The configuration directory: $USBORVA_CONFIG_DIR when set and not empty, else /etc
// (where the Windows directory would hold the file).
std::string ConfigDirectory();
// Where a configuration file named to the profile reader lies: a bare name in
// ConfigDirectory(), a name holding a '/' as it is.
std::string ConfigFilePath(std::string_view file_name);

// A configuration file larger than this (1 MiB) is refused: no real one comes near it.
inline constexpr size_t kMaxConfigFileBytes = size_t{1} << 20;

// Reads one value of an INI file the way the Windows profile reader does: section and key
// names match without regard to case, blanks around names and values are ignored, a value
// in matching quotes loses them, a line starting with ';' is a comment, the first matching
// section and key win. Copies at most size - 1 characters and a NUL into buffer (the default
// when the file, section or key is missing) and returns the count copied. Text starting with
// the UTF-16LE byte-order mark is read as UTF-16LE and handed out as the ANSI reader would:
// characters U+0000 to U+00FF as the byte of the same value, every other character as one
// '?'. A UTF-8 byte-order mark is skipped and the rest read byte for byte.
uint32_t ReadProfileString(std::string_view text, const char* section, const char* key,
                           const char* default_value, char* buffer, uint32_t size);
// The same for a file on disk. A missing file (or folder on its path) gives the default. A
// file that exists but cannot be read as intended (a folder, a FIFO or device, more than
// kMaxConfigFileBytes, no permission) gives the empty text for every key, whatever the
// default: no configuration value reads as its default then, so a file meant to restrict
// terminals never silently stops restricting.
uint32_t ReadProfileStringFromFile(const std::string& path, const char* section, const char* key,
                                   const char* default_value, char* buffer, uint32_t size);

// Why the configuration file named file_name (found as ConfigFilePath does) cannot be read,
// or "" when it can or does not exist. Lets a person see why every terminal is refused.
std::string ConfigFileProblem(std::string_view file_name);

}  // namespace usborva::hid_system

#endif  // USBORVA_HID_SYSTEM_INI_FILE_H_
