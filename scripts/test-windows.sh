#!/usr/bin/env bash
# Cross-builds the core (runtime, platform, hid) for 64-bit Windows with MinGW-w64 and runs
# its tests under Wine, in a throw-away Wine prefix.
# Usage: scripts/test-windows.sh [ctest argument ...]
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++-mingw-w64-x86-64-posix wine64)
missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
if [[ ${#missing[@]} -gt 0 ]]; then
    as_root=()
    if [[ $(id -u) -ne 0 ]]; then
        command -v sudo >/dev/null || { echo "Need root (or sudo) to install: ${missing[*]}" >&2; exit 1; }
        as_root=(sudo)
    fi
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    "${as_root[@]}" apt-get -o DPkg::Lock::Timeout=300 update -qq
    "${as_root[@]}" apt-get -o DPkg::Lock::Timeout=300 install -y -qq --no-install-recommends \
        "${missing[@]}"
fi

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
