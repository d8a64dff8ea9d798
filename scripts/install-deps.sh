#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# Installs the Debian packages a make target needs and the machine lacks.
#   install-deps.sh demo   compiler, CMake, ninja: enough to build and play the demo
#   install-deps.sh test   everything make test uses (tests, sanitizers, fuzzers, packages,
#                          the documentation check)
#   install-deps.sh docs   doxygen: enough for make docs
# Without root nothing is installed: the script names what is missing and carries on, so a
# machine set up by other means still builds.
set -e
set_name=${1:-test}
demo_packages="cmake g++ ninja-build"
test_packages="$demo_packages libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev \
fuse3 libfuse3-dev pkg-config dpkg-dev lintian man-db libglib2.0-dev python3-pytest \
python3-pip python3-setuptools python3-wheel python3-venv doxygen"
docs_packages="doxygen"
case "$set_name" in
  demo) wanted=$demo_packages ;;
  test) wanted=$test_packages ;;
  docs) wanted=$docs_packages ;;
  *) echo "install-deps.sh: unknown set '$set_name' (demo, test or docs)" >&2; exit 2 ;;
esac
need=""
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
for p in $wanted; do
  have_pkg "$p" || need="$need $p"
done
[ -z "$need" ] && exit 0
if [ "$(id -u)" != 0 ]; then
  echo "install-deps: not root, so not installing:$need" >&2
  echo "install-deps: install them with: sudo apt-get install$need" >&2
  exit 0
fi
echo "installing:$need"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# shellcheck disable=SC2086
apt-get install -y -qq --no-install-recommends $need
