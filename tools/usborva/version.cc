// SPDX-License-Identifier: Apache-2.0
// --version, -V and `version`: what a bug report needs to say about this build and where it
// looks for its files.
#include <ostream>

#include "args.h"
#include "commands.h"
#include "exit_codes.h"
#include "hid_system/ini_file.h"
#include "usborva/settings_store.h"

#ifndef USBORVA_VERSION
#define USBORVA_VERSION "0.0.0"
#endif
#ifndef USBORVA_GIT_REVISION
#define USBORVA_GIT_REVISION "unknown"
#endif

namespace usborva::cli {

std::string SettingsFilePath() {
  const SettingsStore store;
  if (store.root().empty()) return "(none: no home folder)";
  return store.FilePath(u"USBHID");
}

void PrintVersion(std::ostream& out) {
  out << "usborva " << USBORVA_VERSION << "\n"
      << "revision: " << USBORVA_GIT_REVISION << "\n"
      << "backends: simulated"
#ifdef USBORVA_HAVE_HIDRAW
      << " hidraw"
#endif
      << "\n"
      << "configuration: " << hid_system::ConfigDirectory() << "\n"
      << "settings: " << SettingsFilePath() << "\n";
}

int RunVersion(CommandArgs raw, std::ostream& out, std::ostream&) {
  static constexpr OptionSpec kSpecs[] = {{"help", OptionKind::kFlag}};
  const Args args = ParseArgs(raw, kSpecs);
  if (HelpAsked(args, "version", out)) return kExitOk;
  ExpectPositionals(args, 0, 0, "usborva version");
  PrintVersion(out);
  return kExitOk;
}

}  // namespace usborva::cli
