#!/usr/bin/env bash
# Boots the guest once: Debian's kernel, the rig's initramfs, the host's root read-only and
# RESULTS writable over 9p, QEMU's xHCI with a USB keyboard and tablet. The guest writes its
# console to RESULTS/console.log. Bounded: QEMU is killed after SECONDS. With QMP, QEMU's
# monitor listens on that socket (tests/kernel/monitor.py drives it for the guest).
# Usage: tests/kernel/run-vm.sh KERNEL INITRAMFS RESULTS SECONDS [QMP]
set -euo pipefail
kernel=$1
initramfs=$2
results=$(realpath "$3")
seconds=$4
monitor=()
[[ -n "${5:-}" ]] && monitor=(-qmp "unix:$5,server=on,wait=off")

status=0
timeout --kill-after=10 "$seconds" qemu-system-x86_64 \
    -nodefaults -no-user-config -display none -no-reboot \
    -accel tcg -smp 2 -m 3072 \
    -kernel "$kernel" -initrd "$initramfs" \
    -append "console=ttyS0 panic=-1 loglevel=4 no_timer_check rdinit=/init" \
    -serial "file:$results/console.log" \
    -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
    -virtfs "local,path=$results,mount_tag=results,security_model=none" \
    -device qemu-xhci,id=xhci -device usb-kbd,bus=xhci.0 -device usb-tablet,bus=xhci.0 \
    -monitor none "${monitor[@]}" || status=$?
if [[ $status -eq 124 || $status -eq 137 ]]; then
    echo "run-vm.sh: the guest did not power off within $seconds s" >&2
fi
exit "$status"
