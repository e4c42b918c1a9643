#!/usr/bin/env bash
# Real-window checks of the Windows programs under Wine's X11 driver in Xvfb: the window
# appears with its title, its controls sit where the layout puts them, it does not shrink
# below its design size, vuz-utility.exe on Wine's own HID devices reports the adapter
# missing after its countdown, the demo (titled as the demo) finds its simulated adapter,
# its status bar shows one size grip after two drags of the corner, "Program" writes the
# command (from the keyboard too: Space once it is connected) and "Exit" ends the program
# with code 0 (also Tab, Space).
# The window's own tests run here too, since only here does what it paints reach a screen.
# Usage: scripts/test-windows-gui.sh [--screenshot]   (after scripts/test-windows.sh built
# build-windows/; uses WINEPREFIX when set, else a throw-away prefix)
# --screenshot also writes docs/screenshot-windows.png (the demo, connected).
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-windows
wine=${WINE:-/usr/lib/wine/wine64}
wineserver=/usr/lib/wine/wineserver
[[ -x "$wine" ]] || wine=$(command -v wine64)
[[ -x "$wineserver" ]] || wineserver=$(command -v wineserver)
export WINE="$wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C.UTF-8

if [[ "${1:-}" != --inside ]]; then
    scripts/install-deps.sh xvfb xdotool imagemagick
    own_prefix=
    if [[ -z "${WINEPREFIX:-}" ]]; then
        WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/vuz-wine-gui.XXXXXX")
        own_prefix=$WINEPREFIX
    fi
    export WINEPREFIX
    # A wineserver started outside this X session would keep the programs off the display.
    "$wineserver" -k >/dev/null 2>&1 || true
    "$wineserver" -w >/dev/null 2>&1 || true
    status=0
    scripts/with-xvfb.sh "$0" --inside "$@" || status=$?
    "$wineserver" -k >/dev/null 2>&1 || true
    [[ -n "$own_prefix" ]] && rm -rf "$own_prefix"
    exit "$status"
fi
shift
screenshot=no
[[ "${1:-}" == --screenshot ]] && screenshot=yes

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
check="$build/tests/app/win32/vuz-window-check.exe"
utility_title='ZEM VUZ Utility V1.0'
demo_title='ZEM VUZ Utility V1.0 (demo: simulated adapter)'

fail() { echo "FAIL: $*"; exit 1; }
# Waits up to $2 seconds for a line matching $1 in file $3.
wait_for_line() {
    local deadline=$((SECONDS + $2))
    until grep -q -E "$1" "$3"; do
        ((SECONDS < deadline)) || { cat "$3"; fail "no line matching '$1' within $2 s"; }
        sleep 0.2
    done
}
# Waits up to $2 seconds for process $1 to end; its exit code must be 0.
wait_for_exit_zero() {
    local deadline=$((SECONDS + $2)) code=0
    while kill -0 "$1" 2>/dev/null; do
        ((SECONDS < deadline)) || { kill "$1"; fail "still running after $2 s"; }
        sleep 0.2
    done
    wait "$1" || code=$?
    [[ $code -eq 0 ]] || fail "exit code $code"
}
# The X window of the program window titled exactly $1.
find_window() {
    local pattern
    # shellcheck disable=SC2001,SC2016  # a regex's special characters, escaped
    pattern=$(sed 's/[][\.*^$()+?{}|]/\\&/g' <<<"$1")
    timeout 30 xdotool search --sync --onlyvisible --name "^$pattern\$" | head -n 1
}
# Waits up to 10 s for the window titled $1 to have the outer size $2 ("W x H").
wait_for_size() {
    local deadline=$((SECONDS + 10)) seen
    until seen=$("$wine" "$check" --title "$1" size | tr -d '\r') && [[ $seen == "$2" ]]; do
        ((SECONDS < deadline)) || fail "'$1' is $seen, not $2"
        sleep 0.2
    done
}
# Drags the bottom-right corner of X window $1 by ($2, $3) pixels, as a user does.
drag_corner() {
    # shellcheck disable=SC2034  # all set by the eval
    local X Y WIDTH HEIGHT SCREEN WINDOW x y
    eval "$(xdotool getwindowgeometry --shell "$1")"
    x=$((X + WIDTH - 2)) y=$((Y + HEIGHT - 2))
    xdotool mousemove --sync "$x" "$y" mousedown 1
    xdotool mousemove --sync $((x + $2 / 2)) $((y + $3 / 2))
    xdotool mousemove --sync $((x + $2)) $((y + $3)) mouseup 1
}
# The status bar's strip of X window $1 (its bottom 26 pixels, right of the status bar's
# first two parts), into $2.
status_strip() {
    local width height
    import -window "$1" "$work/whole.png"
    read -r width height <<<"$(identify -format "%w %h" "$work/whole.png")"
    convert "$work/whole.png" -crop "$((width - 460))x26+460+$((height - 26))" +repage "$2"
}

echo "Preparing the Wine prefix for the X11 display"
[[ -f "$WINEPREFIX/system.reg" ]] || "$wine" wineboot -i >/dev/null 2>&1
"$wine" reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f >/dev/null 2>&1 || true
# No window manager runs here: Wine draws the frame and caption itself, as Windows does.
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
# Wine's own fonts (MS Sans Serif, Tahoma, Marlett for the caption buttons) where a Windows
# program finds them: this Wine build does not look in its data folder.
for font in marlett.ttf ms_sans_serif.ttf tahoma.ttf tahomabd.ttf; do
    [[ -f /usr/share/wine/fonts/$font ]] && cp "/usr/share/wine/fonts/$font" "$WINEPREFIX/drive_c/windows/Fonts/"
