#!/usr/bin/env bash
# Cross-builds the core (runtime, platform, hid) for 64-bit Windows with MinGW-w64 and runs
# its tests under Wine, in a throw-away Wine prefix.
# Usage: scripts/test-windows.sh [ctest argument ...]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh g++-mingw-w64-x86-64-posix wine64

# Debian keeps Wine's programs off PATH.
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
[[ -x "$wine" ]] || wine=$(command -v wine64)
[[ -x "$wineserver" ]] || wineserver=$(command -v wineserver)

WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/vuz-wine.XXXXXX")
export WINEPREFIX WINE="$wine"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C.UTF-8
cleanup() {
    "$wineserver" -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

echo "Preparing a Wine prefix in $WINEPREFIX"
"$wine" wineboot -i >/dev/null 2>&1
# Without a display driver Wine cannot create even hidden top-level windows.
"$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
"$wineserver" -k >/dev/null 2>&1 || true
"$wineserver" -w >/dev/null 2>&1 || true
# One long-lived server, its background services started before the tests: otherwise the
# first test may wait on them for a long time.
"$wineserver" -p 600 >/dev/null 2>&1
"$wine" cmd /c exit >/dev/null 2>&1

cmake --preset windows
cmake --build --preset windows
ctest --preset windows "$@"
