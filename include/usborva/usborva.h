// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_USBORVA_H_
#define USBORVA_USBORVA_H_

#include <cstdint>
#include <memory>
#include <span>
#include <utility>

#include "usborva/automation_error.h"
#include "usborva/container.h"
#include "usborva/control_state.h"
#include "usborva/discovery.h"
#include "usborva/events.h"
#include "usborva/export.h"
#include "usborva/variant.h"

namespace usborva {

// The control. One instance per form; every member runs on the thread that created it.
// Property procedures follow the COM convention get_X / put_X; a put that refuses, and a
// method that raises, throws AutomationError. Members appear in the order of the control's
// default interface.
//
// Card data in memory. While a card is handled, the process holds clear track data, PANs,
// key serial numbers and encrypted PIN blocks, and a core dump would write them to disk.
// A host should therefore switch core dumps off for its whole life, before it opens the
// port: on Linux setrlimit(RLIMIT_CORE) to 0 and prctl(PR_SET_DUMPABLE, 0), which also
// keeps other processes of the same user from attaching to it (the usborva tool does both);
// on Windows, leave the process out of crash-dump collection. The control does its part:
// it wipes the input report buffer when the device is closed (port closed, device lost,
// Terminate) and the KSN and EPB texts of PINResponse once the handler returns, and it
// saves no clear card data in a property bag unless the container asks for it
// (Container::PersistCardData). What the host copies out of the properties and events is
// the host's to wipe.
class USBORVA_EXPORT USBORVA {
 public:
  // The container must outlive the control. Creates the poll timer tmrMain: disabled,
  // 25 ms.
  explicit USBORVA(Container& container);
  ~USBORVA();
  USBORVA(const USBORVA&) = delete;
  USBORVA& operator=(const USBORVA&) = delete;

  static constexpr int32_t kPollIntervalMs = 25;

  // --- container events
  void InitProperties();
  // Loads all 35 keys, clear card data included, so every saved bag keeps loading.
  void ReadProperties(PropertyBag& bag);
  // Writes all 35 keys; CardData and Track1Data-Track3Data go as their defaults (so no key
  // is stored) unless container.PersistCardData() says otherwise.
  void WriteProperties(PropertyBag& bag);
  void Terminate();

  // --- the default interface, in slot order
  String get_CardData() const;
  void put_CardData(const String& value);
  bool get_PortOpen() const;
  void put_PortOpen(bool value);
  int32_t get_SigilLen() const;
  void put_SigilLen(int32_t value);
  Variant get_SigilData() const;
  void put_SigilData(const Variant& value);
  int32_t get_SequenceNumber() const;
  void put_SequenceNumber(int32_t value);
  String get_CardDataMasked() const;
  void put_CardDataMasked(const String& value);
  Variant get_SessionID() const;
  void put_SessionID(const Variant& value);
  int32_t get_Track1Length() const;
  void put_Track1Length(int32_t value);
  int32_t get_Track2Length() const;
  void put_Track2Length(int32_t value);
  int32_t get_Track3Length() const;
  void put_Track3Length(int32_t value);
  int32_t get_Track1LengthMasked() const;
  void put_Track1LengthMasked(int32_t value);
  int32_t get_Track2LengthMasked() const;
  void put_Track2LengthMasked(int32_t value);
  int32_t get_Track3LengthMasked() const;
  void put_Track3LengthMasked(int32_t value);
  int32_t get_SigilStatus() const;
  void put_SigilStatus(int32_t value);
  String get_DUKPTKSN() const;
  void put_DUKPTKSN(const String& value);
  String get_DeviceSerialNum() const;
  void put_DeviceSerialNum(const String& value);
  String get_CardEncodeType() const;
  void put_CardEncodeType(const String& value);
  String get_SwipeCommandOutput() const;
  void put_SwipeCommandOutput(const String& value);
  String GetTrack(int16_t& TrackNum);
  String GetTrackMasked(int16_t& TrackNum);
  String GetFName();
  String GetLName();
  String FindElement(int16_t TrackNum, String RefChar, int16_t Displacement, String NumDigits,
                     Variant& DirectionBack);
  String FindElementMasked(int16_t TrackNum, String RefChar, int16_t Displacement, String NumDigits,
                           Variant& DirectionBack);
  String GetDefSetting(String& Key, const Variant& strDefault = Variant::Missing());
  String SaveDefSetting(String& Key, String& Setting);
  int16_t ClearBuffer();
  String About();
  String GetFNameMasked();
  String GetLNameMasked();
  String get_ReaderID() const;
  void put_ReaderID(const String& value);
  bool InterpretMsg(String& sText);
  int32_t GetFeatureReport(String CommandString, Variant& OutPutData);
  int32_t SetFeatureReport(String CommandString, Variant& OutPutData);
  uint8_t get_DeviceState() const;
  void put_DeviceState(uint8_t value);
  uint8_t get_SessionStatus() const;
  void put_SessionStatus(uint8_t value);
  uint8_t get_DeviceStatus() const;
  void put_DeviceStatus(uint8_t value);
  String get_Track1Data() const;
  void put_Track1Data(const String& value);
  String get_Track2Data() const;
  void put_Track2Data(const String& value);
  String get_Track3Data() const;
  void put_Track3Data(const String& value);
  String get_EncTrack1Data() const;
  void put_EncTrack1Data(const String& value);
  String get_EncTrack2Data() const;
  void put_EncTrack2Data(const String& value);
  String get_EncTrack3Data() const;
  void put_EncTrack3Data(const String& value);
  String get_UsbProduct() const;
  void put_UsbProduct(const String& value);
  String get_BitmapCRC() const;
  void put_BitmapCRC(const String& value);
  String get_AuthLabel() const;
  void put_AuthLabel(const String& value);
  String get_PINLabel() const;
  void put_PINLabel(const String& value);
  String get_MSRLabel() const;
  void put_MSRLabel(const String& value);
  String get_PINKSN() const;
  void put_PINKSN(const String& value);
  String get_DeviceConfig() const;
  void put_DeviceConfig(const String& value);
  String get_MSRKSN() const;
  void put_MSRKSN(const String& value);
  String get_Firmware() const;
  void put_Firmware(const String& value);

