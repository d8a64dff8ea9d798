// SPDX-License-Identifier: Apache-2.0
// settings and about: the control's host utilities, in a host of their own.
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "args.h"
#include "commands.h"
#include "exit_codes.h"
#include "host/file_system.h"
#include "host/settings_text.h"
#include "json.h"
#include "settings_list.h"
#include "usborva/event_loop.h"
#include "usborva/host.h"
#include "usborva/settings_store.h"
#include "usborva/usborva.h"

namespace usborva::cli {
namespace {

// Where the control keeps its defaults (GetDefSetting / SaveDefSetting).
constexpr char16_t kSection[] = u"Startup";

// The settings file's text; "" when there is none yet (or no home folder to hold one).
std::string SettingsFileText() {
  const SettingsStore store;
  if (store.root().empty()) return "";
  return host::ReadFileIfExists(store.FilePath(u"USBHID"), SettingsStore::kMaxFileBytes)
      .value_or("");
}

void PrintSetting(std::ostream& out, bool json, const String& key, const String& value) {
  if (json) {
    out << JsonLine(JsonObject()
                        .AddString("type", "setting")
                        .AddString("key", key)
                        .AddString("value", value))
        << "\n";
  } else {
    out << StringToUtf8(key) << " = " << StringToUtf8(value) << "\n";
  }
}

// get KEY [DEFAULT]: without a default, a key that is not there is exit status 1 and no
// output, so a script can tell "absent" from "empty".
int GetSetting(USBORVA& control, const std::vector<std::string>& p, bool json, std::ostream& out) {
  String key = Utf8ToString(p[1]);
  if (p.size() == 2 && !host::SettingsText(SettingsFileText()).Find(kSection, key)) {
    return kExitNotFound;
  }
  const Variant fallback =
      p.size() == 3 ? Variant::FromString(Utf8ToString(p[2])) : Variant::Missing();
  const String value = control.GetDefSetting(key, fallback);
  if (json) {
    PrintSetting(out, true, key, value);
  } else {
    out << StringToUtf8(value) << "\n";
  }
  return kExitOk;
}

void CheckPositionals(const Args& args) {
  const auto& p = args.positionals();
  if (p.empty() || (p[0] != "get" && p[0] != "set" && p[0] != "list" && p[0] != "path")) {
    throw UsageError("say 'get KEY [DEFAULT]', 'set KEY VALUE', 'list' or 'path'");
  }
  if (p[0] == "get") ExpectPositionals(args, 2, 3, "usborva settings get KEY [DEFAULT]");
  if (p[0] == "set") ExpectPositionals(args, 3, 3, "usborva settings set KEY VALUE");
  if (p[0] == "list") ExpectPositionals(args, 1, 1, "usborva settings list");
  if (p[0] == "path") ExpectPositionals(args, 1, 1, "usborva settings path");
  // An empty key names no setting: the file would gain a line no lookup can reach.
  if ((p[0] == "get" || p[0] == "set") && p[1].empty()) throw UsageError("KEY is empty");
}

}  // namespace

int RunSettings(CommandArgs raw, std::ostream& out, std::ostream& err) {
  static constexpr OptionSpec kSpecs[] = {
      {"help", OptionKind::kFlag}, {"reveal", OptionKind::kFlag}, {"json", OptionKind::kFlag}};
  const Args args = ParseArgs(raw, kSpecs);
  if (HelpAsked(args, "settings", out)) return kExitOk;
  CheckPositionals(args);
  if (args.Has("reveal")) WarnReveal(out, err);
  const bool json = args.Has("json");
  const auto& p = args.positionals();
  if (p[0] == "path") {
    if (json) {
      out << JsonLine(JsonObject()
                          .AddString("type", "settings_path")
                          .AddString("path", SettingsFilePath()))
          << "\n";
    } else {
      out << SettingsFilePath() << "\n";
    }
    return kExitOk;
  }
  if (p[0] == "list") {
    for (const auto& [key, value] : ListSettings(SettingsFileText(), kSection)) {
      PrintSetting(out, json, key, value);
    }
    return kExitOk;
  }
  EventLoop loop;
  Host host(loop);
  USBORVA control(host);
  control.InitProperties();
  if (p[0] == "get") return GetSetting(control, p, json, out);
  String key = Utf8ToString(p[1]);
  String value = Utf8ToString(p[2]);
  control.SaveDefSetting(key, value);
  return kExitOk;
}

int RunAbout(CommandArgs raw, std::ostream& out, std::ostream&) {
  static constexpr OptionSpec kSpecs[] = {{"help", OptionKind::kFlag}, {"json", OptionKind::kFlag}};
  const Args args = ParseArgs(raw, kSpecs);
  if (HelpAsked(args, "about", out)) return kExitOk;
  ExpectPositionals(args, 0, 0, "usborva about");
  EventLoop loop;
  HostOptions options;
  std::ostringstream box;
  const bool json = args.Has("json");
  options.message_out = json ? &box : &out;
  Host host(loop, options);
  USBORVA control(host);
  control.InitProperties();
  control.About();
  if (json) {
    out << JsonLine(JsonObject().AddString("type", "about").AddString("text", box.str())) << "\n";
  }
  return kExitOk;
}

}  // namespace usborva::cli
