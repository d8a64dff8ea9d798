// SPDX-License-Identifier: Apache-2.0
#include <ostream>

#include "commands.h"
#include "key_commands.h"
#include "output.h"

namespace usborva::cli {
namespace {

constexpr std::string_view kOverview = R"(usage: usborva COMMAND [OPTIONS]

Drive a USB payment terminal through the USBORVA control: the simulated one, or a real
terminal on this machine.

Commands:
  demo       play the built-in session on the simulated terminal
  monitor    open the terminal and print its identity and every event
  simulate   drive the simulated terminal from the keyboard, with the events shown live
  list       list the HID interfaces and whether the terminal's rules accept them
  send       send one feature report (--get or --set) and print the answer
  card       parse card-data text: tracks, names, elements, the card's fields
  settings   read or save the control's default settings
  about      show the control's About box
  version    show the version, the revision, the backends and where files are looked for
  help       show the usage of a command

Options: --version (-V), --help (-h). Every command takes --help; a command's options go
after its name: usborva demo --json.
Card numbers are masked and control characters escaped in everything printed; --reveal
(where a command takes it) shows the numbers.
Exit status: 0 success, 2 usage error, 3 no supported terminal, 4 device or I/O failure
(or a failure inside the tool, such as running out of memory), 5 an expectation of the
scenario failed (monitor --simulate).
)";

constexpr std::string_view kDemo = R"(usage: usborva demo [--fast] [--json] [--reveal]

Plays the built-in session on the simulated terminal through PortOpen, as a host
application sees it: identity, device status, a card swipe, a PIN entry, a key, display
done, an unplug with automatic reconnection, and the close. Takes about four seconds.

  --fast     run in virtual time (no waiting)
  --json     one JSON object per line instead of text (see docs/cli.md)
  --reveal   show clear track data, the PAN, discretionary data and PIN blocks
)";

constexpr std::string_view kMonitor =
    R"(usage: usborva monitor [--simulate [SCENARIO]] [--duration S] [--json] [--reveal]
                       [--virtual-time] [--wait] [--record FILE] [--device PATH]
                       [--serial S]

Opens the port on the first supported terminal (or on the simulated one), prints its
identity, then every event with its arguments and time until Ctrl-C, the duration, or the
end of the scenario. The port is closed cleanly on Ctrl-C and SIGTERM.

  --simulate [SCENARIO]  use the simulated terminal, playing SCENARIO (a file, or - for
                         standard input; docs/scenarios.md); without one, the built-in demo
  --duration S           stop after S seconds
  --json                 one JSON object per line (see docs/cli.md)
  --reveal               show clear track data, the PAN, discretionary data and PIN blocks
  --virtual-time         with --simulate: run the scenario in virtual time (no waiting);
                         times are then the same on every run
  --wait                 when no terminal is there, set PortOpen again every half second
                         until one is plugged in (says so on a terminal); with --simulate,
                         until the scenario has played its last step
  --record FILE          write what the terminal did to FILE as a scenario (its identity
                         and every report with its time), which --simulate FILE plays
                         back: written when the run ends (Ctrl-C too), privately (mode
                         0600), replacing FILE whole. Card data is replaced by test data
                         of the same shape and PIN blocks by zeros; with --reveal it is
                         kept as read. Not to standard output: give a file name
  --device PATH          take the terminal at PATH (as `usborva list` shows it)
  --serial S             take the terminal whose USB serial number is S
  -i, --interactive      with --simulate: drive the terminal from the keyboard as well
                         (usborva help simulate)
--device and --serial choose among the terminals the matching rules accept; without them
the first one is taken.

A scenario may test its host (expect lines, docs/scenarios.md): the monitor is that host.
Each expectation that fails is printed at once ("usborva monitor: FILE:LINE: expected ...";
with --json, a line of type "expectation-failed"), and the run exits with status 5.
)";

constexpr std::string_view kSimulateUsage =
    R"(usage: usborva simulate [SCENARIO] [--json] [--reveal] [--virtual-time] [--duration S]
                        [--record FILE]

Opens the port on the simulated terminal, prints its identity and every event as monitor
does, and lets you drive the terminal from the keyboard: swipe a test card, enter a PIN,
press a selection key, finish a message, pull the cable. Each key adds a note line saying
what the terminal did. SCENARIO (a file; docs/scenarios.md) gives the terminal and a
timeline that plays meanwhile; without one, the default terminal and no timeline.
`usborva monitor --simulate [SCENARIO] -i` is the same.

)";

constexpr std::string_view kSimulateMore = R"(
On a terminal keys act as they are typed (the keyboard is in raw mode until the port
closes). From a pipe or a file they are taken one every half second, blanks and line
breaks passed over; the end of the input ends the run once the scenario has played and
the last reports are read:
  printf '1p!du' | usborva simulate --virtual-time
The PIN block is a fixed test pattern, never derived from anything typed. Card numbers
are masked and PIN blocks hidden unless --reveal.

  --json          one JSON object per line (see docs/cli.md); the keys' help goes to
                  standard error
  --reveal        show clear track data, the PAN, discretionary data and PIN blocks
  --virtual-time  with keys from a pipe or a file: half a second of virtual time per key,
                  no waiting, the same output on every run
  --duration S    stop after S seconds
  --record FILE   write the session to FILE as a scenario that monitor --simulate FILE
                  plays back (as monitor --record: private, card data replaced by test
                  data unless --reveal): rehearse by hand once, replay it in every test
)";

