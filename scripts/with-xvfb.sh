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

status=0
DISPLAY=":$display" "$@" || status=$?
exit "$status"
