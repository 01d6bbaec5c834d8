#!/usr/bin/env bash
# Renders every button bitmap and the program icon (resources/bitmaps/*.svg) to PNG so that a
# person can look at them: NAME@1x.png and NAME@2x.png for each file, on a transparent
# background, plus contact-sheet.png, every picture at 1x and 2x on a button-face grey with its
# name underneath.
#
#   tools/render-bitmaps.sh OUTDIR
#
# Uses rsvg-convert (package librsvg2-bin) when present, else ImageMagick's convert, whose own SVG
# reader draws gradients and transforms poorly. The program itself draws the files with Qt Svg.
set -euo pipefail

if [ $# -ne 1 ]; then
    echo "usage: $0 OUTDIR" >&2
    exit 2
fi
out=$1
here=$(cd "$(dirname "$0")/.." && pwd)
src="$here/resources/bitmaps"
mkdir -p "$out"

# The pixel size a file asks for, from the width and height attributes of its <svg> element.
svg_size() {
    local head
    head=$(tr '\n' ' ' <"$1" | grep -o '<svg[^>]*>' | head -n 1)
    local w h
    w=$(grep -o ' width="[0-9]*"' <<<"$head" | grep -o '[0-9]\+')
    h=$(grep -o ' height="[0-9]*"' <<<"$head" | grep -o '[0-9]\+')
    echo "$w $h"
}

render() { # svg png scale width height
    if command -v rsvg-convert >/dev/null; then
        rsvg-convert -w $(($3 * $4)) -h $(($3 * $5)) -o "$2" "$1"
    else
        convert -background none -density $((96 * $3)) "$1" -resize "$(($3 * $4))x$(($3 * $5))!" "$2"
    fi
}

shopt -s nullglob
files=("$src"/*.svg)
[ ${#files[@]} -gt 0 ] || { echo "no SVG files in $src" >&2; exit 1; }
for svg in "${files[@]}"; do
    name=$(basename "$svg" .svg)
    read -r w h < <(svg_size "$svg")
    if [ -z "$w" ] || [ -z "$h" ]; then
        echo "$svg: no width/height attributes" >&2
        exit 1
    fi
    render "$svg" "$out/$name@1x.png" 1 "$w" "$h"
    render "$svg" "$out/$name@2x.png" 2 "$w" "$h"
done

# Contact sheet: one tile per file (1x beside 2x, name and size underneath), six tiles a row.
face='#f0f0f0'
sheet_dir=$(mktemp -d)
trap 'rm -rf "$sheet_dir"' EXIT
rows=()
row=()
n=0
for svg in "${files[@]}"; do
    name=$(basename "$svg" .svg)
    read -r w h < <(svg_size "$svg")
    tile="$sheet_dir/tile-$n.png"
    convert -background "$face" \
        \( "$out/$name@1x.png" "$out/$name@2x.png" -bordercolor "$face" -border 5 \
           -gravity center +append +repage \) \
        \( -fill '#1d2433' -pointsize 12 label:"$name  ${w}x${h}" \) \
        -gravity center -append +repage -bordercolor "$face" -border 8 -flatten "$tile"
    row+=("$tile")
    n=$((n + 1))
    if [ ${#row[@]} -eq 6 ] || [ "$n" -eq ${#files[@]} ]; then
        convert -background "$face" "${row[@]}" -gravity north +append +repage "$sheet_dir/row-${#rows[@]}.png"
        rows+=("$sheet_dir/row-${#rows[@]}.png")
        row=()
    fi
done
convert -background "$face" "${rows[@]}" -gravity west -append +repage "$out/contact-sheet.png"
echo "wrote $((2 * ${#files[@]})) PNG files and $out/contact-sheet.png"
