#!/usr/bin/env bash
# Draws the program's skin: the window background, every button, tab and page
# button bitmap, and the icons, into resources/skin/.
#
# Every bitmap is written as a 24-bit BMP (BITMAPINFOHEADER, BI_RGB). Pixels
# that are to be cut away from a window's shape are exactly pure blue
# (0,0,255); anti-aliased edges are blended against the colour that lies
# behind the button (the window background, the yellow page panel or the
# dialog face), never against blue, so no bluish fringe is left. The bottom
# row of a button bitmap never shows on screen, so every button is drawn in
# the rows above it and its last row is left blue (brown under a tab).
#
# Usage: tools/make_skin.sh            (run from anywhere; output goes to the repository)
set -euo pipefail

convert_bin=/usr/bin/convert
jp_font=/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf
latin_font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf

missing=0
if [[ ! -x $convert_bin ]]; then
  echo "make_skin: $convert_bin not found; install the package imagemagick" >&2
  missing=1
fi
if [[ ! -f $jp_font ]]; then
  echo "make_skin: $jp_font not found; install the package fonts-ipafont-gothic" >&2
  missing=1
fi
if [[ ! -f $latin_font ]]; then
  echo "make_skin: $latin_font not found; install the package fonts-dejavu-core" >&2
  missing=1
fi
if ! command -v python3 >/dev/null; then
  echo "make_skin: python3 not found (needed for the final check); install the package python3" >&2
  missing=1
fi
((missing == 0)) || exit 1

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=$root/resources/skin
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

im() { "$convert_bin" "$@"; }

readonly key='#0000FF'

# Palette shared by the whole skin.
readonly navy='#1D3557' navy_hi='#3A6EA5' navy_lo='#16304F'
readonly ink='#2E3B48' ink_soft='#5B6977'
readonly panel_yellow='#FFCC00'
readonly dialog_face='#F0F0F0'
readonly line_grey='#A9B5C1'

# ---------------------------------------------------------------------------
# Building blocks

# Writes a 24-bit BMP with no alpha channel and no palette.
to_bmp() { im "$1" -alpha off -type TrueColor "BMP3:$2"; }

# Anti-aliased rounded rectangle mask: white inside, black outside.
round_mask() { # width height radius file
  im -size "$1x$2" xc:black -fill white -draw "roundrectangle 0,0 $(($1 - 1)),$(($2 - 1)) $3,$3" "$4"
}

# Replaces every pixel that the rounded shape covers less than half with pure
# blue; the rest keeps its colour, which was blended against the real backdrop.
cut_away() { # image mask result
  im "$1" \( "$2" -threshold 50% \) -alpha off -compose CopyOpacity -composite \
    -background "$key" -alpha remove -alpha off "$3"
}

# The backdrop of a button: a crop of the finished window background, or a colour.
backdrop() { # source width height x y file
  if [[ $1 == '#'* ]]; then
    im -size "$2x$3" "xc:$1" "$6"
  else
    im "$1" -crop "$2x$3+$4+$5" +repage "$6"
  fi
}

# Draw commands for the label of the next button, collected by the helpers below.
draw=()

# Text centred on the button, shifted by dx, dy. Optional weight "bold" thickens it.
text() { # font size colour dx dy text [bold]
  local off
  off=$(printf '%+d%+d' "$4" "$5")
  draw+=(-font "$1" -pointsize "$2" -fill "$3" -gravity center)
  if [[ ${7:-} == bold ]]; then
    draw+=(-stroke "$3" -strokewidth 0.3)
  else
    draw+=(-stroke none)
  fi
  draw+=(-annotate "$off" "$6" -stroke none)
}

# Text with a one-pixel drop shadow, for light labels on coloured buttons.
shadow_text() { # font size colour shadow dx dy text [bold]
  text "$1" "$2" "$4" "$5" $(($6 + 1)) "$7" "${8:-}"
  text "$1" "$2" "$3" "$5" "$6" "$7" "${8:-}"
}

# Vector artwork in MVG, positioned in button pixels.
shape() { draw+=(-gravity northwest -stroke none -draw "$1"); }

