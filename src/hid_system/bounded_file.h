// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_HID_SYSTEM_BOUNDED_FILE_H_
#define USBORVA_HID_SYSTEM_BOUNDED_FILE_H_

#include <cstddef>
#include <string>

namespace usborva::hid_system {

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

}  // namespace usborva::hid_system

#endif  // USBORVA_HID_SYSTEM_BOUNDED_FILE_H_
