// SPDX-License-Identifier: Apache-2.0
#include "activex/member_ids.h"

#include <iterator>

namespace usborva::activex {
namespace {

constexpr std::u16string_view kMembers[] = {
    u"CardData",
    u"PortOpen",
    u"SigilLen",
    u"SigilData",
    u"SequenceNumber",
    u"CardDataMasked",
    u"SessionID",
    u"Track1Length",
    u"Track2Length",
    u"Track3Length",
    u"Track1LengthMasked",
    u"Track2LengthMasked",
    u"Track3LengthMasked",
    u"SigilStatus",
    u"DUKPTKSN",
    u"DeviceSerialNum",
    u"CardEncodeType",
    u"SwipeCommandOutput",
    u"GetTrack",
    u"GetTrackMasked",
    u"GetFName",
    u"GetLName",
    u"FindElement",
    u"FindElementMasked",
    u"GetDefSetting",
    u"SaveDefSetting",
    u"ClearBuffer",
    u"About",
    u"GetFNameMasked",
    u"GetLNameMasked",
    u"ReaderID",
    u"InterpretMsg",
    u"GetFeatureReport",
    u"SetFeatureReport",
    u"DeviceState",
    u"SessionStatus",
    u"DeviceStatus",
    u"Track1Data",
    u"Track2Data",
    u"Track3Data",
    u"EncTrack1Data",
    u"EncTrack2Data",
    u"EncTrack3Data",
    u"UsbProduct",
    u"BitmapCRC",
    u"AuthLabel",
    u"PINLabel",
    u"MSRLabel",
    u"PINKSN",
    u"DeviceConfig",
    u"MSRKSN",
    u"Firmware",
};
static_assert(std::size(kMembers) == 52);

}  // namespace

DISPID MemberId(std::u16string_view name) {
  for (size_t i = 0; i < std::size(kMembers); ++i) {
    if (kMembers[i] == name) return static_cast<DISPID>(i + 1);
  }
  return DISPID_UNKNOWN;
}

}  // namespace usborva::activex
