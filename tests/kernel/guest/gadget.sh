# The adapter as a real USB device: the kernel's HID gadget function (configfs, usb_f_hid)
# on the dummy_hcd virtual host controller, so the guest's usbhid driver binds it and its
# USB identity (IDs, bcdDevice, strings) comes from a real USB device. vuz-cli program
# --wait 60 is started before the gadget is bound; /dev/hidg0 shows what reached it.
source "$GUEST/lib.sh"
make_adapter_gadget vuz GDG00001 0x0123

"$cli" program --wait 60 >"$out/program.out" 2>"$out/program.err" &
program=$!
wait_until 600 grep -q "Waiting up to 60 s" "$out/program.err" || fail "program did not start waiting"
udc=$(ls /sys/class/udc | head -1)
[[ -n "$udc" ]] || fail "no USB device controller (dummy_hcd)"
echo "$udc" >"$gadget/UDC"
wait_until 300 test -c /dev/hidg0 || fail "no /dev/hidg0"
# Every output report the host sends, one per line.
stdbuf -oL od -An -tx1 -w8 -v /dev/hidg0 >"$out/hidg0.log" &
wait "$program"
echo $? >"$out/program.rc"
wait_until 300 grep -q . "$out/hidg0.log" || echo "nothing reached /dev/hidg0"
wait_until 300 node_exists GDG00001 || fail "no hidraw node for the gadget"
dump_sysfs "$out/sysfs"
"$cli" list --json >"$out/list.json" 2>"$out/list.err"
echo $? >"$out/list.rc"
echo "" >"$gadget/UDC"