# Builds one button bitmap. The visible part is height-1 rows; the last row is
# cut away by the window region and is left blue here.
button() { # name width height radius backdrop-source x y top-colour bottom-colour border-colour
  local name=$1 w=$2 h=$3 r=$4 src=$5 x=$6 y=$7 top=$8 bottom=$9 border=${10}
  local vh=$((h - 1))
  backdrop "$src" "$w" "$vh" "$x" "$y" "$tmp/back.png"
  round_mask "$w" "$vh" "$r" "$tmp/mask.png"
  im -size "${w}x${vh}" "gradient:$top-$bottom" "$tmp/mask.png" -alpha off \
    -compose CopyOpacity -composite "$tmp/face.png"
  im "$tmp/back.png" "$tmp/face.png" -compose over -composite \
    -fill none -stroke "$border" -strokewidth 1 \
    -draw "roundrectangle 0,0 $((w - 1)),$((vh - 1)) $r,$r" \
    -stroke 'rgba(255,255,255,0.55)' -draw "line $((r > 2 ? r : 2)),1 $((w - 1 - (r > 2 ? r : 2))),1" \
    -stroke none "${draw[@]}" "$tmp/drawn.png"
  draw=()
  cut_away "$tmp/drawn.png" "$tmp/mask.png" "$tmp/cut.png"
  im "$tmp/cut.png" -background "$key" -gravity south -splice 0x1 "$tmp/full.png"
  to_bmp "$tmp/full.png" "$out/$name.bmp"
}

# Button colour schemes, each "top bottom border" of the face: a normal look and
# its brighter hover ("_HV") look.
readonly orange='#FFB52E #F07800 #B85A00' orange_hv='#FFD36B #FF9410 #C96A00'
readonly blue='#3F79B5 #1D3D66 #132A47' blue_hv='#5A98D6 #27538A #1A3A63'
readonly light='#FFFFFF #DCE3EA #8C9AA8' light_hv='#FFFFFF #CFE3F6 #4F86BF'
readonly green='#45C27A #1E8C52 #15673C' green_hv='#6AD896 #27A463 #1A7A47'
readonly slate='#6A7886 #3C4856 #2A3440' red_hv='#F0736A #C6372C #8F2219'

# Picks the normal scheme, or the hover scheme when the suffix is "_HV".
pick() { if [[ $1 == _HV ]]; then echo "$3"; else echo "$2"; fi; }

# ---------------------------------------------------------------------------
# Icons and the logo (drawn at 96 x 96 and scaled down)

logo_art() { # file
  im -size 96x96 xc:none \
    \( -size 96x96 "gradient:$navy_hi-$navy_lo" \( -size 96x96 xc:black -fill white \
    -draw 'roundrectangle 3,3 92,92 20,20' \) -alpha off -compose CopyOpacity -composite \) \
    -compose over -composite \
    -draw "push graphic-context translate 43,41 rotate -14 fill '#FFB000' roundrectangle -29,-18 29,18 5,5 pop graphic-context" \
    -draw "push graphic-context translate 53,59 fill 'rgba(0,0,0,0.30)' roundrectangle -30,-17 32,21 5,5 pop graphic-context" \
    -draw "push graphic-context translate 52,57 fill white roundrectangle -31,-19 31,19 5,5 \
           fill '#F39200' rectangle -22,-11 -19,11 \
           fill '#51606F' rectangle -13,-10 19,-5 \
           fill '#9AA8B6' rectangle -13,1 11,4 rectangle -13,8 15,11 pop graphic-context" \
    "$1"
}

login_art() {
  im -size 96x96 xc:none \
    -fill none -stroke '#7B8794' -strokewidth 10 -draw "path 'M 29,48 L 29,33 A 19,19 0 0 1 67,33 L 67,48'" \
    -stroke '#A9B4BF' -strokewidth 3 -draw "path 'M 27,46 L 27,33 A 21,21 0 0 1 48,12'" -stroke none \
    \( -size 96x96 'gradient:#FFD560-#E08A00' \( -size 96x96 xc:black -fill white \
    -draw 'roundrectangle 14,44 81,90 9,9' \) -alpha off -compose CopyOpacity -composite \) \
    -compose over -composite \
    -fill none -stroke '#A86400' -strokewidth 2 -draw 'roundrectangle 14,44 81,90 9,9' -stroke none \
    -fill 'rgba(255,255,255,0.45)' -draw 'roundrectangle 19,48 76,53 3,3' \
    -fill '#5A3A00' -draw 'circle 48,63 48,70' -draw 'polygon 44,66 52,66 54,81 42,81' \
    "$1"
}

