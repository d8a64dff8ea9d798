#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# Fails when a public declaration in include/usborva/ is undocumented, or a comment there
# is one doxygen cannot read: runs doxygen with docs/Doxyfile, every warning an error, and
# prints the warnings.
#   check-public-docs.sh SOURCE_DIR WORK_DIR
set -eu
src=${1:?usage: check-public-docs.sh SOURCE_DIR WORK_DIR}
work=${2:?usage: check-public-docs.sh SOURCE_DIR WORK_DIR}
command -v doxygen >/dev/null || { echo "check-public-docs: doxygen is not installed" >&2; exit 1; }
mkdir -p "$work"
log=$work/warnings.txt
# Later settings override the Doxyfile's. Doxygen needs an output format to run, so the
# HTML goes to WORK_DIR, apart from what `make docs` writes.
status=0
{
  cat "$src/docs/Doxyfile"
  echo "OUTPUT_DIRECTORY = $work"
  echo "WARN_IF_UNDOCUMENTED = YES"
  echo "EXTRACT_ALL = NO"
  echo "WARN_AS_ERROR = FAIL_ON_WARNINGS"
  echo "WARN_LOGFILE = $log"
} | (cd "$src" && doxygen -) >/dev/null || status=$?
if [ -s "$log" ]; then
  cat "$log"
  echo "check-public-docs: $(grep -c -E ': (warning|error):' "$log") doxygen warning(s) in" \
    "include/usborva: document each declaration named above (///, or ///< after a member)" >&2
  exit 1
fi
[ "$status" -eq 0 ] || { echo "check-public-docs: doxygen failed ($status)" >&2; exit 1; }
echo "check-public-docs: every public declaration is documented"
