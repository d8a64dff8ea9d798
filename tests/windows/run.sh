#!/bin/sh
# Proves the 64-bit QXUSBORVA.ocx under wine64 and checks the 32-bit one statically.
#   tests/windows/run.sh BUILD_DIR_64 BUILD_DIR_32
# Needs wine and wine64 (never wine32: no i386 program runs on this kind of machine).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
b64=$1
b32=$2
fail() { echo "test-windows: $*" >&2; exit 1; }

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
cp "$b64/QXUSBORVA.ocx" "$b64/tests/container_test.exe" "$here/control_test.vbs" \
   "$here/session.scn" "$here/unregistered.vbs" "$work/"
win='C:\usborva'

# Runs a script and checks its summary line: cscript exits 0 whatever happened.
vbs() {
  out=$($wine cscript //nologo "$win\\$1" "$2" 2>/dev/null | tr -d '\r')
  echo "$out" | grep -v '^[0-9]* passed' || true
  line=$(echo "$out" | grep -E '^[0-9]+ passed, [0-9]+ failed$' | tail -1)
  echo "vbscript $2: ${line:-no summary}"
  case $line in *" passed, 0 failed") ;; *) fail "vbscript $2 failed" ;; esac
}

$wine regsvr32 /s "$win\\QXUSBORVA.ocx" || fail "regsvr32 failed"
vbs control_test.vbs basic
vbs control_test.vbs settings
USBORVA_SCENARIO="$win\\session.scn" vbs control_test.vbs scenario
USBORVA_SCENARIO="$win\\session.scn" $wine "$work/container_test.exe" "$win\\session.scn" |
  tr -d '\r' > "$work/container.log" || { cat "$work/container.log"; fail "container test failed"; }
cat "$work/container.log"

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
echo "test-windows: all passed"
