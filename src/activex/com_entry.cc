// SPDX-License-Identifier: Apache-2.0
#include "activex/com_entry.h"

#include <cstdio>
#include <exception>
#include <new>

#include "activex/com_bridge.h"
#include "usborva/automation_error.h"

namespace usborva::activex {
namespace {

// A failure nobody mapped is a fault of the component: it leaves a line for a debugger
// before the caller gets a generic code. Only the exception's own text goes out (the
// control never puts card data into an exception), in a fixed buffer, because the failure
// may be that memory ran out.
void RecordUnexpected(const char* what) noexcept {
  char line[256];
  std::snprintf(line, sizeof line, "ctlUSBORVA: unexpected failure at a COM entry point: %s\n",
                what);
  OutputDebugStringA(line);
}

HRESULT Reported(ErrorReport report, HRESULT hr, const wchar_t* description) noexcept {
  return report == ErrorReport::kErrorObject ? ReportError(hr, description) : hr;
}

}  // namespace

HRESULT CurrentExceptionResult(ErrorReport report) noexcept {
  try {
    throw;
  } catch (const AutomationError& error) {
    if (report == ErrorReport::kResultOnly) return static_cast<HRESULT>(error.hresult());
    return ReportError(error);
  } catch (const ComError& error) {
    if (report == ErrorReport::kResultOnly) return error.hr();
    return ReportError(error);
  } catch (const std::bad_alloc&) {
    return Reported(report, E_OUTOFMEMORY, L"Out of memory");
  } catch (const std::exception& error) {
    RecordUnexpected(error.what());
    return Reported(report, E_UNEXPECTED, L"Unexpected failure");
  } catch (...) {
    RecordUnexpected("an exception that is no std::exception");
    return Reported(report, E_UNEXPECTED, L"Unexpected failure");
  }
}

}  // namespace usborva::activex
