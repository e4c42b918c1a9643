#!/usr/bin/env bash
# Runs vuz-demo as a real window on an X server (Xvfb) and uses it from the keyboard only,
# with real key events (xdotool): once the simulated adapter is connected, one Space writes
# exactly one report and the program goes on running; Tab then Space on "Exit" ends it with
# exit code 0. Exits 77 (skipped) without Xvfb or xdotool. Every wait is bounded, and a demo
# that ends early fails the test at once with its output.
# Usage: ProgramByKeyboard.sh <vuz-demo>
set -euo pipefail
demo=$1
# shellcheck source=RealWindowPrelude.sh
source "$(dirname "$0")/RealWindowPrelude.sh"
require_tools Xvfb xdotool

# shellcheck disable=SC2016
"$(dirname "$0")/../../../scripts/with-xvfb.sh" bash -c '
    set -u
    demo=$1 work=$2
    env -u QT_QPA_PLATFORM "$demo" > "$work/demo.log" 2>&1 & pid=$!
    trap "kill $pid 2>/dev/null; wait $pid 2>/dev/null" EXIT
    fail() {
        echo "FAIL: $1"
        echo "--- vuz-demo output:"
        cat "$work/demo.log"
        exit 1
    }
    demo_runs() { kill -0 "$pid" 2>/dev/null; }
    writes() { grep -c "write  to DEMO0001: 05 00 02" "$work/demo.log" || true; }
    # Waits up to $2 tenths of a second for a line matching $1 while the demo runs.
    wait_for_line() {
        for _ in $(seq "$2"); do
            grep -q -E "$1" "$work/demo.log" && return 0
            demo_runs || fail "vuz-demo ended before \"$1\""
            sleep 0.1
        done
        fail "no line matching \"$1\""
    }
    # The demo window'"'"'s title may carry a suffix after the product name.
    window=
    for _ in $(seq 100); do
        demo_runs || fail "vuz-demo ended before its window appeared"
        window=$(timeout 5 xdotool search --onlyvisible --name "^ZEM VUZ Utility V1\.0" 2>/dev/null | head -n 1) || true
        [[ -n $window ]] && break
        sleep 0.1
    done
    [[ -n $window ]] || fail "no window titled \"ZEM VUZ Utility V1.0...\""
    # No window manager runs here: the keyboard goes to the window once it has the X focus.
    timeout 5 xdotool windowfocus --sync "$window" || fail "the window does not take the focus"

    wait_for_line "log +ZEM VUZ DEMO0001 is connected\." 150
    timeout 5 xdotool key space
    wait_for_line "log +KVM Programmer is enabled\." 100
    demo_runs || fail "vuz-demo ended after one Space"
    echo "Space: $(writes) report written, the program still runs"

    timeout 5 xdotool key Tab
    timeout 5 xdotool key space
    for _ in $(seq 100); do
        demo_runs || break
        sleep 0.1
    done
    demo_runs && fail "still running 10 s after Tab, Space"
    code=0
    wait "$pid" || code=$?
    trap - EXIT
    [[ $code -eq 0 ]] || fail "exit code $code after Tab, Space"
    [[ $(writes) -eq 1 ]] || fail "$(writes) reports written; one expected"
    echo "Tab, Space: exit code 0; one report written in all"
' _ "$demo" "$work"
