// SPDX-License-Identifier: Apache-2.0
// The component's own code linked into this program, with an allocator that can be told to
// refuse: every allocation of a creation or of a call is made to throw std::bad_alloc in
// turn. The caller must get E_OUTOFMEMORY back, never an exception, and a creation that
// fails must give back everything it took (the type information above all). A scenario
// that cannot be read fails a creation the same clean way, and ticks that fail do not take
// the host's message loop down.
//   com_faults_test.exe     (USBORVA_SCENARIO must name a readable scenario)
// Prints "faults: N passed, N failed" and exits non-zero on any failure.
// clang-format off
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
// clang-format on

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "ctlUSBORVA.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object);
extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow();

namespace {

// Allocations left until the one that is refused (0: none is); fail_all refuses every one.
long countdown = 0;
bool fail_all = false;
long refused = 0;

}  // namespace

void* operator new(std::size_t size) {
  if (fail_all || (countdown > 0 && --countdown == 0)) {
    ++refused;
    throw std::bad_alloc();
  }
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
// The runtime's own bookkeeping (a thread's destructor list) asks without throwing and copes
// with a refusal by itself: that is not the component's to handle, so it is never refused.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

int passed = 0, failed = 0;

void Check(const char* what, bool ok) {
  if (ok) {
    ++passed;
  } else {
    ++failed;
    std::printf("FAIL %s\n", what);
  }
}

std::wstring LastErrorText() {
  IErrorInfo* info = nullptr;
  BSTR description = nullptr;
  if (GetErrorInfo(0, &info) == S_OK && info) info->GetDescription(&description), info->Release();
  std::wstring text = description ? std::wstring(description, SysStringLen(description)) : L"";
  SysFreeString(description);
  return text;
}

ULONG References(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

// The references held on the component's type library and on the type information of
// _USBORVA, as this process's cache of loaded libraries shares them with the control.
struct TypeInfoCounts {
  ULONG library = 0;
  ULONG dispatch = 0;
  bool operator==(const TypeInfoCounts&) const = default;
};

struct TypeInfos {
  ITypeLib* library = nullptr;
  ITypeInfo* dispatch = nullptr;
  TypeInfoCounts Counts() const { return {References(library), References(dispatch)}; }
};

// A failed call must come back as E_OUTOFMEMORY; a call of the default interface also
// describes it in the error object.
struct Expectation {
  const char* what;
  bool described;
};

// Refuses the first, second, ... allocation of call until it runs through without reaching
// the refusal, which it must (and only after at least one refusal: the call does allocate).
// after_each checks what a refused attempt left behind, with the allocator working again.
template <typename Call, typename After>
void UnderMemoryFaults(const Expectation& expected, Call&& call, After&& after_each) {
  char what[160];
  for (long n = 1; n < 100000; ++n) {
    HRESULT hr = E_FAIL;
    bool escaped = false;
    countdown = n;
    try {
      hr = call();
    } catch (...) {
      escaped = true;
    }
    const bool reached = countdown == 0;
    countdown = 0;
    if (escaped) {
      std::snprintf(what, sizeof what, "%s: allocation %ld refused: an exception escaped",
                    expected.what, n);
      return Check(what, false);
    }
    if (!reached) {
      std::snprintf(what, sizeof what, "%s: E_OUTOFMEMORY for each of %ld refusals, then 0x%08lX",
                    expected.what, n - 1, static_cast<unsigned long>(hr));
      return Check(what, SUCCEEDED(hr) && n > 1);
    }
    const bool described = !expected.described || LastErrorText() == L"Out of memory";
    if (hr != E_OUTOFMEMORY || !described) {
      std::snprintf(what, sizeof what, "%s: allocation %ld refused: E_OUTOFMEMORY%s, got 0x%08lX",
                    expected.what, n, expected.described ? " and its text" : "",
                    static_cast<unsigned long>(hr));
      return Check(what, false);
    }
    if (!after_each(n)) return;
  }
  Check(expected.what, false);
}

template <typename Call>
void UnderMemoryFaults(const Expectation& expected, Call&& call) {
  UnderMemoryFaults(expected, call, [](long) { return true; });
}

// A property-notification sink that only exists.
class Sink final : public IPropertyNotifySink {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    const bool known = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyNotifySink);
    *out = known ? this : nullptr;
    return known ? S_OK : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP OnChanged(DISPID) override { return S_OK; }
  STDMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }
};

