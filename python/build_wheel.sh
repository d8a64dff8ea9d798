#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# Builds the usborva wheel with the shared library inside, offline: Debian's setuptools and
# wheel, no build isolation, no package index.
#   build_wheel.sh LIBRARY OUTPUT_DIR     LIBRARY is libusborva.so.0 of a build
# Prints the wheel's path. The source tree is left untouched: the package is staged.
set -e
library=$1
out=$2
python=${PYTHON:-/usr/bin/python3}
[ -f "$library" ] || { echo "build_wheel.sh: no library at $library" >&2; exit 1; }
here=$(cd "$(dirname "$0")" && pwd)
stage=$out/stage
rm -rf "$stage" "$out/dist"
mkdir -p "$stage" "$out/dist"
cp -R "$here/usborva" "$here/pyproject.toml" "$here/README.md" "$stage/"
find "$stage" -name __pycache__ -prune -exec rm -rf {} +
cp -L "$library" "$stage/usborva/libusborva.so.0"
# Debugging information is for the build tree; the wheel carries the code only.
strip --strip-debug "$stage/usborva/libusborva.so.0" 2>/dev/null || true
# The library is machine code: the wheel is tagged for this platform, not for any.
platform=$("$python" -c 'import sysconfig; print(sysconfig.get_platform().replace("-", "_").replace(".", "_"))')
printf '[bdist_wheel]\nplat_name = %s\n' "$platform" > "$stage/setup.cfg"
"$python" -m pip wheel --quiet --no-index --no-build-isolation --no-deps \
  -w "$out/dist" "$stage" >&2
ls "$out"/dist/usborva-*.whl
