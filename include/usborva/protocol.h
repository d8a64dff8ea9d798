// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_PROTOCOL_H_
#define USBORVA_PROTOCOL_H_

/// @file
/// The terminal's protocol, in one place: the IDs of the reports it sends and answers, the
/// item types of its card-data report, the identity items of its info report, and where
/// every field of those reports stands. The control reads reports by these definitions, the
/// simulated terminal writes them by the same ones, and the scenario language and the tool
/// describe them with them, so a layout change is one edit here.
///
/// Every report is a byte buffer whose byte 0 is the report ID; offsets below count from
/// there. Everything here is pure and thread-compatible; nothing allocates except the two
/// command texts.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "usborva/export.h"
#include "usborva/variant.h"

/// The terminal's protocol: report IDs, card-data items, identity items and the layout of
/// each report (see protocol.h).
namespace usborva::protocol {

// --- Input reports: what the terminal sends on its own.

/// Input report IDs. Unscoped, with a byte as the underlying type, so an enumerator is the
/// byte on the wire wherever a byte is wanted (a report buffer, a switch on byte 0).
enum InputReport : uint8_t {
  kReportDeviceStatus = 0x20,    ///< 1 device state, 2 session status, 3 device status
  kReportCardStatus = 0x22,      ///< 1 operation status, 2 card status, 3 card type
  kReportCardData = 0x23,        ///< one card-data item, see CardItem
  kReportPINResponse = 0x24,     ///< 1 operation status, then the KSN and the PIN block
  kReportSelectResponse = 0x25,  ///< 1 operation status, 2 key pressed
  kReportDisplayDone = 0x27,     ///< 1 display status
};

/// The two status reports (0x20, 0x22): the report ID and three status bytes.
inline constexpr size_t kStatusFieldsOffset = 1;
inline constexpr size_t kStatusFieldCount = 3;  ///< three status bytes
/// The length of a status report up to its last field.
inline constexpr size_t kStatusReportLength = kStatusFieldsOffset + kStatusFieldCount;

/// Item types of the card-data report 0x23. A swipe sends the data items Track1 to Sigil
/// (some may be left out), then the end item.
enum CardItem : uint8_t {
  kCardItemTrack1 = 1,  ///< track data, one character per byte
  kCardItemTrack2 = 2,
  kCardItemTrack3 = 3,
  kCardItemEncTrack1 = 4,  ///< encrypted tracks: binary, shown as hex
  kCardItemEncTrack2 = 5,
  kCardItemEncTrack3 = 6,
  kCardItemSigil = 7,  ///< binary, shown as hex
  kCardItemEnd = 99,   ///< closes the card data: status, KSN and sigil status
};
/// The data items are numbered without a gap from Track1 to Sigil.
inline constexpr size_t kCardDataItemCount = kCardItemSigil - kCardItemTrack1 + 1;

/// Whether type is one of the data items (Track1 to Sigil), not the end item or unknown.
constexpr bool IsCardDataItem(uint8_t type) {
  return type >= kCardItemTrack1 && type <= kCardItemSigil;
}
/// Whether the data item carries track text (one character per byte) rather than binary
/// data shown as hex.
constexpr bool IsTrackTextItem(uint8_t type) {
  return type >= kCardItemTrack1 && type <= kCardItemTrack3;
}

/// Layout of a card-data item: 1 item type, 2 item status (read for the end item only),
/// 3 data length n, data from 4 (n bytes).
inline constexpr size_t kCardItemTypeOffset = 1;
inline constexpr size_t kCardItemStatusOffset = 2;  ///< item status
inline constexpr size_t kCardItemLengthOffset = 3;  ///< data length n
inline constexpr size_t kCardItemDataOffset = 4;    ///< first data byte
inline constexpr size_t kCardItemMaxData = 255;     ///< the length is one byte

/// Key serial numbers are ten bytes wherever they travel.
inline constexpr size_t kKsnLength = 10;

/// The end item: the KSN of the swipe from byte 4, then the sigil status, four bytes whose
/// hex form reads as a decimal numeral (00 00 10 00 is 1000).
inline constexpr size_t kCardEndKsnOffset = kCardItemDataOffset;
inline constexpr size_t kSigilStatusOffset = kCardEndKsnOffset + kKsnLength;  ///< after the KSN
inline constexpr size_t kSigilStatusLength = 4;                               ///< four bytes
/// The length of the end item up to its last field.
inline constexpr size_t kCardEndLength = kSigilStatusOffset + kSigilStatusLength;
/// The largest sigil status: two decimal digits per byte, all nines.
inline constexpr uint32_t kSigilStatusMax = [] {
  uint32_t max = 0;
  for (size_t digit = 0; digit < 2 * kSigilStatusLength; ++digit) max = max * 10 + 9;
  return max;
}();

/// The four bytes that carry value as a sigil status: each byte holds two decimal digits,
/// so the hex text of the bytes reads as the number. Digits above kSigilStatusMax are lost.
USBORVA_EXPORT std::array<uint8_t, kSigilStatusLength> SigilStatusBytes(uint32_t value);
/// The number a sigil status denotes: the hex text of bytes (kSigilStatusLength of them)
/// read as a decimal numeral. nullopt when a hex digit is a letter (no decimal numeral) or
/// bytes has another length.
USBORVA_EXPORT std::optional<int32_t> SigilStatusValue(std::span<const uint8_t> bytes);

/// The PIN response 0x24: 1 operation status, the KSN from byte 2, the encrypted PIN block
/// (eight bytes) after it.
inline constexpr size_t kPINStatusOffset = 1;
inline constexpr size_t kPINKsnOffset = 2;  ///< the KSN, kKsnLength bytes
inline constexpr size_t kPINBlockOffset = kPINKsnOffset + kKsnLength;  ///< the encrypted PIN block
inline constexpr size_t kPINBlockLength = 8;                           ///< eight bytes
/// The length of the PIN response up to its last field.
inline constexpr size_t kPINResponseLength = kPINBlockOffset + kPINBlockLength;

/// The select response 0x25 and the display-done report 0x27.
inline constexpr size_t kSelectResponseLength = 3;  ///< ID, operation status, key pressed
inline constexpr size_t kDisplayDoneLength = 2;     ///< ID, display status

// --- Feature reports: what the terminal answers when asked (GetFeatureReport), and the
// commands that ask (SetFeatureReport).

/// Feature report IDs (byte 0 of a command).
enum FeatureReport : uint8_t {
  /// Identity information: a Set with byte 1 = an InfoItem selects the item, and every Get
  /// answers the item selected last as ID, item, 00, n, then n data bytes.
  kFeatureInfo = 0x0E,
  /// Configuration: a Get answers the ID and the eight configuration bytes.
  kFeatureConfig = 0x09,
};

/// The identity items of report 0x0E (byte 1 of its Set).
enum InfoItem : uint8_t {
  kInfoAuthLabel = 0x00,
  kInfoPINKSN = 0x01,  ///< the KSN as text, one character per byte
  kInfoMSRKSN = 0x02,
  kInfoPINLabel = 0x03,  ///< the two labels count a terminating zero byte in n
  kInfoMSRLabel = 0x04,
  kInfoBitmapCRC = 0x10,
};

/// Layout of report 0x0E: 1 item, 2 not used, 3 data length n, data from 4 (n bytes).
inline constexpr size_t kInfoItemOffset = 1;
inline constexpr size_t kInfoLengthOffset = 3;  ///< data length n
inline constexpr size_t kInfoDataOffset = 4;    ///< first data byte
inline constexpr size_t kInfoMaxData = 255;     ///< the length is one byte

/// Layout of report 0x09: the configuration bytes from byte 1.
inline constexpr size_t kConfigOffset = 1;
inline constexpr size_t kConfigLength = 8;  ///< eight configuration bytes

/// The command text that selects item (for SetFeatureReport) and reads report 0x0E (for the
/// Get after it): "0E 10" for the bitmap CRC.
USBORVA_EXPORT String InfoCommand(InfoItem item);
/// The command text that reads the configuration: "09".
USBORVA_EXPORT String ConfigCommand();

/// Writes the answer to a Get of 0x0E into report (zero it first): the header for item and
/// as much of data as the report holds. The length byte says data's full length, at most
/// kInfoMaxData; data past that is not sent. A report too short for the header gets what
/// fits of it.
USBORVA_EXPORT void WriteInfoAnswer(std::span<uint8_t> report, uint8_t item,
                                    std::span<const uint8_t> data);
/// The data of a 0x0E answer: n bytes from byte 4, cut to what the report holds. nullopt
/// when report is not a 0x0E report or is too short to hold its length byte.
USBORVA_EXPORT std::optional<std::span<const uint8_t>> InfoAnswerData(
    std::span<const uint8_t> report);

/// Writes the answer to a Get of 0x09 into report: the ID and config (kConfigLength bytes),
/// cut to what the report holds.
USBORVA_EXPORT void WriteConfigAnswer(std::span<uint8_t> report,
                                      std::span<const uint8_t, kConfigLength> config);
/// The configuration bytes of a 0x09 answer, cut to what the report holds. nullopt when
/// report is not a 0x09 report or holds only its ID.
USBORVA_EXPORT std::optional<std::span<const uint8_t>> ConfigAnswerBytes(
    std::span<const uint8_t> report);

// --- The text form of a feature report (OutPutData): two hex digits per byte, one space
// between bytes, from byte 0 on ("0E 10 00 04 ...").

/// Where byte index begins in that text (0-based): byte 3 at 9.
constexpr size_t SpacedHexPosition(size_t index) { return 3 * index; }
/// How many characters count bytes take in that text, without a trailing space: 8 bytes
/// take 23.
constexpr size_t SpacedHexLength(size_t count) { return count == 0 ? 0 : 3 * count - 1; }

}  // namespace usborva::protocol

#endif  // USBORVA_PROTOCOL_H_
