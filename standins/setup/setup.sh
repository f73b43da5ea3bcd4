#!/usr/bin/env bash
# Stand-in for the product's setup: lays out the installation folder and the
# system folder, writes the machine settings and registers the keyboard filter
# driver's service. Usage: setup.sh BIN_DIR PREFIX   (WINEPREFIX must be PREFIX)
set -euo pipefail
BIN="$1"
PREFIX="$2"
C="$PREFIX/drive_c"
INSTALL="$C/Program Files/Varnel"
SYS32="$C/windows/system32"
INSTALL_WIN='C:\Program Files\Varnel\'

mkdir -p "$INSTALL/events" "$INSTALL/Docs" "$SYS32/drivers"

copy_if() {  # copy_if FILE DEST_DIR
  if [ -f "$BIN/$1" ]; then cp "$BIN/$1" "$2/"; fi
}

# Installation folder: the band, the helper, the desktop program, the installer.
for f in VNLTB.dll VNLElev.exe VNLD.exe VNLI.exe; do copy_if "$f" "$INSTALL"; done
copy_if events.dll "$INSTALL/events"
copy_if vnlevents.xml "$INSTALL/events"
copy_if vnlevents.msc "$INSTALL/events"
if [ -d "$BIN/Docs" ]; then cp -r "$BIN/Docs/." "$INSTALL/Docs/"; fi

# System folder: the SDK library and the resource libraries.
copy_if VNLBIN1.dll "$SYS32"
for f in "$BIN"/VNLBIN[0-9]*.DLL; do
  [ -f "$f" ] && cp "$f" "$SYS32/"
done

reg() { "${WINE:-wine}" reg add "$@" /f >/dev/null 2>&1; }
KEY='HKLM\SOFTWARE\Quellin\Varnel'
reg "$KEY" /v installpath /t REG_SZ /d "$INSTALL_WIN"
reg "$KEY" /v ProductCode /t REG_DWORD /d 4096
reg "$KEY" /v Version /t REG_SZ /d "2.0.0.42"

# The keyboard filter driver: loaded by the service manager when a session starts.
if [ -f "$BIN/vnlv2.sys" ]; then
  cp "$BIN/vnlv2.sys" "$SYS32/drivers/vnlv2.sys"
  SVC='HKLM\System\CurrentControlSet\Services\VNLv2'
  reg "$SVC" /v Type /t REG_DWORD /d 1
  reg "$SVC" /v Start /t REG_DWORD /d 1
  reg "$SVC" /v ErrorControl /t REG_DWORD /d 1
  reg "$SVC" /v ImagePath /t REG_EXPAND_SZ /d '\SystemRoot\system32\drivers\vnlv2.sys'
fi
