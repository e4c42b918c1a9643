# The node-reuse case: program --serial identifies an adapter at /dev/hidrawN; before its
# write the adapter is removed and another uhid device is created, taking the same hidrawN.
# Nothing may reach that other device. A preloaded gate holds the program at one of its
# calls that name the node (its sysfs link read, the node checked or opened for writing)
# while the devices are swapped: a first run without a hold lists those calls, then one
# round holds the program at each of the last ten of them in turn (the write and the end of
# the search that leads to it; where the hold falls inside the search, the program may
# rightly find no adapter). Round K: adapter KRNA0K, the device that takes its node KRNB0K;
# results in roundK/.
source "$GUEST/lib.sh"
gate_library="$BUILD/tests/kernel/vuz-open-gate.so"

# run_program DIR SERIAL HOLD_AT: the program under the gate; its output in DIR.
run_program() {
    mkdir -p "$1/gate"
    VUZ_OPEN_GATE="$1/gate" VUZ_OPEN_GATE_AT="$3" LD_PRELOAD="$gate_library" \
        "$cli" program --serial "$2" >"$1/program.out" 2>"$1/program.err"
    echo $? >"$1/program.rc"
}

mkdir -p "$out/count/gate"
start_device KRNA0000 "ZEM VUZ Device"
hidraw_of KRNA0000 >"$out/count/gate/node"
run_program "$out/count" KRNA0000 0
stop_device KRNA0000
node=$(cat "$out/count/gate/node" 2>/dev/null)
# The numbers of the calls that name the adapter's node.
awk -v node="${node##*/}" '{ n = split($3, part, "/") } part[n] == node { print $1 }' \
    "$out/count/gate/calls" | tail -n 10 >"$out/rounds"
echo "calls naming the adapter's node $node in one run: $(grep -c "hidraw${node##*/hidraw}\$" "$out/count/gate/calls")"

for round in $(cat "$out/rounds"); do
    dir="$out/round$round"
    a=KRNA0$round b=KRNB0$round
    mkdir -p "$dir"
    start_device "$a" "ZEM VUZ Device"
    hidraw_of "$a" >"$dir/a.node"
    run_program "$dir" "$a" "$round" &
    program=$!
    if wait_until 600 test -f "$dir/gate/paused"; then
        stop_device "$a"
        start_device "$b" "ZEM VUZ Device"
        hidraw_of "$b" >"$dir/b.node"
        touch "$dir/gate/go"
        wait "$program"
        stop_device "$b"
    else
        echo "round $round: the program was never held"
        wait "$program"
        stop_device "$a"
    fi
    mv "$out/$a.log" "$out/$b.log" "$dir/" 2>/dev/null
done
