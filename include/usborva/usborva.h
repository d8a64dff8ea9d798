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

/// The control. One instance per form; every member runs on the thread that created it.
/// Property procedures follow the COM convention get_X / put_X; a put that refuses, and a
/// method that raises, throws AutomationError. Members appear in the order of the control's
/// default interface.
///
/// Card data in memory. While a card is handled, the process holds clear track data, PANs,
/// key serial numbers and encrypted PIN blocks, and a core dump would write them to disk.
/// A host should therefore switch core dumps off for its whole life, before it opens the
/// port: on Linux setrlimit(RLIMIT_CORE) to 0 and prctl(PR_SET_DUMPABLE, 0), which also
/// keeps other processes of the same user from attaching to it (the usborva tool does both);
/// on Windows, leave the process out of crash-dump collection. The control does its part:
/// it wipes the input report buffer when the device is closed (port closed, device lost,
/// Terminate) and the KSN and EPB texts of PINResponse once the handler returns, and it
/// saves no clear card data in a property bag unless the container asks for it
/// (Container::PersistCardData). What the host copies out of the properties and events is
/// the host's to wipe.
class USBORVA_EXPORT USBORVA {
 public:
  /// The container must outlive the control. Creates the poll timer tmrMain: disabled,
  /// 25 ms.
  explicit USBORVA(Container& container);
  /// Stops and destroys the poll timer. The thread's device stays open: the container calls
  /// Terminate first to close it.
  ~USBORVA();
  USBORVA(const USBORVA&) = delete;
  USBORVA& operator=(const USBORVA&) = delete;

  /// The poll timer's interval: one step of the terminal's input every 25 ms.
  static constexpr int32_t kPollIntervalMs = 25;

  // --- container events
  /// A new control's values: "" for every String, 0 for every number, PortOpen False and
  /// an empty SessionID. Called by the container for a control without a saved bag.
  void InitProperties();
  /// Loads all 35 keys, clear card data included, so every saved bag keeps loading.
  /// A key the bag lacks takes its default; loading raises no event, touches no terminal
  /// and starts no polling. Throws the conversion's error for a value of the wrong type
  /// (13, 6, 94) or the bag's own (380 for a bad line of a PropertyBagFile): the keys before
  /// it are loaded, the rest keep their values.
  void ReadProperties(PropertyBag& bag);
  /// Writes all 35 keys; CardData and Track1Data-Track3Data go as their defaults (so no key
  /// is stored) unless container.PersistCardData() says otherwise.
  /// Only values that differ from their defaults are stored; SigilData and SessionID never
  /// are. Throws what the bag throws.
  void WriteProperties(PropertyBag& bag);
  /// The container ends the control: stops polling and closes the device (shared by every
  /// control on the thread) without touching the PortOpen flag. Raises nothing.
  void Terminate();

