// SPDX-License-Identifier: Apache-2.0
#include <windows.h>
#undef MessageBox  // the container service keeps its own name

#include <optional>
#include <string>

#include "activex/com_container.h"
#include "activex/message_timer.h"
#include "usborva/automation_error.h"
#include "usborva/variant.h"

namespace usborva::activex {
namespace {

// The root under which the Windows runtime keeps per-user application settings, so values
// saved by any earlier control of this kind stay readable.
constexpr wchar_t kSettingsRoot[] = L"Software\\VB and VBA Program Settings\\";
// The component's application title: the caption of its message boxes.
constexpr wchar_t kApplicationTitle[] = L"ctlUSBORVA";

// Per-user options of the component itself (not the host's settings).
constexpr wchar_t kOptionsKey[] = L"Software\\USBORVA\\ctlUSBORVA";
constexpr wchar_t kPersistCardData[] = L"PersistCardData";
// Far beyond any setting a host keeps; a bound on what one read allocates.
constexpr size_t kMaxValueBytes = 1u << 20;

std::wstring Wide(const String& text) { return std::wstring(text.begin(), text.end()); }

std::wstring SectionPath(const String& application, const String& section) {
  return kSettingsRoot + Wide(application) + L"\\" + Wide(section);
}

// The registry cannot name a value with a zero character in it: such a key would quietly
// address another value, so it is refused.
void CheckKeyName(const String& key) {
  if (key.find(u'\0') != String::npos) {
    throw AutomationError(error::kInvalidProcedureCall,
                          "Invalid procedure call or argument: a setting's key holds a zero "
                          "character");
  }
}

// An open registry key, closed when it goes out of scope.
class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() {
    if (handle_ != nullptr) RegCloseKey(handle_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  HKEY* Put() { return &handle_; }
  HKEY get() const { return handle_; }

 private:
  HKEY handle_ = nullptr;
};

// The system's own words for a registry error code.
std::string Reason(LONG code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring reason = length > 0 && text != nullptr ? std::wstring(text, length)
                                                      : L"error " + std::to_wstring(code);
  LocalFree(text);
  while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r' ||
                             reason.back() == L'.' || reason.back() == L' ')) {
    reason.pop_back();
  }
  return StringToUtf8(String(reason.begin(), reason.end()));
}

// Error 75 with the value's full name and the reason, as the settings file reports it.
[[noreturn]] void ThrowSettingsError(const wchar_t* action, const std::wstring& path,
                                     const String& key, LONG code) {
  const std::wstring where = std::wstring(action) + L" HKEY_CURRENT_USER\\" + path + L"\\";
  String text(where.begin(), where.end());
  text += key;
  throw AutomationError(error::kPathFileAccessError, StringToUtf8(text) + ": " + Reason(code));
}

// The text of a value, or nullopt when there is no such value. Exactly one terminating
// zero is dropped, so a text that ends in zeros of its own keeps them.
std::optional<std::wstring> ReadText(HKEY handle, const std::wstring& path, const String& key) {
  const std::wstring name = Wide(key);
  // A value that keeps growing between the two calls is given a few chances, then refused.
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD type = 0, size = 0;
    LONG result = RegQueryValueExW(handle, name.c_str(), nullptr, &type, nullptr, &size);
    if (result == ERROR_FILE_NOT_FOUND) return std::nullopt;
    if (result != ERROR_SUCCESS) ThrowSettingsError(L"cannot read", path, key, result);
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
      ThrowSettingsError(L"cannot read", path, key, ERROR_DATATYPE_MISMATCH);
    }
    if (size > kMaxValueBytes) ThrowSettingsError(L"cannot read", path, key, ERROR_INVALID_DATA);
    std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
    DWORD got = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    result = RegQueryValueExW(handle, name.c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(buffer.data()), &got);
    if (result == ERROR_MORE_DATA) continue;  // the value grew in between: ask again
    if (result == ERROR_FILE_NOT_FOUND) return std::nullopt;
    if (result != ERROR_SUCCESS) ThrowSettingsError(L"cannot read", path, key, result);
    buffer.resize(got / sizeof(wchar_t));
    if (!buffer.empty() && buffer.back() == L'\0') buffer.pop_back();
    return buffer;
  }
  ThrowSettingsError(L"cannot read", path, key, ERROR_MORE_DATA);
}

}  // namespace

std::unique_ptr<Timer> ComContainer::CreateTimer(std::function<void()> on_tick) {
  return std::make_unique<MessageTimer>(std::move(on_tick));
}

// A missing application, section or key reads as the default; any other failure, and a
// value that is not text, is an error 75 naming the value and the reason, as the settings
// file of the other platforms reports it.
String ComContainer::GetSetting(const String& application, const String& section, const String& key,
                                const String& default_value) {
  CheckKeyName(key);
  const std::wstring path = SectionPath(application, section);
  RegistryKey handle;
  const LONG opened =
      RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, handle.Put());
  if (opened == ERROR_FILE_NOT_FOUND) return default_value;
  if (opened != ERROR_SUCCESS) ThrowSettingsError(L"cannot read", path, key, opened);
  std::optional<std::wstring> text = ReadText(handle.get(), path, key);
  return text ? String(text->begin(), text->end()) : default_value;
}

void ComContainer::SaveSetting(const String& application, const String& section, const String& key,
                               const String& value) {
  CheckKeyName(key);
  const std::wstring path = SectionPath(application, section);
  RegistryKey handle;
  LONG result = RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                nullptr, handle.Put(), nullptr);
  if (result != ERROR_SUCCESS) ThrowSettingsError(L"cannot write", path, key, result);
  const std::wstring name = Wide(key);
  // The text and one terminating zero: any text, zeros inside included, reads back as it was.
  const std::wstring data = Wide(value);
  const size_t bytes = (data.size() + 1) * sizeof(wchar_t);
  if (bytes > kMaxValueBytes) ThrowSettingsError(L"cannot write", path, key, ERROR_INVALID_DATA);
  result = RegSetValueExW(handle.get(), name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(data.c_str()), static_cast<DWORD>(bytes));
  if (result != ERROR_SUCCESS) ThrowSettingsError(L"cannot write", path, key, result);
}

bool ComContainer::PersistCardData() {
  RegistryKey handle;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kOptionsKey, 0, KEY_QUERY_VALUE, handle.Put()) !=
      ERROR_SUCCESS) {
    return false;
  }
  DWORD type = 0, value = 0, size = sizeof value;
  return RegQueryValueExW(handle.get(), kPersistCardData, nullptr, &type,
                          reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
         type == REG_DWORD && size == sizeof value && value == 1;
}

void ComContainer::MessageBox(const String& text) {
  const std::wstring message = Wide(text);
  MessageBoxW(GetActiveWindow(), message.c_str(), kApplicationTitle, MB_OK | MB_TASKMODAL);
}

}  // namespace usborva::activex
