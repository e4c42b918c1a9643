# The window (vuz-utility on Xvfb) with the adapter plugged during start-up: created while
# the program is held just after it starts listening for device events, before its window
# shows. Then one Program click, the adapter unplugged, and the window closed as by its
# close box (WM_DELETE_WINDOW).
if [[ -z "${DISPLAY:-}" ]]; then
    exec "$SOURCE/scripts/with-xvfb.sh" bash "$GUEST/windowplug.sh" "$1"
fi
source "$GUEST/lib.sh"
source "$GUEST/window-lib.sh"

# The program is held right after it binds its device-event socket (before its window
# exists); the adapter is plugged then, so its event waits in the socket, and let go.
export VUZ_EVENT_GATE=/tmp/vuz-event-gate
rm -rf "$VUZ_EVENT_GATE"
mkdir -p "$VUZ_EVENT_GATE"
start_utility "$BUILD/tests/kernel/vuz-event-gate.so"
render_label not-found "Please connect VUZ Device." "#FF0000" &
render=$!
wait_until 1200 test -e "$VUZ_EVENT_GATE/bound" || fail "vuz-utility did not bind an event socket"
note listening
shown && note "window showed before the adapter" || note "no window yet"
start_device KRN00006 "ZEM VUZ Device"
note plugged
touch "$VUZ_EVENT_GATE/go"
wait_shown
wait_colour connected "#0000FF" 90 || fail "the adapter was not connected"
window=$(window_id)
# Program (460, 17, 90 x 25): one click, one report.
xdotool mousemove --window "$window" 505 29 click 1
note clicked
wait_until 300 grep -q "^output" "$out/KRN00006.log" || fail "nothing was written"
note unplugging
stop_device KRN00006
note unplugged
wait_colour not-found "#FF0000" 60 || fail "the window did not show the adapter gone"
wait_until 100 grep -q " VUZ Device is not found.\$" "$out/window-log" ||
    echo "the event log has no not-found line"
python3 "$GUEST/close-window.py" "$window" || fail "cannot send WM_DELETE_WINDOW"
note close
wait_ended 30
wait "$render"
