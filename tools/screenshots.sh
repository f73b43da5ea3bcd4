#!/usr/bin/env bash
# make screenshots: pictures of the band's toolbar in each status state, taken
# under Xvfb with Wine's X11 driver inside a Wine virtual desktop, written to
# docs/screenshots/. Usage: tools/screenshots.sh BUILD_DIR
set -euo pipefail
BUILD="$(cd "$1" && pwd)"
SOURCE="$(cd "$(dirname "$0")/.." && pwd)"
OUT="$SOURCE/docs/screenshots"
LOADER="$(sed -n 's/^"\(.*\)" "\$@".*/\1/p' "$BUILD/wine-run" | head -1)"
[ -n "$LOADER" ] || LOADER="$(grep -o '"[^"]*wine[^"]*" "\$@"' "$BUILD/wine-run" | head -1 | cut -d'"' -f2)"
PREFIX="$BUILD/shots-prefix"
SHOTS="$BUILD/shots"
mkdir -p "$OUT" "$SHOTS"

# A prefix of its own, laid out as the bench's (the product, the resource
# libraries in the system folder), that draws through X11. The bench prefix
# and its session are left alone.
"$BUILD/prefix.sh" ensure
eval "$(grep '^export WINE\(ARCH\|LOADER\)' "$BUILD/wine-run")"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
WINEPREFIX="$PREFIX" "${WINESERVER:-wineserver}" -k >/dev/null 2>&1 || true
rm -rf "$PREFIX"
cp -a "$BUILD/wine-template" "$PREFIX"
rm -f "$PREFIX/.vnl-template"
export WINEPREFIX="$PREFIX"
WINE="$LOADER" bash "$SOURCE/standins/setup/setup.sh" "$BUILD/bin" "$PREFIX"

display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; "${WINESERVER:-wineserver}" -k >/dev/null 2>&1 || true' EXIT
export DISPLAY="$display"
sleep 1
"$LOADER" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11 /f >/dev/null 2>&1

for state in Activate Off On Warn; do
  "$LOADER" explorer /desktop=shots,1024x768 "$BUILD/bin/band_shots.exe" "$state" 8000 > "$SHOTS/$state.pos" 2> >(grep "^band_shots" >&2) &
  run=$!
  sleep 6
  xwd -root -display "$display" -silent > "$SHOTS/$state.xwd"
  wait $run || true
  # The program prints where its window lies on the desktop.
  read -r SHOT_LEFT SHOT_TOP < <(tr -d "\r" < "$SHOTS/$state.pos") || { SHOT_LEFT=0; SHOT_TOP=0; }
  lower=$(echo "$state" | tr 'A-Z' 'a-z')
  xwdtopnm "$SHOTS/$state.xwd" 2>/dev/null | pnmcut -left "$SHOT_LEFT" -top "$SHOT_TOP" -width 600 -height 220 2>/dev/null \
    | pnmtopng > "$OUT/toolbar-$lower.png"
  echo "screenshots: $OUT/toolbar-$lower.png"
done
