#!/usr/bin/env bash
# The Linux programs on a real kernel: Debian 12's own kernel in a QEMU virtual machine
# (software emulation), with real HID devices (uhid adapters, QEMU's USB keyboard and
# tablet on xHCI). The guest runs the host's build over a read-only 9p share of the host's
# root and records what happened; the host checks it (tests/kernel/check/check.py).
# Each mode boots the guest once and runs every scenario: "kernel" takes device events
# from the kernel's uevent socket (no udevd), "udev" starts systemd-udevd in the guest.
# Needs root (apt, 9p export of /). Usage:
#   scripts/test-kernel.sh [--mode kernel|udev|both] [scenario ...]
#   scenarios: list program watch gadget reuse window soak speed hotplug gadgetwatch
#              windowplug windowlate wine (default: all; wine runs in the udev mode only:
#              tests/kernel/wine-prefix.sh prepares it, VUZ_WINDOWS_BUILD as there)
#   SCENARIO@MODE (e.g. soak@udev) runs that scenario in that mode only.
#   SOAK_CYCLES (default 200) and SPEED_ROUNDS (default 10) size the soak and speed runs.
set -euo pipefail
cd "$(dirname "$0")/.."
source=$(pwd)

mode=both
if [[ "${1:-}" == --mode ]]; then
    mode=$2
    shift 2
fi
scenarios=("$@")
[[ ${#scenarios[@]} -gt 0 ]] || scenarios=(list program watch gadget reuse window soak speed
    hotplug gadgetwatch windowplug windowlate wine)

[[ $(id -u) -eq 0 ]] || { echo "test-kernel.sh: needs root" >&2; exit 1; }
scripts/install-deps.sh qemu-system-x86 busybox-static cpio kmod udev python3 xdotool \
    libhidapi-dev
build=$source/build/default
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" \
    --target vuz-cli vuz-utility vuz-uhid-adapter vuz-open-gate vuz-hidapi-poll vuz-log-tap \
    vuz-event-gate vuz-label-render

kernel_dir=$source/build/kernel
release=$(tests/kernel/fetch-kernel.sh "$kernel_dir")
tests/kernel/make-initramfs.sh "$kernel_dir/$release" "$release" "$kernel_dir/initramfs.cpio.gz"
[[ " ${scenarios[*]} " =~ " wine"(@[a-z]+)?" " ]] && tests/kernel/wine-prefix.sh "$kernel_dir/wine"

case "$mode" in
both) modes=(kernel udev) ;;
kernel | udev) modes=("$mode") ;;
*) echo "test-kernel.sh: unknown mode $mode" >&2; exit 64 ;;
esac

status=0
for run in "${modes[@]}"; do
    here=()
    for scenario in "${scenarios[@]}"; do
        [[ $scenario != *@* || ${scenario#*@} == "$run" ]] && here+=("${scenario%@*}")
    done
    [[ ${#here[@]} -gt 0 ]] || continue
    results=$kernel_dir/results-$run
    rm -rf "$results"
    mkdir -p "$results"
    cat >"$results/run.conf" <<EOF
RESULTS=$results
RUNNER=$source/tests/kernel/guest/run.sh
BUILD=$build
SOURCE=$source
SCENARIOS="${here[*]}"
UDEV=$([[ $run == udev ]] && echo 1 || echo 0)
SOAK_CYCLES=${SOAK_CYCLES:-200}
SPEED_ROUNDS=${SPEED_ROUNDS:-10}
EOF
    events="the kernel's uevent socket (no udevd)"
    [[ $run == udev ]] && events="systemd-udevd"
    echo "== real kernel ($release), device events from $events: ${here[*]}"
    started=$SECONDS
    # Each scenario has 10 minutes in the guest; boot and power-off take well under one.
    vm_status=0
    limit=$((120 + 600 * ${#here[@]}))
    # QEMU's monitor, driven from here at the guest's request (results/monitor/).
    qmp=$kernel_dir/qmp-$run.sock
    rm -f "$qmp"
    tests/kernel/monitor.py "$qmp" "$results/monitor" "$limit" >"$results/monitor.log" 2>&1 &
    monitor=$!
    tests/kernel/run-vm.sh "$kernel_dir/$release/boot/vmlinuz-$release" \
        "$kernel_dir/initramfs.cpio.gz" "$results" "$limit" "$qmp" || vm_status=$?
    kill "$monitor" 2>/dev/null || true
    wait "$monitor" 2>/dev/null || true
    echo "   guest ran $((SECONDS - started)) s:$(for scenario in "${here[@]}"; do
        awk -v name="$scenario" '{ printf " %s %.0f s", name, $2 - $1 }' \
            "$results/$scenario/time" 2>/dev/null
    done)"
    if [[ $vm_status -ne 0 ]] || ! grep -q "vuz-init: runner ended" "$results/console.log"; then
        echo "FAIL: the guest did not complete (QEMU status $vm_status); its console:"
        tail -n 40 "$results/console.log" || true
        status=1
    fi
    /usr/bin/python3 tests/kernel/check/check.py "$results" "${here[@]}" || status=1
done
exit "$status"
