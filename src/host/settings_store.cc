// SPDX-License-Identifier: Apache-2.0
#include "usborva/settings_store.h"

#include <cstdlib>
#include <optional>
#include <utility>

#include "host/settings_folder_name.h"
#include "host/settings_text.h"
#include "platform/posix/file_system.h"
#include "platform/posix/home_folder.h"
#include "usborva/automation_error.h"

namespace usborva {
namespace {

constexpr char kFileName[] = "settings.ini";
constexpr char kLockSuffix[] = ".lock";

}  // namespace

SettingsStore::SettingsStore() : root_(DefaultRoot()) {}

SettingsStore::SettingsStore(std::string root) : root_(std::move(root)) {}

std::string SettingsStore::DefaultRoot() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  // The base-directory rules say a relative XDG_CONFIG_HOME is to be ignored.
  if (config != nullptr && config[0] == '/') return config;
  const std::string home = posix::HomeFolder();
  return home.empty() ? std::string() : home + "/.config";
}

std::string SettingsStore::FilePath(const String& application) const {
  return root_ + "/" + host::SettingsFolderName(application) + "/" + kFileName;
}

String SettingsStore::GetSetting(const String& application, const String& section,
                                 const String& key, const String& default_value) const {
  if (root_.empty() || application.empty()) return default_value;
  std::optional<std::string> text = posix::ReadFileIfExists(FilePath(application), kMaxFileBytes);
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
  posix::MakeDirectories(posix::ParentFolder(path));
  const posix::FileLock lock(path + kLockSuffix);
  std::optional<std::string> text = posix::ReadFileIfExists(path, kMaxFileBytes);
  const host::SettingsText current(text ? std::move(*text) : std::string());
  const std::string updated = current.WithValue(section, key, value);
  if (text && updated == current.text()) return;
  if (updated.size() > kMaxFileBytes) {
    throw AutomationError(error::kPathFileAccessError,
                          "cannot save " + path + ": the file would pass the limit of " +
                              std::to_string(kMaxFileBytes) + " bytes");
  }
  posix::WriteFileAtomically(path, updated);
}

}  // namespace usborva
