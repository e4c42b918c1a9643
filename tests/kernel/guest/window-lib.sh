# Helpers for the window scenarios, sourced after lib.sh inside an X session (DISPLAY set).
# vuz-utility runs with its hidden event log recorded by the preloaded log tap
# ($out/window-log); what happened when goes to $out/events as "SECONDS WHAT" lines.
title="ZEM VUZ Utility V1.0"
utility=

note() {
    echo "$(date +%s.%N) $*" >>"$out/events"
}

# start_utility [PRELOAD]: with another library preloaded as well.
start_utility() {
    LD_PRELOAD="$BUILD/tests/kernel/vuz-log-tap.so ${1:-}" VUZ_LOG_TAP="$out/window-log" \
        "$BUILD/app/vuz-utility" >"$out/utility.log" 2>&1 &
    utility=$!
    note started
}

# Running and not yet a zombie (kill -0 succeeds on a zombie too).
running() {
    local pid state rest
    read -r pid state rest <"/proc/$utility/stat" 2>/dev/null || return 1
    state=${rest%% *}
    [[ "$state" != Z ]]
}

shown() {
    timeout 5 xwininfo -name "$title" >/dev/null 2>&1
}

# Polls for the window (under emulation it takes 15-60 s to appear).
wait_shown() {
    local deadline=$((SECONDS + 240))
    while ((SECONDS < deadline)); do
        running || fail "vuz-utility ended before its window showed"
        if shown; then
            note shown
            return 0
        fi
        sleep 0.1
    done
    fail "no window within 240 s"
}

# The status line's colours (at (53, 18) of the client area, at most 350 x 16), from a
# screenshot kept as $out/NAME.png.
status_colours() {
    timeout 10 import -window "$title" "$out/$1.png" 2>/dev/null || return 0
    convert "$out/$1.png" -crop 350x16+53+18 +repage -format %c histogram:info:- |
        grep -o "#[0-9A-F]\{6\}" | sort -u | tr "\n" " "
}

# wait_colour NAME COLOUR SECONDS: until the status line has COLOUR; notes NAME then.
wait_colour() {
    local deadline=$((SECONDS + $3)) now=
    while ((SECONDS < deadline)); do
        now=$(status_colours "$1")
        echo "$now" >"$out/$1.colours"
        if [[ "$now" == *"$2"* ]]; then
            note "$1"
            return 0
        fi
        sleep 0.1
    done
    note "not $1"
    return 1
}

# render_label NAME TEXT COLOUR: the status line as the window draws it with this text, as
# $out/NAME-reference.png, for the host to compare with the window's pixels.
render_label() {
    timeout 120 "$BUILD/tests/kernel/vuz-label-render" "$2" "$3" "$out/$1-reference.png" \
        >>"$out/render.log" 2>&1
}

window_id() {
    xdotool search --name "^$title\$" | head -1
}

# Waits at most SECONDS for the program to end; its exit code goes to $out/utility.rc.
wait_ended() {
    local deadline=$((SECONDS + $1))
    while ((SECONDS < deadline)) && running; do
        sleep 0.1
    done
    if running; then
        note "still running after $1 s"
        kill -KILL "$utility"
    else
        note ended
    fi
    wait "$utility"
    echo $? >"$out/utility.rc"
}
