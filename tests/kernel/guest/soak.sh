# Soak: the adapter (SOAK0001, one uhid adapter process) is plugged and unplugged
# SOAK_CYCLES times (default 200) while vuz-cli watch --json runs throughout, with one
# vuz-cli program --wait in every cycle: in odd cycles started before the plug, in even ones
# after it; every tenth cycle the adapter is pulled while the program is held (by the
# preloaded gate) at its open of the node for the write. Another uhid device (OTHER0006) is
# there all along. Records, for the host: cycles (one line per cycle: number, kind, the
# program's exit code; for a pulled one the node it was held at and the adapter's node),
# programs.txt (each program's output), and watch's descriptors, threads and memory after
# every cycle (usage), and when each plug and unplug happened on the guest's clock (timeline;
# with udevd, udevadm monitor's view of the same events is in udev-monitor.log). After three
# cycles in a row in which watch did not report a change within 5 s, the soak ends early
# (the host check then fails on the count). The loop itself starts no process but the
# programs under test: under emulation every process start costs a good part of a second.
source "$GUEST/lib.sh"
[[ -f "$RESULTS/run.conf" ]] && source "$RESULTS/run.conf"
gate_library="$BUILD/tests/kernel/vuz-open-gate.so"
cycles=${SOAK_CYCLES:-200}
serial=SOAK0001
scratch=/tmp/soak
mkdir -p "$scratch"

# A pipe that never has data: a read with a time-out on it sleeps without a process.
mkfifo "$scratch/never"
exec {never}<>"$scratch/never"
nap() { read -r -t 0.02 -u "$never" _ || true; }

# soak_wait SECONDS COMMAND...: polls COMMAND every 20 ms, at most SECONDS.
soak_wait() {
    local tries=$(($1 * 50)) try
    shift
    for ((try = 0; try < tries; try++)); do
        "$@" && return 0
        nap
    done
    return 1
}

# The adapter's hidraw node (into $node), read from sysfs without a process.
adapter_node() {
    local uevent line
    for uevent in /sys/class/hidraw/hidraw*/device/uevent; do
        while IFS= read -r line; do
            if [[ "$line" == "HID_UNIQ=$serial" ]]; then
                node=${uevent%/device/uevent}
                node=/dev/${node##*/}
                return 0
            fi
        done 2>/dev/null <"$uevent"
    done
    return 1
}
adapter_gone() { ! adapter_node; }

# watch's arrivals and removals so far, read as its output grows.
arrivals=0 removals=0 partial=
take_events() {
    local line
    while IFS= read -r -u "$events" line; do
        line=$partial$line
        partial=
        case "$line" in
        *'"event":"arrival"'*) ((arrivals++)) ;;
        *'"event":"removal"'*) ((removals++)) ;;
        esac
    done
    partial+=$line
}
seen_arrivals() { take_events; ((arrivals >= $1)); }
seen_removals() { take_events; ((removals >= $1)); }
watch_present() {
    local line
    while IFS= read -r line; do [[ "$line" == *'"event":"present"'* ]] && return 0; done \
        <"$out/watch.json"
    return 1
}
program_waits() {
    local line
    IFS= read -r line <"$scratch/program.err" && [[ "$line" == "Waiting up to"* ]]
}

