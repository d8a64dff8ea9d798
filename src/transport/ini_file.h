#ifndef USBORVA_TRANSPORT_INI_FILE_H_
#define USBORVA_TRANSPORT_INI_FILE_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace usborva::transport {

// The configuration directory: $USBORVA_CONFIG_DIR when set and not empty, else /etc
// (where the Windows directory would hold the file).
std::string ConfigDirectory();
// Where a configuration file named to the profile reader lies: a bare name in
// ConfigDirectory(), a name holding a '/' as it is.
std::string ConfigFilePath(std::string_view file_name);

// Reads one value of an INI file the way the Windows profile reader does: section and key
// names match without regard to case, blanks around names and values are ignored, a value
// in matching quotes loses them, a line starting with ';' is a comment, the first matching
// section and key win. Copies at most size - 1 characters and a NUL into buffer (the default
// when the file, section or key is missing) and returns the count copied.
uint32_t ReadProfileString(std::string_view text, const char* section, const char* key,
                           const char* default_value, char* buffer, uint32_t size);
// The same for a file on disk (a missing or unreadable file gives the default).
uint32_t ReadProfileStringFromFile(const std::string& path, const char* section, const char* key,
                                   const char* default_value, char* buffer, uint32_t size);

}  // namespace usborva::transport

#endif  // USBORVA_TRANSPORT_INI_FILE_H_
