#!/usr/bin/env bash
# Makes the PNG test pictures with ImageMagick (a real encoder) and, beside each one, the
# raw 8-bit RGBA pixels ImageMagick reads back from it (NAME.rgba), which the decoder
# tests compare against. Run from anywhere; writes into this folder. The outputs are
# committed, so the tests need no ImageMagick.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
convert=/usr/bin/convert
# A picture with structure in every channel: a colour gradient, a few shapes, odd size.
src() {
  "$convert" -size 37x23 gradient:'#ff2040-#10e0a0' \
    -fill '#2050ff' -draw 'rectangle 3,3 12,9' -fill white -draw 'circle 26,12 30,16' \
    -fill black -draw 'line 0,22 36,0' "$@"
}
# The same with an alpha channel (a horizontal fade and a transparent hole).
src_alpha() {
  src \( -size 37x23 gradient:white-'#202020' -rotate 90 -resize 37x23\! \
         -fill black -draw 'rectangle 15,5 20,10' \) -alpha off -compose copy_opacity -composite "$@"
}
strip=(-strip -define png:exclude-chunks=date,time)

make() {  # make NAME convert-args...   (FORMAT=png8 etc. picks the writer)
  local name=$1; shift
  "$@" "${strip[@]}" "${FORMAT:-png}:$name.png"
  "$convert" "$name.png" -depth 8 "rgba:$name.rgba"
}

for il in none png; do
  sfx=$([ "$il" = png ] && echo _interlaced || echo "")
  I=(-interlace "$il")
  make grey8$sfx        src -colorspace gray "${I[@]}" -define png:color-type=0 -define png:bit-depth=8
  make grey16$sfx       src -colorspace gray "${I[@]}" -define png:color-type=0 -define png:bit-depth=16
  for d in 1 2 4; do
    make grey$d$sfx     src -colorspace gray -posterize $((1 << d)) "${I[@]}" -define png:color-type=0 -define png:bit-depth=$d
  done
  make greyalpha8$sfx   src_alpha -colorspace gray "${I[@]}" -define png:color-type=4 -define png:bit-depth=8
  make greyalpha16$sfx  src_alpha -colorspace gray "${I[@]}" -define png:color-type=4 -define png:bit-depth=16
  make rgb8$sfx         src "${I[@]}" -define png:color-type=2 -define png:bit-depth=8
  make rgb16$sfx        src "${I[@]}" -define png:color-type=2 -define png:bit-depth=16
  make rgba8$sfx        src_alpha "${I[@]}" -define png:color-type=6 -define png:bit-depth=8
  make rgba16$sfx       src_alpha "${I[@]}" -define png:color-type=6 -define png:bit-depth=16
  make palette8$sfx     src -colors 200 "${I[@]}" -define png:color-type=3 -define png:bit-depth=8
  make palette4$sfx     src -colors 14 "${I[@]}" -define png:color-type=3 -define png:bit-depth=4
  make palette2$sfx     src -colors 4 "${I[@]}" -define png:color-type=3 -define png:bit-depth=2
  make palette1$sfx     src -colors 2 "${I[@]}" -define png:color-type=3 -define png:bit-depth=1
  FORMAT=png8 make palettealpha$sfx src_alpha -colors 60 "${I[@]}"
done
# Tiny pictures whose Adam7 passes are partly empty.
for s in 1x1 2x3 5x1 9x9; do
  make tiny_$s src -resize $s\! -interlace png -define png:color-type=2 -define png:bit-depth=8
done
# Colour-key transparency on grey (tRNS with a grey level).
make greykey src -colorspace gray -posterize 8 -transparent black -define png:color-type=0 -define png:bit-depth=8
# Colour-key transparency (tRNS on RGB): one colour is transparent.
make rgbkey src -transparent '#2050ff' -define png:color-type=2 -define png:bit-depth=8
