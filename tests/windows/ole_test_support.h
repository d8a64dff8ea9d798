// SPDX-License-Identifier: Apache-2.0
// What the Windows test programs share: the pass/fail tally, and the few COM chores of
// creating the control, querying it and pumping messages while its timer runs.
#ifndef USBORVA_TESTS_WINDOWS_OLE_TEST_SUPPORT_H_
#define USBORVA_TESTS_WINDOWS_OLE_TEST_SUPPORT_H_

// clang-format off
#include <windows.h>
#include <ole2.h>
// clang-format on

#include <cstdio>
#include <string>

// Each test program is one file, and its own code calls these by their plain names, as it
// did when each program had its own copy.
inline int passed = 0, failed = 0;

// Counts the check; a failure is printed with what was checked.
inline void Check(const char* what, bool ok) {
  if (ok) {
    ++passed;
  } else {
    ++failed;
    std::printf("FAIL %s\n", what);
  }
}

// Runs the thread's message loop for milliseconds, so the control's poll timer ticks.
inline void Pump(DWORD milliseconds) {
  const DWORD end = GetTickCount() + milliseconds;
  while (static_cast<LONG>(end - GetTickCount()) > 0) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
}

// The interface iid of from, or nullptr when it has none.
template <typename T>
T* Query(IUnknown* from, REFIID iid) {
  void* out = nullptr;
  from->QueryInterface(iid, &out);
  return static_cast<T*>(out);
}

// The text of b, which is freed.
inline std::wstring Text(BSTR b) {
  std::wstring s = b ? std::wstring(b, SysStringLen(b)) : std::wstring();
  SysFreeString(b);
  return s;
}

// A new control from its registered ProgID, or nullptr when it is not registered.
inline IUnknown* CreateControl() {
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(L"ctlUSBORVA.USBORVA", &clsid))) return nullptr;
  IUnknown* control = nullptr;
  CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                   reinterpret_cast<void**>(&control));
  return control;
}

#endif  // USBORVA_TESTS_WINDOWS_OLE_TEST_SUPPORT_H_
