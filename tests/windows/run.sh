#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# Proves the 64-bit QXUSBORVA.ocx under wine64 and checks the 32-bit one statically.
#   tests/windows/run.sh BUILD_DIR_64 BUILD_DIR_32
# Needs wine and wine64 (never wine32: no i386 program runs on this kind of machine).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
b64=$1
b32=$2
fail() { echo "test-windows: $*" >&2; exit 1; }
# Every check of every client is counted: "N passed, N failed" lines add up here.
total=0
count() {
  n=$(echo "$1" | awk '/ passed, 0 failed$/ { for (i = 1; i < NF; i++) if ($(i + 1) == "passed,") n = $i }
                       END { print n + 0 }')
  total=$((total + n))
}

# --- the 32-bit build, statically: PE32, the four exports, no MinGW runtime DLL.
ocx32=$b32/QXUSBORVA.ocx
i686-w64-mingw32-objdump -f "$ocx32" | grep -q 'file format pei-i386' || fail "$ocx32 is not PE32"
exports=$(i686-w64-mingw32-objdump -p "$ocx32" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
          grep -oE 'Dll(CanUnloadNow|GetClassObject|RegisterServer|UnregisterServer)$' | sort | tr '\n' ' ')
[ "$exports" = "DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer " ] ||
  fail "32-bit exports: $exports"
if i686-w64-mingw32-objdump -p "$ocx32" | grep -iE 'DLL Name: (libgcc|libstdc|libwinpthread)'; then
  fail "32-bit build imports a MinGW runtime DLL"
fi
echo "32-bit: PE32, four undecorated exports, no MinGW runtime DLL"
total=$((total + 3))
# Every interface method removes its own arguments (__stdcall), read from the shipped code.
python3 "$here/stdcall_check.py" "$b32" "$here/../../src/activex/control_object.h" ||
  fail "32-bit calling conventions"
total=$((total + $(python3 "$here/stdcall_check.py" "$b32" "$here/../../src/activex/control_object.h" |
                  sed -n 's/^stdcall: \([0-9]*\) methods checked.*/\1/p')))

# --- the 64-bit build under wine64, in a prefix of its own.
WINEPREFIX=$(mktemp -d)
export WINEPREFIX WINEARCH=win64 WINEDEBUG=-all WINELOADER=/usr/lib/wine/wine64
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
wine=/usr/lib/wine/wine64
cleanup() { wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true; rm -rf "$WINEPREFIX"; }
trap cleanup EXIT
$wine wineboot --init >/dev/null 2>&1
work=$WINEPREFIX/drive_c/usborva
mkdir -p "$work"
cp "$b64/QXUSBORVA.ocx" "$b64/tests/container_test.exe" "$b64/tests/exactness_test.exe" \
   "$b64/tests/typelib_dump.exe" "$b64/tests/com_faults_test.exe" \
   "$here/control_test.vbs" "$here/control_test.js" "$here/session.scn" "$here/codepage.scn" "$here/unregistered.vbs" \
   "$work/"
win='C:\usborva'

# Runs a script (VBScript or JScript) and checks its summary line: cscript exits 0 whatever happened.
vbs() {
  out=$($wine cscript //nologo "$win\\$1" "$2" 2>/dev/null | tr -d '\r')
  echo "$out" | grep -v '^[0-9]* passed' || true
  line=$(echo "$out" | grep -E '^[0-9]+ passed, [0-9]+ failed$' | tail -1)
  echo "${1##*.} $2: ${line:-no summary}"
  case $line in *" passed, 0 failed") ;; *) fail "$1 $2 failed" ;; esac
  count "$line"
}

# Runs a C++ client against a scenario, with the arguments given, and checks its summary.
client() {
  scenario=$1
  name=$2
  shift 2
  USBORVA_SCENARIO="$win\\$scenario" $wine "$work/$name.exe" "$@" 2>/dev/null | tr -d '\r' \
    > "$work/$name.log" || true
  cat "$work/$name.log"
  line=$(tail -1 "$work/$name.log")
  case $line in *" passed, 0 failed") ;; *) fail "$name $* failed" ;; esac
  count "$line"
}

