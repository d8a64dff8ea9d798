// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_ACTIVEX_MEMBER_IDS_H_
#define USBORVA_ACTIVEX_MEMBER_IDS_H_

#include <windows.h>

#include <string_view>

namespace usborva::activex {

// The dispatch identifier of a member of _USBORVA: its place in the interface, from 1
// (CardData) to 52 (Firmware), as the type library declares. DISPID_UNKNOWN for a name
// that is no member.
DISPID MemberId(std::u16string_view name);

}  // namespace usborva::activex

#endif  // USBORVA_ACTIVEX_MEMBER_IDS_H_
