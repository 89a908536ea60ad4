#!/usr/bin/env bash
# Rebuilds the metafiles of tests/data/wmf written by other programs (see its README). Not run by the
# tests. Installs fig2dev, libuemf-dev and cjpeg (libjpeg-turbo-progs) when they are missing.
set -euo pipefail
data=$(cd "$(dirname "$0")/../tests/data/wmf" && pwd)
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
for p in fig2dev libuemf-dev libjpeg-turbo-progs gcc; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
    $sudo apt-get install -y -qq --no-install-recommends "$p"
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# fig2dev's EMF writer puts the description right after the 88-byte header and counts it in the header.
fig2dev -L emf "$data/shapes.fig" "$data/fig2dev-shapes.emf"

# libUEMF: an EMF with a short colour table and a JPEG in a StretchDIBits record, and a placeable WMF
# whose size counts the placeable header.
{ printf 'P6\n8 8\n255\n'; for _ in $(seq 64); do printf '\377\200\000'; done; } >"$work/orange.ppm"
cjpeg -quality 90 "$work/orange.ppm" >"$work/orange.jpg"
cc -O1 -o "$work/make-uemf" "$data/make-uemf-fixtures.c" -luemf -lm
(cd "$data" && "$work/make-uemf" "$work/orange.jpg")
