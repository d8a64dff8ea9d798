#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# CI fuzz smoke: builds every libFuzzer target with clang (in build/fuzz, shared with
# `make fuzz`) and runs each for a few seconds, starting from its checked-in corpus under
# fuzz/corpus/<name>/. Every input in that corpus (crash reproducers included) runs first,
# so a fixed crash that comes back fails here. Finds go to a scratch corpus, never into the
# checked-in one; a crash leaves its input in build/fuzz/artifacts/ and fails the run.
#
# A target that needs other libFuzzer flags than the defaults below (larger inputs, a
# longer timeout) has them in fuzz/<name>.flags: one line, flags separated by blanks,
# e.g. "-max_len=1048576 -timeout=10". They come after the defaults, so they win.
#
#   FUZZ_SMOKE_TIME  seconds per target (default 5)
#   JOBS             parallel build jobs (default 2)
#   BUILD            build root (default build)
set -eu
cd "$(dirname "$0")/.."

time_per_target=${FUZZ_SMOKE_TIME:-5}
jobs=${JOBS:-2}
build=${BUILD:-build}/fuzz
generator=""
command -v ninja >/dev/null 2>&1 && generator="-G Ninja"

if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz-smoke: clang++ not found (make deps installs it)" >&2
  exit 1
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
  # shellcheck disable=SC2086
  CXX=clang++ cmake -S . $generator -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DUSBORVA_FUZZ=ON >/dev/null
fi
# Only the fuzz targets: the rest of the tree is the plain and ASan builds' business.
targets=""
for source in fuzz/*_fuzz.cc; do
  [ -f "$source" ] || continue
  stem=$(basename "$source" .cc)
  targets="$targets fuzz_${stem%_fuzz}"
done
if [ -z "$targets" ]; then
  echo "fuzz-smoke: no fuzz targets in fuzz/" >&2
  exit 1
fi
# shellcheck disable=SC2086
cmake --build "$build" -j "$jobs" --target $targets >"$build/fuzz-smoke-build.log" 2>&1 || {
  tail -40 "$build/fuzz-smoke-build.log" >&2
  echo "fuzz-smoke: build failed (log: $build/fuzz-smoke-build.log)" >&2
  exit 1
}

mkdir -p "$build/artifacts" "$build/smoke-corpus" "$build/logs"
failed=0
ran=0
clean=0
# From here on the flags files are split on blanks, never expanded as file names.
set -f
for name in $targets; do
  target=$build/fuzz/$name
  short=${name#fuzz_}
  seeds=fuzz/corpus/$short
  scratch=$build/smoke-corpus/$short
  log=$build/logs/$short.log
  mkdir -p "$scratch"
  set -- "$scratch"
  [ -d "$seeds" ] && set -- "$scratch" "$seeds"
  extra=""
  if [ -f "fuzz/$short.flags" ]; then
    # One line; a last line without its line feed counts too.
    IFS= read -r extra <"fuzz/$short.flags" || true
  fi
  # -timeout: ten seconds on one input of a few kilobytes is a hang, not a slow parser.
  # shellcheck disable=SC2086
  if "$target" -max_total_time="$time_per_target" -timeout=10 -rss_limit_mb=2048 \
      -max_len=8192 -print_final_stats=1 -artifact_prefix="$build/artifacts/$short-" \
      $extra "$@" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    printf 'fuzz-smoke: %-20s ok   %s runs in %ss%s\n' "$short" "${runs:-?}" "$time_per_target" \
      "${extra:+ ($extra)}"
    clean=$((clean + 1))
  else
    printf 'fuzz-smoke: %-20s FAILED (log: %s)\n' "$short" "$log"
    grep -E 'ERROR|SUMMARY|Test unit written|deadly signal|==[0-9]+==' "$log" | head -20
    failed=$((failed + 1))
  fi
  ran=$((ran + 1))
done

[ "$failed" -eq 0 ] || echo "fuzz-smoke: crash inputs in $build/artifacts/" >&2
echo "fuzz-smoke: $ran targets run"
echo "fuzz: $clean passed, $failed failed"
[ "$failed" -eq 0 ]
