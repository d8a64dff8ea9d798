// SPDX-License-Identifier: Apache-2.0
// Property procedures: plain gets, stored puts, refused puts. The two Variant properties
// and PortOpen have procedures of their own (variant_properties.cc, port_lifecycle.cc).
#include "usborva/usborva.h"

namespace usborva {

String USBORVA::get_CardData() const { return state_.CardData; }
void USBORVA::put_CardData(const String& value) {
  state_.CardData = value;
  StoredPut(u"CardData");
}

int32_t USBORVA::get_SigilLen() const { return state_.SigilLen; }
void USBORVA::put_SigilLen(int32_t value) {
  (void)value;
  RefusePut();
}

int32_t USBORVA::get_SequenceNumber() const { return state_.SequenceNumber; }
void USBORVA::put_SequenceNumber(int32_t value) {
  (void)value;
  RefusePut();
}

String USBORVA::get_CardDataMasked() const { return state_.CardDataMasked; }
void USBORVA::put_CardDataMasked(const String& value) {
  state_.CardDataMasked = value;
  StoredPut(u"CardDataMasked");
}

int32_t USBORVA::get_Track1Length() const { return state_.Track1Length; }
void USBORVA::put_Track1Length(int32_t value) {
  state_.Track1Length = value;
  StoredPut(u"Track1Length");
}

int32_t USBORVA::get_Track2Length() const { return state_.Track2Length; }
void USBORVA::put_Track2Length(int32_t value) {
  state_.Track2Length = value;
  StoredPut(u"Track2Length");
}

int32_t USBORVA::get_Track3Length() const { return state_.Track3Length; }
void USBORVA::put_Track3Length(int32_t value) {
  state_.Track3Length = value;
  StoredPut(u"Track3Length");
}

int32_t USBORVA::get_Track1LengthMasked() const { return state_.Track1LengthMasked; }
void USBORVA::put_Track1LengthMasked(int32_t value) {
  state_.Track1LengthMasked = value;
  StoredPut(u"Track1LengthMasked");
}

int32_t USBORVA::get_Track2LengthMasked() const { return state_.Track2LengthMasked; }
void USBORVA::put_Track2LengthMasked(int32_t value) {
  state_.Track2LengthMasked = value;
  StoredPut(u"Track2LengthMasked");
}

int32_t USBORVA::get_Track3LengthMasked() const { return state_.Track3LengthMasked; }
void USBORVA::put_Track3LengthMasked(int32_t value) {
  state_.Track3LengthMasked = value;
  StoredPut(u"Track3LengthMasked");
}

int32_t USBORVA::get_SigilStatus() const { return state_.SigilStatus; }
void USBORVA::put_SigilStatus(int32_t value) {
  (void)value;
  RefusePut();
}

String USBORVA::get_DUKPTKSN() const { return state_.DUKPTKSN; }
void USBORVA::put_DUKPTKSN(const String& value) {
  (void)value;
  RefusePut();
}

String USBORVA::get_DeviceSerialNum() const { return state_.DeviceSerialNum; }
void USBORVA::put_DeviceSerialNum(const String& value) {
  (void)value;
  RefusePut();
}

String USBORVA::get_CardEncodeType() const { return state_.CardEncodeType; }
void USBORVA::put_CardEncodeType(const String& value) {
  (void)value;
  RefusePut();
}

String USBORVA::get_SwipeCommandOutput() const { return state_.SwipeCommandOutput; }
void USBORVA::put_SwipeCommandOutput(const String& value) {
  state_.SwipeCommandOutput = value;
  StoredPut(u"SwipeCommandOutput");
}

String USBORVA::get_ReaderID() const { return state_.ReaderID; }
void USBORVA::put_ReaderID(const String& value) {
  (void)value;
  RefusePut();
}

uint8_t USBORVA::get_DeviceState() const { return state_.DeviceState; }
void USBORVA::put_DeviceState(uint8_t value) {
  (void)value;
  RefusePut();
}

uint8_t USBORVA::get_SessionStatus() const { return state_.SessionStatus; }
void USBORVA::put_SessionStatus(uint8_t value) {
  (void)value;
  RefusePut();
}

uint8_t USBORVA::get_DeviceStatus() const { return state_.DeviceStatus; }
void USBORVA::put_DeviceStatus(uint8_t value) {
  (void)value;
  RefusePut();
}

String USBORVA::get_Track1Data() const { return state_.Track1Data; }
void USBORVA::put_Track1Data(const String& value) {
  (void)value;
  RefusePut();
}

String USBORVA::get_Track2Data() const { return state_.Track2Data; }
void USBORVA::put_Track2Data(const String& value) {
  (void)value;
  RefusePut();
}

String USBORVA::get_Track3Data() const { return state_.Track3Data; }
void USBORVA::put_Track3Data(const String& value) {
  (void)value;
  RefusePut();
}

String USBORVA::get_EncTrack1Data() const { return state_.EncTrack1Data; }
void USBORVA::put_EncTrack1Data(const String& value) {
  (void)value;
  RefusePut();
}

String USBORVA::get_EncTrack2Data() const { return state_.EncTrack2Data; }
void USBORVA::put_EncTrack2Data(const String& value) {
  (void)value;
  RefusePut();
}

String USBORVA::get_EncTrack3Data() const { return state_.EncTrack3Data; }
void USBORVA::put_EncTrack3Data(const String& value) {
  (void)value;
  RefusePut();
}

String USBORVA::get_UsbProduct() const { return state_.UsbProduct; }
void USBORVA::put_UsbProduct(const String& value) {
  (void)value;
  RefusePut();
}

String USBORVA::get_BitmapCRC() const { return state_.BitmapCRC; }
void USBORVA::put_BitmapCRC(const String& value) {
  (void)value;
  RefusePut();
}

String USBORVA::get_AuthLabel() const { return state_.AuthLabel; }
void USBORVA::put_AuthLabel(const String& value) {
  (void)value;
  RefusePut();
}

String USBORVA::get_PINLabel() const { return state_.PINLabel; }
void USBORVA::put_PINLabel(const String& value) {
  (void)value;
  RefusePut();
}

String USBORVA::get_MSRLabel() const { return state_.MSRLabel; }
void USBORVA::put_MSRLabel(const String& value) {
  (void)value;
  RefusePut();
}

String USBORVA::get_PINKSN() const { return state_.PINKSN; }
void USBORVA::put_PINKSN(const String& value) {
  (void)value;
  RefusePut();
}

String USBORVA::get_DeviceConfig() const { return state_.DeviceConfig; }
void USBORVA::put_DeviceConfig(const String& value) {
  (void)value;
  RefusePut();
}

String USBORVA::get_MSRKSN() const { return state_.MSRKSN; }
void USBORVA::put_MSRKSN(const String& value) {
  (void)value;
  RefusePut();
}

String USBORVA::get_Firmware() const { return state_.Firmware; }
void USBORVA::put_Firmware(const String& value) {
  (void)value;
  RefusePut();
}

}  // namespace usborva
