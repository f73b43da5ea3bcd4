#!/usr/bin/env bash
# What a Windows machine already has before the product arrives and a new Wine
# prefix lacks: the keyboard device class, with the keyboard class driver as
# its one upper filter. Usage: machine.sh   (WINEPREFIX names the prefix; WINE
# the loader)
set -euo pipefail
"${WINE:-wine}" reg add 'HKLM\System\CurrentControlSet\Control\Class\{4D36E96B-E325-11CE-BFC1-08002BE10318}' \
  /v UpperFilters /t REG_MULTI_SZ /d kbdclass /f >/dev/null 2>&1
