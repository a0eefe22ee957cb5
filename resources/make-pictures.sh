#!/usr/bin/env bash
# Draws Morvane's pictures: the banner of the main window (806 x 186, of which the top 72 rows
# show), the about-box picture (220 x 225) and the program icon. Needs ImageMagick and the
# DejaVu fonts. The outputs are committed; run this again only to change them.
set -euo pipefail
cd "$(dirname "$0")"
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
light=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf

# Banner: a green band fading to white, a leaf mark and the product name.
convert -size 806x186 gradient:'#1f7a1f'-'#eaffe0' -rotate 0 \
  \( -size 806x186 xc:none -fill '#ffffff40' -draw "ellipse 650,10 260,60 0,360" \
     -fill '#ffffff30' -draw "ellipse 120,90 300,40 0,360" \) -composite \
  -fill '#ffffff' -stroke '#0b4d0b' -strokewidth 2 \
  -draw "path 'M 22,58 C 22,22 52,10 70,8 C 68,30 56,56 22,58 Z'" \
  -stroke '#0b4d0b' -strokewidth 2 -draw "line 24,56 56,24" -stroke none \
  -font "$font" -pointsize 30 -fill '#ffffff' -annotate +84+46 'Morvane' \
  -font "$light" -pointsize 12 -fill '#f4ffec' -annotate +88+64 'registry, files and programs cleaned up' \
  -type TrueColor BMP3:banner.bmp

# About picture: the same mark large, name and version; the lower half stays light for the
# links and the Ok button drawn over it.
convert -size 220x225 gradient:'#2e8b2e'-'#ffffff' \
  -fill '#ffffff' -stroke '#0b4d0b' -strokewidth 3 \
  -draw "path 'M 30,90 C 30,40 75,18 104,14 C 100,48 82,86 30,90 Z'" \
  -draw "line 34,86 82,38" -stroke none \
  -font "$font" -pointsize 20 -fill '#ffffff' -annotate +110+56 'Morvane' \
  -font "$light" -pointsize 12 -fill '#0b4d0b' -annotate +114+76 'version 1.0' \
  -type TrueColor BMP3:about.bmp

# Icon: the leaf mark on green, 32 and 16 pixels.
for size in 32 16; do
  convert -size 64x64 xc:'#1f7a1f' -fill '#ffffff' -stroke '#0b4d0b' -strokewidth 3 \
    -draw "path 'M 8,58 C 8,24 34,8 58,6 C 56,34 40,58 8,58 Z'" -draw "line 10,56 44,22" \
    -resize ${size}x${size} -type TrueColor icon-$size.bmp
done
convert icon-32.bmp icon-16.bmp morvane.ico
rm -f icon-32.bmp icon-16.bmp
