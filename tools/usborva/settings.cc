// SPDX-License-Identifier: Apache-2.0
// settings and about: the control's host utilities, in a host of their own.
#include <ostream>

#include "args.h"
#include "commands.h"
#include "exit_codes.h"
#include "usborva/event_loop.h"
#include "usborva/host.h"
#include "usborva/usborva.h"

namespace usborva::cli {

int RunSettings(CommandArgs raw, std::ostream& out, std::ostream& err) {
  static constexpr OptionSpec kSpecs[] = {{"help", OptionKind::kFlag},
                                          {"reveal", OptionKind::kFlag}};
  const Args args = ParseArgs(raw, kSpecs);
  if (args.Has("help")) {
    out << HelpText("settings");
    return kExitOk;
  }
  if (args.Has("reveal")) WarnReveal(out, err);
  const auto& p = args.positionals();
  if (p.empty() || (p[0] != "get" && p[0] != "set")) {
    throw UsageError("say 'get KEY [DEFAULT]' or 'set KEY VALUE'");
  }
  if (p[0] == "get") {
    ExpectPositionals(args, 2, 3, "usborva settings get KEY [DEFAULT]");
  } else {
    ExpectPositionals(args, 3, 3, "usborva settings set KEY VALUE");
  }
  EventLoop loop;
  Host host(loop);
  USBORVA control(host);
  control.InitProperties();
  String key = Utf8ToString(p[1]);
  if (p[0] == "get") {
    const Variant fallback =
        p.size() == 3 ? Variant::FromString(Utf8ToString(p[2])) : Variant::Missing();
    out << StringToUtf8(control.GetDefSetting(key, fallback)) << "\n";
  } else {
    String value = Utf8ToString(p[2]);
    control.SaveDefSetting(key, value);
  }
  return kExitOk;
}

int RunAbout(CommandArgs raw, std::ostream& out, std::ostream&) {
  static constexpr OptionSpec kSpecs[] = {{"help", OptionKind::kFlag}};
  const Args args = ParseArgs(raw, kSpecs);
  if (args.Has("help")) {
    out << HelpText("about");
    return kExitOk;
  }
  ExpectPositionals(args, 0, 0, "usborva about");
  EventLoop loop;
  HostOptions options;
  options.message_out = &out;
  Host host(loop, options);
  USBORVA control(host);
  control.InitProperties();
  control.About();
  return kExitOk;
}

}  // namespace usborva::cli
