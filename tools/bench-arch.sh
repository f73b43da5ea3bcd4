#!/usr/bin/env bash
# Prints the Windows architecture the bench builds and runs: i686, the
# product's own, where this machine can start 32-bit Wine; x86_64 where its
# kernel runs no 32-bit programs (32-bit Wine then fails with "Exec format
# error") and the 64-bit Wine is the only one that can run. VNL_ARCH, when
# set, decides.
set -u
if [ -n "${VNL_ARCH:-}" ]; then
  echo "$VNL_ARCH"
elif [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo i686
else
  echo x86_64
fi
