#!/usr/bin/env bash
# Installs what a fresh machine lacks (only as root, only what is missing) and
# builds the given configuration: setup.sh [normal|asan] -> build directory.
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v g++ >/dev/null || missing+=(g++)
command -v ninja >/dev/null || missing+=(ninja-build)
[ -e /usr/lib/x86_64-linux-gnu/cmake/GTest ] || [ -e /usr/lib/cmake/GTest ] \
  || [ -e /usr/lib/aarch64-linux-gnu/cmake/GTest ] || missing+=(libgtest-dev)
command -v nginx >/dev/null || [ -x /usr/sbin/nginx ] || missing+=(nginx-light)
command -v openssl >/dev/null || missing+=(openssl)
[ -e /usr/include/openssl/ssl.h ] || missing+=(libssl-dev)
command -v python3 >/dev/null || missing+=(python3)
command -v strace >/dev/null || missing+=(strace)
# The peers the benchmark measures Trosk against.
for peer in git rsync curl wget; do command -v "$peer" >/dev/null || missing+=("$peer"); done
# For the checks of the manual pages, the desktop entry and the packages
# (cpack -G DEB lists the libraries a package needs with dpkg-shlibdeps and file).
command -v mandoc >/dev/null || missing+=(mandoc)
command -v desktop-file-validate >/dev/null || missing+=(desktop-file-utils)
command -v dpkg-shlibdeps >/dev/null || missing+=(dpkg-dev)
command -v file >/dev/null || missing+=(file)
# The desktop program and its tests: Qt 6 Widgets (QtTest comes with it),
# libarchive for unpacking, and a font for drawing off-screen.
ls /usr/lib/*/cmake/Qt6Widgets/Qt6WidgetsConfig.cmake >/dev/null 2>&1 || missing+=(qt6-base-dev)
[ -e /usr/include/archive.h ] || missing+=(libarchive-dev)
[ -e /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf ] || missing+=(fonts-dejavu-core)

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" = 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "${missing[@]}" >/dev/null
  else
    echo "Missing packages: ${missing[*]} (run as root to install them)" >&2
    exit 1
  fi
fi

kind=${1:-normal}
case "$kind" in
  normal) dir=build; extra=() ;;
  asan) dir=build-asan; extra=(-DTROSK_SANITIZE=ON) ;;
  *) echo "usage: setup.sh [normal|asan]" >&2; exit 2 ;;
esac
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${extra[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)"
