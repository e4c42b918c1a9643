#!/usr/bin/env bash
# Takes docs/screenshot.png of the real window under Xvfb (needs xvfb, xauth, imagemagick).
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build/default/app/vuz-utility}
title=${2:-ZEM VUZ Utility V1.0}
out=${3:-docs/screenshot.png}
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    "$0" & pid=$!
    for _ in $(seq 50); do
        xwininfo -name "$1" >/dev/null 2>&1 && break
        sleep 0.1
    done
    sleep 0.5
    import -window "$1" "$2"
    kill "$pid"; wait "$pid" || true
' "$program" "$title" "$out"
echo "wrote $out"
