// SPDX-License-Identifier: Apache-2.0
#include "session_recorder.h"

#include <filesystem>
#include <ostream>

#include "args.h"
#include "platform/posix/file_system.h"
#include "text.h"
#include "usborva/automation_error.h"
#include "usborva/scenario_writer.h"
#include "usborva/text_guard.h"

#ifndef USBORVA_VERSION
#define USBORVA_VERSION "0.0.0"
#endif

namespace usborva::cli {
namespace {

std::string Header(const RecordRequest& request, std::string_view source) {
  std::string header = "Recorded by usborva " USBORVA_VERSION " (monitor --record) on " +
                       FormatIsoTime(std::chrono::system_clock::now()) + ",\nfrom " +
                       std::string(source) + ".\n";
  if (request.reveal) {
    header +=
        "REVEALED (--reveal): the card data and PIN blocks are as the terminal sent them.\n"
        "Keep this file private.\n";
  } else {
    header +=
        "Sanitized: the tracks are synthetic test data of the same shape (test card numbers,\n"
        "a placeholder name, zeroed discretionary data); encrypted tracks, sigil data and PIN\n"
        "blocks are zero bytes of the same length. KSNs, statuses and lengths are as read.\n";
  }
  header += "Play it back: usborva monitor --simulate " + request.path;
  return header;
}

}  // namespace

RecordRequest CheckRecordPath(const std::string& path, bool reveal) {
  const std::string shown = QuoteForMessage(path, 200);
  if (path == "-") {
    throw UsageError(
        "--record -: a recording goes to a file (standard output carries the monitor's "
        "report); give a file name such as session.scn");
  }
  if (path.empty()) throw UsageError("--record needs a file name, such as session.scn");
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (std::filesystem::is_directory(status)) {
    throw UsageError("--record " + shown + ": is a folder; give a file name in it, such as " +
                     QuoteForMessage((std::filesystem::path(path) / "session.scn").string(), 200));
  }
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    throw UsageError("--record " + shown + ": is not a regular file");
  }
  const std::string folder = posix::ParentFolder(path);
  if (std::optional<std::string> why = posix::WhyNoNewFileIn(folder)) {
    throw UsageError("--record " + shown + ": cannot create a file in " +
                     QuoteForMessage(folder, 200) + ": " + *why);
  }
  return RecordRequest{path, reveal};
}

SessionRecorder::SessionRecorder(RecordRequest request)
    : request_(std::move(request)), builder_(RecordingBuilder::Options{request_.reveal}) {}

std::function<std::unique_ptr<HidSystem>(HidSystem&)> SessionRecorder::Interposer() {
  return [this](HidSystem& stack) {
    auto recorder = std::make_unique<HidRecorder>(stack, builder_);
    recorder_ = recorder.get();
    return recorder;
  };
}

void SessionRecorder::Attach(Session& session) {
  session_ = &session;
  if (recorder_ == nullptr) return;
  recorder_->set_clock([&session] { return session.Elapsed(); });
  if (session.sim() != nullptr && session.player() != nullptr) {
    builder_.set_queue_policy(
        session.sim()->Interface(session.player()->interface_id()).queue_policy);
    recorder_->set_drop_counter([&session] {
      return session.sim()->DroppedInputReports(session.player()->interface_id());
    });
  }
}

void SessionRecorder::Start() {
  if (recorder_ != nullptr) recorder_->Start();
}

void SessionRecorder::Note(const std::string& text) {
  builder_.Note(session_ != nullptr ? session_->Elapsed() : std::chrono::milliseconds(0), text);
}

bool SessionRecorder::Write(std::chrono::milliseconds end, std::string_view source,
                            std::ostream& err) {
  const scenario::Scenario recorded = builder_.Finish(end);
  scenario::WriteOptions options;
  options.header = Header(request_, source);
  options.step_comments = builder_.comments();
  try {
    posix::WriteFileAtomically(request_.path, scenario::WriteScenario(recorded, options));
  } catch (const AutomationError& error) {
    err << "usborva: the recording was not written: " << Printable(error.description()) << "\n";
    return false;
  }
  if (std::optional<std::chrono::milliseconds> stopped = builder_.stopped_at()) {
    err << "usborva: the recording stops at " << FormatTime(*stopped)
        << ": a scenario holds at most " << scenario::kMaxSteps << " steps, "
        << (scenario::kMaxScenarioBytes >> 20) << " MiB of text and a week\n";
  }
  return true;
}

void SessionRecorder::NothingRecorded(std::ostream& err) const {
  err << "usborva: nothing recorded to " << Printable(request_.path) << ": the port did not open\n";
}

}  // namespace usborva::cli
