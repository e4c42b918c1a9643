#!/usr/bin/env bash
# Builds the release packages into dist/:
#   vuz-cli_<version>-<rev>_<arch>.deb       the command line, its manual page and the udev
#                                            rule, from a Release build (build/package)
#   vuz-utility_<version>-<rev>_<arch>.deb   the window and its desktop entry; depends on
#                                            vuz-cli
#   vuz-utility-<version>-windows-x64.zip    the programs the Windows build (`windows`
#                                            presets, build-windows/) installs, a README
#                                            for Windows users, the licences of the runtime libraries
#                                            linked into them
# Usage: scripts/package.sh [deb|windows ...]   (both by default)
set -euo pipefail
cd "$(dirname "$0")/.."
umask 022
root=$PWD
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=(deb windows)

scripts/install-deps.sh dpkg-dev file gzip zip g++-mingw-w64-x86-64-posix
mkdir -p dist

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
jobs=$(nproc)

build_deb() {
    local build=build/package
    (
        # The reproducible-build and hardening flags Debian's own packages are built with.
        eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
        export CXXFLAGS="$CXXFLAGS $CPPFLAGS"
        cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DVUZ_BUILD_TESTS=OFF -DVUZ_BUILD_BENCH=OFF -DCMAKE_INSTALL_PREFIX=/usr \
            "${launcher[@]}" >/dev/null
    )
    cmake --build "$build" -j "$jobs"
    rm -rf "$build/cpack"
    cpack --config "$build/CPackConfig.cmake" -B "$root/$build/cpack" >/dev/null
    local debs
    mapfile -t debs < <(find "$build/cpack" -maxdepth 1 -name '*.deb' | sort)
    [[ ${#debs[@]} -gt 0 ]] || { echo "cpack made no .deb" >&2; exit 1; }
    rm -f dist/*.deb
    local deb
    for deb in "${debs[@]}"; do
        cp "$deb" dist/
        echo "dist/$(basename "$deb")"
    done
}

# Text files for Windows users: CRLF line ends.
to_crlf() { sed 's/\r$//; s/$/\r/' "$1" >"$2"; }

build_windows() {
    cmake --preset windows >/dev/null
    cmake --build --preset windows
    local version
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-windows/CMakeCache.txt)
    local name=vuz-utility-$version-windows-x64
    local work=build/package-windows
    local stage=$work/stage top=$work/$name
    rm -rf "$work"
    mkdir -p "$stage"
    cmake --install build-windows --prefix "$stage" --strip >/dev/null
    mkdir -p "$top/licenses"
    # The programs beside the README, whatever else is installed in its own folder.
    if [[ -d "$stage/bin" ]]; then
        cp -r "$stage/bin/." "$top/"
        rm -rf "$stage/bin"
    fi
    cp -r "$stage/." "$top/"
    to_crlf packaging/windows/README.txt "$top/README.txt"
    to_crlf packaging/copyright "$top/licenses/VUZ-Utility.txt"
    # Linked statically into every MinGW-w64 program: libstdc++ and libgcc (GPL 3 with the
    # GCC Runtime Library Exception), the C runtime start-up code and winpthreads.
    to_crlf /usr/share/doc/gcc-mingw-w64-base/copyright "$top/licenses/GCC-runtime-libraries.txt"
    to_crlf /usr/share/common-licenses/GPL-3 "$top/licenses/GPL-3.txt"
    to_crlf /usr/share/doc/mingw-w64-x86-64-dev/copyright "$top/licenses/mingw-w64-runtime.txt"
    to_crlf packaging/windows/LICENSES.txt "$top/licenses/README.txt"

    local programs
    programs=$(cd "$top" && find . -iname '*.exe' | sed 's|^\./||' | sort)
    if [[ -z "$programs" ]]; then
        echo "note: the Windows build installs no programs yet; the zip has the README and licences only" >&2
    else
        echo "programs in the zip:" $programs
    fi
    # Same contents, same archive: fixed time stamps, no extra attributes.
    local stamp
    stamp=$(git log -1 --format=%cI 2>/dev/null || date -u +%FT%TZ)
    find "$top" -exec touch -d "$stamp" {} +
    rm -f "dist/$name.zip"
    (cd "$work" && find "$name" | LC_ALL=C sort | zip -X -q -@ "$root/dist/$name.zip")
    echo "dist/$name.zip"
}

for target in "${targets[@]}"; do
    case "$target" in
    deb) build_deb ;;
    windows) build_windows ;;
    *) echo "unknown package: $target (deb, windows)" >&2; exit 64 ;;
    esac
done
