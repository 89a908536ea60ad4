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

# Best wall time of a command line, in seconds.
best() {
  local best_ns=0 start end
  for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    bash -c "$1" >/dev/null 2>&1 || { echo "failed"; return; }
    end=$(date +%s%N)
    if [ "$best_ns" -eq 0 ] || [ $((end - start)) -lt "$best_ns" ]; then best_ns=$((end - start)); fi
  done
  awk -v ns="$best_ns" 'BEGIN { printf "%.2f", ns / 1e9 }'
}

IM=/usr/bin/convert
GM="gm convert"
in="$photo"
out="$work/out.bmp"
vtmp="$work/t.v"
vtmp2="$work/t2.v"

# row name | lumivue-cli apply words | ImageMagick options | GraphicsMagick options | vips command line
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
)

printf "%-28s %8s %8s %8s %8s   %s\n" "operation" "lumivue" "IM" "GM" "vips" "ratios IM/GM/vips to lumivue"
for row in "${rows[@]}"; do
  IFS='|' read -r name words im gm vips <<<"$row"
  t_lv=$(best "$cli apply $in $out $words")
  t_im=$(best "$IM $in $im $out")
  t_gm=$(best "$GM $in $gm $out")
  t_vips=$(best "$vips")
  ratios=$(awk -v a="$t_lv" -v b="$t_im" -v c="$t_gm" -v d="$t_vips" \
    'BEGIN { printf "%.1f / %.1f / %.1f", b / a, c / a, d / a }')
  printf "%-28s %8s %8s %8s %8s   %s\n" "$name" "$t_lv" "$t_im" "$t_gm" "$t_vips" "$ratios"
done
