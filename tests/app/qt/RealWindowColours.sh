#!/usr/bin/env bash
# Runs vuz-demo as a real window on an X server (Xvfb) and reads the status line's colour
# from the window's pixels: green (0,128,0) while it scans, blue (0,0,255) once the adapter
# DEMO0001 is connected. Exits 77 (skipped) without Xvfb or ImageMagick. Every X call is
# bounded, and a demo that ends early fails the test at once with its output.
# Usage: RealWindowColours.sh <vuz-demo>
set -euo pipefail
demo=$1
# shellcheck source=RealWindowPrelude.sh
source "$(dirname "$0")/RealWindowPrelude.sh"
require_tools Xvfb xwininfo import convert

# shellcheck disable=SC2016
"$(dirname "$0")/../../../scripts/with-xvfb.sh" bash -c '
    set -u
    demo=$1 work=$2
    title="ZEM VUZ Utility V1.0 (demo: simulated adapter)"
    env -u QT_QPA_PLATFORM "$demo" > "$work/demo.log" 2>&1 & pid=$!
    trap "kill $pid 2>/dev/null; wait $pid 2>/dev/null" EXIT
    fail() {
        echo "FAIL: $1"
        echo "--- vuz-demo output:"
        cat "$work/demo.log"
        exit 1
    }
    demo_runs() { kill -0 "$pid" 2>/dev/null; }
    # The status line sits at (53, 18) of the client area; it is at most 350 x 16.
    colours() {
        timeout 10 import -window "$title" "$work/shot.png" 2>/dev/null || return 0
        convert "$work/shot.png" -crop 350x16+53+18 +repage -format %c histogram:info:- |
            grep -o "#[0-9A-F]\{6\}" || true
    }
    # Polls the window for up to $2 tenths of a second until the label has pixels of $1.
    wait_for() {
        for _ in $(seq "$2"); do
            demo_runs || fail "vuz-demo ended"
            if colours | grep -qx "$1"; then
                return 0
            fi
            sleep 0.1
        done
        return 1
    }
    for _ in $(seq 100); do
        demo_runs || fail "vuz-demo ended before its window appeared"
        timeout 5 xwininfo -name "$title" >/dev/null 2>&1 && break
        sleep 0.1
    done
    timeout 5 xwininfo -name "$title" >/dev/null 2>&1 || fail "no window titled \"$title\""
    if ! wait_for "#008000" 30; then
        fail "the status line is not green (0,128,0) while scanning; its colours: $(colours | sort -u | head | tr "\n" " ")"
    fi
    echo "scanning: status line painted green (0,128,0)"
    if ! wait_for "#0000FF" 150; then
        fail "the status line is not blue (0,0,255) once connected; its colours: $(colours | sort -u | head | tr "\n" " ")"
    fi
    echo "connected: status line painted blue (0,0,255)"
' _ "$demo" "$work"
