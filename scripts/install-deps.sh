#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build git pkg-config clang-format
  libgtest-dev libbenchmark-dev
  libjpeg62-turbo-dev libturbojpeg0-dev libpng-dev libtiff-dev zlib1g-dev
  # Windows builds: MinGW-w64 compilers, zlib, nasm for libjpeg-turbo's SIMD code, the source package
  # tools; the help compiler and reader (chmcmd, chmls); the Wine test run: wine64, a virtual display, fonts,
  # input and screen dumps.
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev nasm dpkg-dev xz-utils bzip2
  googletest fp-utils wine64 xvfb xauth fonts-wine fonts-liberation xdotool x11-apps
  # The release zip and its check.
  python3
  # The tests read written photos' camera data back with the EXIF tool and turn JPEGs with jpegtran.
  libimage-exiftool-perl libjpeg-turbo-progs
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
