# One of QEMU's USB HID devices (a keyboard with serial HOT00001 on the xHCI) hot-plugged and
# removed through QEMU's monitor while vuz-cli watch --json runs. The host carries out the
# monitor commands (tests/kernel/monitor.py); the kernel's record of the keyboard is kept
# for the host's check.
source "$GUEST/lib.sh"

# monitor NAME JSON: has the host send one QMP command; its answer goes to $out/NAME.reply.
monitor() {
    local dir=$RESULTS/monitor
    mkdir -p "$dir"
    echo "$2" >"$dir/$1.tmp"
    mv "$dir/$1.tmp" "$dir/$1.request"
    wait_until 300 test -s "$dir/$1.reply" || fail "the host did not answer $1"
    cp "$dir/$1.reply" "$out/$1.reply"
    ! grep -q '"error"' "$out/$1.reply" || fail "$1: $(cat "$out/$1.reply")"
}

"$cli" watch --json >"$out/watch.json" 2>"$out/watch.err" &
watch=$!
wait_until 600 grep -q '"event":"present"' "$out/watch.json" || fail "watch listed nothing present"
monitor add '{"execute": "device_add", "arguments": {"driver": "usb-kbd", "bus": "xhci.0", "id": "hotkbd", "serial": "HOT00001"}}'
wait_until 600 node_exists HOT00001 || fail "no hidraw node for the hot-plugged keyboard"
wait_until 600 grep -q '"event":"arrival".*HOT00001' "$out/watch.json" || fail "no arrival seen"
dump_sysfs "$out/sysfs"
monitor del '{"execute": "device_del", "arguments": {"id": "hotkbd"}}'
wait_until 600 bash -c "! grep -qsx HID_UNIQ=HOT00001 /sys/class/hidraw/hidraw*/device/uevent" ||
    fail "the keyboard's node stayed"
node=$(grep -l HID_UNIQ=HOT00001 "$out"/sysfs/*/uevent | head -1)
node=${node%/uevent}
wait_until 600 grep -q "\"event\":\"removal\".*\"/dev/${node##*/}\"" "$out/watch.json" ||
    fail "no removal seen"
kill -INT "$watch"
wait "$watch"
echo $? >"$out/watch.rc"
