#!/usr/bin/env bash
# Rebuilds the GIF, ICO, PCX, TGA and WBMP fixtures of tests/data (see the README in each folder).
# Not run by the tests. Needs ImageMagick 6 (Debian's imagemagick), a built lumivue-cli and the pictures
# of Debian's giflib source package:
#   apt-get source --download-only giflib && tar xzf giflib_*.orig.tar.gz --wildcards '*/pic/*'
#   scripts/make-gif-ico-pcx-tga-wbmp-fixtures.sh build/native/cli/lumivue-cli giflib-5.2.1/pic
set -euo pipefail
cli=$(realpath "$1")
pic=$(realpath "$2")
data=$(cd "$(dirname "$0")/../tests/data" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# ImageMagick's reading of a file as an 8-bit PAM (RGB, or RGBA when it has transparency): what an
# independent reader sees in it.
pam() {
  if [ "$(identify -format '%[opaque]' "$1" | head -c 4)" = true ]; then
    convert "$1" -depth 8 -type TrueColor "$2"
  else
    convert "$1" -depth 8 -type TrueColorAlpha "$2"
  fi
}

# ---- GIF: giflib's pictures, and an animation made by ImageMagick
mkdir -p "$data/gif"
cd "$data/gif"
cp "$pic/treescap.gif" "$pic/treescap-interlaced.gif" "$pic/x-trans.gif" "$pic/fire.gif" .
pam treescap.gif treescap.pam
pam x-trans.gif x-trans.pam
convert fire.gif -coalesce "$work/fire-%d.gif"
for k in 0 16 32; do pam "$work/fire-$k.gif" "fire-$k.pam"; done
convert -size 24x16 xc:'#3050a0' -fill '#e0c020' -draw 'rectangle 2,2 9,9' "$work/f0.gif"
convert -size 10x8 xc:none -fill '#20a040' -draw 'circle 5,4 5,1' "$work/f1.png"
convert -size 8x6 xc:'#c03030' -fill none -stroke '#ffffff' -draw 'line 0,0 7,5' "$work/f2.png"
convert -delay 20 -loop 3 -dispose none "$work/f0.gif" -page +12+6 "$work/f1.png" -page +4+9 "$work/f2.png" anim.gif
convert anim.gif -coalesce "$work/anim-%d.gif"
for k in 0 1 2; do pam "$work/anim-$k.gif" "anim-$k.pam"; done

# ---- ICO: palette icons of three depths in one file, and a Vista-style icon (a PNG entry, 32-bit entries)
mkdir -p "$data/ico"
cd "$data/ico"
convert -seed 7 -size 32x32 plasma:fractal -depth 8 "$work/plasma.png"
convert "$work/plasma.png" -colors 16 BMP3:"$work/p16.bmp"
convert "$work/plasma.png" -resize 24x24 -colors 200 BMP3:"$work/p256.bmp"
convert "$work/plasma.png" -resize 20x20 -type Bilevel BMP3:"$work/p1.bmp"
convert "$work/p16.bmp" "$work/p256.bmp" "$work/p1.bmp" mix.ico
for k in 0 1 2; do pam "mix.ico[$k]" "mix-$k.pam"; done
convert -size 64x64 xc:none -fill '#2060c0' -draw 'circle 32,32 32,4' -fill '#f0f0f0' -draw 'rectangle 20,28 44,36' \
  -channel A -blur 0x1 +channel "$work/disc.png"
convert "$work/disc.png" -define icon:auto-resize=256,32,16 vista.ico
for k in 0 1 2; do pam "vista.ico[$k]" "vista-$k.pam"; done

# ---- TGA and PCX written by ImageMagick. Its TGA writer stores rows top first whatever the descriptor
# says, so the files are made with -orient TopLeft (descriptor 0x20), which they then honour.
convert -seed 5 -size 29x19 plasma:fractal -type TrueColor -depth 8 "$work/src24.png"
convert "$work/src24.png" \( -size 29x19 gradient:white-black \) -alpha off -compose copy_opacity -composite \
  -depth 8 "$work/srca.png"
mkdir -p "$data/tga"
cd "$data/tga"
o="-orient TopLeft"
convert "$work/src24.png" $o -compress none im-24.tga
convert "$work/src24.png" $o -compress RLE im-24rle.tga
convert "$work/src24.png" $o -colors 200 -type Palette im-8.tga
convert "$work/src24.png" $o -colors 200 -type Palette -compress RLE im-8rle.tga
convert "$work/src24.png" $o -colorspace gray -type Grayscale im-gray.tga
convert "$work/src24.png" $o -colorspace gray -type Grayscale -compress RLE im-grayrle.tga
convert "$work/srca.png" $o im-32.tga
convert "$work/srca.png" $o -compress RLE im-32rle.tga
for f in im-*.tga; do pam "$f" "${f%.tga}.pam"; done
mkdir -p "$data/pcx"
cd "$data/pcx"
convert "$work/src24.png" im-24.pcx
convert "$work/srca.png" im-32.pcx
convert "$work/src24.png" -colors 200 -type Palette im-8.pcx
convert "$work/src24.png" -type Bilevel BMP3:"$work/p1.bmp"
convert "$work/p1.bmp" im-1.pcx
for f in im-*.pcx; do pam "$f" "${f%.pcx}.pam"; done

# ---- WBMP written by ImageMagick: 150 pixels wide, so the width takes two bytes
mkdir -p "$data/wbmp"
cd "$data/wbmp"
convert -seed 9 -size 150x20 plasma:fractal -type Bilevel im-150x20.wbmp
pam im-150x20.wbmp im-150x20.pam

# ---- Files written by this program, read back by ImageMagick
mkdir -p "$data/written"
cd "$data/written"
convert -seed 11 -size 36x31 plasma:fractal -depth 8 "$work/w24.png"
convert "$work/w24.png" -fill '#208040' -draw 'rectangle 4,4 30,12' -fill white -draw 'rectangle 0,20 35,22' \
  -type TrueColor BMP3:src24.bmp
convert src24.bmp -colors 180 -type Palette BMP3:src8.bmp
convert src24.bmp -colors 16 BMP3:src4.bmp
# A 1-bit picture whose palette is white, black: the PCX and WBMP writers must invert its indices.
convert src24.bmp -type Bilevel BMP3:src1.bmp
python3 - src1.bmp <<'PY'
import sys
name = sys.argv[1]
b = bytearray(open(name, "rb").read())
offset = int.from_bytes(b[10:14], "little")
if b[54:57] == b"\0\0\0":  # black first: swap the two entries and invert every pixel bit
    b[54:58], b[58:62] = b[58:62], b[54:58]
    for i in range(offset, len(b)):
        b[i] ^= 0xFF
open(name, "wb").write(bytes(b))
PY
convert -seed 13 -size 150x20 plasma:fractal -type Bilevel BMP3:src1w.bmp
convert "$work/srca.png" -orient TopLeft srca.tga
# Noise: the decoder's table fills up, so the coders must start new tables.
convert -seed 17 -size 64x64 xc: +noise Random -colors 256 -type Palette BMP3:noise8.bmp
for coder in rle none lzw; do
  for src in src1 src4 src8 src24 noise8; do "$cli" convert --gif-encoding $coder $src.bmp $src-$coder.gif; done
done
for src in src1 src4 src8; do
  "$cli" convert $src.bmp $src.ico
  "$cli" convert $src.bmp $src.pcx
done
"$cli" convert srca.tga srca.ico
"$cli" convert srca.tga srca.pcx
"$cli" convert srca.tga srca-out.tga
"$cli" convert src24.bmp src24.pcx
"$cli" convert src24.bmp src24.tga
"$cli" convert src8.bmp src8.tga
"$cli" convert src1.bmp src1.wbmp
"$cli" convert src1w.bmp src1w.wbmp

# ImageMagick's decodes, one file per distinct result; imagemagick-decodes.txt pairs each written file with
# the decode that ImageMagick made of it.
rm -f ./*.pam imagemagick-decodes.txt
for f in *.gif *.ico *.pcx *.tga *.wbmp; do
  [ "$f" = srca.tga ] && continue
  if [[ $f == src24-*.gif ]]; then
    # The mosaic's cells are frames of one picture.
    convert "$f" -layers flatten "$work/decode.png"
  elif [[ $f == *.tga ]]; then
    # This program writes TGA rows bottom-up with descriptor 0; ImageMagick applies that with -auto-orient.
    convert "$f" -auto-orient "$work/decode.png"
  else
    convert "$f" "$work/decode.png"
  fi
  pam "$work/decode.png" "$work/decode.pam"
  kept=""
  for p in *.pam; do
    if [ -e "$p" ] && cmp -s "$p" "$work/decode.pam"; then
      kept=$p
      break
    fi
  done
  if [ -z "$kept" ]; then
    kept=$f.pam
    cp "$work/decode.pam" "$kept"
  fi
  echo "$f $kept" >> imagemagick-decodes.txt
done
# Runs longer than the run-length coder writes between two clear codes, checked here and only recorded:
# the pictures are too large to keep.
rm -f imagemagick-checks.txt
convert -size 4000x2000 xc:'#336699' BMP3:"$work/flat.bmp"
"$cli" convert --bpp 8 "$work/flat.bmp" "$work/flat8.bmp"
convert -size 3000x3000 xc:black -type Bilevel BMP3:"$work/flat1.bmp"
for src in flat8 flat1; do
  for coder in rle none lzw; do
    "$cli" convert --gif-encoding $coder "$work/$src.bmp" "$work/$src-$coder.gif"
    echo "$src ($(identify -format '%wx%h, %z bits' "$work/$src.bmp")) --gif-encoding $coder:" \
      "$(stat -c %s "$work/$src-$coder.gif") bytes, pixels differing in ImageMagick's reading:" \
      "$(compare -metric AE "$work/$src.bmp" "$work/$src-$coder.gif" null: 2>&1)" >> imagemagick-checks.txt
  done
done
echo "fixtures rebuilt"
