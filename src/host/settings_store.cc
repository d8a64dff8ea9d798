// SPDX-License-Identifier: Apache-2.0
#include "usborva/settings_store.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include "host/file_system.h"
#include "host/settings_folder_name.h"
#include "host/settings_text.h"
#include "usborva/automation_error.h"

namespace usborva {
namespace {

constexpr char kFileName[] = "settings.ini";
constexpr char kLockSuffix[] = ".lock";

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return home;
  std::vector<char> buffer(16384);
  passwd entry;
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr && found->pw_dir[0] == '/') {
    return found->pw_dir;
  }
  return {};
}

}  // namespace

SettingsStore::SettingsStore() : root_(DefaultRoot()) {}

SettingsStore::SettingsStore(std::string root) : root_(std::move(root)) {}

std::string SettingsStore::DefaultRoot() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  // The base-directory rules say a relative XDG_CONFIG_HOME is to be ignored.
  if (config != nullptr && config[0] == '/') return config;
  const std::string home = HomeFolder();
  return home.empty() ? std::string() : home + "/.config";
}

std::string SettingsStore::FilePath(const String& application) const {
  return root_ + "/" + host::SettingsFolderName(application) + "/" + kFileName;
}

String SettingsStore::GetSetting(const String& application, const String& section,
                                 const String& key, const String& default_value) const {
  if (root_.empty() || application.empty()) return default_value;
  std::optional<std::string> text = host::ReadFileIfExists(FilePath(application), kMaxFileBytes);
  if (!text) return default_value;
  std::optional<String> value = host::SettingsText(std::move(*text)).Find(section, key);
  return value ? *value : default_value;
}

void SettingsStore::SaveSetting(const String& application, const String& section, const String& key,
                                const String& value) const {
  if (application.empty()) {
    throw AutomationError(error::kInvalidProcedureCall,
                          "Invalid procedure call or argument: no application name");
  }
  if (root_.empty()) {
    throw AutomationError(error::kPathFileAccessError,
                          "Path/File access error: no home folder for the settings store");
  }
  const std::string path = FilePath(application);
  host::MakeDirectories(host::ParentFolder(path));
  const host::FileLock lock(path + kLockSuffix);
  std::optional<std::string> text = host::ReadFileIfExists(path, kMaxFileBytes);
  const host::SettingsText current(text ? std::move(*text) : std::string());
  const std::string updated = current.WithValue(section, key, value);
  if (text && updated == current.text()) return;
  if (updated.size() > kMaxFileBytes) {
    throw AutomationError(error::kPathFileAccessError,
                          "cannot save " + path + ": the file would pass the limit of " +
                              std::to_string(kMaxFileBytes) + " bytes");
  }
  host::WriteFileAtomically(path, updated);
}

}  // namespace usborva
