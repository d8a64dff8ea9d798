// SPDX-License-Identifier: Apache-2.0
#include "recording_sanitizer.h"

#include <algorithm>
#include <optional>

#include "usborva/protocol.h"
#include "usborva/test_cards.h"
#include "usborva/text_guard.h"

namespace usborva::cli {
namespace {

// What a recording shows in place of the cardholder's name, cut or padded to its length.
constexpr std::string_view kPlaceholderName = "TEST/CARDHOLDER";
constexpr size_t kMinPanDigits = 12;
constexpr size_t kMaxPanDigits = 19;
// The expiry (YYMM) and the service code that follow the PAN's separator.
constexpr size_t kExpiryAndServiceCode = 7;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlphanumeric(char c) {
  return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The PAN's characters: digits ('*' stands for a digit a reader masked) and, where blanks
// may part digit groups, blanks. nullopt when it holds anything else or has the wrong
// number of digits.
std::optional<size_t> PanDigits(std::string_view pan, bool blanks) {
  size_t digits = 0;
  for (char c : pan) {
    if (IsDigit(c) || c == '*') {
      ++digits;
    } else if (!(blanks && c == ' ')) {
      return std::nullopt;
    }
  }
  if (digits < kMinPanDigits || digits > kMaxPanDigits) return std::nullopt;
  return digits;
}

// The PAN's place filled with a test number, blanks where they were.
std::string SyntheticPan(std::string_view pan, size_t digits) {
  const std::string test = TestPan(digits);
  std::string out(pan);
  size_t next = 0;
  for (char& c : out) {
    if (c != ' ') c = test[next++];
  }
  return out;
}

std::string Placeholder(size_t length) {
  std::string name(kPlaceholderName.substr(0, length));
  name.resize(length, ' ');
  return name;
}

// After the PAN's separator: the expiry and service code as they are, then discretionary
// data and anything past the end sentinel zeroed.
std::string SyntheticTail(std::string_view tail) {
  std::string out(tail);
  for (size_t i = 0; i < out.size(); ++i) {
    if (i < kExpiryAndServiceCode && IsDigit(out[i])) continue;
    if (IsAlphanumeric(out[i])) out[i] = '0';
  }
  return out;
}

std::string Garbled(std::string_view track) { return std::string(track.size(), '0'); }

std::optional<std::string> SyntheticTrack1(std::string_view track) {
  if (!track.starts_with("%B")) return std::nullopt;
  const size_t pan_end = track.find('^', 2);
  if (pan_end == std::string_view::npos) return std::nullopt;
  const size_t name_end = track.find('^', pan_end + 1);
  if (name_end == std::string_view::npos) return std::nullopt;
  const std::string_view pan = track.substr(2, pan_end - 2);
  const std::optional<size_t> digits = PanDigits(pan, true);
  if (!digits) return std::nullopt;
  return "%B" + SyntheticPan(pan, *digits) + "^" + Placeholder(name_end - pan_end - 1) + "^" +
         SyntheticTail(track.substr(name_end + 1));
}

// Tracks 2 and 3: ";" PAN "=" ...; track 3 may put a two-digit format code first.
std::optional<std::string> SyntheticTrack23(std::string_view track, bool format_code) {
  if (!track.starts_with(";")) return std::nullopt;
  const size_t separator = track.find('=');
  if (separator == std::string_view::npos) return std::nullopt;
  std::string_view pan = track.substr(1, separator - 1);
  std::string code;
  if (format_code && pan.size() > kMaxPanDigits && IsDigit(pan[0]) && IsDigit(pan[1])) {
    code = std::string(pan.substr(0, 2));
    pan.remove_prefix(2);
  }
  const std::optional<size_t> digits = PanDigits(pan, false);
  if (!digits) return std::nullopt;
  return ";" + code + SyntheticPan(pan, *digits) + "=" + SyntheticTail(track.substr(separator + 1));
}

void Zero(std::span<uint8_t> report, size_t from, size_t to) {
  to = std::min(to, report.size());
  for (size_t i = from; i < to; ++i) report[i] = 0;
}

void SanitizeCardItem(std::span<uint8_t> report) {
  if (report.size() <= protocol::kCardItemLengthOffset) return;
  const uint8_t type = report[protocol::kCardItemTypeOffset];
  if (type == protocol::kCardItemEnd) {
    Zero(report, protocol::kCardEndLength, report.size());
    return;
  }
  const size_t start = protocol::kCardItemDataOffset;
  const size_t end = std::min(report.size(), start + report[protocol::kCardItemLengthOffset]);
  if (protocol::IsTrackTextItem(type) && end > start) {
    const std::string_view clear(reinterpret_cast<const char*>(report.data() + start), end - start);
    const std::string synthetic = SyntheticTrack(clear, type);
    std::copy(synthetic.begin(), synthetic.end(), report.begin() + static_cast<ptrdiff_t>(start));
  } else {
    Zero(report, start, end);  // encrypted tracks, sigil data, and items nobody knows
  }
  Zero(report, end, report.size());
}

}  // namespace

std::string SyntheticTrack(std::string_view track, uint8_t item_type) {
  std::optional<std::string> synthetic;
  if (item_type == protocol::kCardItemTrack1) synthetic = SyntheticTrack1(track);
  if (item_type == protocol::kCardItemTrack2) synthetic = SyntheticTrack23(track, false);
  if (item_type == protocol::kCardItemTrack3) synthetic = SyntheticTrack23(track, true);
  return synthetic.value_or(Garbled(track));
}

void SanitizeReport(std::span<uint8_t> report) {
  if (report.empty()) return;
  switch (report[0]) {
    case protocol::kReportCardData:
      return SanitizeCardItem(report);
    case protocol::kReportPINResponse:
      return Zero(report, protocol::kPINBlockOffset, report.size());
    case protocol::kReportDeviceStatus:
    case protocol::kReportCardStatus:
      return Zero(report, protocol::kStatusReportLength, report.size());
    case protocol::kReportSelectResponse:
      return Zero(report, protocol::kSelectResponseLength, report.size());
    case protocol::kReportDisplayDone:
      return Zero(report, protocol::kDisplayDoneLength, report.size());
    default:
      return;
  }
}

std::string SanitizeNote(std::string_view text) { return GuardText(text); }

}  // namespace usborva::cli
