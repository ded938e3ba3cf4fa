#!/bin/sh
# Renders the desktop program's artwork (desktop/resources/art/*.svg) into the PNG images that
# the program embeds (desktop/resources/images), each also at twice the size ("@2x", which Qt
# picks on screens scaled by more than 1). Needs rsvg-convert (Debian: librsvg2-bin); run it
# after editing a drawing and commit the images with it.
set -eu
cd "$(dirname "$0")/../desktop/resources"
for name in pack add remove view openproject closeproject globe logo about rowimages; do
    rsvg-convert -o "images/$name.png" "art/$name.svg"
    rsvg-convert -z 2 -o "images/$name@2x.png" "art/$name.svg"
done
rsvg-convert -w 32 -h 32 -o images/quillwin32.png art/quillwin.svg
rsvg-convert -w 16 -h 16 -o images/quillwin16.png art/quillwin.svg
for size in 48 64 128 256; do
    rsvg-convert -w $size -h $size -o images/quillwin$size.png art/quillwin.svg
done
