#!/usr/bin/env bash
# Draws the pictures of orvo_Printer's main window and its icon with
# ImageMagick. The results are committed under printer/resources/, so a build
# never needs ImageMagick; run this again only to change the artwork.
#   logo.png            105 x 105, the main window's logo
#   close_normal.png    46 x 28, the close button at rest (on the white title strip)
#   close_released.png  46 x 28, under the mouse, button up
#   close_pressed.png   46 x 28, while pressed
#   tool_*.png          20 x 20, the preview's tool-bar pictures (save, print,
#                       actual size, fit width, fit page, zoom out, zoom in)
#   tool_separator.png  3 x 17, the tool bar's group separator
#   bar_close_*.png     46 x 28, the floating title bar's close button (on its orange)
#   orvo_Printer.ico    16, 24, 32, 48 and 256 pixels
set -eu
repo="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$repo/printer/resources}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Strip dates and other metadata so the PNGs only change when the drawing does.
png() {  # convert arguments..., output file last
    local args=("$@") outfile="${@: -1}"
    unset 'args[${#args[@]}-1]'
    convert "${args[@]}" -strip -define png:exclude-chunks=date,time "PNG32:$outfile"
}

# The emblem: a rounded blue tile with a white printer that has a sheet in it,
# drawn at 420 x 420 and scaled down, which gives smooth edges at every size.
emblem() {  # $1 = output file
    convert -size 420x420 gradient:'#2F80ED-#1456B8' -alpha set \
        \( -size 420x420 xc:none -fill white -draw 'roundrectangle 0,0 419,419 84,84' \) \
        -compose DstIn -composite -compose Over \
        -fill white -stroke none \
        -draw 'roundrectangle 130,70 290,170 10,10' \
        -fill '#1456B8' -draw 'rectangle 150,90 270,170' \
        -fill white -draw 'roundrectangle 70,150 350,290 28,28' \
        -fill '#1456B8' -draw 'circle 306,190 318,190' \
        -fill white -stroke '#1456B8' -strokewidth 12 \
        -draw 'rectangle 130,240 290,360' \
        -stroke '#2F80ED' -strokewidth 10 \
        -draw 'line 158,282 262,282' -draw 'line 158,312 262,312' -draw 'line 158,342 226,342' \
        "$1"
}

emblem "$work/emblem.png"
png "$work/emblem.png" -resize 105x105 "$out/logo.png"

# The close cross: two 1.5-pixel strokes, 10 pixels across, centred.
cross() {  # $1 = background, $2 = stroke colour, $3 = output
    convert -size 184x112 "xc:$1" -stroke "$2" -strokewidth 6 \
        -draw 'line 72,36 112,76' -draw 'line 112,36 72,76' \
        -resize 46x28 "$work/cross.png"
    png "$work/cross.png" "$3"
}
cross white '#505050' "$out/close_normal.png"
cross '#E81123' white "$out/close_released.png"
cross '#B30F1E' white "$out/close_pressed.png"

# The preview's tool bar: dark grey line drawings at 80 x 80, scaled to 20 x 20.
tool() {  # $1 = output name, then -draw primitives
    local name="$1"; shift
    convert -size 80x80 xc:none -fill none -stroke '#3C3C3C' -strokewidth 6 "$@" \
        -resize 20x20 "$work/$name"
    png "$work/$name" "$out/$name"
}
tool tool_save.png -draw 'roundrectangle 10,10 70,70 6,6' \
    -fill '#3C3C3C' -draw 'rectangle 22,10 58,30' -fill none -draw 'rectangle 22,46 58,70'
tool tool_print.png -draw 'rectangle 22,8 58,30' -draw 'roundrectangle 8,30 72,58 6,6' \
    -fill white -draw 'rectangle 22,48 58,74'
tool tool_actual_size.png -draw 'rectangle 12,12 68,68' \
    -strokewidth 5 -draw 'line 30,26 30,54' -draw 'line 50,26 50,54' -draw 'point 40,34' -draw 'point 40,46'
tool tool_fit_width.png -draw 'rectangle 20,8 60,72' \
    -draw 'line 4,40 76,40' -draw 'line 4,40 14,30' -draw 'line 4,40 14,50' -draw 'line 76,40 66,30' -draw 'line 76,40 66,50'
tool tool_fit_page.png -draw 'rectangle 20,8 60,72' \
    -draw 'line 40,4 40,76' -draw 'line 40,4 30,14' -draw 'line 40,4 50,14' -draw 'line 40,76 30,66' -draw 'line 40,76 50,66'
tool tool_zoom_out.png -draw 'circle 34,34 34,8' -draw 'line 52,52 74,74' -draw 'line 22,34 46,34'
tool tool_zoom_in.png -draw 'circle 34,34 34,8' -draw 'line 52,52 74,74' -draw 'line 22,34 46,34' \
    -draw 'line 34,22 34,46'
# A groove: a dark line beside a light one.
convert -size 3x17 xc:none -fill '#A0A0A0' -draw 'line 0,0 0,16' -fill white -draw 'line 1,0 1,16' \
    "$work/sep.png"
png "$work/sep.png" "$out/tool_separator.png"

# The floating title bar's close cross, white on the bar's orange.
cross '#F74A09' white "$out/bar_close_normal.png"
cross '#FF7A45' white "$out/bar_close_released.png"
cross '#C23A05' white "$out/bar_close_pressed.png"

for s in 16 24 32 48 256; do
    convert "$work/emblem.png" -resize ${s}x${s} "PNG32:$work/icon-$s.png"
done
convert "$work"/icon-16.png "$work"/icon-24.png "$work"/icon-32.png "$work"/icon-48.png "$work"/icon-256.png \
    "$out/orvo_Printer.ico"
echo "assets written to $out"
