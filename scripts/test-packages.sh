#!/usr/bin/env bash
# CI: builds the release packages (scripts/package.sh), checks the Debian package with
# lintian, installs it with apt, runs what it installed, purges it and checks that nothing
# is left behind; then unpacks the Windows zip and runs its command-line program under Wine.
# Needs root (or sudo) for apt; leaves the package uninstalled, also when a check fails.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

as_root=()
[[ $(id -u) -eq 0 ]] || as_root=(sudo)

scripts/install-deps.sh lintian unzip wine64
scripts/package.sh

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/package/CMakeCache.txt)
deb=dist/vuz-utility_${version}_$(dpkg --print-architecture).deb
zip=dist/vuz-utility-${version}-windows-x64.zip
package=vuz-utility

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
work=$(mktemp -d "${TMPDIR:-/tmp}/vuz-packages.XXXXXX")
installed_by_us=0
cleanup() {
    if [[ $installed_by_us -eq 1 ]]; then
        "${as_root[@]}" apt-get -o DPkg::Lock::Timeout=300 purge -y -qq "$package" >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

echo "== lintian $deb"
# Fails on errors; warnings and notes are listed.
status=0
lintian --fail-on error --display-info "$deb" >"$work/lintian" 2>&1 || status=$?
grep -v -F 'running with root privileges' "$work/lintian" || true
[[ $status -eq 0 ]] || fail "lintian reports errors (exit status $status)"

echo "== apt-get install ./$deb"
installed_by_us=1
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get -o DPkg::Lock::Timeout=300 \
    install -y -qq "./$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "install"; }
dpkg-query -L "$package" >"$work/files"

for path in /usr/bin/vuz-utility \
    /usr/lib/udev/rules.d/70-vuz-utility.rules \
    /usr/share/applications/vuz-utility.desktop \
    /usr/share/icons/hicolor/scalable/apps/vuz-utility.svg \
    /usr/share/man/man1/vuz-utility.1.gz \
    /usr/share/doc/vuz-utility/copyright \
    /usr/share/doc/vuz-utility/changelog.gz; do
    [[ -f "$path" ]] || fail "$path not installed"
done
[[ -x /usr/bin/vuz-utility ]] || fail "/usr/bin/vuz-utility not executable"
if ldd /usr/bin/vuz-utility | grep -q 'not found'; then
    ldd /usr/bin/vuz-utility
    fail "a library of vuz-utility is missing: the package's dependencies are incomplete"
fi
echo "installed: $(grep -c . "$work/files") paths, $(dpkg-query -W -f='${Depends}' "$package")"

echo "== vuz-utility on the offscreen platform"
mkdir -m 700 "$work/runtime"
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work/runtime /usr/bin/vuz-utility \
    >"$work/stdout" 2>"$work/stderr" &
program=$!
sleep 3
if ! kill -0 "$program" 2>/dev/null; then
    status=0
    wait "$program" || status=$?
    cat "$work/stderr" >&2
    fail "vuz-utility ended after less than 3 s (exit status $status)"
fi
kill -TERM "$program"
for _ in $(seq 50); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$program" 2>/dev/null && { kill -KILL "$program"; fail "vuz-utility ignored SIGTERM"; }
wait "$program" 2>/dev/null || true
# The offscreen platform's note that it cannot pass size hints to a window manager is
# expected; anything else is not.
if grep -v -F 'This plugin does not support propagateSizeHints()' "$work/stderr" | grep -q .; then
    cat "$work/stderr" >&2
    fail "vuz-utility wrote to standard error"
fi
echo "ran 3 s without error"

if [[ -x /usr/bin/vuz-cli ]]; then
    echo "== vuz-cli list"
    /usr/bin/vuz-cli list || fail "vuz-cli list exited with $?"
fi

echo "== apt-get purge $package"
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get -o DPkg::Lock::Timeout=300 \
    purge -y -qq "$package" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "purge"; }
installed_by_us=0
if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q -v 'not-installed'; then
    fail "$package is still known to dpkg: $(dpkg-query -W -f='${Status}' "$package")"
fi
left=()
while IFS= read -r path; do
    if [[ -L "$path" || (-e "$path" && ! -d "$path") ]]; then
        left+=("$path")
    elif [[ -d "$path" && -z "$(ls -A "$path")" ]] && ! dpkg-query -S "$path" >/dev/null 2>&1; then
        left+=("$path/")  # an empty directory of ours that no other package owns
    fi
done <"$work/files"
[[ ${#left[@]} -eq 0 ]] || fail "left behind after purge: ${left[*]}"
echo "purged, nothing left behind"

echo "== $zip"
mkdir "$work/zip"
unzip -q "$zip" -d "$work/zip"
top=$work/zip/vuz-utility-${version}-windows-x64
[[ -f "$top/README.txt" ]] || fail "README.txt missing from the zip"
grep -q $'\r$' "$top/README.txt" || fail "README.txt has no CRLF line ends"
for licence in GCC-runtime-libraries GPL-3 mingw-w64-runtime; do
    [[ -s "$top/licenses/$licence.txt" ]] || fail "licenses/$licence.txt missing from the zip"
done
mapfile -t programs < <(cd "$top" && find . -iname '*.exe' | sort)
if [[ ${#programs[@]} -eq 0 ]]; then
    echo "The zip has no .exe yet (the Windows build installs none): skipping the Wine run."
else
    echo "programs: ${programs[*]}"
    # Each program must run from the zip alone: no MinGW runtime DLL may be needed.
    for program in "${programs[@]}"; do
        dlls=$(x86_64-w64-mingw32-objdump -p "$top/$program" | sed -n 's/^\s*DLL Name: //p')
        if grep -i -E '^lib|mingw' <<<"$dlls"; then
            fail "$program needs a MinGW runtime DLL"
        fi
    done
    cli=$(cd "$top" && find . -iname 'vuz-cli.exe' | head -n 1)
    if [[ -z "$cli" ]]; then
        echo "No vuz-cli.exe in the zip: skipping the Wine run."
    else
        wine=/usr/lib/wine/wine64
        wineserver=/usr/lib/wine/wineserver
        [[ -x "$wine" ]] || wine=$(command -v wine64)
        [[ -x "$wineserver" ]] || wineserver=$(command -v wineserver)
        export WINEPREFIX=$work/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C.UTF-8
        trap '"$wineserver" -k >/dev/null 2>&1 || true; cleanup' EXIT
        "$wine" wineboot -i >/dev/null 2>&1
        echo "== wine $cli --version"
        (cd "$top" && "$wine" "$cli" --version) || fail "vuz-cli.exe --version exited with $?"
    fi
fi

echo "packages checked in $((SECONDS - started)) s"
