// SPDX-License-Identifier: Apache-2.0
#include "usborva/automation_error.h"

#include <utility>

namespace usborva {

namespace {

struct StandardEntry {
  int32_t number;
  const char* text;
};

// The runtime's own wording, so a host that shows what() sees the familiar message.
constexpr StandardEntry kStandardTexts[] = {
    {5, "Invalid procedure call or argument"},
    {6, "Overflow"},
    {7, "Out of memory"},
    {9, "Subscript out of range"},
    {10, "This array is fixed or temporarily locked"},
    {11, "Division by zero"},
    {13, "Type mismatch"},
    {14, "Out of string space"},
    {28, "Out of stack space"},
    {51, "Internal error"},
    {52, "Bad file name or number"},
    {53, "File not found"},
    {54, "Bad file mode"},
    {55, "File already open"},
    {57, "Device I/O error"},
    {58, "File already exists"},
    {61, "Disk full"},
    {62, "Input past end of file"},
    {67, "Too many files"},
    {68, "Device unavailable"},
    {70, "Permission denied"},
    {71, "Disk not ready"},
    {75, "Path/File access error"},
    {76, "Path not found"},
    {91, "Object variable or With block variable not set"},
    {94, "Invalid use of Null"},
    {380, "Invalid property value"},
    {381, "Invalid property array index"},
    {382, "Set not supported at runtime"},
    {383, "Set not supported (read-only property)"},
    {387, "Set not permitted"},
    {393, "Get not supported at runtime"},
    {394, "Get not supported (write-only property)"},
    {424, "Object required"},
    {438, "Object doesn't support this property or method"},
    {440, "Automation error"},
    {449, "Argument not optional"},
    {450, "Wrong number of arguments or invalid property assignment"},
};

}  // namespace

AutomationError::AutomationError(int32_t number, std::string description)
    : number_(number),
      description_(description.empty() ? std::string(StandardText(number))
                                       : std::move(description)) {}

const char* AutomationError::StandardText(int32_t number) noexcept {
  for (const StandardEntry& entry : kStandardTexts) {
    if (entry.number == number) return entry.text;
  }
  return "Application-defined or object-defined error";
}

}  // namespace usborva
