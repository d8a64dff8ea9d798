// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_ERROR_JSON_H_
#define USBORVA_TOOLS_ERROR_JSON_H_

#include <memory>
#include <ostream>
#include <span>
#include <string>

namespace usborva::cli {

// A --json run that fails says so on standard output too, as one JSON line, so a script
// reading only the JSON sees why it ended:
//   {"schema":1,"type":"error","status":4,"message":"..."}
// The message is the last line the run wrote to stderr that is not a warning or a pointer
// to the help. This stream stands in for stderr: it passes everything on and keeps what
// the message needs.
class ErrorRecorder : public std::ostream {
 public:
  explicit ErrorRecorder(std::ostream& err);
  ~ErrorRecorder() override;
  ErrorRecorder(const ErrorRecorder&) = delete;
  ErrorRecorder& operator=(const ErrorRecorder&) = delete;

  // The error line on out when status is not 0 and the run said why; nothing otherwise.
  void Report(int status, std::ostream& out);

 private:
  class Buffer;
  std::unique_ptr<Buffer> buffer_;
};

// Whether the command line asks for JSON output: --json before any "--".
bool WantsJson(std::span<const std::string> args);

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_ERROR_JSON_H_
