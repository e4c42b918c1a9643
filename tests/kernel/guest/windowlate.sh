# The window (vuz-utility on Xvfb) started without the adapter; once it shows "Please connect
# VUZ Device." (red) the adapter is plugged and must be found (blue). Then SIGTERM, which
# must end the program promptly.
if [[ -z "${DISPLAY:-}" ]]; then
    exec "$SOURCE/scripts/with-xvfb.sh" bash "$GUEST/windowlate.sh" "$1"
fi
source "$GUEST/lib.sh"
source "$GUEST/window-lib.sh"

start_utility
render_label connected "ZEM VUZ KRN00007 is connected." "#0000FF" &
render=$!
wait_shown
wait_colour not-found "#FF0000" 90 || fail "the window did not show the adapter missing"
start_device KRN00007 "ZEM VUZ Device"
note plugged
wait_colour connected "#0000FF" 60 || fail "the adapter plugged later was not connected"
kill -TERM "$utility"
note sigterm
wait_ended 10
wait "$render"
