#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# run_install_test.sh BUILD_DIR CONSUMER_SRC WORK_DIR CXX EXTRA_FLAGS CMAKE EXPECT_TOOL
# Installs BUILD_DIR into WORK_DIR/prefix, checks the installed layout, then builds and runs
# the consumer through the CMake package and through pkg-config.
set -eu
build=$1 consumer=$2 work=$3 cxx=$4 flags=$5 cmake=${6:-cmake} expect_tool=${7:-0}
prefix=$work/prefix
rm -rf "$work"
mkdir -p "$work"

"$cmake" --install "$build" --prefix "$prefix" > "$work/install.log"

fail() { echo "install test: $*" >&2; exit 1; }
libdir=$(cd "$prefix" && dirname "$(find . -name 'libusborva.so' | head -n 1)")
[ "$libdir" != "." ] || fail "libusborva.so not installed"
for f in include/usborva/usborva.h include/usborva/hid_system.h \
         include/usborva/hidraw_hid_system.h "$libdir/cmake/usborva/usborvaConfig.cmake" \
         "$libdir/cmake/usborva/usborvaConfigVersion.cmake" "$libdir/pkgconfig/usborva.pc" \
         lib/udev/rules.d/70-usborva.rules; do
  [ -f "$prefix/$f" ] || fail "missing $f"
done
if [ "$expect_tool" = 1 ]; then
  [ -x "$prefix/bin/usborva" ] || fail "the usborva tool is not installed"
fi

# 1. find_package(usborva)
"$cmake" -S "$consumer" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" \
  > "$work/consumer-configure.log" || fail "consumer configure failed (see $work)"
"$cmake" --build "$work/cmake-build" > "$work/consumer-build.log" 2>&1 \
  || { cat "$work/consumer-build.log" >&2; fail "consumer build failed"; }
"$work/cmake-build/usborva_consumer" "$work/empty-tree" || fail "consumer (CMake) failed"

# 2. pkg-config
export PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig"
pc_flags=$(pkg-config --cflags --libs usborva) || fail "pkg-config cannot find usborva"
# shellcheck disable=SC2086
"$cxx" -std=c++20 $flags "$consumer/main.cc" $pc_flags -o "$work/consumer-pc" \
  || fail "consumer build through pkg-config failed"
LD_LIBRARY_PATH="$prefix/$libdir" "$work/consumer-pc" "$work/empty-tree" \
  || fail "consumer (pkg-config) failed"
[ "$(pkg-config --modversion usborva)" != "" ] || fail "no version in usborva.pc"
echo "install test: ok"
