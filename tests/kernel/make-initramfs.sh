#!/usr/bin/env bash
# Builds the guest's initramfs: busybox (static), tests/kernel/init and the kernel modules
# the rig needs with everything they depend on, in load order (from the unpacked kernel's
# modules.dep, through modprobe --show-depends).
# Usage: tests/kernel/make-initramfs.sh KERNEL_ROOT RELEASE OUTPUT
set -euo pipefail
root=$(realpath "$1")
release=$2
output=$3
here=$(dirname "$(realpath "$0")")

modules=(
    # HID: the adapter through /dev/uhid, USB HID devices, the generic driver.
    uhid hid-generic usbhid
    # USB: QEMU's xHCI controller; dummy_hcd and the HID gadget for a real USB adapter.
    xhci-pci dummy_hcd libcomposite usb_f_hid
    # The host's root and the results directory over 9p on virtio.
    virtio_pci 9pnet_virtio 9p
)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work"/{bin,dev,proc,sys,host,results,modules}
cp /bin/busybox "$work/bin/busybox"
cp "$here/init" "$work/init"
chmod +x "$work/init"

: >"$work/modules/order"
declare -A seen=()
for module in "${modules[@]}"; do
    lines=$(modprobe -d "$root" -S "$release" --show-depends "$module")
    while read -r kind path _; do
        [[ "$kind" == insmod ]] || continue
        name=$(basename "$path")
        [[ -n "${seen[$name]:-}" ]] && continue
        seen[$name]=1
        cp "$path" "$work/modules/$name"
        echo "$name" >>"$work/modules/order"
    done <<<"$lines"
done

(cd "$work" && find . -print0 | cpio --null -o -H newc --quiet) | gzip -1 >"$output.tmp"
mv "$output.tmp" "$output"
