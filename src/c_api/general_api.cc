// SPDX-License-Identifier: Apache-2.0
// The calls that need no control: versions, status texts, releasing what was handed out.
#include "c_api/handles.h"
#include "usborva/automation_error.h"
#include "usborva/usborva_c.h"

using usborva::c_api::CallHost;

extern "C" {

int32_t usborva_api_version(void) { return USBORVA_C_API_VERSION; }

const char* usborva_error_text(int32_t status) {
  switch (status) {
    case USBORVA_OK:
      return "No error";
    case USBORVA_E_BAD_HANDLE:
      return "Invalid handle";
    case USBORVA_E_BAD_NAME:
      return "No property of that name";
    case USBORVA_E_WRONG_TYPE:
      return "The property or value is of another type";
    case USBORVA_E_NULL_POINTER:
      return "A required pointer is null";
    case USBORVA_E_NO_MEMORY:
      return "Out of memory";
    case USBORVA_E_WRONG_THREAD:
      return "Called from a thread other than the host's";
    case USBORVA_E_BUSY:
      return "Not allowed from inside a callback of the host";
    case USBORVA_E_INVALID_ARGUMENT:
      return "Invalid argument";
    case USBORVA_E_SCENARIO:
      return "The scenario cannot be read";
    case USBORVA_E_INVALID_STATE:
      return "Not allowed in the object's present state";
    default:
      break;
  }
  if (status < 0) return "Internal error";
  return usborva::AutomationError::StandardText(status);
}

void usborva_free(void* memory) { usborva::c_api::FreeOut(memory); }

int32_t usborva_last_error_description(usborva_host* host, char** out) {
  return CallHost(host, [&] {
    usborva::c_api::Require(out);
    *out = usborva::c_api::TextOut(std::string_view(host->last_error));
  });
}

}  // extern "C"
