#!/usr/bin/env bash
# Makes the release a Windows user downloads: dist/Lumivue-<version>-win32.zip with the 32-bit program, its
# help file, the README as text and the licence notices of the libraries linked into the program.
#   scripts/package.sh
# Installs what is missing and builds the i686 program first (incremental, like scripts/test.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" >&2
home=${HOME:-$(getent passwd "$(id -u)" | cut -d: -f6)}
export LV_WIN_DEPS_ROOT=${LV_WIN_DEPS_ROOT:-$home/.cache/lumivue}
jobs=${LV_JOBS:-2}
LV_JOBS=$jobs "$root/scripts/build-win-deps.sh" i686 >&2
# The help pages are written by the native build's generator, as in scripts/test.sh.
cmake -S "$root" -B "$root/build/native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build/native" -j"$jobs" --target lv-helpgen >&2
build=$root/build/win32
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" -DLV_HELPGEN="$root/build/native/help/lv-helpgen" \
  >/dev/null
cmake --build "$build" -j"$jobs" --target Lumivue help_chm >&2

version=$(head -n1 "$root/VERSION")
name=Lumivue-$version-win32
for f in "$build/Lumivue.exe" "$build/Lumivue.chm"; do
  [ -f "$f" ] || { echo "package: $f was not built" >&2; exit 1; }
done
src=$LV_WIN_DEPS_ROOT/src
licences=(
  "libjpeg-turbo.txt:$src/libjpeg-turbo-2.1.5/LICENSE.md"
  "libpng.txt:$src/libpng-1.6.39/LICENSE"
  "libtiff.txt:$src/tiff-4.5.0/LICENSE.md"
  "zlib.txt:/usr/share/doc/libz-mingw-w64-dev/copyright"
)

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/$name/licences"
i686-w64-mingw32-strip -o "$stage/$name/Lumivue.exe" "$build/Lumivue.exe"
cp "$build/Lumivue.chm" "$stage/$name/"
# Text files with Windows line ends, so that Notepad shows them as lines.
crlf() { sed 's/\r$//; s/$/\r/' "$1" >"$2"; }
crlf "$root/README.md" "$stage/$name/README.txt"
for entry in "${licences[@]}"; do
  file=${entry%%:*}
  from=${entry#*:}
  [ -s "$from" ] || { echo "package: licence notice $from is missing" >&2; exit 1; }
  crlf "$from" "$stage/$name/licences/$file"
done

mkdir -p "$root/dist"
zip=$root/dist/$name.zip
python3 - "$stage" "$name" "$zip.part" <<'PY'
import os, sys, zipfile
stage, name, out = sys.argv[1:4]
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
    for folder, _, files in sorted(os.walk(os.path.join(stage, name))):
        for f in sorted(files):
            path = os.path.join(folder, f)
            z.write(path, os.path.relpath(path, stage))
PY
mv "$zip.part" "$zip"
echo "$zip"