# The type library embedded in each file, as a host reads it, is the published member
# table: the same in both (the vtable slots are scaled to the reader's pointer size).
cp "$b32/QXUSBORVA.ocx" "$work/QXUSBORVA32.ocx"
for file in QXUSBORVA.ocx:win64 QXUSBORVA32.ocx:win32; do
  $wine "$work/typelib_dump.exe" "$win\\${file%%:*}" 2>/dev/null | tr -d '\r' > "$work/typelib.txt"
  [ "$(head -1 "$work/typelib.txt")" = "library for ${file##*:}" ] || fail "${file%%:*}: not a ${file##*:} library"
  tail -n +2 "$work/typelib.txt" > "$work/typelib.body"
  grep -v '^#' "$here/typelib.txt" | diff - "$work/typelib.body" ||
    fail "${file%%:*}: type library differs from the member table"
  total=$((total + $(grep -c '^  ' "$here/typelib.txt") + 1))
done
echo "type library: both files carry the published member table"

# The 32-bit file cannot be loaded by this 64-bit prefix's regsvr32; its type library can be
# registered without running its code: the keys a 32-bit host's registration would get.
$wine "$work/typelib_dump.exe" register "$win\\QXUSBORVA32.ocx" 2>/dev/null | tr -d '\r' > "$work/keys32.txt"
grep -v '^#' "$here/typelib_keys32.txt" | diff - "$work/keys32.txt" ||
  fail "the 32-bit type library registers other keys"
total=$((total + $(grep -vc '^#' "$here/typelib_keys32.txt")))
echo "32-bit type library: registers as win32, $(grep -vc '^#' "$here/typelib_keys32.txt") keys as listed"

$wine regsvr32 /s "$win\\QXUSBORVA.ocx" || fail "regsvr32 failed"
vbs control_test.vbs basic
vbs control_test.vbs settings
vbs control_test.js jscript
USBORVA_SCENARIO="$win\\session.scn" vbs control_test.vbs scenario
client session.scn container_test
client session.scn exactness_test
# The component's code under refused allocations and an unreadable scenario.
client session.scn com_faults_test

# One character per byte in the host's ANSI code page: 0xC0 is U+00C0 under Windows-1252
# (this prefix's default) and U+0410 under Windows-1251 (a Russian locale, built here for
# Wine to take its code page from).
client codepage.scn exactness_test codepage 192
locales=$(mktemp -d)
if localedef -i ru_RU -f UTF-8 "$locales/ru_RU.UTF-8" >/dev/null 2>&1; then
  wineserver -k || true; wineserver -w || true
  export LOCPATH=$locales LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8
  client codepage.scn exactness_test codepage 1040
  wineserver -k || true; wineserver -w || true
  unset LOCPATH LANG LC_ALL
else
  fail "localedef could not build ru_RU.UTF-8 (package locales)"
fi
rm -rf "$locales"

# Unregistering leaves none of the component's keys behind, and creation fails with 429.
$wine regsvr32 /s /u "$win\\QXUSBORVA.ocx" || fail "regsvr32 /u failed"
vbs unregistered.vbs gone
wineserver -w
for guid in 7DC1FB13-82B6-4C10-9475-754170C55EDC 5E68717D-935B-45D0-BBF5-974D34E0B11D \
            CC181A39-1D28-41A5-916F-739B2E0D93DE 0E12DD4C-3860-44BE-A818-9119749752E3 \
            ctlUSBORVA.USBORVA; do
  if grep -qi "$guid" "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg"; then
    fail "registry still holds $guid after unregistering"
  fi
done
echo "regsvr32 /u: no registry entry left"
total=$((total + 1))
echo "test-windows: all passed ($total checks)"
