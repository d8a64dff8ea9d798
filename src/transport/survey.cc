// SPDX-License-Identifier: Apache-2.0
// What discovery sees, interface by interface, and why it would or would not take each:
// the open's own steps run on a scratch record, so the thread's record is never touched.
#include <string>
#include <vector>

#include "hid_system/ini_file.h"
#include "transport/candidate.h"
#include "transport/transport.h"
#include "usborva/discovery.h"
#include "usborva/last_error.h"

namespace usborva {
namespace {

// Closes the scratch record's candidate however the survey ends.
class ScratchRecord {
 public:
  explicit ScratchRecord(HidSystem& hid) : hid_(hid) { record_.DeviceHandle = kInvalidHandleValue; }
  ~ScratchRecord() { transport::CloseRecord(hid_, record_); }
  ScratchRecord(const ScratchRecord&) = delete;
  ScratchRecord& operator=(const ScratchRecord&) = delete;

  transport::DeviceRecord& get() { return record_; }

 private:
  HidSystem& hid_;
  transport::DeviceRecord record_;
};

std::string InParentheses(uint32_t error) { return " (" + LastErrorText(error) + ")"; }

std::string ConfigFileRefusal() {
  const std::string problem = hid_system::ConfigFileProblem(transport::kConfigFileName);
  if (!problem.empty()) return "refused: the configuration file is unusable (" + problem + ")";
  return "refused by the configuration file (UseConfigFile is neither TRUE nor FALSE)";
}

std::string NotChosen(const DiscoveredInterface& seen, const TerminalChoice& choice) {
  if (!choice.device_path.empty() && choice.device_path != seen.path) {
    return "supported, but not the chosen terminal (another path)";
  }
  return "supported, but not the chosen terminal (another serial number)";
}

std::string Reason(const DiscoveredInterface& seen, const TerminalChoice& choice) {
  switch (seen.verdict) {
    case InterfaceVerdict::kSupported:
      if (seen.openable) return "";
      return "supported, but cannot be opened for reading and writing" + InParentheses(seen.error);
    case InterfaceVerdict::kCannotOpen:
      return "cannot be opened" + InParentheses(seen.error);
    case InterfaceVerdict::kCannotIdentify:
      return "cannot be identified" + InParentheses(seen.error);
    case InterfaceVerdict::kOtherVendor:
      return "other vendor";
    case InterfaceVerdict::kProductNotListed:
      return "product not in the list (a configuration file can add it)";
    case InterfaceVerdict::kRefusedByConfigFile:
      return "refused by the configuration file ([" + transport::ProductSection(seen.product_id) +
             "] Active is not TRUE)";
    case InterfaceVerdict::kConfigFileUnusable:
      return ConfigFileRefusal();
    case InterfaceVerdict::kNotChosen:
      return NotChosen(seen, choice);
    case InterfaceVerdict::kNoCapabilities:
      return "supported, but its capabilities cannot be read" +
             (seen.error != 0 ? InParentheses(seen.error) : std::string());
  }
  return "";
}

void Judge(DiscoveredInterface& seen, const transport::CandidateOutcome& outcome,
           const TerminalChoice& choice) {
  seen.verdict = outcome.verdict;
  seen.supported = outcome.verdict == InterfaceVerdict::kSupported ||
                   outcome.verdict == InterfaceVerdict::kNotChosen ||
                   outcome.verdict == InterfaceVerdict::kNoCapabilities;
  seen.openable = seen.supported && outcome.read_write;
  seen.error = outcome.error;
  if (outcome.verdict == InterfaceVerdict::kSupported && !outcome.read_write) {
    seen.error = outcome.access_error;
  }
  seen.reason = Reason(seen, choice);
}

}  // namespace

std::vector<DiscoveredInterface> SurveyHidInterfaces(const TerminalChoice& choice) {
  HidSystem& hid = ThreadHidSystem();
  std::vector<DiscoveredInterface> found;
  ScratchRecord scratch(hid);
  bool taken = false;
  transport::ForEachInterfacePath(hid, [&](const std::string& path) {
    DiscoveredInterface& seen = found.emplace_back();
    seen.path = path;
    const transport::CandidateOutcome outcome =
        transport::TryCandidate(hid, scratch.get(), path, choice, &seen);
    transport::CloseRecord(hid, scratch.get());
    Judge(seen, outcome, choice);
    // The open stops at the first interface that passes every test.
    if (seen.verdict == InterfaceVerdict::kSupported && !taken) {
      seen.taken = true;
      taken = true;
    }
    return true;
  });
  return found;
}

}  // namespace usborva
