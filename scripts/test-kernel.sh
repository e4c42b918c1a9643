#!/usr/bin/env bash
# The Linux programs on a real kernel: Debian 12's own kernel in a QEMU virtual machine
# (software emulation), with real HID devices (uhid adapters, QEMU's USB keyboard and
# tablet on xHCI). The guest runs the host's build over a read-only 9p share of the host's
# root and records what happened; the host checks it (tests/kernel/check/check.py).
# Each mode boots the guest once and runs every scenario: "kernel" takes device events
# from the kernel's uevent socket (no udevd), "udev" starts systemd-udevd in the guest.
# Needs root (apt, 9p export of /). Usage:
#   scripts/test-kernel.sh [--mode kernel|udev|both] [scenario ...]
#   scenarios: list program watch gadget reuse window wine (default: all; wine runs in the
#   udev mode only: tests/kernel/wine-prefix.sh prepares it, VUZ_WINDOWS_BUILD as there)
set -euo pipefail
cd "$(dirname "$0")/.."
source=$(pwd)

mode=both
if [[ "${1:-}" == --mode ]]; then
    mode=$2
    shift 2
fi
scenarios=("$@")
[[ ${#scenarios[@]} -gt 0 ]] || scenarios=(list program watch gadget reuse window wine)

[[ $(id -u) -eq 0 ]] || { echo "test-kernel.sh: needs root" >&2; exit 1; }
scripts/install-deps.sh qemu-system-x86 busybox-static cpio kmod udev python3 xdotool
build=$source/build/default
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" \
    --target vuz-cli vuz-utility vuz-uhid-adapter vuz-open-gate

kernel_dir=$source/build/kernel
release=$(tests/kernel/fetch-kernel.sh "$kernel_dir")
tests/kernel/make-initramfs.sh "$kernel_dir/$release" "$release" "$kernel_dir/initramfs.cpio.gz"
[[ " ${scenarios[*]} " == *" wine "* ]] && tests/kernel/wine-prefix.sh "$kernel_dir/wine"

case "$mode" in
both) modes=(kernel udev) ;;
kernel | udev) modes=("$mode") ;;
*) echo "test-kernel.sh: unknown mode $mode" >&2; exit 64 ;;
esac

status=0
for run in "${modes[@]}"; do
    results=$kernel_dir/results-$run
    rm -rf "$results"
    mkdir -p "$results"
    cat >"$results/run.conf" <<EOF
RESULTS=$results
RUNNER=$source/tests/kernel/guest/run.sh
BUILD=$build
SOURCE=$source
SCENARIOS="${scenarios[*]}"
UDEV=$([[ $run == udev ]] && echo 1 || echo 0)
EOF
    events="the kernel's uevent socket (no udevd)"
    [[ $run == udev ]] && events="systemd-udevd"
    echo "== real kernel ($release), device events from $events: ${scenarios[*]}"
    started=$SECONDS
    # Each scenario has 10 minutes in the guest; boot and power-off take well under one.
    vm_status=0
    tests/kernel/run-vm.sh "$kernel_dir/$release/boot/vmlinuz-$release" \
        "$kernel_dir/initramfs.cpio.gz" "$results" $((120 + 600 * ${#scenarios[@]})) ||
        vm_status=$?
    echo "   guest ran $((SECONDS - started)) s"
    if [[ $vm_status -ne 0 ]] || ! grep -q "vuz-init: runner ended" "$results/console.log"; then
        echo "FAIL: the guest did not complete (QEMU status $vm_status); its console:"
        tail -n 40 "$results/console.log" || true
        status=1
    fi
    /usr/bin/python3 tests/kernel/check/check.py "$results" "${scenarios[@]}" || status=1
done
exit "$status"
