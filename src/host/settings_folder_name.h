// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_HOST_SETTINGS_FOLDER_NAME_H_
#define USBORVA_HOST_SETTINGS_FOLDER_NAME_H_

#include <string>

#include "usborva/variant.h"

namespace usborva::host {

// The one path component that holds an application's settings. The name comes from the
// host, so it must never reach outside the settings root: '/', '%', control characters
// (NUL included) and a leading '.' are written as %HH, a lone surrogate as the %HH bytes of
// its three-byte form, everything else as UTF-8. Ordinary names stay readable, distinct
// names give distinct folders, and a name that is not empty never gives "", "." or "..".
std::string SettingsFolderName(const String& application);

}  // namespace usborva::host

#endif  // USBORVA_HOST_SETTINGS_FOLDER_NAME_H_
