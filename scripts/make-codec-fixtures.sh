#!/usr/bin/env bash
# Rebuilds the JPEG, PNG and TIFF fixtures in tests/data from the Debian source packages that
# scripts/fetch-test-sources.sh unpacks, with other programs than this one: libjpeg-turbo's cjpeg and djpeg,
# libtiff's tiffcp and tiffset, ImageMagick and the EXIF tool. Run once by a developer; the tests use the
# copies in tests/data and run none of these programs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
src=$root/build/sources
"$root/scripts/fetch-test-sources.sh" "$src" >/dev/null
# The tools that make the fixtures (not needed by the tests).
for p in libtiff-tools libjpeg-turbo-progs imagemagick libimage-exiftool-perl; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || apt-get install -y -qq "$p"
done
png=$(ls -d "$src"/libpng1.6-*/contrib)
tif=$(ls -d "$src"/tiff-*/test/images)
jpg=$(ls -d "$src"/libjpeg-turbo-*/testimages)
exif=$(ls -d "$src"/libimage-exiftool-perl-*/t/images)
out=$root/tests/data
mkdir -p "$out/jpeg" "$out/png" "$out/tiff"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# A reference picture: ImageMagick's reading of a file as 8-bit PAM (RGB_ALPHA or RGB, GRAYSCALE...), or
# for larger pictures as an 8-bit RGBA PNG (PNG32), which is smaller.
reference() {
  case $2 in
    *.png) convert "$1" -depth 8 "PNG32:$2" ;;
    *) convert "$1" -depth 8 "$2" ;;
  esac
}

# ---- JPEG: small files made by cjpeg from a crop of libjpeg-turbo's test picture, decoded by djpeg ----
convert "$jpg/testorig.ppm" -crop 48x32+90+60 +repage "$tmp/crop.ppm"
cjpeg -quality 85 -outfile "$out/jpeg/baseline.jpg" "$tmp/crop.ppm"
cjpeg -quality 85 -progressive -outfile "$out/jpeg/progressive.jpg" "$tmp/crop.ppm"
cjpeg -quality 85 -grayscale -outfile "$out/jpeg/grey.jpg" "$tmp/crop.ppm"
cjpeg -quality 85 -restart 1 -optimize -outfile "$out/jpeg/restart.jpg" "$tmp/crop.ppm"
for f in baseline progressive grey restart; do djpeg -outfile "$out/jpeg/$f.pnm" "$out/jpeg/$f.jpg"; done
# CMYK as Adobe programs write it, and ImageMagick's own reading of it as RGB.
convert "$tmp/crop.ppm" -colorspace CMYK -quality 90 "$out/jpeg/cmyk.jpg"
convert "$out/jpeg/cmyk.jpg" -colorspace sRGB -depth 8 "$out/jpeg/cmyk.pnm"
# Camera files (8 x 8 pictures with their EXIF blocks) and the EXIF tool's reading of them.
cameras=(Canon Nikon Pentax Kodak Casio)
for c in "${cameras[@]}"; do cp "$exif/$c.jpg" "$out/jpeg/camera-$c.jpg"; done
(cd "$out/jpeg" && exiftool -n -T -f -FileName -ExifByteOrder -EXIF:Make -EXIF:Model -EXIF:DateTimeOriginal -EXIF:ExifVersion \
  -EXIF:ExposureTime -EXIF:ShutterSpeedValue -EXIF:FNumber -EXIF:ApertureValue -EXIF:ISO -EXIF:FocalLength -EXIF:Orientation -EXIF:Flash \
  -EXIF:XResolution -EXIF:YResolution -EXIF:ResolutionUnit -EXIF:ExifImageWidth -EXIF:ExifImageHeight -EXIF:ExposureProgram \
  -EXIF:MeteringMode -EXIF:LightSource -EXIF:CompressedBitsPerPixel -EXIF:ExposureCompensation -EXIF:FocalPlaneXResolution \
  -EXIF:FocalPlaneResolutionUnit -EXIF:ThumbnailOffset -EXIF:ThumbnailLength -ImageWidth -ImageHeight \
  camera-*.jpg) > "$out/jpeg/exif-expected.tsv"

# ---- PNG: libpng's copy of the PNG suite, every colour type and depth, interlaced and with tRNS ----
pngs=(basn0g01 basn0g02 basn0g04 basn0g08 basn0g16 basn2c08 basn2c16 basn3p01 basn3p02 basn3p04 basn3p08
  basn4a08 basn4a16 basn6a08 basn6a16 ibasn0g08 ibasn2c16 ibasn3p08 ibasn4a16 ibasn6a08 ibasn6a16
  ftbbn0g04 ftbrn2c08 ftbwn0g16 ftbbn3p08 ftp1n3p08 ftp0n3p08)
for p in "${pngs[@]}"; do
  f=$png/pngsuite/$p.png
  [ -f "$f" ] || f=$png/pngsuite/interlaced/$p.png
  cp "$f" "$out/png/$p.png"
  reference "$f" "$out/png/$p.pam"
