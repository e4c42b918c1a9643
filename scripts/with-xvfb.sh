#!/usr/bin/env bash
# Runs a command with DISPLAY on a private X server (Xvfb, 1024x768x24) and stops the server
# after it, waiting until it is gone. The server picks a free display itself and says when
# it accepts clients (-displayfd), so back-to-back or parallel runs never share a display or
# race for one; xvfb-run -a does race: a server that is still exiting removes the socket of
# the next one on the same display, and the next client cannot connect.
# Usage: scripts/with-xvfb.sh command [args...]   (exit status: the command's)
set -euo pipefail

dir=$(mktemp -d "${TMPDIR:-/tmp}/vuz-xvfb.XXXXXX")
mkfifo "$dir/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
server=$!
stop_server() {
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
    rm -rf "$dir"
}
trap stop_server EXIT

# The server writes its display number once it listens; it closes the pipe if it fails.
exec 4<"$dir/display"
display=
read -r -t 30 -u 4 display || true
exec 4<&-
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
