// SPDX-License-Identifier: Apache-2.0
#include <string>

#include "transport/candidate.h"
#include "transport/open_findings.h"
#include "transport/transport.h"

namespace usborva::transport {
namespace {

// Tells the findings what discovery's tests made of one candidate.
void NoteCandidate(OpenFindings& findings, const std::string& path, const DeviceRecord& record,
                   const CandidateOutcome& outcome) {
  findings.Candidate();
  switch (outcome.verdict) {
    case InterfaceVerdict::kCannotOpen:
      return findings.Unopened(path, outcome.error);
    case InterfaceVerdict::kCannotIdentify:
      return findings.SetupFailed(path, "attributes", outcome.error);
    case InterfaceVerdict::kNoCapabilities:
      findings.Judged(path, record.DeviceAttributes, InterfaceVerdict::kSupported);
      return findings.SetupFailed(path, "report descriptor or capabilities", outcome.error);
    case InterfaceVerdict::kSupported:
      findings.Judged(path, record.DeviceAttributes, outcome.verdict);
      return findings.Opened(path, outcome.read_write ? 0 : outcome.access_error);
    default:
      return findings.Judged(path, record.DeviceAttributes, outcome.verdict);
  }
}

}  // namespace

void OpenDevice(const TerminalChoice& choice) {
  DeviceRecord& record = ThreadDeviceRecord();
  // Never a second handle over one still held.
  if (record.DeviceHandle != kInvalidHandleValue && record.DeviceHandle != 0) return;
  record.DeviceHandle = kInvalidHandleValue;
  HidSystem& hid = ThreadHidSystem();
  OpenFindings findings;
  // The first interface that passes every test is taken; the search stops there.
  const bool listed = ForEachInterfacePath(hid, [&](const std::string& path) {
    const CandidateOutcome outcome = TryCandidate(hid, record, path, choice, nullptr);
    NoteCandidate(findings, path, record, outcome);
    if (outcome.verdict != InterfaceVerdict::kSupported) return true;
    record.Observed.device_path = path;
    return false;
  });
  if (!listed) findings.NoDeviceList(hid.GetLastError());
  findings.Finish(record);
}

void CloseDevice() { CloseRecord(ThreadHidSystem(), ThreadDeviceRecord()); }

}  // namespace usborva::transport
