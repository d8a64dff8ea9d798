// SPDX-License-Identifier: Apache-2.0
#include "host/settings_folder_name.h"

#include "host/quoted_text.h"

namespace usborva::host {

std::string SettingsFolderName(const String& application) {
  constexpr char kHex[] = "0123456789ABCDEF";
  std::string name;
  const auto escape = [&](unsigned char byte) {
    name += '%';
    name += kHex[byte >> 4];
    name += kHex[byte & 0xF];
  };
  for (size_t i = 0; i < application.size(); ++i) {
    const char16_t unit = application[i];
    const bool pair = unit >= 0xD800 && unit <= 0xDBFF && i + 1 < application.size() &&
                      application[i + 1] >= 0xDC00 && application[i + 1] <= 0xDFFF;
    if (pair) {
      name += EncodeUtf8ForDisplay(application.substr(i++, 2));
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      // A lone surrogate has no UTF-8 spelling: escape the bytes of its 3-byte form.
      escape(static_cast<unsigned char>(0xE0 | (unit >> 12)));
      escape(static_cast<unsigned char>(0x80 | ((unit >> 6) & 0x3F)));
      escape(static_cast<unsigned char>(0x80 | (unit & 0x3F)));
    } else if (unit == u'/' || unit == u'%' || unit < 0x20 || unit == 0x7F ||
               (i == 0 && unit == u'.')) {
      escape(static_cast<unsigned char>(unit));
    } else {
      name += EncodeUtf8ForDisplay(String(1, unit));
    }
  }
  return name;
}

}  // namespace usborva::host
