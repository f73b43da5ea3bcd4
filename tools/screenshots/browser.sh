#!/usr/bin/env bash
# Screenshots of the stand-in browser: a copy of the bench prefix switched to
# Wine's X11 driver, a virtual X server, and iexplore.exe with a sample page
# and the tests' band inside a Wine virtual desktop (which draws captions and
# frames). Writes docs/screenshots/browser.png. Usage: screenshots.sh BUILD_DIR
set -euo pipefail
BUILD="$(cd "$1" && pwd)"
SOURCE="$(cd "$(dirname "$0")/../.." && pwd)"
OUT="$SOURCE/docs/screenshots"
SHOTS="$BUILD/browser-shots-prefix"
mkdir -p "$OUT"

"$BUILD/prefix.sh" ensure
rm -rf "$SHOTS"
cp -a "$BUILD/wineprefix" "$SHOTS"
rm -f "$SHOTS/.vnl-ready"
export WINEPREFIX="$SHOTS" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# The Wine of the bench (32-bit, or 64-bit where 32-bit programs cannot run).
eval "$(grep -E '^export WINE(ARCH|LOADER|SERVER)=' "$BUILD/wine-run")"
WINE="${WINELOADER:-wine}"
SERVER="${WINESERVER:-wineserver}"

# A free display number for the virtual screen.
DISPLAY_NUMBER=77
while [ -e "/tmp/.X11-unix/X$DISPLAY_NUMBER" ] || [ -e "/tmp/.X$DISPLAY_NUMBER-lock" ]; do
  DISPLAY_NUMBER=$((DISPLAY_NUMBER + 1))
done
Xvfb ":$DISPLAY_NUMBER" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
XVFB=$!
cleanup() {
  "$SERVER" -k >/dev/null 2>&1 || true
  kill "$XVFB" >/dev/null 2>&1 || true
  rm -rf "$SHOTS"
}
trap cleanup EXIT
export DISPLAY=":$DISPLAY_NUMBER"
sleep 1

"$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11 /f >/dev/null 2>&1
if [ -f "$BUILD/tests/VnlTestBand.dll" ]; then
  "$WINE" regsvr32 /s "$("$WINE" winepath -w "$BUILD/tests/VnlTestBand.dll")" >/dev/null 2>&1 || true
fi
"$WINE" explorer /desktop=shots,800x600 "$("$WINE" winepath -w "$BUILD/bin/iexplore.exe")" \
  --root "$("$WINE" winepath -w "$BUILD/bin/pages")" http://bank.example/index.html >/dev/null 2>&1 &
sleep "${VNL_SHOTS_WAIT:-8}"
xwd -root -silent | xwdtopnm 2>/dev/null | pnmcut -left 0 -top 0 -width 800 -height 600 | pnmtopng > "$OUT/browser.png"
echo "screenshots: $OUT/browser.png"
