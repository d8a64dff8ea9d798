// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_SETTINGS_STORE_H_
#define USBORVA_SETTINGS_STORE_H_

#include <cstddef>
#include <string>

#include "usborva/export.h"
#include "usborva/variant.h"

namespace usborva {

/// The current user's settings, addressed by application, section and key, one text value
/// each. Every application has one INI-style file a person can read and edit:
///
/// @verbatim
///   <root>/<application>/settings.ini      root: ${XDG_CONFIG_HOME:-$HOME/.config}
/// @endverbatim
///
/// with one [section] per section name and one `key = "value"` line per key. Values are
/// stored so that every string comes back exactly (blanks at either end, '=', ';', quotes,
/// line breaks, NULs, any UTF-16 code unit); see host/quoted_text.h for the escapes. Names
/// match without regard to ASCII case.
///
/// A save locks `<application>/settings.ini.lock` (flock), re-reads the file, changes that one
/// key and replaces the file atomically (mode 0600), so saves from several processes at once
/// lose nothing, and every line the save does not change is kept byte for byte. A damaged or
/// hand-edited file is read leniently: lines that cannot be read are skipped.
///
/// Failures throw AutomationError 75 (path/file access error) naming the path and the
/// system's reason; a failed save leaves the old file as it was. A settings file that is not
/// a regular file, or holds more than kMaxFileBytes, is refused (error 75) rather than read,
/// and a save waits at most five seconds for another process's lock.
class USBORVA_EXPORT SettingsStore {
 public:
  /// The largest settings file read or written: 1 MiB, far beyond any real one.
  static constexpr size_t kMaxFileBytes = size_t{1} << 20;

  /// The per-user store. When neither XDG_CONFIG_HOME (absolute) nor HOME nor the password
  /// database gives a home folder, reads give their defaults and saves fail.
  SettingsStore();
  /// A store under root instead (tests, portable installs).
  explicit SettingsStore(std::string root);

  /// The stored value, or default_value when the application, section or key is absent.
  String GetSetting(const String& application, const String& section, const String& key,
                    const String& default_value) const;
  /// Stores value, creating the application's folder and file and the section as needed.
  /// A save that would leave the file as it is writes nothing; one that would make it larger
  /// than kMaxFileBytes is refused with error 75, so no save leaves a file reads refuse.
  /// An empty application name is refused with error 5 (it names no folder).
  void SaveSetting(const String& application, const String& section, const String& key,
                   const String& value) const;

  /// The file that holds an application's settings. The application name becomes one folder
  /// name: '/', '%', control characters and a leading '.' are written as %HH, so no name can
  /// reach outside root.
  std::string FilePath(const String& application) const;
  const std::string& root() const { return root_; }  ///< The folder that holds the files.

  /// ${XDG_CONFIG_HOME:-$HOME/.config}, or "" when there is no home folder.
  static std::string DefaultRoot();

 private:
  std::string root_;
};

}  // namespace usborva

#endif  // USBORVA_SETTINGS_STORE_H_
