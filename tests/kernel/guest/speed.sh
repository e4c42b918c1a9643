# Speed, side by side on the same kernel: the time from the adapter's creation to its report
# arriving at the device, for vuz-cli program --wait and for a polling loop built on hidapi
# (vuz-hidapi-poll: enumerate every 100 ms, open the first adapter, write). Both are
# waiting before the adapter is created; SPEED_ROUNDS rounds (default 10) each, taken in
# turn. The adapter logs both moments on the guest's monotonic clock (--timestamps); the
# host computes the times. Round K: devices SPDV0K (vuz-cli) and SPDH0K (hidapi).
source "$GUEST/lib.sh"
[[ -f "$RESULTS/run.conf" ]] && source "$RESULTS/run.conf"
rounds=${SPEED_ROUNDS:-10}
poll="$BUILD/tests/kernel/vuz-hidapi-poll"
[[ -x "$poll" ]] || fail "no $poll (the build lacks hidapi)"

# timed_device SERIAL: the adapter, its log with times; returns once its node exists.
timed_device() {
    rm -f "$pipes/$1.ctl"
    mkfifo "$pipes/$1.ctl"
    "$adapter" --name "ZEM VUZ Device" --serial "$1" --log "$out/$1.log" \
        --control "$pipes/$1.ctl" --timestamps &
    adapter_pid[$1]=$!
    wait_until 300 node_exists "$1" || fail "no hidraw node for $1"
}

# measure SERIAL COMMAND...: COMMAND waits for the adapter (it says so on stderr), then the
# adapter is created; records COMMAND's exit code.
measure() {
    local serial=$1 ready=$2
    shift 2
    "$@" >"$out/$serial.out" 2>"$out/$serial.err" &
    local program=$!
    wait_until 300 grep -q "$ready" "$out/$serial.err" || echo "$serial: the program did not wait"
    timed_device "$serial"
    wait "$program"
    echo $? >"$out/$serial.rc"
    stop_device "$serial"
}

for ((round = 1; round <= rounds; round++)); do
    measure "SPDV0$round" "Waiting up to" "$cli" program --wait 60
    measure "SPDH0$round" "polling" "$poll" 60
done
echo "$rounds" >"$out/rounds"
