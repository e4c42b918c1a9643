# vuz-cli watch --json on the adapter as a real USB device: the kernel's HID gadget function
# on dummy_hcd (serial GDG00002) is bound, sends one input report written into its /dev/hidgN
# and is unbound again. The kernel's record of it is kept for the host's check.
source "$GUEST/lib.sh"
make_adapter_gadget vuzwatch GDG00002 0x0124
# The gadget goes away whole at the end, whatever happened, so that others can be made.
remove_gadget() {
    [[ -d "$gadget" ]] || return 0
    echo "" >"$gadget/UDC" 2>/dev/null
    rm -f "$gadget/configs/c.1/hid.usb0"
    rmdir "$gadget/configs/c.1/strings/0x409" "$gadget/configs/c.1" "$function" \
        "$gadget/strings/0x409" "$gadget"
}
trap 'kill $(jobs -p) 2>/dev/null; wait; remove_gadget' EXIT

"$cli" watch --json >"$out/watch.json" 2>"$out/watch.err" &
watch=$!
wait_until 600 grep -q '"event":"present"' "$out/watch.json" || fail "watch listed nothing present"
udc=$(ls /sys/class/udc | head -1)
[[ -n "$udc" ]] || fail "no USB device controller (dummy_hcd)"
echo "$udc" >"$gadget/UDC"
# The function's own node, made when the gadget is bound (/dev/hidg0, or another number if
# another gadget exists already).
hidg_uevent=/sys/dev/char/$(cat "$function/dev")/uevent
wait_until 300 test -f "$hidg_uevent" || fail "no node for the gadget's function"
hidg=/dev/$(sed -n 's/^DEVNAME=//p' "$hidg_uevent")
wait_until 300 test -c "$hidg" || fail "no $hidg"
wait_until 300 node_exists GDG00002 || fail "no hidraw node for the gadget"
wait_until 600 grep -q '"event":"arrival".*GDG00002' "$out/watch.json" || fail "no arrival seen"
node=$(hidraw_of GDG00002)
dump_sysfs "$out/sysfs"
# The report goes out once watch reads the adapter's node (usbhid polls only while it is open).
reading() { ls -l "/proc/$watch/fd" 2>/dev/null | grep -q " $node\$"; }
wait_until 300 reading || fail "watch did not open $node"
printf '\x05\xa1\xb2\xc3\xd4\xe5\xf6\x07' | timeout 10 dd of="$hidg" bs=8 count=1 status=none ||
    fail "cannot write into $hidg"
wait_until 300 grep -q '"event":"report"' "$out/watch.json" || fail "no report seen"
echo "" >"$gadget/UDC"
wait_until 300 bash -c "! grep -qsx HID_UNIQ=GDG00002 /sys/class/hidraw/hidraw*/device/uevent" ||
    fail "the gadget's node stayed"
wait_until 600 grep -q "\"event\":\"removal\".*\"$node\"" "$out/watch.json" || fail "no removal seen"
kill -INT "$watch"
wait "$watch"
echo $? >"$out/watch.rc"
