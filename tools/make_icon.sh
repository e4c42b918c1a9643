#!/usr/bin/env bash
# Renders the programs' pictures into their icons: packaging/<name>.svg becomes the Windows
# program's packaging/<name>.ico (16 to 256 pixels) and the Qt window's icon
# app/resources/<name>.png (64 pixels), for vuz-utility and vuz-demo (or the names given).
# Run once after changing a picture; the icons are kept in the repository so that builds
# need neither tool. Needs rsvg-convert (librsvg2-bin) and ImageMagick.
# Usage: tools/make_icon.sh [name...]
set -euo pipefail
cd "$(dirname "$0")/.."

names=("$@")
[[ ${#names[@]} -gt 0 ]] || names=(vuz-utility vuz-demo)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sizes=(16 20 24 32 40 48 64 256)
# ImageMagick's own program, not a wrapper of the same name earlier on PATH.
magick=/usr/bin/convert
[[ -x "$magick" ]] || magick=convert
for name in "${names[@]}"; do
    frames=()
    for size in "${sizes[@]}"; do
        rsvg-convert -w "$size" -h "$size" -o "$work/$name-$size.png" "packaging/$name.svg"
        frames+=("$work/$name-$size.png")
    done
    "$magick" "${frames[@]}" "packaging/$name.ico"
    cp "$work/$name-64.png" "app/resources/$name.png"
    echo "packaging/$name.ico app/resources/$name.png"
done
