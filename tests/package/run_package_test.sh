#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# run_package_test.sh PACKAGES_DIR CONSUMER_SRC WORK_DIR
# Takes the three Debian packages as a user gets them: checks them with lintian (no error),
# unpacks them into a scratch root, builds the consumer against the unpacked files through
# the CMake package and through pkg-config, runs the unpacked tool's demo and renders its
# manual page.
set -eu
packages=$1 consumer=$2 work=$3
fail() { echo "package test: $*" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work"
# Absolute paths: CMake reads a relative prefix path against its own build folder.
work=$(cd "$work" && pwd) packages=$(cd "$packages" && pwd) consumer=$(cd "$consumer" && pwd)
root=$work/root

for name in libusborva0 libusborva-dev usborva; do
  deb=$(ls "$packages"/${name}_*.deb 2>/dev/null | head -n 1)
  [ -n "$deb" ] || fail "no package $name in $packages"
  echo "== $(basename "$deb")"
  dpkg-deb -c "$deb" | awk '{print "   " $6 ($7 ? " " $7 " " $8 : "")}'
  dpkg-deb -x "$deb" "$root"
  dpkg-deb -f "$deb" License 2>/dev/null | grep -q . || true
  [ -f "$root/usr/share/doc/$name/copyright" ] || fail "$name has no copyright file"
  grep -q "Apache-2.0" "$root/usr/share/doc/$name/copyright" || fail "$name names no licence"
done

# lintian: warnings are shown, errors fail.
if command -v lintian >/dev/null 2>&1; then
  lintian --tag-display-limit 0 "$packages"/*.deb > "$work/lintian.log" 2>&1 || true
  cat "$work/lintian.log"
  if grep -q '^E:' "$work/lintian.log"; then fail "lintian reports errors"; fi
else
  fail "lintian is not installed (make deps installs it)"
fi

libdir=$(cd "$root" && dirname "$(find usr -name 'libusborva.so' | head -n 1)")
[ -f "$root/usr/lib/udev/rules.d/70-usborva.rules" ] || fail "the udev rule is not in /usr/lib/udev/rules.d"
[ -f "$root/usr/share/bash-completion/completions/usborva" ] || fail "no bash completion"

# 1. find_package(usborva) from the unpacked root.
cmake -S "$consumer" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$root/usr" \
  > "$work/consumer-configure.log" 2>&1 || { cat "$work/consumer-configure.log" >&2; fail "consumer configure failed"; }
cmake --build "$work/cmake-build" > "$work/consumer-build.log" 2>&1 \
  || { cat "$work/consumer-build.log" >&2; fail "consumer build (CMake) failed"; }
LD_LIBRARY_PATH="$root/$libdir" "$work/cmake-build/usborva_consumer" "$work/empty-tree" \
  || fail "consumer (CMake) failed"

# 2. pkg-config, with no -std of our own: the .pc file must carry it.
PKG_CONFIG_PATH="$root/$libdir/pkgconfig" pkg-config --cflags usborva | grep -q -- '-std=c++20' \
  || fail "pkg-config --cflags does not ask for C++20"
# shellcheck disable=SC2046
c++ "$consumer/main.cc" $(PKG_CONFIG_PATH="$root/$libdir/pkgconfig" pkg-config --cflags --libs usborva) \
  -o "$work/consumer-pc" || fail "consumer build through pkg-config failed"
LD_LIBRARY_PATH="$root/$libdir" "$work/consumer-pc" "$work/empty-tree" || fail "consumer (pkg-config) failed"
PKG_CONFIG_PATH="$root/$libdir/pkgconfig" pkg-config --variable=udevdir usborva | grep -q udev \
  || fail "usborva.pc has no udevdir"

# 3. The unpacked tool and its manual page.
LD_LIBRARY_PATH="$root/$libdir" "$root/usr/bin/usborva" demo --fast > "$work/demo.txt" \
  || fail "usborva demo --fast failed"
grep -q "CardDataChanged" "$work/demo.txt" || fail "the demo shows no card"
MANWIDTH=80 man -l "$root/usr/share/man/man1/usborva.1.gz" > "$work/man.txt" 2>"$work/man.err" \
  || { cat "$work/man.err" >&2; fail "man -l cannot render usborva(1)"; }
grep -q "usborva monitor" "$work/man.txt" || fail "the manual page lacks the commands"
echo "package test: ok"
