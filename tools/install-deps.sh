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
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
if ! have wine || ! dpkg -s wine32:i386 >/dev/null 2>&1; then
  need+=(wine wine32:i386)
fi

if [ ${#need[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages: ${need[*]} (run as root to install them)" >&2
  exit 1
fi

echo "install-deps: installing ${need[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${need[@]}" >/dev/null
