#!/usr/bin/env bash
# Times lumivue-cli apply against ImageMagick (convert), GraphicsMagick (gm convert) and libvips (vips)
# doing the closest equivalent on the same 24-bit BMP, BMP in and BMP out. Each command runs RUNS times
# (default 3) and the best wall time counts. The tools are measurement aids only, not dependencies:
#   apt-get install imagemagick graphicsmagick libvips-tools
# Usage: bench/compare-tools.sh [PHOTO.bmp]   (without a photo, a 6000 x 4000 one is made with lumivue-cli
#        from the benchmarks' photo-like test picture)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli="$root/build/native/cli/lumivue-cli"
runs=${RUNS:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

photo=${1:-}
if [ -z "$photo" ]; then
  photo="$work/photo.bmp"
  "$root/build/native/bench/lumivue_photo" "$photo"
fi

source "$root/bench/best-time.sh"

IM=/usr/bin/convert
GM="gm convert"
in="$photo"
out="$work/out.bmp"
vtmp="$work/t.v"
vtmp2="$work/t2.v"

# Kernels for vips conv: width, height, divisor, offset, then the rows.
printf '3 3 8 0\n-1 -1 -1\n-1 16 -1\n-1 -1 -1\n' >"$work/sharpen.mat"
printf '3 3 10 0\n1 1 1\n1 2 1\n1 1 1\n' >"$work/soften.mat"
printf '5 5 273 0\n1 4 7 4 1\n4 16 26 16 4\n7 26 41 26 7\n4 16 26 16 4\n1 4 7 4 1\n' >"$work/gauss.mat"
gauss=1,4,7,4,1,4,16,26,16,4,7,26,41,26,7,4,16,26,16,4,1,4,7,4,1

# row name | lumivue-cli apply words | ImageMagick options | GraphicsMagick options | vips command line
# ("-" where a tool has nothing close)
rows=(
  "mirror|mirror|-flop|-flop|vips flip $in $out horizontal"
  "flip|flip|-flip|-flip|vips flip $in $out vertical"
  "rotate-left|rotate-left|-rotate -90|-rotate -90|vips rot $in $out d270"
  "resize 50% nearest|resize 50% nearest|-sample 50%|-sample 50%|vips resize $in $out 0.5 --kernel nearest"
  "resize 50% bilinear (area)|resize 50% bilinear|-scale 50%|-scale 50%|vips shrink $in $out 2 2"
  "resize 50% bspline|resize 50% bspline|-interpolate bilinear -interpolative-resize 50%|-filter triangle -resize 50%|vips affine $in $out '0.5 0 0 0.5' --interpolate bilinear"
  "resize 50% bicubic|resize 50% bicubic|-interpolate spline -interpolative-resize 50%|-filter cubic -resize 50%|vips affine $in $out '0.5 0 0 0.5' --interpolate bicubic"
  "rotate 17|rotate 17|-background black -rotate 17|-background black -rotate 17|vips rotate $in $out 17"
  "gray|gray|-colorspace gray -type grayscale|-colorspace gray -type grayscale|vips colourspace $in $out b-w"
  "negative|negative|-negate|-negate|vips invert $in $out"
  "gamma 1.8|gamma 1.8|-gamma 1.8|-gamma 1.8|vips gamma $in $out --exponent 1.8"
  "light 20 30|light 20 30|-brightness-contrast 20x30|-level 11%,89%|vips linear --uchar -- $in $out 1.3 -18.4"
  "hsl 20 10 -10|hsl 20 10 -10|-modulate 96,104,114|-modulate 96,104,114|vips colourspace $in $vtmp lch && vips linear -- $vtmp $vtmp2 '1 1 1' '-4 4 28' && vips colourspace $vtmp2 $out srgb"
  "correct-histogram|correct-histogram|-equalize|-equalize|vips hist_equal $in $out"
  "sharpen 3|sharpen 3|-convolve -1,-1,-1,-1,16,-1,-1,-1,-1|-convolve -1,-1,-1,-1,16,-1,-1,-1,-1|vips conv $in $out $work/sharpen.mat --precision integer"
  "soften 2|soften 2|-convolve 1,1,1,1,2,1,1,1,1|-convolve 1,1,1,1,2,1,1,1,1|vips conv $in $out $work/soften.mat --precision integer"
  "gauss-smooth|gauss-smooth|-convolve $gauss|-convolve $gauss|vips conv $in $out $work/gauss.mat --precision integer"
  "median (3 x 3)|median|-statistic Median 3x3|-median 1|vips rank $in $out 3 3 4"
  "erode (2 x 2)|erode|-morphology Erode Rectangle:2x2|-|vips rank $in $out 2 2 0"
  "sobel|sobel|-edge 1|-edge 1|vips sobel $in $out"
  "otsu-threshold|otsu-threshold|-colorspace gray -threshold 50%|-colorspace gray -threshold 50%|vips colourspace $in $vtmp b-w && vips relational_const $vtmp $out more 128"
  "dither floyd-steinberg|dither floyd-steinberg|-colorspace gray -dither FloydSteinberg -monochrome|-colorspace gray -dither -monochrome|-"
  "dither ordered|dither ordered|-colorspace gray -ordered-dither o4x4|-ordered-dither intensity 4x4|-"
  "dither bayer|dither bayer|-colorspace gray -ordered-dither o8x8|-ordered-dither intensity 8x8|-"
  "mosaic 8|mosaic 8|-scale 12.5% -scale 800%|-scale 12.5% -scale 800%|vips shrink $in $vtmp 8 8 && vips zoom $vtmp $out 8 8"
  "sphere 50|sphere 50|-implode -0.5|-implode -0.5|-"
)

printf "%-28s %8s %8s %8s %8s   %s\n" "operation" "lumivue" "IM" "GM" "vips" "ratios IM/GM/vips to lumivue"
for row in "${rows[@]}"; do
  IFS='|' read -r name words im gm vips <<<"$row"
  t_lv=$(best "$cli apply $in $out $words")
  t_im=-
  t_gm=-
  t_vips=-
  [ "$im" = "-" ] || t_im=$(best "$IM $in $im $out")
  [ "$gm" = "-" ] || t_gm=$(best "$GM $in $gm $out")
  [ "$vips" = "-" ] || t_vips=$(best "$vips")
  ratios=$(awk -v a="$t_lv" -v b="$t_im" -v c="$t_gm" -v d="$t_vips" \
    'function r(t) { return t == "-" || t == "failed" ? "-" : sprintf("%.1f", t / a) }
     BEGIN { printf "%s / %s / %s", r(b), r(c), r(d) }')
  printf "%-28s %8s %8s %8s %8s   %s\n" "$name" "$t_lv" "$t_im" "$t_gm" "$t_vips" "$ratios"
done
