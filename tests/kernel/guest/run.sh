#!/bin/bash
# The guest's runner (inside the host's root, as root, every signal at its default): starts
# udevd when asked, then runs each scenario with its own results directory and time limit.
# Scenarios only act and record; the host checks what they recorded.
set -u
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
export HOME=/tmp LANG=C.UTF-8
export GUEST="$SOURCE/tests/kernel/guest"
cd /tmp

if [[ "${UDEV:-0}" == 1 ]]; then
    # A desktop's device events: udevd, and the devices present before it replayed.
    /lib/systemd/systemd-udevd --daemon >"$RESULTS/udevd.log" 2>&1
    udevadm trigger --action=add
    timeout 60 udevadm settle || echo "udevadm settle timed out" >>"$RESULTS/udevd.log"
fi

for scenario in $SCENARIOS; do
    out="$RESULTS/$scenario"
    mkdir -p "$out"
    start=$(date +%s.%N)
    timeout --kill-after=5 600 bash "$GUEST/$scenario.sh" "$out" >"$out/guest.log" 2>&1
    echo $? >"$out/status"
    echo "$start $(date +%s.%N)" >"$out/time"
done
