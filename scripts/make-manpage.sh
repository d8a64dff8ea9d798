#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# make-manpage.sh TOOL VERSION OUT: writes the usborva(1) manual page from the tool's own
# help texts (`usborva help` and `usborva help COMMAND`), so the page never says anything
# the tool does not.
set -eu
tool=$1 version=$2 out=$3
date=$(date -u -d "@${SOURCE_DATE_EPOCH:-$(date +%s)}" +%Y-%m-%d)

# Help text as roff: backslashes written as \e, a leading dot or quote made literal.
roff() { sed -e 's/\\/\\e/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"; }

commands=$("$tool" help | awk '/^Commands:/ {on = 1; next} on && /^  [a-z]/ {print $1} on && /^$/ {on = 0}')
{
  echo ".TH USBORVA 1 \"$date\" \"usborva $version\" \"User Commands\""
  echo ".SH NAME"
  echo "usborva \\- drive a USB HID payment terminal, real or simulated"
  echo ".SH SYNOPSIS"
  echo ".B usborva"
  echo ".I COMMAND"
  echo ".RI [ OPTIONS ]"
  echo ".SH DESCRIPTION"
  echo ".nf"
  "$tool" help | roff
  echo ".fi"
  echo ".SH COMMANDS"
  for command in $commands; do
    echo ".SS $command"
    echo ".nf"
    "$tool" help "$command" | roff
    echo ".fi"
  done
  echo ".SH FILES"
  echo ".TP"
  echo ".I /etc/QXORVA.cfg"
  echo "the configuration file that can restrict which terminals are accepted"
  echo ".TP"
  echo ".I /usr/lib/udev/rules.d/70-usborva.rules"
  echo "gives the user at the seat access to the terminal"
  echo ".SH SEE ALSO"
  echo ".BR udevadm (8)"
} > "$out"