done
for p in ibasn0g02 ibasn3p04; do
  cp "$png/pngsuite/interlaced/$p.png" "$out/png/$p.png"
  reference "$out/png/$p.png" "$out/png/$p.pam"
done
for c in badadler badcrc huge_IDAT huge_iCCP_chunk huge_pHYs_chunk bad_iCCP; do
  cp "$png/testpngs/crashers/$c.png" "$out/png/crasher-$c.png"
done

# ---- TIFF: libtiff's test images, and small files made with tiffcp, tiffset and ImageMagick ----
for t in logluv-3c-16b miniswhite-1c-1b palette-1c-1b palette-1c-4b palette-1c-8b minisblack-2c-8b-alpha \
  quad-tile.jpg testfax4; do
  cp "$tif/$t.tiff" "$out/tiff/$t.tiff"
  case $t in
    testfax4 | quad-tile.jpg | minisblack-2c-8b-alpha) ;;
    *) reference "$out/tiff/$t.tiff" "$out/tiff/$t-ref.png" ;;
  esac
done
# The two larger pictures are checked by figures ImageMagick reads from them: white pixels of the fax page
# and the mean red, green and blue (0 to 255) of the tiled JPEG picture.
{
  echo "testfax4.tiff white $(convert "$out/tiff/testfax4.tiff" -precision 12 -format "%[fx:round(mean*w*h)]" info:)"
  echo "quad-tile.jpg.tiff mean $(convert "$out/tiff/quad-tile.jpg.tiff" -format '%[fx:mean.r*255] %[fx:mean.g*255] %[fx:mean.b*255]' info:)"
} > "$out/tiff/figures.txt"
cp "$tif/test_ifd_loop_to_self.tif" "$tif/test_ifd_loop_to_first.tif" "$tif/test_two_ifds.tif" "$out/tiff/"
convert "$tif/rgb-3c-8b.tiff" -crop 40x30+60+60 +repage -compress none "$tmp/rgb.tif"
convert "$tif/minisblack-1c-16b.tiff" -crop 40x30+60+60 +repage -depth 16 -compress none "$out/tiff/grey16.tif"
reference "$out/tiff/grey16.tif" "$out/tiff/grey16.pam"
reference "$tmp/rgb.tif" "$out/tiff/rgb.pam"
tiffcp -c none -r 7 "$tmp/rgb.tif" "$out/tiff/rgb-strips.tif"
tiffcp -c lzw:2 "$tmp/rgb.tif" "$out/tiff/rgb-lzw.tif"
tiffcp -c packbits -t -w 16 -l 16 "$tmp/rgb.tif" "$out/tiff/rgb-tiles.tif"
tiffcp -c jpeg:95 -r 16 "$tmp/rgb.tif" "$out/tiff/rgb-jpeg.tif"
convert "$tmp/rgb.tif" -colorspace Gray -depth 8 -compress none "$tmp/grey.tif"
tiffcp -c packbits -r 5 "$tmp/grey.tif" "$out/tiff/grey-packbits.tif"
tiffcp -c lzw -t -w 16 -l 16 "$tmp/grey.tif" "$out/tiff/grey-tiles.tif"
reference "$tmp/grey.tif" "$out/tiff/grey.pam"
convert "$tmp/rgb.tif" -colorspace Gray -threshold 50% -monochrome -depth 1 -compress none "$tmp/bilevel.tif"
tiffcp -c g4 "$tmp/bilevel.tif" "$out/tiff/bilevel-g4.tif"
tiffcp -c g3:2d "$tmp/bilevel.tif" "$out/tiff/bilevel-g3.tif"
reference "$tmp/bilevel.tif" "$out/tiff/bilevel.pam"
convert "$tmp/rgb.tif" \( +clone -colorspace Gray -evaluate divide 2 \) -alpha off -compose CopyOpacity -composite \
  -define tiff:alpha=unassociated -compress lzw "$out/tiff/rgba.tif"
reference "$out/tiff/rgba.tif" "$out/tiff/rgba.pam"
convert "$tmp/rgb.tif" -colorspace Lab -compress none "$out/tiff/lab.tif"
# Orientation tags on a palette picture; ImageMagick's auto-orient shows how each must look.
convert "$tmp/rgb.tif" -colors 16 -compress none "$tmp/palette.tif"
for o in 3 6 8; do
  cp "$tmp/palette.tif" "$out/tiff/orient-$o.tif"
  tiffset -s 274 $o "$out/tiff/orient-$o.tif"
  convert "$out/tiff/orient-$o.tif" -auto-orient -depth 8 "$out/tiff/orient-$o.pam"
done
# Three pages of different sizes.
convert "$tmp/rgb.tif" \( "$tmp/rgb.tif" -resize 20x15! \) \( "$tmp/grey.tif" -crop 10x9+0+0 +repage \) \
  -compress lzw "$out/tiff/three-pages.tif"
echo "Fixtures written to $out"
