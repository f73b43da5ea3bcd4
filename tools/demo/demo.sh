#!/usr/bin/env bash
# make demo: the product's life on one machine, in a prefix of its own made
# afresh from a new Wine prefix.
#   1. a new machine: no driver service, the keyboard class with its class
#      driver alone;
#   2. setup (VNLI.exe /i among its steps), then a restart: the driver runs,
#      first in the keyboard class;
#   3. the keystroke scenes (vnl_demo.exe);
#   4. VNLI.exe /u, a restart: the driver and its file are gone.
# Usage: demo.sh BUILD_DIR   Exits 0 only when every scene did what it shows.
set -euo pipefail
BUILD="$1"
# The prefix's session outlives this script; a build tool that waits for a
# pipe it handed down (ninja does) would otherwise wait for the session to end.
# (255 is the one bash reads this script through.)
for fd in /proc/$$/fd/*; do
  n="${fd##*/}"
  if [ "$n" -gt 2 ] 2>/dev/null && [ "$n" -ne 255 ]; then eval "exec $n>&-" 2>/dev/null || true; fi
done

DIR="$BUILD/demo-prefix"
C="$DIR/drive_c"
DRIVERS="$C/windows/system32/drivers"
CLASS='HKLM\System\CurrentControlSet\Control\Class\{4D36E96B-E325-11CE-BFC1-08002BE10318}'
failed=0

run() { VNL_WINEPREFIX="$DIR" "$BUILD/wine-run" "$@" </dev/null 2>/dev/null; }
scene() { printf '\n=== %s\n' "$*"; }
check() {  # check DESCRIPTION COMMAND...
  local what="$1"; shift
  if "$@"; then echo "  ok    $what"; else echo "  FAIL  $what"; failed=1; fi
}
service_state() { run sc query vnlv2 | tr -d '\r' | awk '/STATE/ {print $4}'; }
filters() { run reg query "$CLASS" /v UpperFilters | tr -d '\r' | awk '/UpperFilters/ {print $3}'; }
show_machine() {
  local state; state="$(service_state || true)"
  echo "  driver service VNLv2:     ${state:-(none)}"
  echo "  keyboard class filters:   $(filters || true)"
  local files; files="$(cd "$DRIVERS" && ls vnlv2.* 2>/dev/null | tr '\n' ' ' || true)"
  echo "  driver folder:            ${files:-(no vnlv2 file)}"
}

scene "A new machine (a fresh Wine prefix)"
"$BUILD/prefix.sh" fresh "$DIR"
show_machine
check "no driver service" test -z "$(service_state || true)"
check "the keyboard class driver is the only filter" test "$(filters)" = kbdclass

scene "Setup: installation folder, machine settings, VNLI.exe /i"
"$BUILD/prefix.sh" install "$DIR"
echo "  installation folder:      $(cd "$C/Program Files/Varnel" && ls | tr '\n' ' ')"
echo "  event source VNLTB:       $(run reg query 'HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\VNLTB' /v EventMessageFile | tr -d '\r' | awk '/EventMessageFile/ {print $3, $4, $5}')"
check "VNLv2 first in the keyboard class" test "$(filters)" = 'VNLv2\0kbdclass'
check "the driver file is in the driver folder" test -f "$DRIVERS/vnlv2.sys"

scene "Restart"
"$BUILD/prefix.sh" restart "$DIR"
show_machine
check "the driver runs" test "$(service_state)" = RUNNING

scene "Keystrokes through the driver"
status=0
VNL_WINEPREFIX="$DIR" "$BUILD/wine-run" "$BUILD/bin/vnl_demo.exe" </dev/null || status=$?
check "the keystroke scenes pass" test "$status" -eq 0

scene "VNLI.exe /u"
status=0
run 'C:\Program Files\Varnel\VNLI.exe' /u || status=$?
show_machine
check "VNLI.exe /u exits with 0" test "$status" -eq 0
check "VNLv2 is out of the keyboard class" test "$(filters)" = kbdclass
check "the driver file waits under its removal name" test -f "$DRIVERS/vnlv2.remove" -a ! -e "$DRIVERS/vnlv2.sys"

scene "Restart"
"$BUILD/prefix.sh" restart "$DIR"
show_machine
check "no driver service" test -z "$(service_state || true)"
check "the removal file is deleted" test ! -e "$DRIVERS/vnlv2.remove"

"$BUILD/prefix.sh" cleanup "$DIR"
printf '\ndemo: %s\n' "$([ $failed -eq 0 ] && echo PASS || echo FAIL)"
exit $failed
