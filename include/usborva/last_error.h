// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_LAST_ERROR_H_
#define USBORVA_LAST_ERROR_H_

#include <cstdint>
#include <string>

#include "usborva/export.h"

namespace usborva {

/// A short phrase for a backend's last-error code (HidSystem::GetLastError, Windows
/// numbering): "permission denied" for 5, "no such device" for 2, "the device is gone" for
/// 1167, and so on for the codes the backends give; "error N" for any other code, so an
/// unexpected one is still named. Meant to follow a colon or stand in parentheses in a
/// message. Thread-safe; never throws except std::bad_alloc.
USBORVA_EXPORT std::string LastErrorText(uint32_t error);

}  // namespace usborva

#endif  // USBORVA_LAST_ERROR_H_
