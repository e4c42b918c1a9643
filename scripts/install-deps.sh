#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs, only those not installed yet.
# Usage: scripts/install-deps.sh [extra package ...]
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev libudev-dev libhidapi-dev
    nlohmann-json3-dev
    fontconfig fonts-dejavu-core
    xvfb x11-utils imagemagick xdotool openbox
    weston qt6-wayland
    "$@"
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

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