constexpr std::string_view kList =
    R"(usage: usborva list [--json] [--reveal] [--simulate [SCENARIO]] [--device PATH]
                    [--serial S]

Lists every HID interface the backend sees: path, vendor:product, product and serial
strings, and whether the matching rules accept it, or why not (other vendor, product not in
the list, refused by the configuration file, cannot be opened, not the chosen terminal).
The verdicts are the control's own: the same steps PortOpen runs. When several supported
terminals are there, it says which one the control takes (the first); --device PATH and
--serial S choose one, as they do for monitor and send.
Exit status 0 when the terminal the control would take can be opened, 3 when none is
supported (or chosen), 4 when it is supported but cannot be opened. --reveal shows digit
runs that look like card numbers.
)";

constexpr std::string_view kSend =
    R"(usage: usborva send [--set COMMAND] [--get COMMAND] [--simulate [SCENARIO]] [--json]
                    [--reveal] [--device PATH] [--serial S]

Opens the port, makes a feature-report exchange through SetFeatureReport and/or
GetFeatureReport, and prints OutPutData and the result of each. With both, the Set comes
first and the Get reads the answer it selected, in the same session: for example
  usborva send --set "0E 10" --get "0E 10"
asks for the bitmap CRC and reads it. A Get carries only the report ID, so a 0x0E item
must be selected by a Set first; a lone --get of a 0x0E item warns about it. COMMAND is
hexadecimal, spaces anywhere ("0E 10", 0e10). Result is 1 when the terminal accepted the
report, 0 when not. OutPutData is also shown decoded: for 0x0E the item's data (byte 3 is
its length n, the data follows from byte 4), for 0x09 the configuration (bytes 1-8).
Exit status 4 when the terminal does not accept an exchange; the message names it and the
reason the system gave. Runs of 12 or more digits in the answer are masked as card numbers
would be; --reveal shows them. --device PATH and --serial S choose the terminal, as for
monitor.
)";

constexpr std::string_view kCard =
    R"(usage: usborva card track N [--masked] [--json [--reveal]] [DATA]
       usborva card first-name [--masked] [DATA]
       usborva card last-name [--masked] [DATA]
       usborva card element TRACK REFCHAR DISPLACEMENT NUMDIGITS [--back|--forward]
                            [--masked] [DATA]
       usborva card info [--reveal] [--json] [DATA]

DATA is one of:
  (neither)            standard input (recommended), one trailing newline removed: into
                       CardData, or with --masked into CardDataMasked
  --data TEXT          the card data (CardData)
  --masked-data TEXT   the masked card data (CardDataMasked)
Text on the command line stays in the shell's history and shows in the process list;
give card data on standard input: usborva card info < swipe.txt

Prints the method's result exactly (GetTrack, GetFName, GetLName, FindElement, or their
masked forms with --masked), followed by a newline. Negative numbers are values, not
options. `track 0` is the whole card data; tracks 1, 2 and 3 always come back empty
(nothing fills them), so read a field with `element 0 ...` or `info`; `track 1|2|3`
says so on stderr. `track --json` prints one JSON line, guarded like every other.
`info` prints the card's fields; the PAN is masked and discretionary data hidden unless
--reveal; a track that is not well-formed shows as "malformed", with no
field.
)";

constexpr std::string_view kSettings =
    R"(usage: usborva settings get KEY [DEFAULT] [--json] [--reveal]
       usborva settings set KEY VALUE
       usborva settings list [--json] [--reveal]
       usborva settings path [--json]

Reads or saves one of the control's default settings (GetDefSetting / SaveDefSetting),
kept in ${XDG_CONFIG_HOME:-~/.config}/USBHID/settings.ini, section Startup. `get` of a key
that is not there prints nothing and exits 1, unless DEFAULT is given; `set` refuses an
empty KEY. `list` prints every key of the section as KEY = VALUE; `path` prints the file's
path. A value that looks like a card number is masked unless --reveal.
)";

constexpr std::string_view kAbout = R"(usage: usborva about [--json]

Shows the control's About box; with --json, its text as one JSON line.
)";

constexpr std::string_view kVersion = R"(usage: usborva version
       usborva --version | -V

Prints the library version, the git revision it was built from, the backends built in, the
configuration directory (where the terminal's configuration file is looked for) and the
path of the settings file.
)";

constexpr std::string_view kHelp = R"(usage: usborva help [COMMAND]

Shows the usage of COMMAND, or the list of commands.
)";

// The keys and the cards come from where the simulator keeps them.
std::string_view SimulateHelp() {
  static const std::string text =
      std::string(kSimulateUsage) + KeyHelp() + "\n" + TestCardList() + std::string(kSimulateMore);
  return text;
}

}  // namespace

std::string_view HelpText(std::string_view command) {
  if (command.empty()) return kOverview;
  if (command == "demo") return kDemo;
  if (command == "monitor") return kMonitor;
  if (command == "simulate") return SimulateHelp();
  if (command == "list") return kList;
  if (command == "send") return kSend;
  if (command == "card") return kCard;
  if (command == "settings") return kSettings;
  if (command == "about") return kAbout;
  if (command == "version") return kVersion;
  if (command == "help") return kHelp;
  return {};
}

bool HelpAsked(const Args& args, std::string_view command, std::ostream& out) {
  if (!args.Has("help")) return false;
  out << HelpText(command);
  return true;
}

void WarnReveal(std::ostream& out, std::ostream& err) {
  RevealCardNumbers(out);
  err << "warning: --reveal prints clear card data and PIN blocks; keep this output private\n";
}

}  // namespace usborva::cli
