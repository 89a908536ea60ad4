#!/usr/bin/env bash
# Builds Lumivue.exe and starts it under Wine, opening the given picture:
#   scripts/run.sh [IMAGE]
# With no display it runs on a virtual one, waits until the picture is drawn, writes a PNG screenshot of the
# screen, prints that file's path as its last line and closes the program. With a display the program stays
# open until you close it. LV_SCREENSHOT=FILE.png chooses the screenshot's name; LV_KEYS="alt+a l" types
# keys into the program (xdotool's key names) once the picture is drawn, before the screenshot is taken;
# LV_MOUSE="mousemove 300 200 mousedown 1 mousemove 500 400 mouseup 1" then works the mouse (xdotool's
# commands, a short pause between them); LV_SCREENSHOT_AREA=WIDTHxHEIGHT+X+Y keeps only that part of the screen.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" >&2
export LV_WIN_DEPS_ROOT=${LV_WIN_DEPS_ROOT:-${HOME:-$(getent passwd "$(id -u)" | cut -d: -f6)}/.cache/lumivue}
LV_JOBS=2 "$root/scripts/build-win-deps.sh" x86_64 >&2
# wine64 runs the x86_64 build; the i686 release build is made by scripts/test.sh.
build=$root/build/win64
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-x86_64.cmake" >/dev/null
cmake --build "$build" -j2 --target Lumivue help_chm >&2

source "$root/scripts/wine-env.sh"
export WINEPREFIX=$build/wineprefix
image=""
if [ $# -ge 1 ]; then
  image=$(winepath_of "$(realpath "$1")")
fi

if [ -n "${DISPLAY:-}" ]; then
  "$root/scripts/wine-prefix.sh" "$WINEPREFIX"
  exec "$WINE" "$build/Lumivue.exe" ${image:+"$image"}
fi

# No display: a virtual one, the program, a screenshot once the picture stands still.
shot=${LV_SCREENSHOT:-$build/lumivue-screenshot.png}
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  "$WINESERVER" -k 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  rm -f "$display_file" "$shot.prev.png" "$shot.xwd"
}
trap cleanup EXIT
for _ in $(seq 100); do
  [ -s "$display_file" ] && break
  sleep 0.1
done
export DISPLAY=":$(head -n1 "$display_file")"
"$root/scripts/wine-prefix.sh" "$WINEPREFIX"
"$WINE" "$build/Lumivue.exe" ${image:+"$image"} >/dev/null 2>&1 &
program_pid=$!
# The main window shows the document's name in its title once the file is open.
want="Lumivue"
[ -n "$image" ] && want="Lumivue - $(basename "$1")"
for _ in $(seq 200); do
  xdotool search --name "^${want}\$" >/dev/null 2>&1 && break
  sleep 0.1
done
# A screenshot: the X server's dump of the screen as a PNG.
screenshot() {
  xwd -root -silent >"$shot.xwd" 2>/dev/null &&
    python3 "$root/scripts/xwd2png.py" "$shot.xwd" "$1" ${LV_SCREENSHOT_AREA:+"$LV_SCREENSHOT_AREA"}
}
# Drawn: two screenshots in a row are the same.
settle() {
  rm -f "$shot" "$shot.prev.png"
  for _ in $(seq 50); do
    sleep 0.3
    screenshot "$shot" || continue
    if [ -f "$shot.prev.png" ] && cmp -s "$shot" "$shot.prev.png"; then
      break
    fi
    cp "$shot" "$shot.prev.png"
  done
}
settle
if [ -n "${LV_KEYS:-}" ]; then
  # shellcheck disable=SC2086
  xdotool key --delay 200 $LV_KEYS
  settle
fi
if [ -n "${LV_MOUSE:-}" ]; then
  # shellcheck disable=SC2086
  xdotool $(echo " $LV_MOUSE" | sed 's/ \(mousemove\|mousedown\|mouseup\|click\) / sleep 0.2 \1 /g')
  settle
fi
rm -f "$shot.xwd"
echo "$shot"
