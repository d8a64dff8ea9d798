// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_AUTOMATION_ERROR_H_
#define USBORVA_AUTOMATION_ERROR_H_

#include <cstdint>
#include <exception>
#include <string>

#include "usborva/export.h"

namespace usborva {

/// Error numbers the control raises to its host, with the automation runtime's meaning.
namespace error {
inline constexpr int32_t kInvalidProcedureCall = 5;  ///< "Invalid procedure call or argument"
inline constexpr int32_t kOverflow = 6;              ///< "Overflow": a number out of range
inline constexpr int32_t kSubscriptOutOfRange = 9;   ///< "Subscript out of range"
inline constexpr int32_t kTypeMismatch = 13;         ///< "Type mismatch": no such conversion
inline constexpr int32_t kInvalidUseOfNull = 94;     ///< "Invalid use of Null"
/// "Invalid property value": a property-bag line that cannot be read.
inline constexpr int32_t kInvalidPropertyValue = 380;
/// "Set not supported at runtime": a write of a read-only property in a running host.
inline constexpr int32_t kSetNotSupportedAtRunTime = 382;
/// "Set not permitted": a write of a read-only property (or of PortOpen) in a designer.
inline constexpr int32_t kSetNotPermitted = 387;
/// "Path/File access error": raised by the settings store and the property-bag file when
/// the file system refuses.
inline constexpr int32_t kPathFileAccessError = 75;
/// "File not found": PropertyBagFile::Load of a path that does not exist.
inline constexpr int32_t kFileNotFound = 53;
}  // namespace error

/// An automation error as the host receives it: HRESULT 0x800A0000 plus the error number,
/// with the standard text for the number unless the raiser supplies its own description.
class USBORVA_EXPORT AutomationError : public std::exception {
 public:
  /// An error with the given number; an empty description takes StandardText(number).
  explicit AutomationError(int32_t number, std::string description = {});

  /// The error number (13 for a type mismatch), as VBA's Err.Number shows it.
  int32_t number() const noexcept { return number_; }
  /// The HRESULT an ActiveX host receives: 0x800A0000 plus the number.
  uint32_t hresult() const noexcept { return 0x800A0000u + static_cast<uint32_t>(number_); }
  /// The text for the host: the raiser's own, or the standard one.
  const std::string& description() const noexcept { return description_; }
  /// The description, UTF-8.
  const char* what() const noexcept override { return description_.c_str(); }

  /// The automation runtime's text for an error number ("Set not permitted" for 387);
  /// "Application-defined or object-defined error" for numbers it does not name.
  static const char* StandardText(int32_t number) noexcept;

 private:
  int32_t number_;
  std::string description_;
};

}  // namespace usborva

#endif  // USBORVA_AUTOMATION_ERROR_H_