HRESULT CreateControl(REFIID iid, void** object) {
  IClassFactory* factory = nullptr;
  HRESULT hr =
      DllGetClassObject(CLSID_USBORVA, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(nullptr, iid, object);
  factory->Release();
  return hr;
}

// The scenario named by the environment while it is set, and none during the scope.
class ScenarioVariable {
 public:
  explicit ScenarioVariable(const char* value) {
    GetEnvironmentVariableA("USBORVA_SCENARIO", saved_, sizeof saved_);
    SetEnvironmentVariableA("USBORVA_SCENARIO", value);
  }
  ~ScenarioVariable() { SetEnvironmentVariableA("USBORVA_SCENARIO", saved_); }
  ScenarioVariable(const ScenarioVariable&) = delete;
  ScenarioVariable& operator=(const ScenarioVariable&) = delete;

 private:
  char saved_[MAX_PATH * 4] = {};
};

// Every step of a creation that fails gives back what the steps before it took: no type
// information stays referenced and no object stays alive to keep the server loaded. The
// steps are the component's own; reading a scenario is the scenario module's, so none is
// named here.
void Creation(const TypeInfos& infos) {
  const ScenarioVariable none(nullptr);
  const TypeInfoCounts before = infos.Counts();
  IUnknown* control = nullptr;
  Check("a control is created",
        SUCCEEDED(CreateControl(IID_IUnknown, reinterpret_cast<void**>(&control))));
  if (control == nullptr) return;
  const TypeInfoCounts held = infos.Counts();
  Check("a live control holds the type information",
        held.library > before.library && held.dispatch > before.dispatch);
  control->Release();
  Check("a released control holds none", infos.Counts() == before);
  Check("a released control leaves the server free to unload", DllCanUnloadNow() == S_OK);

  IUnknown* object = nullptr;
  UnderMemoryFaults(
      {"creation", true},
      [&] {
        object = nullptr;
        const HRESULT hr = CreateControl(IID_IUnknown, reinterpret_cast<void**>(&object));
        if (object != nullptr) object->Release();
        return hr;
      },
      [&](long n) {
        const bool clean =
            object == nullptr && infos.Counts() == before && DllCanUnloadNow() == S_OK;
        char what[96];
        std::snprintf(what, sizeof what, "creation refused at allocation %ld: nothing kept", n);
        if (!clean) Check(what, false);
        return clean;
      });
  Check("after the refusals: no type information kept", infos.Counts() == before);
}

// A scenario that cannot be read fails the creation with the scenario's account, after the
// type information was loaded: it is all given back.
void UnreadableScenario(const TypeInfos& infos) {
  const ScenarioVariable unreadable("C:\\usborva\\no such scenario.scn");
  const TypeInfoCounts before = infos.Counts();
  IUnknown* control = nullptr;
  const HRESULT hr = CreateControl(IID_IUnknown, reinterpret_cast<void**>(&control));
  Check("unreadable scenario: E_FAIL", hr == E_FAIL && control == nullptr);
  Check("unreadable scenario: says so", LastErrorText().rfind(L"Scenario ", 0) == 0);
  Check("unreadable scenario: no type information kept", infos.Counts() == before);
  Check("unreadable scenario: no object alive", DllCanUnloadNow() == S_OK);
  if (control != nullptr) control->Release();
}

BSTR Text(const wchar_t* text) { return SysAllocString(text); }

HRESULT PutSessionBytes(_USBORVA* control) {
  VARIANT bytes;
  V_VT(&bytes) = VT_ARRAY | VT_UI1;
  V_ARRAY(&bytes) = SafeArrayCreateVector(VT_UI1, 0, 24);
  const HRESULT hr = control->put_SessionID(bytes);
  VariantClear(&bytes);
  return hr;
}

// A member that runs out of memory fails with E_OUTOFMEMORY and "Out of memory", whatever
// step it was at; through late binding that is an exception with the same code and text.
void Members(_USBORVA* control) {
  BSTR long_text = Text(L"a text longer than any string keeps inside itself, so it allocates");
  Check("CardData set", control->put_CardData(long_text) == S_OK);
  Check("SessionID set", PutSessionBytes(control) == S_OK);
  UnderMemoryFaults({"put_CardData", true}, [&] { return control->put_CardData(long_text); });
  UnderMemoryFaults({"get_CardData", true}, [&] {
    BSTR out = nullptr;
    const HRESULT hr = control->get_CardData(&out);
    SysFreeString(out);
    return hr;
  });
  UnderMemoryFaults({"put_SessionID", true}, [&] { return PutSessionBytes(control); });
  UnderMemoryFaults({"get_SessionID", true}, [&] {
    VARIANT out;
    VariantInit(&out);
    const HRESULT hr = control->get_SessionID(&out);
    VariantClear(&out);
    return hr;
  });
  UnderMemoryFaults({"FindElement", true}, [&] {
    BSTR ref = Text(L"^"), digits = Text(L"3"), out = nullptr;
    const HRESULT hr = control->FindElement(1, ref, 0, digits, nullptr, &out);
    SysFreeString(ref), SysFreeString(digits), SysFreeString(out);
    return hr;
  });
  SysFreeString(long_text);

  DISPID card_data = 0;
  LPOLESTR name = const_cast<LPOLESTR>(L"CardData");
  control->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &card_data);
  UnderMemoryFaults({"Invoke CardData", false}, [&] {
    DISPPARAMS none{};
    VARIANT out;
    VariantInit(&out);
    EXCEPINFO exception{};
    HRESULT hr = control->Invoke(card_data, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                 &none, &out, &exception, nullptr);
    const bool text = exception.bstrDescription != nullptr &&
                      std::wstring(exception.bstrDescription) == L"Out of memory";
    if (hr == DISP_E_EXCEPTION && exception.scode == E_OUTOFMEMORY && text) hr = E_OUTOFMEMORY;
    SysFreeString(exception.bstrSource), SysFreeString(exception.bstrDescription);
    VariantClear(&out);
    return hr;
  });
}

