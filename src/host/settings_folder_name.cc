// SPDX-License-Identifier: Apache-2.0
#include "host/settings_folder_name.h"

#include "usborva/hex_digits.h"
#include "usborva/utf8.h"

namespace usborva::host {

std::string SettingsFolderName(const String& application) {
  std::string name;
  const auto escape = [&](unsigned char byte) {
    name += '%';
    AppendHexByte(name, byte);
  };
  for (size_t i = 0; i < application.size(); ++i) {
    const char16_t unit = application[i];
    const bool pair =
        IsHighSurrogate(unit) && i + 1 < application.size() && IsLowSurrogate(application[i + 1]);
    if (pair) {
      name += StringToUtf8(application.substr(i++, 2));
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      // A lone surrogate has no UTF-8 spelling: escape the bytes of its 3-byte form.
      std::string bytes;
      AppendUtf8(unit, bytes);
      for (const char byte : bytes) escape(static_cast<unsigned char>(byte));
    } else if (unit == u'/' || unit == u'%' || unit < 0x20 || unit == 0x7F ||
               (i == 0 && unit == u'.')) {
      escape(static_cast<unsigned char>(unit));
    } else {
      AppendUtf8(unit, name);
    }
  }
  return name;
}

}  // namespace usborva::host
