#!/usr/bin/env bash
# Times lumivue-cli batch over a folder of photos against ImageMagick (mogrify) and libvips (vips copy per
# file) doing the same work on the same files in the same run: 40 photos of 1500 x 1000 (JPEG quality 90)
# converted to PNG, and a chain of three effects (negative, mirror, gauss smooth) written back as JPEG.
# lumivue-cli runs once with one job and once with every core. Each line is the best wall time of RUNS runs
# (default 3) over a fresh copy of the photos. The other tools are measurement aids only:
#   apt-get install imagemagick libvips-tools
# Usage: bench/batch-compare.sh   (needs build/native with lumivue-cli and bench/lumivue_photo)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli="$root/build/native/cli/lumivue-cli"
runs=${RUNS:-3}
count=${COUNT:-40}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The photos: the benchmarks' photo-like picture, cut down to 1500 x 1000 and varied by a turn or a mirror.
"$root/build/native/bench/lumivue_photo" "$work/photo.bmp"
"$cli" apply "$work/photo.bmp" "$work/small.bmp" resize 1500 1000 bilinear
mkdir "$work/photos"
for i in $(seq "$count"); do
  case $((i % 3)) in
    0) "$cli" convert --quality 90 "$work/small.bmp" "$work/photos/p$i.jpg" ;;
    1) "$cli" apply "$work/small.bmp" "$work/v.bmp" mirror && "$cli" convert --quality 90 "$work/v.bmp" "$work/photos/p$i.jpg" ;;
    2) "$cli" apply "$work/small.bmp" "$work/v.bmp" flip && "$cli" convert --quality 90 "$work/v.bmp" "$work/photos/p$i.jpg" ;;
  esac
done

# Each timed run works on a fresh copy of the photos in $work/run.
best_before='rm -rf "$work/run" && cp -r "$work/photos" "$work/run"'
source "$root/bench/best-time.sh"

run="$work/run"
log="--log-dir $work/log"
cores=$(nproc)
printf '%-44s %8s\n' "$count photos 1500 x 1000, JPEG to PNG" "seconds"
printf '%-44s %8s\n' "lumivue-cli batch convert, 1 job" "$(best "$cli batch convert $run --to png --jobs 1 $log")"
printf '%-44s %8s\n' "lumivue-cli batch convert, $cores jobs" "$(best "$cli batch convert $run --to png --jobs $cores $log")"
if [ -x /usr/bin/mogrify ]; then
  printf '%-44s %8s\n' "mogrify -format png" "$(best "/usr/bin/mogrify -format png $run/*.jpg")"
  # One convert per file, as a shell loop runs them: what one job should be close to.
  printf '%-44s %8s\n' "convert per file" "$(best "for f in $run/*.jpg; do /usr/bin/convert \$f \${f%.jpg}.png; done")"
  printf '%-44s %8s\n' "convert start-up x $count (rose: to null)" "$(best "for i in \$(seq $count); do /usr/bin/convert rose: null:; done")"
fi
if command -v vips >/dev/null; then
  printf '%-44s %8s\n' "vips copy per file" "$(best "for f in $run/*.jpg; do vips copy \$f \${f%.jpg}.png; done")"
fi
printf '%-44s %8s\n' "$count photos, negative + mirror + gauss, JPEG" "seconds"
chain="negative mirror gauss-smooth"
printf '%-44s %8s\n' "lumivue-cli batch effect, 1 job" "$(best "$cli batch effect $run --jobs 1 $log $chain")"
printf '%-44s %8s\n' "lumivue-cli batch effect, $cores jobs" "$(best "$cli batch effect $run --jobs $cores $log $chain")"
if [ -x /usr/bin/mogrify ]; then
  printf '%-44s %8s\n' "mogrify -negate -flop -gaussian-blur 0x1" "$(best "/usr/bin/mogrify -quality 75 -negate -flop -gaussian-blur 0x1 $run/*.jpg")"
fi
if command -v vips >/dev/null; then
  printf '%-44s %8s\n' "vips invert, flip, gaussblur per file" \
    "$(best "for f in $run/*.jpg; do vips invert \$f $work/a.v && vips flip $work/a.v $work/b.v horizontal && vips gaussblur $work/b.v \$f 1; done")"
fi
