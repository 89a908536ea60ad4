#!/usr/bin/env bash
# Runs a Windows program under wine64 in the tests' private prefix (ctest's emulator for the Windows builds):
#   scripts/wine-run.sh PREFIX PROGRAM.exe [ARGUMENTS...]
# Without a display it runs under a virtual one of its own; scripts/test.sh provides one display and one
# wineserver for the whole run instead.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prefix=${1:?usage: wine-run.sh PREFIX PROGRAM [ARGUMENTS...]}
shift
source "$here/wine-env.sh"
export WINEPREFIX=$prefix
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$0" "$prefix" "$@"
fi
"$here/wine-prefix.sh" "$prefix"
exec "$WINE" "$@"
