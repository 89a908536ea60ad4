#!/usr/bin/env bash
# Downloads the Debian source packages whose test images were copied into tests/data (libpng's PNG test
# suite, libtiff's test images, libjpeg-turbo's test images, the EXIF tool's camera samples) into
# build/sources, so that the origin of every fixture can be checked again. The tests do not need this.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dest=${1:-$root/build/sources}
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

# Source package indexes are needed for `apt-get source`; add them once.
list=/etc/apt/sources.list.d/lumivue-deb-src.sources
if [ ! -f "$list" ]; then
  $sudo tee "$list" >/dev/null <<'LIST'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
LIST
fi
if ! apt-cache showsrc libpng1.6 >/dev/null 2>&1 || [ -z "$(apt-cache showsrc libpng1.6 2>/dev/null)" ]; then
  $sudo apt-get update -qq
fi

command -v dpkg-source >/dev/null || $sudo apt-get install -y -qq --no-install-recommends dpkg-dev
mkdir -p "$dest"
cd "$dest"
for package in libpng1.6 tiff libjpeg-turbo libimage-exiftool-perl; do
  if ! ls -d "$dest"/"$package"-*/ >/dev/null 2>&1; then
    # The main suite: its source files stay on the mirror, while superseded security updates may not.
    apt-get source --download-only "$package/bookworm"
    dsc=$(ls "$package"_*.dsc | sort | tail -n 1)
    dpkg-source --no-check -x "$dsc"
  fi
done
echo "Sources are in $dest"
