# The adapter as a real USB device: the kernel's HID gadget function (configfs, usb_f_hid)
# on the dummy_hcd virtual host controller, so the guest's usbhid driver binds it and its
# USB identity (IDs, bcdDevice, strings) comes from a real USB device. vuz-cli program
# --wait 60 is started before the gadget is bound; /dev/hidg0 shows what reached it.
source "$GUEST/lib.sh"
config=/sys/kernel/config
mountpoint -q "$config" || mount -t configfs none "$config" || fail "no configfs"
gadget=$config/usb_gadget/vuz
mkdir "$gadget" || fail "cannot make a gadget"
echo 0x0416 >"$gadget/idVendor"
echo 0x8249 >"$gadget/idProduct"
echo 0x0123 >"$gadget/bcdDevice"
echo 0x0200 >"$gadget/bcdUSB"
mkdir "$gadget/strings/0x409"
echo "ZEM" >"$gadget/strings/0x409/manufacturer"
echo "VUZ Device" >"$gadget/strings/0x409/product"
echo "GDG00001" >"$gadget/strings/0x409/serialnumber"
mkdir -p "$gadget/configs/c.1/strings/0x409"
echo "VUZ" >"$gadget/configs/c.1/strings/0x409/configuration"
function=$gadget/functions/hid.usb0
mkdir "$function"
echo 0 >"$function/protocol"
echo 0 >"$function/subclass"
echo 8 >"$function/report_length"
# The adapter's report descriptor: report ID 5, 7-byte input and output payloads.
printf '\x06\x00\xff\x09\x01\xa1\x01\x85\x05\x15\x00\x26\xff\x00\x75\x08\x95\x07\x09\x02\x81\x02\x09\x03\x91\x02\xc0' \
    >"$function/report_desc"
ln -s "$function" "$gadget/configs/c.1/"

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
