// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_CONTROL_STATE_H_
#define USBORVA_CONTROL_STATE_H_

#include <cstdint>
#include <optional>

#include "usborva/export.h"
#include "usborva/variant.h"

namespace usborva {

/// The control's state record: one value behind each property, in declaration order.
/// Created zero-filled with the instance; every part of the control reads and writes it
/// directly, never through the property procedures.
struct USBORVA_EXPORT ControlState {
  /// @name Property values
  /// The value behind the property of the same name: USBORVA::get_Track1Data returns
  /// Track1Data, and so on. docs/api.md says what changes each one.
  ///@{
  String Track1Data;
  String Track2Data;
  String Track3Data;
  String EncTrack1Data;
  String EncTrack2Data;
  String EncTrack3Data;
  uint8_t DeviceState = 0;
  uint8_t SessionStatus = 0;
  uint8_t DeviceStatus = 0;
  int32_t Track1Length = 0;
  int32_t Track2Length = 0;
  int32_t Track3Length = 0;
  int32_t Track1LengthMasked = 0;
  int32_t Track2LengthMasked = 0;
  int32_t Track3LengthMasked = 0;
  String SwipeCommandOutput;
  int32_t SigilLen = 0;
  String SigilData;
  int32_t SequenceNumber = 0;
  int32_t SigilStatus = 0;
  String DeviceSerialNum;
  String UsbProduct;
  String Firmware;
  String MSRKSN;
  String PINKSN;
  String DeviceConfig;
  String BitmapCRC;
  String AuthLabel;
  String PINLabel;
  String MSRLabel;
  String CardEncodeType;
  bool PortOpen = false;
  String CardData;
  String DUKPTKSN;
  String CardDataMasked;
  String ReaderID;
  /// No array at all until initialisation or a put stores one (loading does not).
  std::optional<ByteArray> SessionID;
  ///@}
};

}  // namespace usborva

#endif  // USBORVA_CONTROL_STATE_H_
