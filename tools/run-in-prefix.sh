#!/usr/bin/env bash
# run-in-prefix.sh BUILD PROGRAM [ARGS...]: makes the build tree's bench prefix
# afresh and runs one Windows program in it, returning the program's status.
#
# Descriptors other than the standard three are closed first: the prefix's
# Wine session outlives this script, and a build tool that waits for a pipe
# it handed down (ninja does) would otherwise wait for the session to end.
set -euo pipefail
build="$1"; shift
for fd in /proc/$$/fd/*; do
  n="${fd##*/}"
  if [ "$n" -gt 2 ] 2>/dev/null; then eval "exec $n>&-" 2>/dev/null || true; fi
done
"$build/prefix.sh" setup
exec "$build/wine-run" "$@"
