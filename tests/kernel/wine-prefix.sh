#!/usr/bin/env bash
# Prepares the rig's Wine part on the host: the Windows programs (vuz-cli.exe,
# vuz-utility.exe) and a Wine prefix packed for the guest. `wineboot -i` takes seconds here
# but minutes under emulation, so the guest only unpacks the prefix onto its tmpfs.
# The prefix: Wine's HID bus without SDL (Debian's Wine tries SDL first, fails without
# libSDL2 and then never starts its hidraw backend), Wine drawing its own window frames
# (no window manager in the guest), and Wine's fonts where a Windows program finds them.
# Kept between runs while Wine and this script are unchanged. The programs are copied to
# DIR/programs stripped, as they ship (the guest reads them over 9p, and Wine reads all of
# an image). Writes DIR/wine.conf (PROGRAMS, WINE_PREFIX_PACK) for the guest.
# Usage: tests/kernel/wine-prefix.sh DIR
#   VUZ_WINDOWS_BUILD=DIR uses that Windows build as it is instead of building build-windows.
set -euo pipefail
cd "$(dirname "$0")/../.."
dir=$(realpath -m "$1")
mkdir -p "$dir"

scripts/install-deps.sh g++-mingw-w64-x86-64-posix wine64 fonts-wine zstd
windows_build=${VUZ_WINDOWS_BUILD:-$(pwd)/build-windows}
if [[ -z "${VUZ_WINDOWS_BUILD:-}" ]]; then
    cmake --preset windows >/dev/null
    cmake --build --preset windows -j "$(nproc)" --target vuz-cli vuz-utility
fi
for program in app/cli/vuz-cli.exe app/win32/vuz-utility.exe; do
    [[ -f "$windows_build/$program" ]] || { echo "wine-prefix.sh: no $windows_build/$program" >&2; exit 1; }
done

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
[[ -x "$wine" ]] || wine=$(command -v wine64)
[[ -x "$wineserver" ]] || wineserver=$(command -v wineserver)

pack=$dir/wine-prefix.tar.zst
stamp="$(dpkg-query -W -f='${Version}' wine64) $(sha256sum "$0" | cut -c1-16)"
if [[ ! -f "$pack" || "$(cat "$dir/wine-prefix.stamp" 2>/dev/null)" != "$stamp" ]]; then
    rm -f "$pack" "$dir/wine-prefix.stamp"
    prefix=$(mktemp -d "${TMPDIR:-/tmp}/vuz-kernel-wine.XXXXXX")
    cleanup() {
        WINEPREFIX=$prefix "$wineserver" -k >/dev/null 2>&1 || true
        rm -rf "$prefix"
    }
    trap cleanup EXIT
    export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    echo "Preparing the guest's Wine prefix"
    "$wine" wineboot -i >/dev/null 2>&1
    "$wine" reg add 'HKLM\System\CurrentControlSet\Services\winebus' /v "Enable SDL" \
        /t REG_DWORD /d 0 /f >/dev/null 2>&1
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    for font in marlett.ttf ms_sans_serif.ttf tahoma.ttf tahomabd.ttf; do
        [[ -f /usr/share/wine/fonts/$font ]] &&
            cp "/usr/share/wine/fonts/$font" "$prefix/drive_c/windows/Fonts/"
    done
    # The registry reaches its files when the server ends.
    "$wineserver" -k >/dev/null 2>&1 || true
    "$wineserver" -w >/dev/null 2>&1 || true
    grep -q '"Enable SDL"=dword:00000000' "$prefix/system.reg" ||
        { echo "wine-prefix.sh: the winebus setting did not reach the registry" >&2; exit 1; }
    # Most of the prefix (about 700 MB) is copies of Wine's own DLLs and programs. The guest
    # sees the host's files: links to them make the pack small and its unpacking quick.
    builtins=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
    while IFS= read -r -d '' file; do
        original=$builtins/$(basename "$file")
        [[ -f "$original" ]] && cmp -s "$file" "$original" && ln -sf "$original" "$file"
    done < <(find "$prefix/drive_c" -type f -print0)
    tar -C "$prefix" -cf - . | zstd -q -T2 -3 -o "$pack.tmp"
    mv "$pack.tmp" "$pack"
    echo "$stamp" >"$dir/wine-prefix.stamp"
fi

mkdir -p "$dir/programs"
for program in app/cli/vuz-cli.exe app/win32/vuz-utility.exe; do
    x86_64-w64-mingw32-strip -o "$dir/programs/$(basename "$program")" "$windows_build/$program"
done

cat >"$dir/wine.conf" <<EOF
PROGRAMS=$dir/programs
WINE_PREFIX_PACK=$pack
EOF