  // Overloads for callers that leave out the optional DirectionBack.
  String FindElement(int16_t TrackNum, String RefChar, int16_t Displacement, String NumDigits);
  String FindElementMasked(int16_t TrackNum, String RefChar, int16_t Displacement,
                           String NumDigits);

  // --- beside the control's interface: which terminal it takes
  // When several supported terminals are present, PortOpen and the poll loop's
  // reconnection take the first one, in enumeration order, that choice also accepts (by
  // device path, serial number, or both; see TerminalChoice). The choice is applied after
  // the terminal's matching rules and can only narrow them; the default, an empty choice,
  // takes the first supported terminal. It takes effect at the next open or reconnection,
  // and is not saved with the properties. Every control on a thread shares one device, so
  // the choice of the control that opens or reconnects it decides.
  // SurveyHidInterfaces(choice) shows which terminal that is, and why the others are not.
  void set_terminal_choice(TerminalChoice choice) { terminal_choice_ = std::move(choice); }
  const TerminalChoice& terminal_choice() const { return terminal_choice_; }

  // --- internal entry points, public for hosts that drive the control directly
  // The tmrMain tick handler.
  void PollTick();
  // Acts on one complete input report by its byte 0; never throws, never reads outside
  // report.
  void DispatchInputReport(std::span<const uint8_t> report);

  const ControlState& state() const { return state_; }
  Timer& tmrMain() { return *tmrMain_; }

 private:
  void RefusePut();
  void StoredPut(std::u16string_view name);
  void OpenPort();
  void ClosePort();
  int32_t QueryBitmapCRC();
  int32_t QueryKeySerialNumbers();
  int32_t QueryDeviceConfig();
  int32_t QueryLabels();
  int32_t ExchangeFeatureReport(bool get, const String& command, Variant& output);
  int32_t QueryExchange(bool set_first, const String& command, Variant& output);
  void ReconnectDevice();
  void RearmAfterTick(uint64_t generation);
  void ReadDeviceString(int which, String& field);
  void DispatchCardDataItem(std::span<const uint8_t> report);
  // Connection notifications to the container; they change nothing the control does.
  void NoticeOpenFailed(OpenFailure reason);
  void NoticeReadFailure();
  void NoticeBack();
  void NoticeIdle();
  void Notice(const ConnectionNotice& notice);

  Container& container_;
  ControlState state_;
  std::unique_ptr<Timer> tmrMain_;
  // Counts opens, closes and terminations, so a tick can tell that a handler changed the
  // port under it.
  uint64_t lifecycle_generation_ = 0;
  // True from an open that started the poll timer until the next close, failed open or
  // termination. An open that stops at the matching re-check leaves it as it was, as it
  // leaves the flag and the timer: a tick whose handler made such an open re-arms the
  // timer from this, since the timer's own state is the tick's re-entry guard then.
  bool polling_ = false;
  TerminalChoice terminal_choice_;
  // What the container was last told of the terminal, so that a loss, a return or a
  // refused read is told once however often the poll loop retries.
  enum class Told : uint8_t { kConnected, kLost, kUnreadable };
  Told told_ = Told::kConnected;
  // The poll loop reopened the terminal: it is told as back once a read on it has started.
  bool reconnect_unconfirmed_ = false;
};

}  // namespace usborva

#endif  // USBORVA_USBORVA_H_
