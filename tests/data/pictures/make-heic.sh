#!/bin/sh
# Makes the HEIC test pictures from pictures drawn here (ImageMagick) with
# Debian's HEIF encoder (libheif-examples' heif-enc); the results are
# committed, so the tests need neither. Run from this folder.
set -eu
# A gradient with four differently coloured corners, odd-sized so that the
# decoder's crop of its 4:2:0 planes is exercised; the BMP is the same
# picture losslessly, as the tests read it.
convert -size 97x61 gradient:'#2080e0-#e0a020' \
  -fill '#ff0000' -draw 'rectangle 0,0 23,15' -fill '#00c000' -draw 'rectangle 73,0 96,15' \
  -fill '#0000ff' -draw 'rectangle 0,45 23,60' -fill '#ffffff' -draw 'rectangle 73,45 96,60' \
  -strip PNG24:heic-quadrants.png
convert heic-quadrants.png -strip BMP3:heic-quadrants.bmp
heif-enc -q 92 -o heic-quadrants.heic heic-quadrants.png
# Landscape, red above blue, for the saver.
convert -size 160x120 xc:'#0000ff' -fill '#ff0000' -draw 'rectangle 0,0 159,59' -strip PNG24:heic-red-over-blue.png
heif-enc -q 90 -o heic-red-over-blue.heic heic-red-over-blue.png
rm heic-red-over-blue.png
