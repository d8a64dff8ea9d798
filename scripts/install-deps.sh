#!/bin/sh
# Installs what the build needs and the machine lacks (Debian packages, as root).
set -e
need=""
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
for p in cmake g++ ninja-build libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev \
         fuse3 libfuse3-dev pkg-config; do
  have_pkg "$p" || need="$need $p"
done
[ -z "$need" ] && exit 0
if [ "$(id -u)" != 0 ]; then
  echo "missing packages:$need (run as root, or: sudo apt-get install$need)" >&2
  exit 1
fi
echo "installing:$need"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends $need