# One line: fds threads VmRSS(kB) RssAnon(kB) VmHWM(kB) of the watch process.
usage_of() {
    local fds=(/proc/$1/fd/*) tasks=(/proc/$1/task/*) key value rest rss=? anon=? hwm=?
    while read -r key value rest; do
        case "$key" in
        VmRSS:) rss=$value ;;
        RssAnon:) anon=$value ;;
        VmHWM:) hwm=$value ;;
        esac
    done <"/proc/$1/status"
    echo "${#fds[@]} ${#tasks[@]} $rss $anon $hwm"
}

# The adapter's plug or unplug on the guest's clock (seconds since boot, as udevadm's).
stamp() {
    local uptime _
    read -r uptime _ </proc/uptime
    echo "$cycle $1 $uptime" >>"$out/timeline"
}
plug_command() {
    stamp "$1"
    device_command "$serial" "$1"
}

misses=0
# watch_saw CYCLE arrival|removal: waits up to 5 s for watch to report one more than it had
# when the cycle began (so one lost change does not make every later cycle wait); counts
# misses in a row.
watch_saw() {
    local check=seen_arrivals count=$((arrivals_before + 1))
    [[ $2 == removal ]] && check=seen_removals count=$((removals_before + 1))
    if soak_wait 5 "$check" "$count"; then
        misses=0
        return 0
    fi
    echo "cycle $1: no $2 reported within 5 s"
    ((++misses))
    return 1
}

program_record() {
    local line
    {
        echo "== $1"
        while IFS= read -r line; do echo "$line"; done <"$scratch/program.out"
        while IFS= read -r line; do echo "$line"; done <"$scratch/program.err"
    } >>"$out/programs.txt"
}

start_device OTHER0006 "Other HID Device" 1234 5678
if [[ "${UDEV:-0}" == 1 ]]; then
    # udevadm declines to run in a chroot unless told to.
    SYSTEMD_IGNORE_CHROOT=1 udevadm monitor --udev --kernel --subsystem-match=hidraw \
        >"$out/udev-monitor.log" 2>&1 &
fi
: >"$out/watch.json"
exec {events}<"$out/watch.json"
# The scenario's own descriptors stay out of watch's count.
"$cli" watch --json >"$out/watch.json" 2>"$out/watch.err" {events}<&- {never}<&- &
watch=$!
soak_wait 60 watch_present || fail "watch listed nothing present"

# Cycle 1 also finds where to hold the pulled cycles' programs: the program runs under the
# gate without a hold, the adapter present, and its last open of the adapter's node (the
# open for the write) is the call to hold at.
cycle=1 arrivals_before=0 removals_before=0
stamp plug
start_device "$serial" "ZEM VUZ Device"
watch_saw 1 arrival
mkdir -p "$scratch/count"
VUZ_OPEN_GATE="$scratch/count" LD_PRELOAD="$gate_library" \
    "$cli" program --wait 30 >"$scratch/program.out" 2>"$scratch/program.err"
echo "1 after $?" >>"$out/cycles"
program_record 1
adapter_node
hold_at=$(awk -v node="$node" '$2 == "open" && $3 == node { n = $1 } END { print n }' \
    "$scratch/count/calls")
cp "$scratch/count/calls" "$out/gate-calls"
echo "the program's calls naming a node: $(wc -l <"$scratch/count/calls");" \
    "pulled cycles hold at call ${hold_at:-none} (the open of $node)"
plug_command unplug
watch_saw 1 removal
usage_of "$watch" >>"$out/usage"

for ((cycle = 2; cycle <= cycles; cycle++)); do
    take_events
    arrivals_before=$arrivals removals_before=$removals
    : >"$scratch/program.out"
    : >"$scratch/program.err"
    if ((cycle % 10 == 0)) && [[ -n "$hold_at" ]]; then
        # Pulled during the write: held at the open for it while the adapter is removed.
        plug_command plug
        soak_wait 30 adapter_node || echo "cycle $cycle: no node for the adapter"
        watch_saw "$cycle" arrival
        gate="$scratch/gate$cycle"
        mkdir -p "$gate"
        VUZ_OPEN_GATE="$gate" VUZ_OPEN_GATE_AT="$hold_at" LD_PRELOAD="$gate_library" \
            "$cli" program --wait 30 >"$scratch/program.out" 2>"$scratch/program.err" &
        program=$!
        soak_wait 60 test -f "$gate/paused" || echo "cycle $cycle: the program was never held"
        plug_command unplug
        soak_wait 30 adapter_gone || echo "cycle $cycle: the adapter's node stayed"
        : >"$gate/go"
        wait "$program"
        rc=$?
        held=
        [[ -f "$gate/paused" ]] && read -r held <"$gate/paused"
        echo "$cycle pulled $rc ${held:-none} $node" >>"$out/cycles"
    else
        if ((cycle % 2 == 1)); then
            "$cli" program --wait 30 >"$scratch/program.out" 2>"$scratch/program.err" &
            program=$!
            soak_wait 30 program_waits || echo "cycle $cycle: the program did not wait"
            plug_command plug
            wait "$program"
            echo "$cycle before $?" >>"$out/cycles"
        else
            plug_command plug
            soak_wait 30 adapter_node || echo "cycle $cycle: no node for the adapter"
            "$cli" program --wait 30 >"$scratch/program.out" 2>"$scratch/program.err"
            echo "$cycle after $?" >>"$out/cycles"
        fi
        # Unplugged only once watch has seen it, as a hand pulls an adapter seconds later:
        # through udevd a device that has gone before udevd announces it is never listed.
        watch_saw "$cycle" arrival
        plug_command unplug
    fi
    program_record "$cycle"
    watch_saw "$cycle" removal
    usage_of "$watch" >>"$out/usage"
    if ((misses >= 3)); then
        echo "watch stopped keeping up: the soak ends after cycle $cycle"
        break
    fi
done

# watch ends before the other device goes: its removal is no part of the soak.
kill -INT "$watch"
wait "$watch"
echo $? >"$out/watch.rc"
stop_device "$serial"
stop_device OTHER0006
