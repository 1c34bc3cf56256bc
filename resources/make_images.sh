#!/bin/sh
# Draws the three pictures of the main window as uncompressed 24-bit BMP files:
#   logotype.bmp 480x106: a dark blue band (no pure white, so the white labels stay readable)
#   success.bmp 41x41: a green disc with a tick; errors.bmp 41x41: a red disc with a cross.
set -e
convert=$1
out=$2
bmp24() { "$convert" "$@" -alpha off -type TrueColor -compress None "BMP3:$last"; }
last=$out/logotype.bmp
bmp24 -size 106x480 gradient:'#0b2a5b'-'#2f6fb8' -rotate 90 \
    -fill '#1d4f93' -draw 'circle 430,53 470,53' \
    -fill '#c8d8f0' -draw 'rectangle 300,92 472,96'
last=$out/success.bmp
bmp24 -size 41x41 xc:'#f0f0f0' -fill '#2e9d3a' -draw 'circle 20,20 20,1' \
    -stroke '#f0f0f0' -strokewidth 4 -fill none -draw 'polyline 10,21 17,28 31,13'
last=$out/errors.bmp
bmp24 -size 41x41 xc:'#f0f0f0' -fill '#c62828' -draw 'circle 20,20 20,1' \
    -stroke '#f0f0f0' -strokewidth 4 -draw 'line 12,12 28,28' -draw 'line 28,12 12,28'