done
# The desktop process read the driver setting when the first call above started it: start
# Wine again so that everything runs on the X11 driver.
"$wineserver" -k >/dev/null 2>&1 || true
"$wineserver" -w >/dev/null 2>&1 || true
"$wine" cmd /c exit >/dev/null 2>&1

echo "== the window's own tests, painted on the X11 display"
"$wine" "$build/tests/app/win32/win32_view_tests.exe" --gtest_brief=1 || fail "win32_view_tests.exe"

echo "== vuz-utility.exe on Wine's HID devices"
start=$SECONDS
"$wine" "$build/app/win32/vuz-utility.exe" >"$work/utility.out" 2>&1 &
utility=$!
window=$(find_window "$utility_title") || fail "vuz-utility.exe: no window titled '$utility_title'"
echo "window $window appeared after $((SECONDS - start)) s"
"$wine" "$check" controls || fail "vuz-utility.exe: controls"
design=$("$wine" "$check" size | tr -d '\r')
echo "vuz-utility.exe: design size $design; resized to 268 x 52:"
"$wine" "$check" resize 268 52
wait_for_size "$utility_title" "$design"
drag_corner "$window" -300 -60
echo "vuz-utility.exe: the corner dragged 300 x 60 pixels in:"
wait_for_size "$utility_title" "$design"
"$wine" "$check" controls || fail "vuz-utility.exe: controls after the resizes"
# After the third tick, status panel 1 reads "VUZ Device is not found."
"$wine" "$check" panel 1 "VUZ Device is not found." 30 || fail "vuz-utility.exe: status panel"
"$wine" "$check" status "Please connect VUZ Device." 5 || fail "vuz-utility.exe: status line"
exit_start=$SECONDS
"$wine" "$check" click Exit
wait_for_exit_zero "$utility" 20
echo "vuz-utility.exe ended $((SECONDS - exit_start)) s after Exit"
echo "vuz-utility.exe: ok ($((SECONDS - start)) s)"

demo="$build/app/win32/vuz-demo.exe"
if [[ ! -x "$demo" && ! -f "$demo" ]]; then
    echo "vuz-demo.exe not built; demo checks skipped"
    exit 0
fi
echo "== vuz-demo.exe on the simulated bus"
start=$SECONDS
"$wine" "$demo" >"$work/demo.out" 2>&1 &
demo_pid=$!
window=$(find_window "$demo_title") || fail "vuz-demo.exe: no window titled '$demo_title'"
check_demo() { "$wine" "$build/tests/app/win32/vuz-window-check.exe" --title "$demo_title" "$@"; }
check_demo controls || fail "vuz-demo.exe: controls"
wait_for_line "log +ZEM VUZ DEMO0001 is connected\." 20 "$work/demo.out"
check_demo status "ZEM VUZ DEMO0001 is connected." 5
# From the keyboard, with real key events: "Program" has the focus once it is enabled, so
# one Space writes one report and the program runs on.
writes() { grep -c -E "write +to DEMO0001: 05 00 02 00 00 00 00 00" "$work/demo.out" || true; }
timeout 5 xdotool windowfocus --sync "$window" || true
timeout 5 xdotool key space
wait_for_line "write +to DEMO0001: 05 00 02 00 00 00 00 00" 10 "$work/demo.out"
kill -0 "$demo_pid" 2>/dev/null || fail "vuz-demo.exe ended after one Space"
[[ $(writes) -eq 1 ]] || fail "$(writes) reports written after one Space"
check_demo status "KVM Programmer is enabled." 5
echo "vuz-demo.exe: Space on Program wrote one report"
if [[ $screenshot == yes ]]; then
    import -window "$window" docs/screenshot-windows.png
    echo "wrote docs/screenshot-windows.png"
fi
# Two drags of the corner, then what is on screen against what the window draws afresh.
design=$(check_demo size | tr -d '\r')
drag_corner "$window" 60 20
wait_for_size "$demo_title" "$((${design%% *} + 60)) x $((${design##* } + 20))"
drag_corner "$window" 60 20
wait_for_size "$demo_title" "$((${design%% *} + 120)) x $((${design##* } + 40))"
status_strip "$window" "$work/dragged.png"
check_demo redraw
status_strip "$window" "$work/fresh.png"
differ=$(compare -metric AE "$work/dragged.png" "$work/fresh.png" null: 2>&1) || true
if [[ $differ != 0 ]]; then
    cp "$work/dragged.png" "$work/fresh.png" "${TMPDIR:-/tmp}/" 2>/dev/null || true
    fail "vuz-demo.exe: after two drags the status bar differs from a fresh one in $differ pixels (${TMPDIR:-/tmp}/dragged.png, fresh.png)"
fi
echo "vuz-demo.exe: after two drags of the corner the status bar is drawn as a fresh one"
check_demo click Program
deadline=$((SECONDS + 10))
until [[ $(writes) -ge 2 ]]; do
    ((SECONDS < deadline)) || { cat "$work/demo.out"; fail "no write after the click on Program"; }
    sleep 0.2
done
# Tab moves the focus from "Program" to "Exit"; Space there ends the program with code 0.
exit_start=$SECONDS
timeout 5 xdotool key Tab
timeout 5 xdotool key space
wait_for_exit_zero "$demo_pid" 20
[[ $(writes) -eq 2 ]] || fail "$(writes) reports written for one Space and one click"
echo "vuz-demo.exe ended $((SECONDS - exit_start)) s after Exit"
cat "$work/demo.out"
echo "vuz-demo.exe: ok ($((SECONDS - start)) s)"
