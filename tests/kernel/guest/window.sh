# The window (vuz-utility on Xvfb) started with the adapter present while another uhid
# device is created and destroyed again and again, from the program's start until its
# window shows. Records the status line's colours (green: scanning, blue: "ZEM VUZ <serial>
# is connected.", red: not found), a screenshot, then clicks Program once and Exit.
source "$GUEST/lib.sh"
start_device KRN00005 "ZEM VUZ Device"

# The other device: created, started by the kernel and destroyed, as fast as that goes.
"$adapter" --name "Other HID Device" --serial CHURN0001 --vendor 1234 --product 5678 \
    --log "$out/CHURN0001.log" --churn-until "$out/stop-churn" &
churner=$!
export out BUILD
# shellcheck disable=SC2016
"$SOURCE/scripts/with-xvfb.sh" bash -c '
    set -u
    title="ZEM VUZ Utility V1.0"
    "$BUILD/app/vuz-utility" >"$out/utility.log" 2>&1 &
    pid=$!
    running() { kill -0 "$pid" 2>/dev/null; }
    shown() { timeout 5 xwininfo -name "$title" >/dev/null 2>&1; }
    # The status line: at (53, 18) of the client area, at most 350 x 16.
    colours() {
        timeout 10 import -window "$title" "$out/shot.png" 2>/dev/null || return 0
        convert "$out/shot.png" -crop 350x16+53+18 +repage -format %c histogram:info:- |
            grep -o "#[0-9A-F]\{6\}" | sort -u | tr "\n" " "
    }
    for ((i = 0; i < 1800; i++)); do
        running || break
        shown && break
        sleep 0.1
    done
    touch "$out/stop-churn"
    if ! shown; then
        echo "no window" >"$out/state"
        kill "$pid" 2>/dev/null
        wait "$pid"
        exit 1
    fi
    echo "window shown after $SECONDS s"
    # Connected (blue) or not found (red): the countdown has ended either way.
    state=scanning
    for ((i = 0; i < 600; i++)); do
        now=$(colours)
        case "$now" in
        *"#0000FF"*) state=connected; break ;;
        *"#FF0000"*) state=not-found; break ;;
        esac
        sleep 0.1
    done
    echo "$state" >"$out/state"
    echo "status line colours: $now" >"$out/colours"
    cp "$out/shot.png" "$out/window.png"
    window=$(xdotool search --name "^$title\$" | head -1)
    if [[ "$state" == connected ]]; then
        # Program (460, 17, 90 x 25): one click, one report.
        xdotool mousemove --window "$window" 505 29 click 1
        for ((i = 0; i < 300; i++)); do
            grep -q "^output" "$out/KRN00005.log" && break
            sleep 0.1
        done
    fi
    # Exit (557, 17, 89 x 25).
    xdotool mousemove --window "$window" 601 29 click 1
    for ((i = 0; i < 300; i++)); do
        running || break
        sleep 0.1
    done
    if running; then
        echo "Exit did not end the program; SIGTERM" 
        kill "$pid"
    fi
    wait "$pid"
    echo $? >"$out/utility.rc"
'
echo $? >"$out/xsession.rc"
wait "$churner"
stop_device KRN00005
