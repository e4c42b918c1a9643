#!/usr/bin/env bash
# Cross-builds the Windows programs (vuz-utility.exe, vuz-demo.exe) and the tests for 64-bit
# Windows with MinGW-w64, checks that the programs need no DLL besides the system's, runs
# the tests under Wine in a throw-away prefix (no display), then the real-window checks
# under Xvfb (scripts/test-windows-gui.sh).
# Usage: scripts/test-windows.sh [ctest argument ...]
set -euo pipefail
cd "$(dirname "$0")/.."

# fonts-wine: the fonts a Windows program expects (MS Sans Serif, Tahoma, Marlett).
scripts/install-deps.sh g++-mingw-w64-x86-64-posix wine64 fonts-wine

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

# Self-contained programs: every DLL they import is one the system has.
system_dlls='^(kernel32|user32|gdi32|comctl32|advapi32|shell32|ole32|oleaut32|msvcrt|ntdll|uxtheme|version|ws2_32|bcrypt|api-ms-win-[a-z0-9-]+)\.dll$'
for program in build-windows/app/win32/*.exe; do
    dlls=$(x86_64-w64-mingw32-objdump -p "$program" | awk '/DLL Name:/ {print $3}')
    echo "$(basename "$program") imports: $(echo $dlls)"
    foreign=$(echo "$dlls" | grep -v -i -E "$system_dlls" || true)
    if [[ -n "$foreign" ]]; then
        echo "$(basename "$program") needs DLLs that are not the system's: $foreign" >&2
        exit 1
    fi
done

ctest --preset windows "$@"

scripts/test-windows-gui.sh
