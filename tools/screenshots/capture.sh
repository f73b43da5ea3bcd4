#!/usr/bin/env bash
# capture.sh BUILD [OUT_DIR]: pictures of the dialogs as a user sees them, in
# OUT_DIR (default docs/screenshots beside this script's tree).
#
# A copy of the bench prefix is switched to Wine's X11 driver and run on a
# private Xvfb display, each program inside a Wine virtual desktop (which draws
# captions and frames); vnl_shots puts one dialog up, marks it ready, and the
# picture is taken with xwd. Debian packages: xvfb, x11-apps, netpbm.
set -euo pipefail
build="$(cd "$1" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
out="${2:-$here/../../docs/screenshots}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

for tool in Xvfb xwd xwdtopnm pnmtopng pnmcut; do
  command -v "$tool" >/dev/null || { echo "capture.sh: $tool is missing (xvfb, x11-apps, netpbm)" >&2; exit 1; }
done

# The bench prefix, laid out as setup does, copied so the tests' own stays untouched.
"$build/prefix.sh" setup >/dev/null
prefix="$build/shots-prefix"
work="$build/shots-work"
rm -rf "$prefix" "$work"
mkdir -p "$work"
cp -a "$build/wineprefix" "$prefix"
rm -f "$prefix/.vnl-ready"

if [ -x /usr/lib/wine/wine64 ] && grep -q 'win64' "$build/prefix.sh"; then
  export WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64 WINEARCH=win64
  WINE=/usr/lib/wine/wine64
else
  export WINEARCH=win32
  WINE=wine
fi
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

display=":$(( 90 + RANDOM % 9 ))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
cleanup() {
  "${WINESERVER:-wineserver}" -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY="$display"
sleep 1

reg() { "$WINE" reg add "$@" /f >/dev/null 2>&1; }
"${WINESERVER:-wineserver}" -k >/dev/null 2>&1 || true
reg 'HKCU\Software\Wine\Drivers' /v Graphics /d x11
# The dialogs run as on Windows XP: their settings lie under HKCU\Software\VNL.
reg 'HKCU\Software\Wine\AppDefaults\vnl_shots.exe' /v Version /d winxp
reg 'HKCU\Software\VNL' /v HighlightEnabled /t REG_DWORD /d 1
reg 'HKCU\Software\VNL' /v HighlightColor /t REG_DWORD /d 13434828   # CCFFCC
reg 'HKCU\Software\VNL' /v AlwaysSecure /t REG_DWORD /d 1
reg 'HKCU\Software\VNL\UntrustedDrivers' /v kbdhook /t REG_DWORD /d 0
# Preferences shows the toolbar's controls only when the toolbar is installed:
# until the band is built an empty file stands in for it (About lists no row
# for a file without version information).
install_dir="$prefix/drive_c/Program Files/Varnel"
[ -f "$install_dir/VNLTB.dll" ] || : > "$install_dir/VNLTB.dll"

winpath() { echo "Z:${1//\//\\}"; }
status=0
for shot in ${VNL_SHOTS:-about preferences color-error hidden-frame-warning driver-warning}; do
  ready="$work/$shot.ready"; done_file="$work/$shot.done"
  rm -f "$ready" "$done_file"
  "$WINE" explorer /desktop=shots,800x600 "$(winpath "$build/bin/vnl_shots.exe")" \
    "$shot" "$(winpath "$ready")" "$(winpath "$done_file")" >/dev/null 2>&1 &
  runner=$!
  for _ in $(seq 1 300); do [ -f "$ready" ] && break; sleep 0.1; done
  if [ -f "$ready" ]; then
    xwd -root -silent | xwdtopnm 2>/dev/null | pnmcut -left 0 -top 0 -width 800 -height 600 | pnmtopng > "$out/$shot.png"
    echo "capture.sh: $out/$shot.png"
  else
    echo "capture.sh: $shot did not come up" >&2
    status=1
  fi
  touch "$done_file"
  wait "$runner" || true
done
exit $status
