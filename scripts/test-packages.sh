#!/usr/bin/env bash
# CI: builds the release packages (scripts/package.sh), checks both Debian packages with
# lintian, installs the command line alone and then the window with it, runs what they
# installed, purges them and checks that nothing is left behind; then unpacks the Windows zip and runs its command-line program under Wine.
# Needs root (or sudo) for apt; leaves the packages uninstalled, also when a check fails.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

as_root=()
[[ $(id -u) -eq 0 ]] || as_root=(sudo)

scripts/install-deps.sh lintian unzip wine64
scripts/package.sh

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/package/CMakeCache.txt)
revision=$(sed -n 's/^set(VUZ_DEBIAN_REVISION \([0-9]*\))$/\1/p' packaging/CMakeLists.txt)
arch=$(dpkg --print-architecture)
cli_deb=dist/vuz-cli_${version}-${revision}_${arch}.deb
gui_deb=dist/vuz-utility_${version}-${revision}_${arch}.deb
zip=dist/vuz-utility-${version}-windows-x64.zip

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
work=$(mktemp -d "${TMPDIR:-/tmp}/vuz-packages.XXXXXX")
installed_by_us=0
purge() {
    DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get -o DPkg::Lock::Timeout=300 \
        purge -y -qq "$@" >"$work/apt.log" 2>&1
}
cleanup() {
    if [[ $installed_by_us -eq 1 ]]; then
        purge vuz-utility vuz-cli || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

install_debs() {
    installed_by_us=1
    DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get -o DPkg::Lock::Timeout=300 \
        install -y -qq "$@" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "install $*"; }
}

# Fails unless each path is an installed regular file.
expect_files() {
    local path
    for path in "$@"; do
        [[ -f "$path" ]] || fail "$path not installed"
    done
}

# Fails when a program's libraries are not all there after its package's install.
expect_libraries() {
    if ldd "$1" | grep -q 'not found'; then
        ldd "$1"
        fail "a library of $1 is missing: its package's dependencies are incomplete"
    fi
}

# Purges the packages and fails when one of the files they installed is left behind.
purge_and_check() {
    local files=$work/files-$1
    : >"$files"
    local package
    for package in "$@"; do
        dpkg-query -L "$package" >>"$files"
    done
    echo "== apt-get purge $*"
    purge "$@" || { cat "$work/apt.log"; fail "purge $*"; }
    for package in "$@"; do
        if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q -v 'not-installed'; then
            fail "$package is still known to dpkg: $(dpkg-query -W -f='${Status}' "$package")"
        fi
    done
    local left=() path
    while IFS= read -r path; do
        if [[ -L "$path" || (-e "$path" && ! -d "$path") ]]; then
            left+=("$path")
        elif [[ -d "$path" && -z "$(ls -A "$path")" ]] && ! dpkg-query -S "$path" >/dev/null 2>&1; then
            left+=("$path/") # an empty directory of ours that no other package owns
        fi
    done <"$files"
    [[ ${#left[@]} -eq 0 ]] || fail "left behind after purge: ${left[*]}"
    echo "purged, nothing left behind"
}

for deb in "$cli_deb" "$gui_deb"; do
    [[ -f "$deb" ]] || fail "$deb was not built"
    echo "== lintian $deb"
    # Fails on errors; warnings and notes are listed.
    status=0
    lintian --fail-on error --display-info "$deb" >"$work/lintian" 2>&1 || status=$?
    grep -v -F 'running with root privileges' "$work/lintian" || true
    [[ $status -eq 0 ]] || fail "lintian reports errors (exit status $status)"
done

# The command line must not pull in the toolkit: a headless machine installs it alone.
cli_depends=$(dpkg-deb -f "$cli_deb" Depends)
echo "vuz-cli depends on: $cli_depends"
if grep -q -i -E 'qt|libgl|libx|gtk' <<<"$cli_depends"; then
    fail "vuz-cli depends on a graphical library"
fi
gui_depends=$(dpkg-deb -f "$gui_deb" Depends)
grep -q -E "(^|, )vuz-cli \(= ${version}-${revision}\)" <<<"$gui_depends" ||
    fail "vuz-utility does not depend on exactly this vuz-cli: $gui_depends"

echo "== apt-get install ./$cli_deb (alone)"
install_debs "./$cli_deb"
expect_files /usr/bin/vuz-cli \
    /usr/lib/udev/rules.d/70-vuz-utility.rules \
    /usr/share/man/man1/vuz-cli.1.gz \
    /usr/share/doc/vuz-cli/copyright \
    /usr/share/doc/vuz-cli/changelog.Debian.gz
[[ -x /usr/bin/vuz-cli ]] || fail "/usr/bin/vuz-cli not executable"
expect_libraries /usr/bin/vuz-cli
if ldd /usr/bin/vuz-cli | grep -q -i qt; then
    fail "vuz-cli links Qt"
fi
for path in /usr/bin/vuz-utility /usr/share/applications/vuz-utility.desktop; do
    [[ ! -e "$path" ]] || fail "$path came with vuz-cli"
done
echo "installed: $(dpkg-query -L vuz-cli | grep -c .) paths"
echo "== vuz-cli list"
/usr/bin/vuz-cli list || fail "vuz-cli list exited with $?"
purge_and_check vuz-cli

echo "== apt-get install ./$gui_deb (pulls in vuz-cli)"
# apt takes the local vuz-cli package for the dependency when both are named.
install_debs "./$gui_deb" "./$cli_deb"
expect_files /usr/bin/vuz-utility /usr/bin/vuz-cli \
    /usr/lib/udev/rules.d/70-vuz-utility.rules \
    /usr/share/applications/vuz-utility.desktop \
    /usr/share/icons/hicolor/scalable/apps/vuz-utility.svg \
    /usr/share/man/man1/vuz-utility.1.gz \
    /usr/share/doc/vuz-utility/copyright \
    /usr/share/doc/vuz-utility/changelog.Debian.gz
[[ -x /usr/bin/vuz-utility ]] || fail "/usr/bin/vuz-utility not executable"
expect_libraries /usr/bin/vuz-utility
echo "installed: $(dpkg-query -L vuz-utility | grep -c .) paths, $(dpkg-query -W -f='${Depends}' vuz-utility)"

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

# Purging the window leaves the command line; then that goes too.
files_cli_before=$(dpkg-query -L vuz-cli | sort)
purge_and_check vuz-utility
dpkg-query -W -f='${Status}' vuz-cli | grep -q 'install ok installed' ||
    fail "purging vuz-utility removed vuz-cli"
[[ "$(dpkg-query -L vuz-cli | sort)" == "$files_cli_before" ]] ||
    fail "vuz-cli's files changed when vuz-utility was purged"
expect_files /usr/bin/vuz-cli /usr/lib/udev/rules.d/70-vuz-utility.rules
purge_and_check vuz-cli
installed_by_us=0

echo "== $zip"
mkdir "$work/zip"
unzip -q "$zip" -d "$work/zip"
top=$work/zip/vuz-utility-${version}-windows-x64
[[ -f "$top/README.txt" ]] || fail "README.txt missing from the zip"
grep -q $'\r$' "$top/README.txt" || fail "README.txt has no CRLF line ends"
# Written for Windows users: plain text that names every program, no developer's Markdown.
if grep -n -E '```|^#|\]\(|apt-get|\./run|\./test|udev' "$top/README.txt"; then
    fail "README.txt has Markdown or Linux developer text (lines above)"
fi
while IFS= read -r program; do
    grep -q "^$(basename "$program")" "$top/README.txt" || fail "README.txt does not describe $program"
done < <(cd "$top" && find . -iname '*.exe')
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
