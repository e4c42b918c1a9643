# vuz-cli program --wait 60 started before the adapter exists; another uhid device (not an
# adapter) is there all along. Each device logs every output report it receives.
source "$GUEST/lib.sh"
start_device OTHER0002 "Other HID Device" 1234 5678
"$cli" program --wait 60 >"$out/program.out" 2>"$out/program.err" &
program=$!
wait_until 600 grep -q "Waiting up to 60 s" "$out/program.err" || fail "program did not start waiting"
start_device KRN00002 "ZEM VUZ Device"
wait "$program"
echo $? >"$out/program.rc"
stop_device KRN00002
stop_device OTHER0002
