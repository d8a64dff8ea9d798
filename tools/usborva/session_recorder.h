// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_SESSION_RECORDER_H_
#define USBORVA_TOOLS_SESSION_RECORDER_H_

#include <chrono>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "hid_recorder.h"
#include "recording_builder.h"
#include "session.h"

namespace usborva::cli {

// `--record FILE`: where the recording goes and whether it keeps card data as read.
struct RecordRequest {
  std::string path;
  bool reveal = false;
};

// The request for --record's value, checked before anything runs: a UsageError for "-"
// (standard output carries the monitor's report), an empty name, a folder, something other
// than a regular file, or a place where this user cannot create a file.
RecordRequest CheckRecordPath(const std::string& path, bool reveal);

// A monitor session's recording: made on the session's HID stack, fed as the session runs,
// written as a scenario when it ends.
class SessionRecorder {
 public:
  explicit SessionRecorder(RecordRequest request);

  // SessionOptions::interpose: the recorder below the session's tap.
  std::function<std::unique_ptr<HidSystem>(HidSystem&)> Interposer();
  // The session the recorder sits in: its clock, and on the simulated machine the count of
  // reports the driver dropped.
  void Attach(Session& session);
  // The port is open: the recording's time 0.
  void Start();
  // A note of the scenario the session plays.
  void Note(const std::string& text);
  // Writes the recording, ending at end, of the terminal named source. False, with a
  // message on err, when the file cannot be written.
  bool Write(std::chrono::milliseconds end, std::string_view source, std::ostream& err);
  // Says on err that the run recorded nothing, the port having stayed closed.
  void NothingRecorded(std::ostream& err) const;

 private:
  RecordRequest request_;
  RecordingBuilder builder_;
  HidRecorder* recorder_ = nullptr;  // owned by the session
  Session* session_ = nullptr;
};

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_SESSION_RECORDER_H_
