// SPDX-License-Identifier: Apache-2.0
// The four methods that serve the host apart from the terminal: default settings,
// ClearBuffer and About.
#include "usborva/usborva.h"

namespace usborva {
namespace {

constexpr char16_t kSettingsApplication[] = u"USBHID";
constexpr char16_t kSettingsSection[] = u"Startup";

constexpr char16_t kAboutText[] =
    u"USBORVA payment terminal control, by the USBORVA developers\r\n"
    u"1 Terminal Way\r\n"
    u"Springfield, EX 00000\r\n"
    u"Tel. +1 555 0100\r\n"
    u"https://usborva.example";

}  // namespace

String USBORVA::GetDefSetting(String& Key, const Variant& strDefault) {
  const String default_value = strDefault.IsMissing() ? String() : ToString(strDefault);
  return container_.GetSetting(kSettingsApplication, kSettingsSection, Key, default_value);
}

String USBORVA::SaveDefSetting(String& Key, String& Setting) {
  container_.SaveSetting(kSettingsApplication, kSettingsSection, Key, Setting);
  return String();
}

// Clears the card data and the identity the control holds, but not the terminal: the
// flag reads False while the port stays open and polled.
int16_t USBORVA::ClearBuffer() {
  state_.CardData.clear();
  state_.Track1Length = state_.Track2Length = state_.Track3Length = 0;
  state_.Track1LengthMasked = state_.Track2LengthMasked = state_.Track3LengthMasked = 0;
  state_.CardDataMasked.clear();
  state_.PortOpen = false;
  state_.SigilLen = state_.SequenceNumber = state_.SigilStatus = 0;
  for (String* field :
       {&state_.DeviceSerialNum, &state_.UsbProduct, &state_.BitmapCRC, &state_.AuthLabel,
        &state_.PINLabel, &state_.MSRLabel, &state_.Firmware, &state_.MSRKSN, &state_.PINKSN,
        &state_.DeviceConfig, &state_.CardEncodeType}) {
    field->clear();
  }
  state_.SessionID = ByteArray{};
  state_.DUKPTKSN.clear();
  state_.ReaderID.clear();
  state_.SwipeCommandOutput.clear();
  container_.PropertyChanged(u"CardData");
  return 0;
}

String USBORVA::About() {
  container_.MessageBox(kAboutText);
  return String();
}

}  // namespace usborva
