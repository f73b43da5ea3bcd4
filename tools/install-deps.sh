#!/usr/bin/env bash
# Installs what the build and the Wine bench need on Debian 12 (as root).
# Safe to run again: it does nothing when everything is present.
set -euo pipefail

need=()
have() { command -v "$1" >/dev/null 2>&1; }
have cmake                          || need+=(cmake)
have ninja                          || need+=(ninja-build)
have i686-w64-mingw32-g++-posix     || need+=(g++-mingw-w64-i686)
have i686-w64-mingw32-windmc        || need+=(mingw-w64-tools)
have osslsigncode                   || need+=(osslsigncode)
have xvfb-run                       || need+=(xvfb)
have xwd                            || need+=(x11-apps)
have pnmtopng                       || need+=(netpbm)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
if ! have wine || ! dpkg -s wine32:i386 >/dev/null 2>&1; then
  need+=(wine wine32:i386)
fi

install() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing packages: $* (run as root to install them)" >&2
    exit 1
  fi
  echo "install-deps: installing $*"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "$@" >/dev/null
}

if [ ${#need[@]} -gt 0 ]; then
  install "${need[@]}"
fi

# A machine whose kernel runs no 32-bit programs cannot start 32-bit Wine:
# the bench then builds 64-bit binaries and runs them under 64-bit Wine.
if [ "$(bash "$(dirname "$0")/bench-arch.sh")" = x86_64 ]; then
  need=()
  have x86_64-w64-mingw32-g++-posix || need+=(g++-mingw-w64-x86-64-posix)
  [ -x /usr/lib/wine/wine64 ]       || need+=(wine64)
  if [ ${#need[@]} -gt 0 ]; then
    install "${need[@]}"
  fi
fi
