#!/bin/bash
# Draws the two pictures the window embeds: the menu banner (PNG, 1080 x 675) and the about-page
# square (baseline JPEG, 768 x 768). Both show a simple stage with light beams and the brand name.
# The outputs are committed; run this again only to change the pictures (needs ImageMagick; the
# text is left out when none of the fonts below is installed).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
font=
fonts=$(convert -list font)
for candidate in DejaVu-Sans-Bold Helvetica-Bold; do
  if grep -q "Font: $candidate\$" <<<"$fonts"; then
    font=$candidate
    break
  fi
done

# text ARRAY SIZE COLOUR GRAVITY OFFSET STRING: appends the drawing of a line of text.
text() {
  local -n into=$1
  [ -n "$font" ] || return 0
  into+=(-font "$font" -pointsize "$2" -fill "$3" -gravity "$4" -annotate "$5" "$6")
}

# Menu banner: dark stage, three beams from the top, a lit floor and the brand name.
menu=(-size 1080x675 xc:'#050505'
  -fill '#1c1c1c' -draw 'polygon 0,520 1080,520 1080,675 0,675'
  -fill '#2a2a2a' -draw 'polygon 80,520 1000,520 1080,600 0,600'
  -fill '#3a3320' -draw 'polygon 250,0 310,0 420,520 140,520'
  -fill '#203a28' -draw 'polygon 515,0 565,0 690,520 390,520'
  -fill '#3a3320' -draw 'polygon 770,0 830,0 940,520 660,520'
  -fill '#ffcd00' -draw 'circle 280,14 280,30' -draw 'circle 800,14 800,30'
  -fill '#44ff44' -draw 'circle 540,14 540,30'
  -fill '#0e0e0e' -draw 'rectangle 300,430 340,520' -draw 'rectangle 500,400 580,520'
  -draw 'rectangle 740,430 780,520'
  -fill '#2e7a3e' -draw 'rectangle 0,600 1080,606')
text menu 64 '#ebebeb' north +0+250 'KALVERN'
text menu 34 '#8f8f8f' north +0+330 'LIVE PLAYBACK SYSTEM'
convert "${menu[@]}" +dither -colors 32 -strip "PNG8:$here/menu.png"

# About square: the same stage seen closer, the brand name across the floor.
about=(-size 768x768 xc:'#0a0a0a'
  -fill '#202020' -draw 'polygon 0,560 768,560 768,768 0,768'
  -fill '#3b3422' -draw 'polygon 160,0 220,0 330,560 50,560'
  -fill '#22402c' -draw 'polygon 354,0 414,0 530,560 238,560'
  -fill '#3b3422' -draw 'polygon 548,0 608,0 718,560 438,560'
  -fill '#ffcd00' -draw 'circle 190,16 190,34' -draw 'circle 578,16 578,34'
  -fill '#44ff44' -draw 'circle 384,16 384,34'
  -fill '#101010' -draw 'rectangle 354,430 414,560'
  -fill '#2e7a3e' -draw 'rectangle 0,640 768,648')
text about 72 '#ebebeb' south +0+150 'KALVERN'
text about 30 '#8f8f8f' south +0+90 'LIVE PLAYBACK SYSTEM'
convert "${about[@]}" -strip -interlace none -sampling-factor 4:2:0 -quality 82 \
  "JPEG:$here/about.jpg"
