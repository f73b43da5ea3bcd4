#!/usr/bin/env bash
# Stand-in for the product's setup: lays out the installation folder and the
# system folder, writes the machine settings, installs the keyboard filter
# driver with VNLI.exe /i (which also registers the event source and ends
# running browsers), then registers the band and places the Firefox connector
# when those are built. The driver starts with the next session ("restart").
# Usage: setup.sh BIN_DIR PREFIX   (WINEPREFIX must be PREFIX; WINE the loader)
set -euo pipefail
BIN="$1"
PREFIX="$2"
WINE="${WINE:-wine}"
C="$PREFIX/drive_c"
INSTALL="$C/Program Files/Varnel"
SYS32="$C/windows/system32"
INSTALL_WIN='C:\Program Files\Varnel\'

mkdir -p "$INSTALL/events" "$INSTALL/Docs" "$SYS32/drivers"

copy_if() {  # copy_if FILE DEST_DIR
  if [ -f "$BIN/$1" ]; then cp "$BIN/$1" "$2/"; fi
}

# Installation folder: the band, the helper, the desktop program, the
# installer and the driver file it installs (it ships beside the installer).
for f in VNLTB.dll VNLElev.exe VNLD.exe VNLI.exe vnlv2.sys; do copy_if "$f" "$INSTALL"; done
copy_if events.dll "$INSTALL/events"
copy_if vnlevents.xml "$INSTALL/events"
copy_if vnlevents.msc "$INSTALL/events"
if [ -d "$BIN/Docs" ]; then cp -r "$BIN/Docs/." "$INSTALL/Docs/"; fi

# System folder: the SDK library and the resource libraries.
copy_if VNLBIN1.dll "$SYS32"
for f in "$BIN"/VNLBIN[0-9]*.DLL; do
  [ -f "$f" ] && cp "$f" "$SYS32/"
done

reg() { "$WINE" reg add "$@" /f >/dev/null 2>&1; }
KEY='HKLM\SOFTWARE\Quellin\Varnel'
reg "$KEY" /v installpath /t REG_SZ /d "$INSTALL_WIN"
reg "$KEY" /v ProductCode /t REG_DWORD /d 4096
reg "$KEY" /v Version /t REG_SZ /d "2.0.0.42"

# The keyboard filter driver: service, keyboard class filter list, file.
if [ -f "$INSTALL/VNLI.exe" ]; then
  status=0
  "$WINE" "C:\\Program Files\\Varnel\\VNLI.exe" /i </dev/null >/dev/null 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    echo "setup: VNLI.exe /i failed with exit code $status" >&2
    exit 1
  fi
fi

# The band and the Firefox connector, once they are built. The band registers
# itself (class, toolbar entry, type library) through its own entry points;
# the connector is found by the stand-in Firefox in its components folder.
if [ -f "$INSTALL/VNLTB.dll" ]; then
  "$WINE" regsvr32 /s "C:\\Program Files\\Varnel\\VNLTB.dll" </dev/null >/dev/null 2>&1 || {
    echo "setup: regsvr32 VNLTB.dll failed" >&2; exit 1; }
fi
if [ -f "$BIN/vnlconnect.dll" ]; then
  # Hook: the stand-in Firefox's components folder is fixed with it; until
  # then the connector goes beside the installation.
  FIREFOX_COMPONENTS="${VNL_FIREFOX_COMPONENTS:-$C/Program Files/Mozilla Firefox/components}"
  mkdir -p "$FIREFOX_COMPONENTS"
  cp "$BIN/vnlconnect.dll" "$FIREFOX_COMPONENTS/"
fi
