#include <windows.h>
#undef MessageBox  // the container service keeps its own name

#include <string>

#include "activex/com_container.h"
#include "activex/message_timer.h"
#include "usborva/automation_error.h"

namespace usborva::activex {
namespace {

// The root under which the Windows runtime keeps per-user application settings, so values
// saved by any earlier control of this kind stay readable.
constexpr wchar_t kSettingsRoot[] = L"Software\\VB and VBA Program Settings\\";
// The component's application title: the caption of its message boxes.
constexpr wchar_t kApplicationTitle[] = L"ctlUSBORVA";

std::wstring Wide(const String& text) { return std::wstring(text.begin(), text.end()); }

std::wstring SectionPath(const String& application, const String& section) {
  return kSettingsRoot + Wide(application) + L"\\" + Wide(section);
}

}  // namespace

std::unique_ptr<Timer> ComContainer::CreateTimer(std::function<void()> on_tick) {
  return std::make_unique<MessageTimer>(std::move(on_tick));
}

String ComContainer::GetSetting(const String& application, const String& section, const String& key,
                                const String& default_value) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, SectionPath(application, section).c_str(), 0,
                    KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) {
    return default_value;
  }
  const std::wstring name = Wide(key);
  DWORD type = 0, size = 0;
  String value = default_value;
  if (RegQueryValueExW(handle, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ)) {
    std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
    DWORD got = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (RegQueryValueExW(handle, name.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer.data()), &got) == ERROR_SUCCESS) {
      buffer.resize(got / sizeof(wchar_t));
      while (!buffer.empty() && buffer.back() == L'\0') buffer.pop_back();
      value.assign(buffer.begin(), buffer.end());
    }
  }
  RegCloseKey(handle);
  return value;
}

void ComContainer::SaveSetting(const String& application, const String& section, const String& key,
                               const String& value) {
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, SectionPath(application, section).c_str(), 0, nullptr, 0,
                      KEY_SET_VALUE, nullptr, &handle, nullptr) != ERROR_SUCCESS) {
    throw AutomationError(error::kInvalidProcedureCall);
  }
  const std::wstring name = Wide(key);
  const std::wstring data = Wide(value);
  const LONG result =
      RegSetValueExW(handle, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                     static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
  if (result != ERROR_SUCCESS) throw AutomationError(error::kInvalidProcedureCall);
}

void ComContainer::MessageBox(const String& text) {
  const std::wstring message = Wide(text);
  MessageBoxW(GetActiveWindow(), message.c_str(), kApplicationTitle, MB_OK | MB_TASKMODAL);
}

}  // namespace usborva::activex
