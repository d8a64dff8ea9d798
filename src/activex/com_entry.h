// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_ACTIVEX_COM_ENTRY_H_
#define USBORVA_ACTIVEX_COM_ENTRY_H_

// The one place where a C++ exception becomes an HRESULT. Everything the system calls into
// (a COM method, the class factory, an export, a window procedure) runs its body through
// Guarded: the callers are C, scripts and message loops, and an exception unwinding into
// them ends the host process.
// clang-format off
#include <windows.h>
// clang-format on

#include <type_traits>
#include <utility>

namespace usborva::activex {

// What an entry point tells its caller beside the HRESULT.
enum class ErrorReport {
  // The thread's error object describes the failure, and a success clears it so the caller
  // never reads an older call's error: the members of _USBORVA (the interface that
  // ISupportErrorInfo names) and the creation and persistence a host drives for them.
  kErrorObject,
  // The HRESULT alone; the thread's error object stays as it was, so a host still reads the
  // error of the member it called before (connection points, enumerators, the exports, the
  // timer window, the object's own clean-up).
  kResultOnly,
};

// The HRESULT of the exception being handled; call it only inside a catch block.
// AutomationError gives its hresult() and text, ComError the partner's code and text,
// std::bad_alloc E_OUTOFMEMORY. Anything else is a fault of ours: it is recorded for a
// debugger (OutputDebugString, with what() when it has one) and gives E_UNEXPECTED. With
// kErrorObject the text goes into the thread's error object; when even that cannot be
// allocated the code alone is returned. Never throws.
HRESULT CurrentExceptionResult(ErrorReport report) noexcept;

// Runs body at an entry point. A body that returns an HRESULT gives the call's result; a
// body that returns nothing gives S_OK (and, with kErrorObject, clears the thread's error
// object). Whatever body throws becomes CurrentExceptionResult(report); nothing escapes.
template <typename Body>
HRESULT Guarded(ErrorReport report, Body&& body) noexcept {
  try {
    if constexpr (std::is_void_v<std::invoke_result_t<Body&>>) {
      body();
      if (report == ErrorReport::kErrorObject) SetErrorInfo(0, nullptr);
      return S_OK;
    } else {
      return body();
    }
  } catch (...) {
    return CurrentExceptionResult(report);
  }
}

// Guarded for the members of _USBORVA: failures are described in the error object.
template <typename Body>
HRESULT Guarded(Body&& body) noexcept {
  return Guarded(ErrorReport::kErrorObject, std::forward<Body>(body));
}

}  // namespace usborva::activex

#endif  // USBORVA_ACTIVEX_COM_ENTRY_H_
