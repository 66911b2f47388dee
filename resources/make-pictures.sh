#!/usr/bin/env bash
# resources/make-pictures.sh: draws the About window's two pictures with ImageMagick 6 and writes
# them as baseline JPEG files next to this script. Both are ours, drawn from nothing but text and
# shapes; the build embeds the committed files and does not need ImageMagick. Run it again only to
# change the pictures, and commit the results.
#   AboutLogo.jpg    136 x 40  the maker's logo: the letters OLVO beside a cut sheet
#   AboutDonate.jpg   62 x 31  the donation button
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
convert=/usr/bin/convert
[ -x "$convert" ] || convert=convert
common=(-strip -interlace none -sampling-factor 2x2 -quality 92)

# The logo: a navy band with a sheet cut in three by dashed lines, then the name.
"$convert" -size 136x40 xc:'#1f3a5f' \
  -fill '#f4f6f8' -stroke none -draw 'polygon 8,6 24,6 30,12 30,34 8,34' \
  -fill '#c9d3de' -draw 'polygon 24,6 24,12 30,12' \
  -stroke '#e8742c' -strokewidth 2 -draw 'line 5,16 33,16' -draw 'line 5,25 33,25' \
  -stroke none -fill '#f4f6f8' -font DejaVu-Sans-Bold -pointsize 27 \
  -annotate +39+31 'OLVO' \
  -fill '#e8742c' -draw 'rectangle 39,34 127,35' \
  "${common[@]}" "$here/AboutLogo.jpg"

# The donation button: a rounded amber button with a dark border and the word "Donate", on the
# light grey of a dialog's face.
"$convert" -size 62x31 xc:'#efefef' \
  -fill '#ffc439' -stroke '#8a5a00' -strokewidth 1 -draw 'roundrectangle 1,2 60,28 8,8' \
  -stroke none -fill '#ffe08a' -draw 'roundrectangle 3,4 58,12 6,6' \
  -fill '#1b2a4a' -font DejaVu-Sans-Bold -pointsize 11 -gravity center \
  -annotate +0+1 'Donate' \
  "${common[@]}" "$here/AboutDonate.jpg"

identify "$here/AboutLogo.jpg" "$here/AboutDonate.jpg"
