#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: a normal build, an AddressSanitizer +
# UndefinedBehaviorSanitizer build, and the Windows builds (i686, the release target, and x86_64, whose
# tests run under wine64). Incremental: a second run rebuilds only what changed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

jobs=$(nproc)
[ "$jobs" -gt 2 ] && jobs=2
configure_and_build() {
  local dir=$1
  shift
  cmake -S "$root" -B "$root/build/$dir" -G Ninja "$@" >/dev/null
  cmake --build "$root/build/$dir" -j"$jobs"
}

configure_and_build native -DCMAKE_BUILD_TYPE=RelWithDebInfo
configure_and_build asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLV_SANITIZE=ON -DLV_BUILD_BENCH=OFF

# The Windows libraries are built once per machine into ~/.cache/lumivue; the toolchain files find them
# there through LV_WIN_DEPS_ROOT (also when HOME is not set).
export LV_WIN_DEPS_ROOT=${LV_WIN_DEPS_ROOT:-${HOME:-$(getent passwd "$(id -u)" | cut -d: -f6)}/.cache/lumivue}
LV_JOBS=$jobs "$root/scripts/build-win-deps.sh" i686 x86_64
configure_and_build win32 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake"
configure_and_build win64 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-x86_64.cmake"

# Each program is one self-contained executable of its architecture: no compiler runtime or zlib DLLs.
check_exe() {
  local exe=$1 format=$2 objdump=$3
  "$objdump" -f "$exe" | grep -q "file format $format" || { echo "$exe is not $format" >&2; exit 1; }
  if "$objdump" -p "$exe" | grep -iE 'DLL Name: (libgcc|libstdc|libwinpthread|zlib|libz|libjpeg|libpng|libtiff)'; then
    echo "$exe needs DLLs that are not part of Windows" >&2
    exit 1
  fi
}
check_exe "$root/build/win32/cli/lumivue-cli.exe" pei-i386 i686-w64-mingw32-objdump
check_exe "$root/build/win64/cli/lumivue-cli.exe" pei-x86-64 x86_64-w64-mingw32-objdump
check_exe "$root/build/win32/Lumivue.exe" pei-i386 i686-w64-mingw32-objdump
check_exe "$root/build/win64/Lumivue.exe" pei-x86-64 x86_64-w64-mingw32-objdump

echo "== native tests"
ctest --test-dir "$root/build/native" --output-on-failure -j"$jobs"
echo "== sanitizer tests"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$root/build/asan" --output-on-failure -j"$jobs"

# The Windows tests run in the build folder's private Wine prefix, on a virtual display when there is no
# display, with one wineserver kept alive for the whole run. Only what this script started is stopped.
echo "== Windows tests (wine64)"
source "$root/scripts/wine-env.sh"
export WINEPREFIX=$root/build/win64/wineprefix
xvfb_pid=""
server_started=0
display_file=""
stop_wine() {
  if [ "$server_started" -eq 1 ]; then "$WINESERVER" -k 2>/dev/null || true; fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  [ -n "$display_file" ] && rm -f "$display_file"
  return 0
}
trap stop_wine EXIT
if [ -z "${DISPLAY:-}" ]; then
  display_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$display_file" ] && break
    sleep 0.1
  done
  [ -s "$display_file" ] || { echo "Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(head -n1 "$display_file")"
fi
"$root/scripts/wine-prefix.sh" "$WINEPREFIX"
# Exit status 0: this script started the server; otherwise one was already running for the prefix.
if "$WINESERVER" -p 2>/dev/null; then server_started=1; fi
# Wine's service processes inherit the standard output of the program that starts them and live as long
# as the server: started here, they hold no test's output pipe open (ctest would wait for it for ever).
"$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
ctest --test-dir "$root/build/win64" --output-on-failure -j"$jobs"
echo "All tests passed."
