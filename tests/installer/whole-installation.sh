#!/usr/bin/env bash
# The whole installation in a prefix of its own, as a user's machine sees it:
# setup (VNLI.exe /i) and a restart load the driver in front of the keyboard
# class; VNLI.exe /u and another restart leave neither the driver nor its file.
# Usage: whole-installation.sh BUILD_DIR
set -euo pipefail
BUILD="$1"
DIR="$BUILD/installer-restart-prefix"
trap '"$BUILD/prefix.sh" cleanup "$DIR"' EXIT
CLASS='HKLM\System\CurrentControlSet\Control\Class\{4D36E96B-E325-11CE-BFC1-08002BE10318}'
DRIVERS="$DIR/drive_c/windows/system32/drivers"

run() { VNL_WINEPREFIX="$DIR" "$BUILD/wine-run" "$@" </dev/null 2>/dev/null; }
fail() { echo "FAIL: $*" >&2; exit 1; }
service_state() { run sc query vnlv2 | tr -d '\r' | awk '/STATE/ {print $4}'; }
filters() { run reg query "$CLASS" /v UpperFilters | tr -d '\r' | awk '/UpperFilters/ {print $3}'; }

# Setup, the bench's image path, restart.
"$BUILD/prefix.sh" own "$DIR" driver
[ "$(service_state)" = RUNNING ] || fail "the driver does not run after installation and restart"
[ "$(filters)" = 'VNLv2\0kbdclass' ] || fail "keyboard class filters after installation: $(filters)"
echo "installed: driver running, keyboard class filters $(filters)"

status=0
run 'C:\Program Files\Varnel\VNLI.exe' /u || status=$?
[ "$status" -eq 0 ] || fail "VNLI.exe /u exited with $status"
[ -f "$DRIVERS/vnlv2.remove" ] && [ ! -e "$DRIVERS/vnlv2.sys" ] || fail "the driver file was not renamed"
[ "$(filters)" = 'kbdclass' ] || fail "keyboard class filters after removal: $(filters)"
echo "removed: driver file renamed to vnlv2.remove, filters $(filters); restarting"

"$BUILD/prefix.sh" restart "$DIR"
state="$(service_state || true)"
[ -z "$state" ] || fail "the driver's service is still there after the restart ($state)"
[ ! -e "$DRIVERS/vnlv2.remove" ] || fail "vnlv2.remove was not deleted at the restart"
[ ! -e "$DRIVERS/vnlv2.sys" ] || fail "vnlv2.sys is back"
echo "after restart: no driver service, vnlv2.remove deleted"
