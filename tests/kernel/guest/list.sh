# vuz-cli list --json with the uhid adapter present beside QEMU's USB keyboard and tablet,
# and what the kernel's sysfs says about each hidraw device at the same time.
source "$GUEST/lib.sh"
start_device KRN00001 "ZEM VUZ Device"
start_device OTHER0001 "Other HID Device" 1234 5678
dump_sysfs "$out/sysfs"
"$cli" list --json >"$out/list.json" 2>"$out/list.err"
echo $? >"$out/list.rc"
"$cli" list >"$out/list.txt" 2>&1
stop_device KRN00001
stop_device OTHER0001
