#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# Runs the 32-bit Linux test programs of the portable core under qemu's i386 user
# emulation (this kind of machine runs no i386 program natively).
#   tests/windows/run32.sh BUILD_DIR MODULE...
set -eu
build=$1
shift
total=0
for module in "$@"; do
  program=$build/tests/test_$module
  objdump -f "$program" | grep -q 'file format elf32-i386' || {
    echo "test-32: $program is not a 32-bit program" >&2
    exit 1
  }
  start=$(date +%s)
  out=$(qemu-i386-static "$program" --gtest_brief=1 2>&1) || {
    echo "$out"
    echo "test-32: test_$module failed" >&2
    exit 1
  }
  n=$(echo "$out" | sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\..*/\1/p')
  echo "test-32: test_$module: ${n:-?} tests passed in $(($(date +%s) - start)) s"
  total=$((total + ${n:-0}))
done
echo "test-32: all passed ($total tests, i386 under qemu)"
