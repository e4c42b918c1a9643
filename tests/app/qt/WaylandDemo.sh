#!/usr/bin/env bash
# Runs vuz-demo as a Wayland client of a headless weston, which shows the window but never
# activates it, and passes once the demo reports the adapter DEMO0001 connected. Exits 77
# (skipped) without weston or Qt's Wayland platform plugin.
# Usage: WaylandDemo.sh <vuz-demo>
set -euo pipefail
demo=$1
if ! command -v weston >/dev/null; then
    echo "SKIP: weston is not installed"
    exit 77
fi
if ! compgen -G "/usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so" >/dev/null; then
    echo "SKIP: Qt's Wayland platform plugin (qt6-wayland) is not installed"
    exit 77
fi

work=$(mktemp -d)
chmod 700 "$work"
export XDG_RUNTIME_DIR=$work
socket=vuz-test-$$
weston_pid=
demo_pid=
finish() {
    [[ -n "$demo_pid" ]] && { kill "$demo_pid" 2>/dev/null || true; wait "$demo_pid" 2>/dev/null || true; }
    [[ -n "$weston_pid" ]] && { kill "$weston_pid" 2>/dev/null || true; wait "$weston_pid" 2>/dev/null || true; }
    rm -rf "$work"
}
trap finish EXIT
fail() {
    echo "FAIL: $1"
    echo "--- vuz-demo output:"
    cat "$work/demo.log" 2>/dev/null || true
    echo "--- weston log:"
    cat "$work/weston.log" 2>/dev/null || true
    exit 1
}

weston --backend=headless-backend.so --socket="$socket" --idle-time=0 >"$work/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 100); do
    [[ -S "$work/$socket" ]] && break
    kill -0 "$weston_pid" 2>/dev/null || fail "weston ended"
    sleep 0.1
done
[[ -S "$work/$socket" ]] || fail "weston opened no socket"

QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=$socket "$demo" >"$work/demo.log" 2>&1 &
demo_pid=$!
# The adapter arrives about 1.4 s after start and is found 3 s later.
for _ in $(seq 200); do
    if grep -q "ZEM VUZ DEMO0001 is connected\." "$work/demo.log"; then
        echo "connected without any activation"
        exit 0
    fi
    kill -0 "$demo_pid" 2>/dev/null || fail "vuz-demo ended"
    sleep 0.1
done
fail "vuz-demo did not report DEMO0001 connected within 20 s"
