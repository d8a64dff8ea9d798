// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_PLATFORM_POSIX_BOUNDED_FILE_H_
#define USBORVA_PLATFORM_POSIX_BOUNDED_FILE_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace usborva::posix {

// What reading a file that someone else may have put in place gave.
struct BoundedFile {
  enum class Outcome {
    kRead,     // text holds the whole file
    kMissing,  // neither the file nor (for ENOTDIR) a folder on its path exists
    kRefused,  // it exists but cannot be read as a file of text: problem says why
  };
  Outcome outcome = Outcome::kMissing;
  std::string text;
  // "<action> <path>: <reason>", for example "cannot read /etc/QXORVA.cfg: not a regular
  // file" or "cannot read ...: larger than the limit of 1048576 bytes".
  std::string problem;
};

// Reads a whole file of at most max_bytes bytes, never blocking and never holding more than
// max_bytes + one read's worth of memory, whatever is at path. The file is opened
// non-blocking, so a FIFO without a writer (or a device) cannot stall the caller, and is
// refused unless it is a regular file; a file that is, or grows while read to, more than
// max_bytes is refused rather than cut short, since half a file reads as a different file.
BoundedFile ReadBoundedFile(const std::string& path, size_t max_bytes);

#ifndef _WIN32

// What ReadRegularFile found, in the system's own terms, for a caller that words its own
// errors (the scenario player does, and its users rely on its wording).
struct RegularFile {
  enum class Failure {
    kNone,        // text holds the whole file
    kOpen,        // it cannot be opened: error holds errno
    kStat,        // its type cannot be looked at: error holds errno
    kNotRegular,  // a folder, FIFO, device or socket: kind says which, in words
    kTooLarge,    // size holds its size when known before reading, else it grew while read
    kRead,        // a read failed: error holds errno
  };
  Failure failure = Failure::kNone;
  int error = 0;
  std::string kind;
  std::optional<uint64_t> size;
  std::string text;
};

// The reading ReadBoundedFile does, with every failure kept apart and no outcome for a
// missing file (that is kOpen with ENOENT or ENOTDIR).
RegularFile ReadRegularFile(const std::string& path, size_t max_bytes);

#endif

}  // namespace usborva::posix

#endif  // USBORVA_PLATFORM_POSIX_BOUNDED_FILE_H_
