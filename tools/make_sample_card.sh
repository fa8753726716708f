#!/usr/bin/env bash
# Draws a sample business-card design for demonstrations and tests: a
# standard Japanese card, 91 x 55 mm, with 2 mm of bleed on every edge
# (95 x 59 mm in all), at 720 dpi. The coloured background runs into the
# bleed; name, title and contact lines sit inside the card with a safe
# margin. Needs ImageMagick and the IPA Gothic font (fonts-ipafont-gothic).
#   tools/make_sample_card.sh [out.png]        (default build/sample/card.png)
# Then, for example:
#   tools/make_page.py build/sample/card.png build/sample/page_1.bmp --x-mm 18 --y-mm 18
# places the card's trim edge at 20 mm from the page's top-left corner.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-$root/build/sample/card.png}
font=${NORVALISK_SAMPLE_FONT:-/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf}
[ -f "$font" ] || { echo "make_sample_card: font $font not found (package fonts-ipafont-gothic)" >&2; exit 1; }
mkdir -p "$(dirname "$out")"

# 720 dpi: 28.3465 pixels per millimetre, rounded to whole pixels.
width=2693   # 95 mm
height=1672  # 59 mm
bleed=57     # 2 mm: the trim edge lies this far inside the design

# Text sizes are in pixels (ImageMagick's default 72 dpi while drawing): at
# 720 dpi the name is 7 mm high, the contact line 2.2 mm.
convert -size "${width}x${height}" gradient:'#0b3d6e-#1f8a8a' \
  \( -size "${width}x300" xc:'#f2b705' \) -gravity south -composite \
  -gravity northwest \
  -fill white -draw "rectangle $((bleed + 113)),$((bleed + 130)) $((bleed + 133)),$((bleed + 760))" \
  -fill '#f2b705' -draw "circle $((width - bleed - 330)),$((bleed + 330)) $((width - bleed - 330)),$((bleed + 170))" \
  -fill '#0b3d6e' -draw "circle $((width - bleed - 330)),$((bleed + 330)) $((width - bleed - 330)),$((bleed + 250))" \
  -font "$font" -fill white \
  -pointsize 80 -annotate "+$((bleed + 200))+$((bleed + 130))" 'ノルヴァリスク印刷株式会社' \
  -pointsize 70 -annotate "+$((bleed + 200))+$((bleed + 330))" '営業部　部長' \
  -pointsize 200 -annotate "+$((bleed + 200))+$((bleed + 430))" '山田 太郎' \
  -pointsize 70 -annotate "+$((bleed + 210))+$((bleed + 690))" 'Taro Yamada' \
  -fill '#0b3d6e' \
  -pointsize 62 -annotate "+$((bleed + 200))+$((height - bleed - 190))" 'TEL 03-1234-5678　taro.yamada@example.jp' \
  -units PixelsPerInch -density 720 \
  -depth 8 -type TrueColor -define png:color-type=2 "$out"
echo "$out: ${width} x ${height} pixels at 720 dpi (95 x 59 mm with bleed)"
