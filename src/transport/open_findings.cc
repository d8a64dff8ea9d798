// SPDX-License-Identifier: Apache-2.0
#include "transport/open_findings.h"

#include <new>

#include "diagnostics/diagnostics.h"
#include "usborva/hex_digits.h"

namespace usborva::transport {
namespace {

std::string Ids(const HidAttributes& ids) {
  // Lower case, as lsusb and udev rules write USB IDs.
  std::string text = "0000:0000";
  for (int i = 3; i >= 0; --i) {
    text[static_cast<size_t>(i)] = LowerHexDigit(ids.VendorID >> (4 * (3 - i)));
    text[static_cast<size_t>(i) + 5] = LowerHexDigit(ids.ProductID >> (4 * (3 - i)));
  }
  return text;
}

const char* VerdictText(InterfaceVerdict verdict) {
  switch (verdict) {
    case InterfaceVerdict::kSupported:
      return "supported";
    case InterfaceVerdict::kOtherVendor:
      return "not the terminal's vendor";
    case InterfaceVerdict::kProductNotListed:
      return "refused: product ID not in the built-in list (a configuration file can add it)";
    case InterfaceVerdict::kRefusedByConfigFile:
      return "refused by the configuration file (its product section is not active)";
    case InterfaceVerdict::kConfigFileUnusable:
      return "refused: UseConfigFile in the configuration file is neither TRUE nor FALSE";
    case InterfaceVerdict::kNotChosen:
      return "supported, but not the terminal the host chose";
    default:
      break;
  }
  return "unknown verdict";
}

OpenOutcome OutcomeOfVerdict(InterfaceVerdict verdict) {
  switch (verdict) {
    case InterfaceVerdict::kSupported:
      return OpenOutcome::kOpened;
    case InterfaceVerdict::kProductNotListed:
      return OpenOutcome::kRefusedByRules;
    case InterfaceVerdict::kRefusedByConfigFile:
    case InterfaceVerdict::kConfigFileUnusable:
      return OpenOutcome::kRefusedByConfigFile;
    default:
      break;
  }
  return OpenOutcome::kNoTerminal;
}

}  // namespace

const char* OpenOutcomeText(OpenOutcome outcome) {
  switch (outcome) {
    case OpenOutcome::kNotTried:
      return "not tried";
    case OpenOutcome::kOpened:
      return "opened";
    case OpenOutcome::kOpenedForQueryOnly:
      return "opened for queries only: read/write access refused (permission denied)";
    case OpenOutcome::kDeviceFailed:
      return "no terminal opened: a supported terminal could not be set up";
    case OpenOutcome::kRefusedByConfigFile:
      return "no terminal opened: refused by the configuration file";
    case OpenOutcome::kRefusedByRules:
      return "no terminal opened: refused by the matching rules";
    case OpenOutcome::kAccessDenied:
      return "no terminal opened: an interface refused access";
    case OpenOutcome::kNoTerminal:
      return "no terminal opened: none present";
  }
  return "unknown";
}

template <typename MakeText>
void OpenFindings::Say(DiagnosticTopic topic, MakeText make) noexcept {
  if (!diagnostics::Enabled()) return;
  try {
    lines_.emplace_back(topic, make());
  } catch (const std::bad_alloc&) {
    diagnostics::CountDroppedLine();
  }
}

void OpenFindings::Keep(OpenOutcome outcome) {
  if (outcome < outcome_) outcome_ = outcome;
}

void OpenFindings::NoDeviceList(uint32_t error) {
  Say(DiagnosticTopic::kOpen, [&] {
    return "the list of HID interfaces could not be had (error " + std::to_string(error) + ")";
  });
}

void OpenFindings::Unopened(const std::string& path, uint32_t error) {
  if (error == kErrorAccessDenied) Keep(OpenOutcome::kAccessDenied);
  Say(DiagnosticTopic::kOpen, [&] {
    return path + ": cannot be opened, with or without read/write access (error " +
           std::to_string(error) + ")";
  });
}

void OpenFindings::SetupFailed(const std::string& path, const char* step, uint32_t error) {
  Say(DiagnosticTopic::kOpen, [&] {
    return path + ": " + step + " unreadable (error " + std::to_string(error) + "); closed";
  });
}

void OpenFindings::Judged(const std::string& path, const HidAttributes& ids,
                          InterfaceVerdict verdict) {
  if (verdict == InterfaceVerdict::kSupported) {
    // Until the open goes through, a supported terminal that fails a later step is the
    // most telling thing this open saw.
    Keep(OpenOutcome::kDeviceFailed);
  } else {
    Keep(OutcomeOfVerdict(verdict));
  }
  Say(DiagnosticTopic::kMatch, [&] { return path + ": " + Ids(ids) + " " + VerdictText(verdict); });
}

void OpenFindings::Opened(const std::string& path, uint32_t read_write_error) {
  outcome_ = read_write_error == kErrorAccessDenied ? OpenOutcome::kOpenedForQueryOnly
                                                    : OpenOutcome::kOpened;
  Say(DiagnosticTopic::kOpen, [&] {
    if (read_write_error == 0) return path + ": opened for reading and writing";
    return path + ": read/write open refused (error " + std::to_string(read_write_error) +
           "); opened for queries only, so reads will fail";
  });
}

void OpenFindings::Finish(DeviceRecord& record) {
  const bool opened =
      outcome_ == OpenOutcome::kOpened || outcome_ == OpenOutcome::kOpenedForQueryOnly;
  const bool changed = outcome_ != record.Observed.open;
  record.Observed.open = outcome_;
  if (!diagnostics::Enabled() || (!opened && !changed)) return;
  for (const auto& [topic, text] : lines_) diagnostics::Record(topic, text);
  diagnostics::Note(DiagnosticTopic::kOpen, [&] {
    return std::string(OpenOutcomeText(outcome_)) + " (" + std::to_string(interfaces_) +
           " HID interfaces looked at)";
  });
}

}  // namespace usborva::transport