regist_art() {
  im -size 96x96 xc:none \
    -fill "$navy_hi" -draw 'circle 38,30 38,48' \
    -fill "$navy" -draw "path 'M 6,90 C 6,58 70,58 70,90 Z'" \
    -fill 'rgba(255,255,255,0.35)' -draw 'ellipse 33,24 8,5 0,360' \
    -fill white -draw 'circle 71,68 71,93' \
    -fill '#2DA862' -draw 'circle 71,68 71,90' \
    -fill white -draw 'rectangle 67,55 75,81' -draw 'rectangle 58,64 84,72' \
    "$1"
}

complete_art() {
  im -size 96x96 xc:none \
    \( -size 96x96 'gradient:#5FD67F-#1C8F43' \( -size 96x96 xc:black -fill white \
    -draw 'circle 48,48 48,4' \) -alpha off -compose CopyOpacity -composite \) \
    -compose over -composite \
    -fill none -stroke 'rgba(255,255,255,0.35)' -strokewidth 3 -draw "path 'M 16,40 A 33,33 0 0 1 62,14'" \
    -stroke '#FFFFFF' -strokewidth 11 \
    -draw 'stroke-linecap round stroke-linejoin round polyline 27,50 42,64 70,33' \
    "$1"
}

# Multi-size icon (48, 32 and 16 pixels, 32-bit with alpha).
make_icon() { # art-function name
  "$1" "$tmp/art.png"
  local s
  for s in 48 32 16; do
    im "$tmp/art.png" -filter Lanczos -resize "${s}x${s}" -define png:color-type=6 "$tmp/icon$s.png"
  done
  im "$tmp/icon48.png" "$tmp/icon32.png" "$tmp/icon16.png" "$out/$2.ico"
}

# ---------------------------------------------------------------------------
# Window background (878 x 680; the bottom row never shows)

