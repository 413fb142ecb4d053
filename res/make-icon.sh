#!/usr/bin/env bash
# Draws the application icon (a speed-camera sign: a red ring, a black camera
# with a white lens) at every size Windows asks for, from 16 to 256 pixels, and
# writes res/tabrino.ico. Each size is drawn at eight times its size and scaled
# down, so that every one is sharp rather than scaled from another.
#   res/make-icon.sh        (needs ImageMagick)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

images=()
for size in 16 20 24 32 40 48 64 256; do
  s=$((size * 8))
  c=$((s / 2))
  ring=$((s * 47 / 100))      # the ring's outer radius
  width=$((s * 13 / 100))     # its width
  lens=$((s * 8 / 100))
  convert -size ${s}x${s} xc:none \
    -fill white -stroke none -draw "circle $c,$c $c,$((c - ring))" \
    -fill none -stroke '#C8102E' -strokewidth $width \
    -draw "circle $c,$c $c,$((c - ring + width / 2))" \
    -fill '#202020' -stroke none \
    -draw "roundrectangle $((s * 29 / 100)),$((s * 37 / 100)) $((s * 71 / 100)),$((s * 65 / 100)) $((s / 25)),$((s / 25))" \
    -fill white -draw "circle $c,$((s * 51 / 100)) $c,$((s * 51 / 100 - lens))" \
    -filter box -resize ${size}x${size} "PNG32:$work/$size.png"
  images+=("$work/$size.png")
done
convert "${images[@]}" "$here/tabrino.ico"
identify "$here/tabrino.ico"
