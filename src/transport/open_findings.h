// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TRANSPORT_OPEN_FINDINGS_H_
#define USBORVA_TRANSPORT_OPEN_FINDINGS_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "transport/transport.h"
#include "usborva/diagnostics.h"
#include "usborva/discovery.h"

namespace usborva::transport {

// What one OpenDevice call saw of each interface: the outcome the host's connection
// notifications tell, and the debug channel's lines. While the poll loop retries an open
// that keeps failing the same way, its lines are said once, not 40 times a second.
class OpenFindings {
 public:
  // One more interface with a path is looked at.
  void Candidate() { ++interfaces_; }
  // The list of present HID interfaces could not be had.
  void NoDeviceList(uint32_t error);
  // path could be opened with neither access; error is the last error of the second open.
  void Unopened(const std::string& path, uint32_t error);
  // A step after the open failed for path: step names it ("attributes", "caps", ...).
  void SetupFailed(const std::string& path, const char* step, uint32_t error);
  // The matching rules' verdict on path.
  void Judged(const std::string& path, const HidAttributes& ids, InterfaceVerdict verdict);
  // path is the open device. read_write_error: the last error of the read/write open, 0
  // when that open succeeded (the device was then opened with access 0).
  void Opened(const std::string& path, uint32_t read_write_error);
  // Stores the outcome in record.Observed, and passes the lines on when the outcome differs
  // from the previous open's or a device was opened.
  void Finish(DeviceRecord& record);

 private:
  void Keep(OpenOutcome outcome);
  template <typename MakeText>
  void Say(DiagnosticTopic topic, MakeText make) noexcept;

  OpenOutcome outcome_ = OpenOutcome::kNoTerminal;
  int32_t interfaces_ = 0;
  std::vector<std::pair<DiagnosticTopic, std::string>> lines_;  // only while the channel is on
};

// The outcome in a few words, for the debug channel ("no terminal", "opened", ...).
const char* OpenOutcomeText(OpenOutcome outcome);

}  // namespace usborva::transport

#endif  // USBORVA_TRANSPORT_OPEN_FINDINGS_H_
