#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# exported_symbols.sh LIBRARY: the shared library exports its public interface only. Every
# namespace below is internal (the public headers declare nothing in it); a dynamic symbol
# from one of them means a declaration escaped the hidden-visibility build.
set -eu
library=$1
internal='usborva::(automation_internal|carddata|hidraw|host|transport|cli|activex|win|c_api|simulated)::'
symbols=$(nm -D --defined-only "$library" | c++filt)
count=$(printf '%s\n' "$symbols" | wc -l)
leaks=$(printf '%s\n' "$symbols" | grep -E "$internal" || true)
if [ -n "$leaks" ]; then
  echo "exported symbols: $(printf '%s\n' "$leaks" | wc -l) of $count come from internal namespaces:" >&2
  printf '%s\n' "$leaks" | head -n 20 >&2
  exit 1
fi
echo "exported symbols: $count, none internal"