# The panels frame the main window's fixed child rectangles and the buttons'
# places; all coordinates below are window pixels.
make_window_bg() {
  local w=878 h=680 vh=679
  local bg=$tmp/bg_body.png

  logo_art "$tmp/logo96.png"
  im "$tmp/logo96.png" -filter Lanczos -resize 36x36 "$tmp/logo36.png"

  # Body, header and the accent line under the header.
  im -size "${w}x${vh}" 'gradient:#E9EEF3-#D6DEE6' \
    \( -size "${w}x48" 'gradient:#FFFFFF-#E4EBF2' \) -geometry +0+0 -composite \
    \( -size "3x${w}" 'gradient:#FFCC00-#F08A00' -rotate 90 \) -geometry +0+48 -composite \
    -fill 'rgba(255,255,255,0.8)' -draw 'line 0,51 877,51' \
    "$bg"

  # A fan of faint business cards on the right of the header.
  local card="fill 'rgba(255,255,255,0.55)' stroke 'rgba(29,53,87,0.16)' stroke-width 1
              roundrectangle -28,-17 28,17 3,3 stroke none fill 'rgba(29,53,87,0.10)'
              rectangle -20,-9 8,-6 rectangle -20,1 14,2 rectangle -20,6 4,7"
  im "$bg" \
    -draw "push graphic-context translate 598,25 rotate -10 $card pop graphic-context" \
    -draw "push graphic-context translate 664,23 rotate 3 $card fill 'rgba(240,138,0,0.35)' rectangle -26,-15 -23,15 pop graphic-context" \
    -draw "push graphic-context translate 730,25 rotate 12 $card pop graphic-context" \
    "$bg"

  # Logo, product name and subtitle. "ver 1.0J" is drawn by the program at (393, 36).
  im "$bg" "$tmp/logo36.png" -geometry +16+7 -composite \
    -font "$latin_font" -pointsize 27 -fill 'rgba(0,0,0,0.10)' -annotate +61+42 'Norvalisk' \
    -fill "$navy" -annotate +60+41 'Norvalisk' \
    -font "$jp_font" -pointsize 15 -fill "$ink_soft" -annotate +219+41 '名刺データ入稿ツール' \
    -fill 'rgba(29,53,87,0.25)' -draw 'line 207,24 207,41' \
    "$bg"

  # Section labels above the panels.
  im "$bg" \
    -fill '#F08A00' -draw 'rectangle 9,54 12,63' -draw 'rectangle 295,54 298,63' -draw 'rectangle 504,54 507,63' \
    -font "$jp_font" -pointsize 12 -fill "$ink" \
    -annotate +17+63 '名刺の範囲を指定' -annotate +303+63 'ページ選択' -annotate +512+63 '名刺プレビュー' \
    "$bg"

  # Left panel: yellow tool strip (options bar 18,70 263x26 and page selector
  # 295,72 135x22) over a dark frame around the editor view 13,97 411x563.
  im "$bg" \
    -fill 'rgba(0,0,0,0.16)' -draw 'roundrectangle 6,68 432,669 7,7' \
    -fill '#4D5966' -stroke '#333D48' -strokewidth 1 -draw 'roundrectangle 5,66 431,667 7,7' \
    -stroke none -fill "$panel_yellow" -draw 'roundrectangle 6,67 430,90 6,6' -draw 'rectangle 6,80 430,95' \
    -fill '#FFE066' -draw 'line 11,67 425,67' \
    -fill '#E0AE00' -draw 'line 288,73 288,92' -fill '#FFE680' -draw 'line 289,73 289,92' \
    -fill '#8F7000' -draw 'line 6,96 430,96' \
    -fill '#2B333C' -draw 'line 12,97 12,660' -draw 'line 12,660 424,660' -draw 'line 424,97 424,660' \
    -fill '#3A444F' -draw 'line 13,96 423,96' \
    "$bg"

  # Right column: preview panel under the tabs (preview 512,104 346x346) and the
  # web view panel with its caption strip (web view 505,470 360x135).
  im "$bg" \
    -fill 'rgba(0,0,0,0.10)' -draw 'rectangle 505,100 868,455' \
    -fill '#FAFBFC' -stroke "$line_grey" -strokewidth 1 -draw 'rectangle 503,98 866,453' -stroke none \
    -fill "$navy" -draw 'rectangle 503,99 866,101' \
    -fill '#CDD5DD' -draw 'rectangle 511,103 858,450' -fill '#FAFBFC' -draw 'rectangle 512,104 857,449' \
    -fill 'rgba(0,0,0,0.10)' -draw 'rectangle 505,458 868,609' \
    -fill '#FFFFFF' -stroke "$line_grey" -draw 'rectangle 503,456 866,607' -stroke none \
    \( -size 362x13 "gradient:$navy_hi-$navy" \) -geometry +504+457 -composite \
    -fill white -draw 'circle 512,463 512,467' -fill "$navy" -draw 'rectangle 511,462 512,466' -draw 'point 512,460' \
    -font "$jp_font" -pointsize 11 -fill white -annotate +520+467 'ご案内' \
    "$bg"

  # Soft shadows under the main-window buttons, so they sit on the surface. Each
  # starts a few rows down, so nothing dark shows at a button's upper corners.
  local shadows="" place bx by bw bh br
  for place in 805:10:57:19:6 765:52:95:43:7 433:152:65:72:8 433:235:65:83:8 505:610:147:57:8 675:622:67:34:6 775:617:89:45:7; do
    IFS=: read -r bx by bw bh br <<<"$place"
    shadows+="roundrectangle $((bx + 1)),$((by + 4)) $((bx + bw - 2)),$((by + bh - 1)) $br,$br "
  done
  im -size "${w}x${vh}" xc:none -fill 'rgba(20,35,50,0.45)' -draw "$shadows" \
    -channel A -blur 0x1.3 +channel "$tmp/shadow.png"
  im "$bg" "$tmp/shadow.png" -compose over -composite "$bg"

  # Outer edge: a dark 1-pixel outline and rounded window corners cut to blue.
  round_mask "$w" "$vh" 14 "$tmp/outer.png"
  im -size "${w}x${vh}" xc:black -fill white -draw "roundrectangle 1,1 $((w - 2)),$((vh - 2)) 13,13" "$tmp/inner.png"
  im -size "${w}x${vh}" 'xc:#2A3644' \( "$bg" "$tmp/inner.png" -alpha off -compose CopyOpacity -composite \) \
    -compose over -composite -fill 'rgba(255,255,255,0.9)' -draw 'line 14,1 863,1' "$tmp/edged.png"
  cut_away "$tmp/edged.png" "$tmp/outer.png" "$tmp/cut.png"
  im "$tmp/cut.png" -background "$key" -gravity south -splice 0x1 "$tmp/window_bg.png"
  to_bmp "$tmp/window_bg.png" "$out/WINDOW_BG.bmp"
}

