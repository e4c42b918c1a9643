#!/usr/bin/env bash
# Runs a command with DISPLAY on a private X server (Xvfb, 1024x768x24) and stops the server
# after it, waiting until it is gone. The display number is drawn at random and the server
# says when it accepts clients (-displayfd). xvfb-run -a races: a server that is still exiting removes
# the socket of the next one on the same display, and the next client cannot connect.
# Usage: scripts/with-xvfb.sh command [args...]   (exit status: the command's)
set -euo pipefail

dir=$(mktemp -d "${TMPDIR:-/tmp}/vuz-xvfb.XXXXXX")
server=
stop_server() {
    if [[ -n "$server" ]]; then
        kill "$server" 2>/dev/null || true
        wait "$server" 2>/dev/null || true
    fi
    rm -rf "$dir"
}
trap stop_server EXIT

# A display number of its own, drawn at random: a server left to pick one picks the lowest
# free number, and a server still exiting on that number unlinks the socket of the next one.
# A number that is taken makes the server exit at once; then another is tried. -noreset:
# otherwise the server resets when its last client leaves, and a program that connects just
# after the readiness check below meets a server that is not listening ("could not connect
# to display", 1 start in 6 here).
display=
for _ in $(seq 20); do
    candidate=$((100 + RANDOM % 9000))
    rm -f "$dir/display"
    mkfifo "$dir/display"
    # The server writes its display number once it listens; it closes the pipe if it fails.
    Xvfb ":$candidate" -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
        3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
    server=$!
    exec 4<"$dir/display"
    read -r -t 30 -u 4 display || true
    exec 4<&-
    [[ "$display" =~ ^[0-9]+$ ]] && break
    wait "$server" 2>/dev/null || true
    server=
done
if [[ ! "$display" =~ ^[0-9]+$ ]]; then
    echo "with-xvfb.sh: Xvfb did not start:" >&2
    cat "$dir/xvfb.log" >&2
    exit 1
fi

# The number is written once the server listens; a first client proves it answers too.
if command -v xwininfo >/dev/null; then
    for _ in $(seq 50); do
        timeout 5 xwininfo -display ":$display" -root >/dev/null 2>&1 && break
        sleep 0.1
    done
fi

status=0
DISPLAY=":$display" "$@" || status=$?
# A failed command may have met a server in trouble: its log goes with the failure.
if [[ $status -ne 0 && -s "$dir/xvfb.log" ]]; then
    echo "with-xvfb.sh: the command failed; Xvfb on :$display logged:" >&2
    cat "$dir/xvfb.log" >&2
fi
exit "$status"