// The container-facing interfaces report running out of memory by their result alone.
void Interfaces(IUnknown* unknown) {
  IPersistStreamInit* persist = nullptr;
  unknown->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist));
  UnderMemoryFaults({"IPersistStreamInit::Save", false}, [&] {
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    const HRESULT hr = persist->Save(stream, FALSE);
    stream->Release();
    return hr;
  });
  persist->Release();

  IConnectionPointContainer* points = nullptr;
  unknown->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points));
  UnderMemoryFaults({"EnumConnectionPoints", false}, [&] {
    IEnumConnectionPoints* each = nullptr;
    const HRESULT hr = points->EnumConnectionPoints(&each);
    if (each != nullptr) each->Release();
    return hr;
  });
  IConnectionPoint* notify = nullptr;
  points->FindConnectionPoint(IID_IPropertyNotifySink, &notify);
  Sink sink;
  DWORD cookie = 0;
  UnderMemoryFaults({"Advise", false}, [&] { return notify->Advise(&sink, &cookie); });
  UnderMemoryFaults({"EnumConnections", false}, [&] {
    IEnumConnections* each = nullptr;
    const HRESULT hr = notify->EnumConnections(&each);
    if (each != nullptr) each->Release();
    return hr;
  });
  IEnumConnections* each = nullptr;
  CONNECTDATA advised[2] = {};
  ULONG fetched = 0;
  if (SUCCEEDED(notify->EnumConnections(&each))) each->Next(2, advised, &fetched), each->Release();
  for (ULONG i = 0; i < fetched; ++i) advised[i].pUnk->Release();
  Check("the refused Advise calls left no connection",
        fetched == 1 && advised[0].dwCookie == cookie);
  notify->Unadvise(cookie);
  notify->Release(), points->Release();
}

void Pump(DWORD milliseconds) {
  const DWORD end = GetTickCount() + milliseconds;
  while (static_cast<LONG>(end - GetTickCount()) > 0) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
}

// The scenario plays while every allocation is refused: the ticks that fail are dropped
// inside the timer window, and the loop and the control carry on.
void Ticks(_USBORVA* control) {
  Check("the simulated terminal opens", control->put_PortOpen(VARIANT_TRUE) == S_OK);
  refused = 0;
  fail_all = true;
  try {
    Pump(700);
  } catch (...) {
    fail_all = false;
    Check("no exception leaves the timer window", false);
  }
  fail_all = false;
  Check("the ticks did run out of memory", refused > 0);
  Pump(100);
  VARIANT_BOOL open = VARIANT_FALSE;
  Check("the control answers afterwards", control->get_PortOpen(&open) == S_OK);
  Check("and closes its port", control->put_PortOpen(VARIANT_FALSE) == S_OK);
}

}  // namespace

int main() {
  std::setvbuf(stdout, nullptr, _IONBF, 0);  // what was found before a crash still shows
  CoInitialize(nullptr);
  // What the loader does for the component: its module is this program.
  DllMain(GetModuleHandleW(nullptr), DLL_PROCESS_ATTACH, nullptr);
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  TypeInfos infos;
  Check("type library",
        SUCCEEDED(LoadTypeLibEx(path, REGKIND_NONE, &infos.library)) &&
            SUCCEEDED(infos.library->GetTypeInfoOfGuid(IID__USBORVA, &infos.dispatch)));
  if (infos.dispatch == nullptr) return 1;
  Creation(infos);
  UnreadableScenario(infos);
  _USBORVA* control = nullptr;
  CreateControl(IID__USBORVA, reinterpret_cast<void**>(&control));
  Check("a control for the calls", control != nullptr);
  if (control != nullptr) {
    Members(control);
    Interfaces(control);
    Ticks(control);
    control->Release();
  }
  Check("every control released", DllCanUnloadNow() == S_OK);
  infos.dispatch->Release(), infos.library->Release();
  DllMain(GetModuleHandleW(nullptr), DLL_PROCESS_DETACH, nullptr);
  CoUninitialize();
  std::printf("faults: %d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