# ---------------------------------------------------------------------------
# Main-window buttons (backdrop: the finished window background)

make_main_buttons() {
  local wbg=$tmp/window_bg.png hv
  for hv in '' _HV; do
    # Close, 57x19 at 805,10.
    shape "stroke white stroke-width 1.6 line 10,6 16,12 line 16,6 10,12"
    shadow_text "$jp_font" 11 white 'rgba(0,0,0,0.35)' 7 0 '閉じる'
    # shellcheck disable=SC2046  # a scheme is three colour words
    button "BTN_CLOSE$hv" 57 19 6 "$wbg" 805 10 $(pick "$hv" "$slate" "$red_hv")

    # Clear, 95x43 at 765,52: an eraser mark and the label.
    shape "fill '#E0524A' circle 22,21 22,30 stroke white stroke-width 2.2 line 18,17 26,25 line 26,17 18,25"
    text "$jp_font" 15 "$navy" 12 0 'クリア' bold
    # shellcheck disable=SC2046
    button "BTN_CLEAR$hv" 95 43 7 "$wbg" 765 52 $(pick "$hv" "$light" "$light_hv")

    # Cut, 65x83 at 433,235: an arrow from the page to the preview.
    shape "fill 'rgba(120,50,0,0.35)' polygon 14,25 33,25 33,15 51,32 33,49 33,39 14,39"
    shape "fill white polygon 13,23 32,23 32,13 50,30 32,47 32,37 13,37"
    shadow_text "$jp_font" 12 white 'rgba(110,45,0,0.45)' 0 25 '切り取り' bold
    # shellcheck disable=SC2046
    button "BTN_CUT$hv" 65 83 8 "$wbg" 433 235 $(pick "$hv" "$orange" "$orange_hv")

    # Open, 65x72 at 433,152: a folder with a card in it, above the cut button.
    shape "fill 'rgba(0,0,0,0.18)' roundrectangle 16,14 50,40 3,3
           fill '#F2B632' roundrectangle 15,11 29,19 2,2 fill '#F5C14A' roundrectangle 15,15 49,39 3,3
           fill white stroke '$navy' stroke-width 1 roundrectangle 21,8 45,24 1.5,1.5 stroke none
           fill '$navy_hi' rectangle 25,12 36,13 rectangle 25,16 32,17
           fill '#E9A516' polygon 15,22 50,22 48,39 17,39"
    text "$jp_font" 13 "$navy" 0 20 '開く' bold
    # shellcheck disable=SC2046
    button "BTN_OPEN$hv" 65 72 8 "$wbg" 433 152 $(pick "$hv" "$light" "$light_hv")

    # Site, 147x57 at 505,610: a globe and two lines of text.
    shape "fill 'rgba(255,255,255,0.16)' stroke white stroke-width 2 circle 26,28 26,42
           fill none stroke-width 1.5 ellipse 26,28 6,14 0,360 line 12,28 40,28
           path 'M 15,20 Q 26,24 37,20' path 'M 15,36 Q 26,32 37,36'"
    shadow_text "$jp_font" 17 white 'rgba(0,0,0,0.35)' 20 -7 'サイトへ' bold
    text "$jp_font" 10 '#CFE2F6' 20 12 '注文・履歴の確認'
    # shellcheck disable=SC2046
    button "BTN_SITE$hv" 147 57 8 "$wbg" 505 610 $(pick "$hv" "$blue" "$blue_hv")

    # Help, 67x34 at 675,622.
    shape "fill '$navy_hi' circle 14,16 14,23"
    text "$latin_font" 11 white -19 0 '?'
    text "$jp_font" 12 "$navy" 10 0 'ヘルプ' bold
    # shellcheck disable=SC2046
    button "BTN_HELP$hv" 67 34 6 "$wbg" 675 622 $(pick "$hv" "$light" "$light_hv")

    # Upload, 89x45 at 775,617: an arrow rising out of a tray.
    shape "fill 'rgba(120,50,0,0.35)' polygon 45,5 53,13 48,13 48,21 42,21 42,13 37,13
           fill white polygon 44,4 52,12 47,12 47,20 41,20 41,12 36,12
           fill none stroke white stroke-width 2 polyline 34,17 34,22 54,22 54,17"
    shadow_text "$jp_font" 12 white 'rgba(110,45,0,0.45)' 0 9 'アップロード' bold
    # shellcheck disable=SC2046
    button "BTN_UPLOAD$hv" 89 45 7 "$wbg" 775 617 $(pick "$hv" "$orange" "$orange_hv")
  done
}

