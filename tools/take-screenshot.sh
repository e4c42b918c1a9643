#!/usr/bin/env bash
# Takes docs/screenshot.png of the real window under Xvfb (needs xvfb, imagemagick).
# By default it runs the demo, waits until its adapter has been found and presses Space on
# "Program" (which has the focus then), so the picture shows a successful Program.
# Usage: tools/take-screenshot.sh [program] [window title] [output] [seconds to wait]
#        VUZ_SCREENSHOT_PROGRAM=0 leaves Program alone.
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build/default/app/demo/vuz-demo}
title=${2:-ZEM VUZ Utility V1.0 (demo: simulated adapter)}
out=${3:-docs/screenshot.png}
settle=${4:-6}
scripts/with-xvfb.sh bash -c '
    "$0" > /dev/null & pid=$!
    for _ in $(seq 50); do
        xwininfo -name "$1" >/dev/null 2>&1 && break
        sleep 0.1
    done
    sleep "$3"
    if [[ "${VUZ_SCREENSHOT_PROGRAM:-1}" == 1 ]]; then
        pattern=$(printf "%s" "$1" | sed "s/[][().*^$]/\\\\&/g")
        xdotool search --name "^$pattern\$" windowfocus --sync key space || true
        sleep 1
    fi
    import -window "$1" "$2"
    kill "$pid"; wait "$pid" || true
' "$program" "$title" "$out" "$settle"
echo "wrote $out"