  // --- the default interface, in slot order
  /// Card-data text the host assigns for GetTrack, GetFName, GetLName and FindElement to
  /// read; nothing in the control fills it (a swipe fills Track1Data to Track3Data). Clear card
  /// data: empty it once the sale is done. Saved only when the container opts in.
  String get_CardData() const;
  void put_CardData(const String& value);  ///< Stores value as given; then PropertyChanged.
  /// The port's flag as last set by an open, a close, ClearBuffer or loading a bag; not a
  /// live test of the terminal. It stays True while a lost terminal is awaited.
  bool get_PortOpen() const;
  /// True opens the port (closing it first when open): takes the first supported terminal,
  /// sets ReaderID and the flag, starts polling, reads the identity properties, then calls
  /// PropertyChanged. False stops polling, clears the flag, closes the device and calls
  /// PropertyChanged. Throws 387 in a designer; nothing else raises: when no terminal can be
  /// taken the flag simply reads False, so read it back (docs/discovery.md says why).
  void put_PortOpen(bool value);
  /// 0 unless a saved bag supplied a value; nothing in the control changes it.
  int32_t get_SigilLen() const;
  void put_SigilLen(int32_t value);  ///< Read only: throws 382 (387 in a designer).
  /// The sigil bytes of the last card-data item 7 as hex text, in a String Variant. Kept by
  /// ClearBuffer; never saved.
  Variant get_SigilData() const;
  /// Stores value converted to text (a number becomes its text), then PropertyChanged.
  /// Throws 13 when it has no text form, 94 for Null; the old text then stays.
  void put_SigilData(const Variant& value);
  /// 0 unless a saved bag supplied a value; nothing in the control changes it.
  int32_t get_SequenceNumber() const;
  void put_SequenceNumber(int32_t value);  ///< Read only: throws 382 (387 in a designer).
  /// The masked counterpart of CardData, read by the masked parsing methods: whatever the
  /// host writes (the control never masks anything itself). Saved.
  String get_CardDataMasked() const;
  void put_CardDataMasked(const String& value);  ///< Stores value as given; then PropertyChanged.
  /// A Byte array only the host's write changes: empty for a new control and after
  /// ClearBuffer. Never saved.
  Variant get_SessionID() const;
  /// Stores value converted to a Byte array (a String gives its UTF-16LE bytes), then
  /// PropertyChanged. Throws 13 for anything but text or a Byte array, 94 for Null.
  void put_SessionID(const Variant& value);
  /// Track 1's length as the host records it: nothing in the control sets or uses it.
  int32_t get_Track1Length() const;
  void put_Track1Length(int32_t value);  ///< Stores value as given; then PropertyChanged.
  /// Track 2's length as the host records it: nothing in the control sets or uses it.
  int32_t get_Track2Length() const;
  void put_Track2Length(int32_t value);  ///< Stores value as given; then PropertyChanged.
  /// Track 3's length as the host records it: nothing in the control sets or uses it.
  int32_t get_Track3Length() const;
  void put_Track3Length(int32_t value);  ///< Stores value as given; then PropertyChanged.
  /// Masked track 1's length as the host records it; the control never uses it.
  int32_t get_Track1LengthMasked() const;
  void put_Track1LengthMasked(int32_t value);  ///< Stores value as given; then PropertyChanged.
  /// Masked track 2's length as the host records it; the control never uses it.
  int32_t get_Track2LengthMasked() const;
  void put_Track2LengthMasked(int32_t value);  ///< Stores value as given; then PropertyChanged.
  /// Masked track 3's length as the host records it; the control never uses it.
  int32_t get_Track3LengthMasked() const;
  void put_Track3LengthMasked(int32_t value);  ///< Stores value as given; then PropertyChanged.
  /// The card-data end item's four status bytes written as hex and read as a decimal
  /// number (00 00 10 00 gives 1000; the old value stays when a byte holds a hex letter). Set
  /// just before CardDataChanged.
  int32_t get_SigilStatus() const;
  void put_SigilStatus(int32_t value);  ///< Read only: throws 382 (387 in a designer).
  /// The key serial number of the card-data end item, 20 hex characters. Set just before
  /// CardDataChanged.
  String get_DUKPTKSN() const;
  void put_DUKPTKSN(const String& value);  ///< Read only: throws 382 (387 in a designer).
  /// The terminal's USB serial-number string, read when the port opens (a terminal without
  /// one leaves the old value).
  String get_DeviceSerialNum() const;
  void put_DeviceSerialNum(const String& value);  ///< Read only: throws 382 (387 in a designer).
  /// "" unless a saved bag supplied a value; nothing in the control changes it.
  String get_CardEncodeType() const;
  void put_CardEncodeType(const String& value);  ///< Read only: throws 382 (387 in a designer).
  /// OutPutData of the last GetFeatureReport or SetFeatureReport as text, the identity
  /// queries of an open included (after a failed exchange, the caller's own OutPutData).
  String get_SwipeCommandOutput() const;
  void put_SwipeCommandOutput(const String& value);  ///< Stores value; then PropertyChanged.
  /// A track of CardData: 0 the whole text; 4 the segment from the first "#" through the
  /// next "?"; 5 the same from the first "!"; 1, 2, 3 and any other number "" by design
  /// (use track 0, the Track1Data to Track3Data properties, or ParseCardView). TrackNum is
  /// not changed. Raises nothing: every failure is "" (docs/api.md, "GetTrack").
  String GetTrack(int16_t& TrackNum);
  /// GetTrack on CardDataMasked.
  String GetTrackMasked(int16_t& TrackNum);
  /// The card holder's first name from CardData's track-1 name field (format B or A): from
  /// after the first "/" to the next "^", blanks at both ends removed. "" when there is
  /// none; raises nothing.
  String GetFName();
  /// The card holder's last name from CardData's track-1 name field: format B from after
  /// the first "^", format A from after the format code, to the first "/"; not trimmed. ""
  /// when there is none; raises nothing.
  String GetLName();
  /// A piece of GetTrack(TrackNum), found by its place relative to a reference character:
  /// the occurrence of RefChar's first character that RefChar's length picks ("^^" the
  /// second "^"); Displacement characters skipped; NumDigits either a count of characters
  /// ("4") or a terminator character at the occurrence its length picks ("^^").
  /// DirectionBack True takes the element before the reference, anything else after it;
  /// left out (Missing), it is True exactly when RefChar is "?", and the direction chosen is
  /// written back into it as a Boolean. Raises nothing: anything impossible gives "".
  /// Worked examples: docs/api.md, "FindElement".
  String FindElement(int16_t TrackNum, String RefChar, int16_t Displacement, String NumDigits,
                     Variant& DirectionBack);
  /// FindElement on CardDataMasked.
  String FindElementMasked(int16_t TrackNum, String RefChar, int16_t Displacement, String NumDigits,
                           Variant& DirectionBack);
  /// The host's own default setting Key, per user (application "USBHID", section
  /// "Startup"): the stored text, or strDefault as text when Key was never saved, or "" when
  /// strDefault is left out. Throws 75 when the store cannot be read, 13 (94 for Null) when
  /// strDefault has no text form. Key is not changed.
  String GetDefSetting(String& Key, const Variant& strDefault = Variant::Missing());
  /// Stores Setting under Key beside GetDefSetting's values and returns "". Throws 75 when
  /// the store cannot be written; nothing changes then. The arguments are not changed.
  String SaveDefSetting(String& Key, String& Setting);
  /// Empties what the control holds about the card and the terminal (docs/api.md,
  /// "ClearBuffer", lists each property), sets the PortOpen flag False without closing
  /// anything (polling goes on), calls PropertyChanged("CardData") and returns 0. Keeps
  /// Track1Data to Track3Data, the encrypted tracks, SigilData and the status bytes. Raises
  /// nothing and fires no event.
  int16_t ClearBuffer();
  /// Shows the component's credits in the container's modal message box and returns "" once
  /// the user has closed it. Raises nothing.
  String About();
  /// GetFName on CardDataMasked.
  String GetFNameMasked();
  /// GetLName on CardDataMasked.
  String GetLNameMasked();
  /// The terminal's USB product ID in upper-case hex without leading zeros ("4C21"), set
  /// when the port opens and at every automatic reconnection.
  String get_ReaderID() const;
  void put_ReaderID(const String& value);  ///< Read only: throws 382 (387 in a designer).
  /// Reads the hex text sText into the control's message buffer, as the feature-report
  /// methods read their command, and returns True; nothing is sent (a way to check a
  /// command). Throws 13 for a digit pair that is not hex, 9 for more bytes than the
  /// feature report holds; the bytes read before stay in the buffer. sText is not changed.
  bool InterpretMsg(String& sText);
  /// Asks the terminal for the feature report whose ID is CommandString's first byte (the
  /// request carries only the ID: select a 0x0E item with SetFeatureReport first). Returns
  /// 1 and puts the answer in OutPutData as spaced upper-case hex without the report's last
  /// byte, or 0 on any failure (port closed, no answer, bad hex), OutPutData unchanged. Then
  /// stores OutPutData as text in SwipeCommandOutput and calls PropertyChanged, unless it
  /// stopped before sending. Never opens the port; raises nothing.
  int32_t GetFeatureReport(String CommandString, Variant& OutPutData);
  /// Sends CommandString (hex pairs, byte 0 the report ID, spaces ignored, zero-filled to
  /// the feature-report length) as a feature report. Returns 1 and puts the report as sent
  /// in OutPutData (spaced hex, without its last byte), or 0 on failure; SwipeCommandOutput
  /// as for GetFeatureReport. Never opens the port; raises nothing.
  int32_t SetFeatureReport(String CommandString, Variant& OutPutData);
  /// Byte 1 of the terminal's device-status report 0x20, stored just before
  /// DeviceStatusChanged. The terminal's own status byte, passed on unchanged: its meaning is in
  /// the terminal's command reference (docs/api.md, "Status bytes").
  uint8_t get_DeviceState() const;
  void put_DeviceState(uint8_t value);  ///< Read only: throws 382 (387 in a designer).
  /// Byte 2 of the device-status report 0x20, stored just before DeviceStatusChanged; the
  /// terminal's own byte, passed on unchanged.
  uint8_t get_SessionStatus() const;
  void put_SessionStatus(uint8_t value);  ///< Read only: throws 382 (387 in a designer).
  /// Byte 3 of the device-status report 0x20, stored just before DeviceStatusChanged; the
  /// terminal's own byte, passed on unchanged.
  uint8_t get_DeviceStatus() const;
  void put_DeviceStatus(uint8_t value);  ///< Read only: throws 382 (387 in a designer).
  /// Track 1 as the terminal read it (card-data item 1), one character per byte. Clear card
  /// data; ClearBuffer keeps it; saved only when the container opts in.
  String get_Track1Data() const;
  void put_Track1Data(const String& value);  ///< Read only: throws 382 (387 in a designer).
  /// Track 2 as the terminal read it (card-data item 2); clear card data, like Track1Data.
  String get_Track2Data() const;
  void put_Track2Data(const String& value);  ///< Read only: throws 382 (387 in a designer).
  /// Track 3 as the terminal read it (card-data item 3); clear card data, like Track1Data.
  String get_Track3Data() const;
  void put_Track3Data(const String& value);  ///< Read only: throws 382 (387 in a designer).
  /// The encrypted track 1 (card-data item 4) as hex text. Kept by ClearBuffer.
  String get_EncTrack1Data() const;
  void put_EncTrack1Data(const String& value);  ///< Read only: throws 382 (387 in a designer).
  /// The encrypted track 2 (card-data item 5) as hex text. Kept by ClearBuffer.
  String get_EncTrack2Data() const;
  void put_EncTrack2Data(const String& value);  ///< Read only: throws 382 (387 in a designer).
  /// The encrypted track 3 (card-data item 6) as hex text. Kept by ClearBuffer.
  String get_EncTrack3Data() const;
  void put_EncTrack3Data(const String& value);  ///< Read only: throws 382 (387 in a designer).
  /// The terminal's USB product string, read when the port opens.
  String get_UsbProduct() const;
  void put_UsbProduct(const String& value);  ///< Read only: throws 382 (387 in a designer).
  /// The terminal's answer to "0E 10" when the port opens: the data bytes in spaced hex;
  /// "" when no answer came.
  String get_BitmapCRC() const;
  void put_BitmapCRC(const String& value);  ///< Read only: throws 382 (387 in a designer).
  /// The terminal's answer to "0E 00" when the port opens, one character per byte; "" when
  /// no answer came.
  String get_AuthLabel() const;
  void put_AuthLabel(const String& value);  ///< Read only: throws 382 (387 in a designer).
  /// The terminal's answer to "0E 03" when the port opens, one character per byte.
  String get_PINLabel() const;
  void put_PINLabel(const String& value);  ///< Read only: throws 382 (387 in a designer).
  /// The terminal's answer to "0E 04" when the port opens, one character per byte.
  String get_MSRLabel() const;
  void put_MSRLabel(const String& value);  ///< Read only: throws 382 (387 in a designer).
  /// The PIN key serial number: the terminal's answer to "0E 01" when the port opens, one
  /// character per byte.
  String get_PINKSN() const;
  void put_PINKSN(const String& value);  ///< Read only: throws 382 (387 in a designer).
  /// The eight configuration bytes of feature report 0x09, read when the port opens, in
  /// spaced hex (23 characters).
  String get_DeviceConfig() const;
  void put_DeviceConfig(const String& value);  ///< Read only: throws 382 (387 in a designer).
  /// The card-reader key serial number: the terminal's answer to "0E 02" when the port
  /// opens, one character per byte.
  String get_MSRKSN() const;
  void put_MSRKSN(const String& value);  ///< Read only: throws 382 (387 in a designer).
  /// The terminal's USB string descriptor 4 (its firmware), read when the port opens.
  String get_Firmware() const;
  void put_Firmware(const String& value);  ///< Read only: throws 382 (387 in a designer).