# ---------------------------------------------------------------------------
# Tabs: full rectangles without blue. The corners take the window background;
# the bottom row is hidden by the window region and is brown.

# tab name width height x label face-top face-bottom border text-colour
tab() {
  local name=$1 w=$2 h=$3 x=$4 label=$5 top=$6 bottom=$7 border=$8 colour=$9
  local vh=29 icon
  if [[ $label == 表面 ]]; then
    icon="fill none stroke '$colour' stroke-width 1 roundrectangle 28,10 43,20 1.5,1.5
          stroke none fill '$colour' rectangle 31,13 39,14 rectangle 31,16 36,17"
  else
    icon="fill none stroke '$colour' stroke-width 1 roundrectangle 28,10 43,20 1.5,1.5
          stroke none fill '$colour' rectangle 32,14 39,16"
  fi
  backdrop "$tmp/window_bg.png" "$w" "$vh" "$x" 70 "$tmp/back.png"
  im -size "${w}x$((vh + 6))" xc:black -fill white -draw "roundrectangle 0,0 $((w - 1)),$((vh + 5)) 6,6" \
    -crop "${w}x${vh}+0+0" +repage "$tmp/tmask.png"
  im -size "${w}x${vh}" "gradient:$top-$bottom" "$tmp/tmask.png" -alpha off \
    -compose CopyOpacity -composite "$tmp/tface.png"
  im "$tmp/back.png" "$tmp/tface.png" -compose over -composite \
    -fill none -stroke "$border" -strokewidth 1 -draw "roundrectangle 0,0 $((w - 1)),$((vh + 5)) 6,6" \
    -stroke 'rgba(255,255,255,0.5)' -draw "line 6,1 $((w - 7)),1" -stroke none \
    -draw "$icon" \
    -font "$jp_font" -pointsize 14 -fill "$colour" -stroke "$colour" -strokewidth 0.4 \
    -gravity center -annotate +9+1 "$label" -stroke none -gravity northwest \
    -background '#6B4A2B' -gravity south -splice "0x$((h - vh))" "$tmp/tab.png"
  to_bmp "$tmp/tab.png" "$out/$name.bmp"
}

make_tabs() {
  local side name w x sel_h
  for side in FRONT BACK; do
    # The selected front tab is one row taller than the others.
    if [[ $side == FRONT ]]; then name=表面 w=106 x=515 sel_h=31; else name=裏面 w=105 x=622 sel_h=30; fi
    tab "TAB_$side" "$w" 30 "$x" "$name" '#FBFCFD' '#D5DDE5' "$line_grey" "$ink_soft"
    tab "TAB_${side}_HV" "$w" 30 "$x" "$name" '#FFFFFF' '#C9DEF3' '#5F8FC2' "$navy"
    tab "TAB_${side}_SEL" "$w" "$sel_h" "$x" "$name" \
      "$navy_hi" "$navy" "$navy" white
  done
}

# ---------------------------------------------------------------------------
# Page selector buttons on the yellow panel

