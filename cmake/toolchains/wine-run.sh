#!/bin/sh
# Runs a cross-built Windows program under Wine. The caller may set WINEPREFIX (a prepared
# throw-away prefix); the rest of the environment keeps Wine quiet and free of dialogs.
WINE=${WINE:-/usr/lib/wine/wine64}
command -v "$WINE" >/dev/null 2>&1 || WINE=wine64
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# Further overrides for one test (e.g. hid=n: a HID.dll beside the program), kept apart
# because a ';' cannot pass through a CMake test property.
if [ -n "$VUZ_WINE_DLL_OVERRIDES" ]; then
    WINEDLLOVERRIDES="$WINEDLLOVERRIDES;$VUZ_WINE_DLL_OVERRIDES"
fi
export LANG="${LANG:-C.UTF-8}"

# Now and then (about one start in a few thousand here) Wine ends with exit code 1 within
# some 10 ms, printing nothing, without having started the program. A run that failed
# within a second and printed nothing never reached the program (every program here
# prints something when it fails): it is started again, twice at the most, with a note.
# The output still streams as it comes (tee), so a run that is killed keeps what it said.
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
trap 'exit 143' TERM INT HUP
mkfifo "$dir/out.pipe" "$dir/err.pipe" || exit 1
retries=0
while :; do
    tee "$dir/out" <"$dir/out.pipe" &
    tee "$dir/err" <"$dir/err.pipe" >&2 &
    start=$(date +%s%N)
    "$WINE" "$@" >"$dir/out.pipe" 2>"$dir/err.pipe"
    code=$?
    elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
    wait
    if [ "$code" -ne 0 ] && [ "$elapsed_ms" -lt 1000 ] && [ ! -s "$dir/out" ] &&
        [ ! -s "$dir/err" ] && [ "$retries" -lt 2 ]; then
        retries=$((retries + 1))
        echo "wine-run.sh: Wine ended at once (exit code $code, ${elapsed_ms} ms, no output)" \
            "without starting the program; starting it again" >&2
        continue
    fi
    exit "$code"
done
