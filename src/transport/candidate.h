// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TRANSPORT_CANDIDATE_H_
#define USBORVA_TRANSPORT_CANDIDATE_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "transport/device_record.h"
#include "usborva/discovery.h"
#include "usborva/hid_system.h"

namespace usborva::transport {

// The steps of discovery, shared by OpenDevice and SurveyHidInterfaces so that what a
// survey reports is what an open does.

// Calls visit with the device path of each present HID interface, in enumeration order,
// until visit returns false. An interface whose detail-size query does not answer as the
// Setup API does is skipped. The device-information set is destroyed before returning,
// also when visit throws. False when the set could not be had (GetLastError says why).
bool ForEachInterfacePath(HidSystem& hid, const std::function<bool(const std::string&)>& visit);

// What the tests made of one candidate.
struct CandidateOutcome {
  InterfaceVerdict verdict = InterfaceVerdict::kCannotOpen;
  uint32_t error = 0;         // last error of the step that refused it
  bool read_write = false;    // it opened for reading and writing
  uint32_t access_error = 0;  // last error of a read/write open that failed
};

// Opens the interface at path into record (read/write, else query access) and runs the
// tests in order: attributes, the matching rules, choice, preparsed data, capabilities.
// kSupported leaves the device open in record; any other verdict leaves record closed.
// With seen, the candidate's IDs and its product and serial strings are recorded in it
// once the attributes are read (for a survey; an open passes nullptr and reads none).
CandidateOutcome TryCandidate(HidSystem& hid, DeviceRecord& record, const std::string& path,
                              const TerminalChoice& choice, DiscoveredInterface* seen);

// CloseDevice on any record: cancels an outstanding read, closes the handle, frees the
// preparsed data and wipes the input buffer.
void CloseRecord(HidSystem& hid, DeviceRecord& record);

// One HID string descriptor of an open device (serial number or product), UTF-16LE cut at
// its first NUL; nullopt when the backend does not return it.
enum class HidString { kSerialNumber, kProduct };
std::optional<String> ReadHidString(HidSystem& hid, Handle device, HidString which);

}  // namespace usborva::transport

#endif  // USBORVA_TRANSPORT_CANDIDATE_H_
