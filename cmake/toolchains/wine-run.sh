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
exec "$WINE" "$@"