  /// FindElement with DirectionBack left out: backward exactly when RefChar is "?".
  String FindElement(int16_t TrackNum, String RefChar, int16_t Displacement, String NumDigits);
  /// FindElementMasked with DirectionBack left out.
  String FindElementMasked(int16_t TrackNum, String RefChar, int16_t Displacement,
                           String NumDigits);

  // --- beside the control's interface: which terminal it takes
  /// When several supported terminals are present, PortOpen and the poll loop's
  /// reconnection take the first one, in enumeration order, that choice also accepts (by
  /// device path, serial number, or both; see TerminalChoice). The choice is applied after
  /// the terminal's matching rules and can only narrow them; the default, an empty choice,
  /// takes the first supported terminal. It takes effect at the next open or reconnection,
  /// and is not saved with the properties. Every control on a thread shares one device, so
  /// the choice of the control that opens or reconnects it decides.
  /// SurveyHidInterfaces(choice) shows which terminal that is, and why the others are not.
  void set_terminal_choice(TerminalChoice choice) { terminal_choice_ = std::move(choice); }
  /// The choice set_terminal_choice stored; empty by default.
  const TerminalChoice& terminal_choice() const { return terminal_choice_; }

  // --- internal entry points, public for hosts that drive the control directly
  /// The tmrMain tick handler: one non-blocking step. Reads at most one input report and
  /// dispatches it (properties, then the event, synchronously), or, while the terminal is
  /// lost, tries once to reopen one; idle once the transport has given up, until PortOpen is
  /// written True. Raises nothing of its own; an exception an event handler throws passes
  /// through to the container's loop, and polling goes on.
  void PollTick();
  /// Acts on one complete input report by its byte 0; never throws, never reads outside
  /// report.
  void DispatchInputReport(std::span<const uint8_t> report);

  /// Every property's value at once, read directly (no get runs).
  const ControlState& state() const { return state_; }
  /// The poll timer, created by the container's timer factory; enabled while the port polls.
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
