#!/usr/bin/env bash
# Fetches Debian 12's kernel (the image package that linux-image-amd64 depends on) into DIR,
# unpacks it and indexes its modules (depmod). Kept there between runs: a later run only
# checks that the package is still the current one. Prints the kernel release.
# Usage: tests/kernel/fetch-kernel.sh DIR
set -euo pipefail
dir=$1
mkdir -p "$dir"

image_package() {
    apt-cache depends linux-image-amd64 2>/dev/null |
        awk '$1 == "Depends:" && $2 ~ /^linux-image-[0-9]/ { print $2; exit }'
}
package=$(image_package)
if [[ -z "$package" ]]; then
    apt-get -o DPkg::Lock::Timeout=300 update -qq >&2
    package=$(image_package)
fi
[[ -n "$package" ]] || { echo "fetch-kernel.sh: apt knows no linux-image-amd64" >&2; exit 1; }
release=${package#linux-image-}

root="$dir/$release"
if [[ ! -f "$root/.indexed" ]]; then
    rm -rf "$root" "$dir"/*.deb
    # apt's sandbox user cannot write into the build tree; download as the caller.
    (cd "$dir" && apt-get download -qq "$package" 2>&1 | grep -v "unsandboxed" >&2 || true)
    deb=$(ls "$dir"/"$package"_*.deb)
    dpkg-deb -x "$deb" "$root"
    depmod -b "$root" "$release"
    rm -f "$deb"
    touch "$root/.indexed"
fi
echo "$release"
