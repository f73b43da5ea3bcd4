#!/usr/bin/env bash
# make screenshots: pictures of the windows a user sees, drawn by Wine's X11
# driver in a virtual desktop on a virtual screen (Xvfb), in a prefix of its
# own. Output: docs/screenshots/*.png
# Usage: screenshots.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
BUILD="$1"
SOURCE="$2"
OUT="$SOURCE/docs/screenshots"
DIR="$BUILD/shots-prefix"
mkdir -p "$OUT"
# See demo.sh: the session outlives this script.
for fd in /proc/$$/fd/*; do
  n="${fd##*/}"
  if [ "$n" -gt 2 ] 2>/dev/null && [ "$n" -ne 255 ]; then eval "exec $n>&-" 2>/dev/null || true; fi
done

# A free display number for the virtual screen, as large as the virtual desktop.
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 640x400x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$display"
cleanup() {
  "$BUILD/prefix.sh" cleanup "$DIR" || true
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
sleep 1

run() { VNL_WINEPREFIX="$DIR" "$BUILD/wine-run" "$@" </dev/null >/dev/null 2>&1; }
"$BUILD/prefix.sh" own "$DIR"
run reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11 /f
"$BUILD/prefix.sh" restart "$DIR"

# shot NAME SECONDS PROGRAM ARGS...: starts the program in a virtual desktop,
# waits, captures the screen, and ends the session's programs.
shot() {
  local name="$1" wait="$2"; shift 2
  VNL_WINEPREFIX="$DIR" "$BUILD/wine-run" explorer /desktop=shots,640x400 "$@" </dev/null >/dev/null 2>&1 &
  local pid=$!
  sleep "$wait"
  xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng > "$OUT/$name.png"
  echo "screenshots: $OUT/$name.png"
  "$BUILD/prefix.sh" restart "$DIR"
  wait "$pid" 2>/dev/null || true
}

shot vnli-usage 6 'C:\Program Files\Varnel\VNLI.exe' '/?'
shot vnli-progress 6 "$(cd "$BUILD/bin" && pwd | sed 's|/|\\|g; s|^|Z:|')\\progress_shot.exe" \
  'C:\Program Files\Varnel\VNLI.exe' 60

# The dialogs of the client library and of VNLBIN1. vnl_shots runs as on
# Windows XP, so the settings it shows lie under HKCU\Software\VNL: colouring
# on in pale green, one driver not yet acknowledged. Preferences shows the
# toolbar's controls only when the toolbar is installed: until the band is
# built an empty file stands in for it (About lists no row for a file without
# version information).
run reg add 'HKCU\Software\Wine\AppDefaults\vnl_shots.exe' /v Version /d winxp /f
run reg add 'HKCU\Software\VNL' /v HighlightEnabled /t REG_DWORD /d 1 /f
run reg add 'HKCU\Software\VNL' /v HighlightColor /t REG_DWORD /d 13434828 /f
run reg add 'HKCU\Software\VNL\UntrustedDrivers' /v kbdhook /t REG_DWORD /d 0 /f
install="$DIR/drive_c/Program Files/Varnel"
[ -f "$install/VNLTB.dll" ] || : > "$install/VNLTB.dll"
shots_exe="$(cd "$BUILD/bin" && pwd | sed 's|/|\\|g; s|^|Z:|')\\vnl_shots.exe"
for dialog in about preferences color-error hidden-frame-warning driver-warning; do
  shot "$dialog" 6 "$shots_exe" "$dialog"
done

# The band's toolbar in its four status states. The mouse rests where the
# virtual screen starts it (its middle); the program brings the status button
# under it.
for state in Activate Off On Warn; do
  lower=$(echo "$state" | tr 'A-Z' 'a-z')
  shot "toolbar-$lower" 6 "$(cd "$BUILD/bin" && pwd | sed 's|/|\\|g; s|^|Z:|')\\band_shots.exe" "$state" 8000
done
