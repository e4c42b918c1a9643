# vuz-cli watch --json: the adapter arrives, sends one input report and leaves.
source "$GUEST/lib.sh"
"$cli" watch --json >"$out/watch.json" 2>"$out/watch.err" &
watch=$!
# The devices present at start are listed first.
wait_until 600 grep -q '"event":"present"' "$out/watch.json" || fail "watch listed nothing present"
start_device KRN00003 "ZEM VUZ Device"
wait_until 600 grep -q '"event":"arrival".*KRN00003' "$out/watch.json" || fail "no arrival seen"
# The report is sent once watch reads the adapter (the kernel drops input nobody reads).
wait_until 300 device_says KRN00003 open || fail "watch did not open the adapter"
device_command KRN00003 "input 05 11 22 33 44 55 66 77"
wait_until 300 grep -q '"event":"report"' "$out/watch.json" || fail "no report seen"
stop_device KRN00003
wait_until 600 grep -q '"event":"removal".*KRN00003' "$out/watch.json" || fail "no removal seen"
kill -INT "$watch"
wait "$watch"
echo $? >"$out/watch.rc"