make_page_buttons() {
  local n
  for n in 1 2 3 4 5; do
    text "$latin_font" 11 '#4A3B00' 0 0 "$n"
    button "PAGE$n" 16 21 3 "$panel_yellow" 0 0 '#FFFFFF' '#F1E7C4' '#A88600'
    shadow_text "$latin_font" 11 white 'rgba(0,0,0,0.4)' 0 0 "$n"
    button "PAGE${n}_SEL" 16 21 3 "$panel_yellow" 0 0 "$navy_hi" "$navy" '#10233D'
  done
  button PAGE_DIS 16 21 3 "$panel_yellow" 0 0 '#EFE8CF' '#D9CFAA' '#B8A868'

  # Refresh: a circular arrow, dark on the light face, white when pressed.
  local colour face name
  for colour in "$navy" white; do
    shape "fill none stroke '$colour' stroke-width 2 path 'M 14.7,6.5 A 5.5,5.5 0 1 1 8.6,4.8'
           stroke none fill '$colour' polygon 8.2,1.3 8.2,8.3 12.4,4.8"
    if [[ $colour == white ]]; then
      face="$navy_hi $navy #10233D" name=PAGE_SHOW_SEL_21
    else
      face='#FFFFFF #F1E7C4 #A88600' name=PAGE_SHOW
    fi
    # shellcheck disable=SC2086  # three colour words
    button "$name" 21 21 4 "$panel_yellow" 0 0 $face
  done
  # The pressed refresh button is one row taller; the window keeps the normal
  # button's shape, so the extra row is cut away like the bottom row.
  im "$out/PAGE_SHOW_SEL_21.bmp" -background "$key" -gravity south -splice 0x1 \
    -alpha off -type TrueColor "BMP3:$out/PAGE_SHOW_SEL.bmp"
  rm -f "$out/PAGE_SHOW_SEL_21.bmp"
}

# ---------------------------------------------------------------------------
# Dialog buttons (login, registration, completion) on the dialog face colour

make_dialog_buttons() {
  local hv
  for hv in '' _HV; do
    text "$jp_font" 13 "$ink" 0 0 'キャンセル' bold
    # shellcheck disable=SC2046
    button "BTN_CANCEL$hv" 100 29 6 "$dialog_face" 0 0 $(pick "$hv" "$light" "$light_hv")

    shadow_text "$jp_font" 13 white 'rgba(110,45,0,0.45)' -10 0 'ログイン' bold
    shape "fill white polygon 81,9 89,14 81,19 stroke white stroke-width 2 line 73,14 82,14"
    # shellcheck disable=SC2046
    button "BTN_LOGIN$hv" 100 29 6 "$dialog_face" 0 0 $(pick "$hv" "$orange" "$orange_hv")

    shape "fill white circle 20,13 20,17 path 'M 12,27 C 12,18 28,18 28,27 Z'
           rectangle 28,19 36,21 rectangle 31,16 33,24"
    shadow_text "$jp_font" 15 white 'rgba(0,60,30,0.45)' 12 0 '新規登録' bold
    # shellcheck disable=SC2046
    button "BTN_REGIST$hv" 121 37 8 "$dialog_face" 0 0 $(pick "$hv" "$green" "$green_hv")

    shape "fill white stroke '$navy' stroke-width 1.5 roundrectangle 14,10 38,25 2,2
           stroke none fill '$ink_soft' rectangle 18,14 28,15 rectangle 18,18 25,19
           fill '#2DA862' circle 38,25 38,32 fill white rectangle 37,21 39,29 rectangle 34,24 42,26"
    text "$jp_font" 15 "$navy" 10 0 '続ける' bold
    # shellcheck disable=SC2046
    button "BTN_GO_RET$hv" 150 37 8 "$dialog_face" 0 0 $(pick "$hv" "$light" "$light_hv")

    shape "fill 'rgba(255,255,255,0.2)' stroke white stroke-width 2 circle 128,18 128,27
           stroke none fill white polygon 125,13 132,18 125,23"
    shadow_text "$jp_font" 15 white 'rgba(110,45,0,0.45)' -10 0 '注文画面へ' bold
    # shellcheck disable=SC2046
    button "BTN_GO_MYPAGE$hv" 150 37 8 "$dialog_face" 0 0 $(pick "$hv" "$orange" "$orange_hv")
  done
}

make_window_bg
make_main_buttons
make_tabs
make_page_buttons
make_dialog_buttons
make_icon logo_art A_NORVALISK
make_icon login_art IMG_LOGIN
make_icon regist_art IMG_REGIST
make_icon complete_art IMG_COMPLETE

python3 "$root/tools/check_skin.py" "$out"
