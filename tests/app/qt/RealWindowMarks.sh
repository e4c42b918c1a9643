#!/usr/bin/env bash
# The real windows of vuz-utility and vuz-demo on an X server (Xvfb), looked at from outside:
# - the utility's title is exactly "ZEM VUZ Utility V1.0", the demo's carries
#   " (demo: simulated adapter)", and their window icons (_NET_WM_ICON) differ;
# - the window manager is told the design size as the minimum, and with a window manager
#   that keeps to it (openbox, when installed) a window resized below its design size ends
#   at the design size (and still grows).
# Exits 77 (skipped) without Xvfb, xdotool, xwininfo or xprop. Every X call is bounded.
# Usage: RealWindowMarks.sh <vuz-utility> <vuz-demo>
set -euo pipefail
# shellcheck source=RealWindowPrelude.sh
source "$(dirname "$0")/RealWindowPrelude.sh"
require_tools Xvfb xdotool xwininfo xprop

# shellcheck disable=SC2016
"$(dirname "$0")/../../../scripts/with-xvfb.sh" bash -c '
    set -u
    utility=$1 demo=$2 work=$3
    pids=()
    trap "kill \${pids[*]} 2>/dev/null; wait 2>/dev/null" EXIT
    managed=no
    if command -v openbox >/dev/null; then
        for _ in 1 2 3; do
            openbox --sm-disable > "$work/openbox.log" 2>&1 &
            wm=$!
            for _ in $(seq 100); do
                kill -0 "$wm" 2>/dev/null || break
                if timeout 5 xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; then
                    managed=yes
                    break
                fi
                sleep 0.1
            done
            [[ $managed == yes ]] && break
            kill "$wm" 2>/dev/null
            wait "$wm" 2>/dev/null
        done
        [[ $managed == yes ]] || fail "openbox did not start"
        pids+=("$wm")
    fi
    # Starts a program and sets id to its window titled exactly $2 (a regex).
    start() {
        env -u QT_QPA_PLATFORM "$1" > "$work/$(basename "$1").log" 2>&1 &
        pids+=($!)
        id=
        for _ in $(seq 200); do
            id=$(timeout 5 xdotool search --onlyvisible --name "$2" 2>/dev/null | head -n 1)
            [[ -n "$id" ]] && return 0
            sleep 0.1
        done
        fail "$(basename "$1"): no window titled \"$2\""
    }
    size() { timeout 5 xwininfo -id "$1" | awk "/^  Width:/ {w=\$2} /^  Height:/ {h=\$2} END {print w \"x\" h}"; }
    # Waits up to 5 s for window $1 to be $2 pixels.
    wait_size() {
        for _ in $(seq 50); do
            [[ $(size "$1") == "$2" ]] && return 0
            sleep 0.1
        done
        return 1
    }
    # Grows window $1 to 900 x 200, then asks for $2 x $3 and prints the size it gets.
    shrink() {
        timeout 5 xdotool windowsize "$1" 900 200
        wait_size "$1" 900x200 || fail "the window does not grow to 900 x 200: $(size "$1")"
        timeout 5 xdotool windowsize "$1" "$2" "$3"
        for _ in $(seq 50); do
            [[ $(size "$1") != 900x200 ]] && break
            sleep 0.1
        done
        size "$1"
    }
    icon() { timeout 5 xprop -id "$1" -notype _NET_WM_ICON | md5sum | cut -d" " -f1; }

    start "$utility" "^ZEM VUZ Utility V1\.0$"
    echo "vuz-utility: window \"$(xdotool getwindowname "$id")\""
    design=$(size "$id")
    echo "vuz-utility: design size $design"
    hints=$(timeout 5 xprop -id "$id" WM_NORMAL_HINTS)
    grep -q "minimum size: ${design/x/ by }$" <<<"$hints" ||
        fail "the window manager is not told the minimum size $design: $hints"
    echo "vuz-utility: the window manager is told the minimum size $design"
    if [[ $managed == yes ]]; then
        got=$(shrink "$id" 268 52)
        [[ $got == "$design" ]] || fail "grown, then resized to 268 x 52, the window is $got, not $design"
        echo "vuz-utility: grown to 900 x 200, then resized to 268 x 52: ends at $got"
    else
        echo "vuz-utility: no window manager (openbox) to keep to it; resizing not tried"
    fi
    utility_icon=$(icon "$id")
    timeout 5 xprop -id "$id" -notype _NET_WM_ICON | grep -q "^_NET_WM_ICON = " ||
        fail "vuz-utility: no window icon"

    start "$demo" "^ZEM VUZ Utility V1\.0 \(demo: simulated adapter\)$"
    echo "vuz-demo: window \"$(xdotool getwindowname "$id")\""
    timeout 5 xprop -id "$id" -notype _NET_WM_ICON | grep -q "^_NET_WM_ICON = " ||
        fail "vuz-demo: no window icon"
    [[ $(icon "$id") != "$utility_icon" ]] || fail "vuz-demo has the utility'"'"'s window icon"
    echo "vuz-demo: its own window icon"
    if [[ $managed == yes ]]; then
        got=$(shrink "$id" 300 40)
        [[ $got == "$design" ]] || fail "vuz-demo grown, then resized to 300 x 40 is $got, not $design"
        echo "vuz-demo: grown to 900 x 200, then resized to 300 x 40: ends at $got"
    fi
' _ "$1" "$2" "$work"
