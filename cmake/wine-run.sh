#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine: the build's generators at build time,
# the test suites under ctest. The prefix is WINEPREFIX when set, else build/windows/wine; a
# missing one is made first, quietly.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$root/build/windows/wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1
    wineserver -w
fi
exec wine "$@"
