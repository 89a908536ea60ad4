#!/usr/bin/env bash
# Rebuilds the fixtures of files that other programs open and that need more than the plain readers: TIFF
# with 10- to 32-bit integer and floating-point samples and old-style JPEG pictures, GIF data starting at LZW
# code size 10 and 11, OS/2 2.x BMP headers shorter than 64 bytes, JPEG photos with each EXIF orientation. Run once by a developer; the tests use the
# copies in tests/data. Needs ImageMagick 6, libjpeg-turbo-progs, libimage-exiftool-perl and python3.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
data=$root/tests/data
fix=$root/scripts/fixtures
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# ---- TIFF: the 40 x 30 colour and grey pictures widened by ImageMagick, Deflate-compressed
cd "$data/tiff"
for d in 10 14 32; do convert rgb.pam -depth $d -compress zip rgb-${d}bit.tif; done
convert grey.pam -depth 12 -compress zip grey-12bit.tif
convert rgb.pam -define quantum:format=floating-point -depth 32 -compress zip rgb-float32.tif
convert grey.pam -define quantum:format=floating-point -depth 64 -compress zip grey-float64.tif
# An old-style JPEG page (compression 6) wrapping cjpeg's coding of the picture; 30 rows are not a whole
# number of 16-row blocks. Its reference is djpeg's decoding of the same stream.
convert rgb.pam "$work/rgb.ppm"
cjpeg -quality 90 -outfile "$work/rgb.jpg" "$work/rgb.ppm"
python3 "$fix/ojpeg-tiff.py" "$work/rgb.jpg" 40 30 ojpeg.tif
djpeg -outfile "$work/ojpeg.ppm" "$work/rgb.jpg"
convert "$work/ojpeg.ppm" ojpeg.pam

# ---- GIF: one 64 x 64 picture of 64 colours coded from LZW code sizes 10 and 11
cd "$data/gif"
python3 "$fix/gif-code-size.py" 10 code-size-10.gif
python3 "$fix/gif-code-size.py" 11 code-size-11.gif
convert code-size-10.gif -depth 8 -type TrueColor code-size.pam

# ---- BMP: the 6 x 3 ImageMagick pictures with OS/2 2.x headers of 16 and 36 bytes
cd "$data/bmp"
python3 "$fix/os2v2-bmp.py" v3-8.bmp 16 os2v2-16-8.bmp
python3 "$fix/os2v2-bmp.py" v3-24.bmp 36 os2v2-36-24.bmp

# ---- JPEG: the baseline picture with EXIF orientation 1 to 8, set by the EXIF tool
cd "$data/jpeg"
for o in 1 2 3 4 5 6 7 8; do
  exiftool -q -n -Orientation=$o -o "orient-$o.jpg" baseline.jpg
done
# A camera photo: make, model, date, exposure, GPS position, orientation 6, a 12 x 8 thumbnail and a small
# colour profile, all written into the baseline picture by the EXIF tool.
convert baseline.pnm -resize 12x8 "$work/thumb.ppm"
cjpeg -quality 50 -outfile "$work/thumb.jpg" "$work/thumb.ppm"
python3 "$fix/tiny-icc.py" "$work/tiny.icc"
exiftool -q -n -Make=Quillcam -Model="QX 10" -DateTimeOriginal="2024:05:06 07:08:09" -ExposureTime=0.004 \
  -FNumber=2.8 -GPSLatitude=48.8584 -GPSLatitudeRef=N -GPSLongitude=2.2945 -GPSLongitudeRef=E -Orientation=6 \
  -ExifImageWidth=48 -ExifImageHeight=32 "-ThumbnailImage<=$work/thumb.jpg" "-ICC_Profile<=$work/tiny.icc" \
  -o camera-photo.jpg baseline.jpg
# A picture that is not whole JPEG blocks (45 x 30 with 16 x 16 coding units): it cannot be turned exactly.
convert baseline.pnm -crop 45x30+0+0 +repage "$work/odd.ppm"
cjpeg -quality 85 -outfile odd-size.jpg "$work/odd.ppm"
