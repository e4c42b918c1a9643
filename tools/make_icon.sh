#!/usr/bin/env bash
# Renders packaging/vuz-utility.svg into the Windows program's icon, packaging/vuz-utility.ico
# (16 to 256 pixels). Run once after changing the picture; the .ico is kept in the repository
# so that builds need neither tool. Needs rsvg-convert (librsvg2-bin) and ImageMagick.
set -euo pipefail
cd "$(dirname "$0")/.."

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sizes=(16 20 24 32 40 48 64 256)
frames=()
for size in "${sizes[@]}"; do
    rsvg-convert -w "$size" -h "$size" -o "$work/$size.png" packaging/vuz-utility.svg
    frames+=("$work/$size.png")
done
# ImageMagick's own program, not a wrapper of the same name earlier on PATH.
magick=/usr/bin/convert
[[ -x "$magick" ]] || magick=convert
"$magick" "${frames[@]}" packaging/vuz-utility.ico
echo packaging/vuz-utility.ico
