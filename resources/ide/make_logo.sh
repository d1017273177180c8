#!/bin/sh
# Draws the about box's logo (137 x 49): a chip outline with pins beside the
# product name. Run from this directory; needs ImageMagick.
set -e
convert -size 137x49 xc:'#102a5c' \
  -fill '#d8dde6' -stroke none \
  -draw 'rectangle 12,7 14,41' -draw 'rectangle 30,7 32,41' \
  -fill '#1b1b1b' -stroke '#d8dde6' -strokewidth 1 -draw 'rectangle 15,5 29,43' \
  -stroke none -fill '#d8dde6' -draw 'circle 19,9 20,10' \
  -fill '#102a5c' -draw 'rectangle 12,10 14,11' -draw 'rectangle 12,16 14,17' \
  -draw 'rectangle 12,22 14,23' -draw 'rectangle 12,28 14,29' -draw 'rectangle 12,34 14,35' \
  -draw 'rectangle 30,10 32,11' -draw 'rectangle 30,16 32,17' \
  -draw 'rectangle 30,22 32,23' -draw 'rectangle 30,28 32,29' -draw 'rectangle 30,34 32,35' \
  -font DejaVu-Sans-Bold -pointsize 20 -fill white -draw "text 40,28 'VX930'" \
  -font DejaVu-Sans -pointsize 9 -fill '#f0c040' -draw "text 41,41 '8051 ICE'" \
  -quality 90 -sampling-factor 4:4:4 -strip logo.jpg
