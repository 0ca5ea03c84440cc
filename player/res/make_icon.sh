#!/bin/sh
# Draws the player's window icon (icon 801): a blue disc with a white play mark,
# at 32 and 16 pixels. Run from this folder; the result is kept in the tree.
set -e
convert -size 32x32 xc:none -fill '#1f4e9c' -draw 'circle 15.5,15.5 15.5,1' \
        -fill white -draw 'polygon 11,8 11,23 24,15.5' /tmp/txplayer32.png
convert /tmp/txplayer32.png -resize 16x16 /tmp/txplayer16.png
convert /tmp/txplayer32.png /tmp/txplayer16.png txplayer.ico
rm -f /tmp/txplayer32.png /tmp/txplayer16.png
