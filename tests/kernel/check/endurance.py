"""The host's checks of the soak and speed scenarios (tests/kernel/guest/soak.sh, speed.sh).

Each check_* takes the scenario's results directory and check(condition, what, detail), the
reporting function of check.py. Expectations come from what the uhid devices logged and
what the guest recorded, never from the programs under test.
"""
import os
import statistics

import records

ADAPTER = (0x0416, 0x8249)
PROGRAM_REPORT = "output 05 00 02 00 00 00 00 00"
# Memory of the watch process after the first cycle and at the end may differ by this much
# (kB) for the allocator's own bookkeeping; descriptors and threads must be the same.
MEMORY_TOLERANCE_KB = 64


def _segments(log):
    """A plug-and-unplug adapter's log cut at each creation: one list of lines per plug."""
    segments = []
    for line in log:
        if line == "created":
            segments.append([])
        elif segments:
            segments[-1].append(line)
    return segments


def _programs(path):
    """programs.txt: each cycle's program output (stdout then stderr), by cycle number."""
    programs = {}
    current = None
    for line in records.lines(path):
        if line.startswith("== "):
            current = int(line[3:])
            programs[current] = []
        elif current is not None:
            programs[current].append(line)
    return programs


def check_soak(out, check):
    cycles = [line.split() for line in records.lines(os.path.join(out, "cycles"))]
    kinds = [fields[1] for fields in cycles]
    print(f"     soak: {len(cycles)} cycles ({kinds.count('before')} with the program started "
          f"before the plug, {kinds.count('after')} after it, {kinds.count('pulled')} pulled "
          "during the write)")
    check(len(cycles) >= 200, "soak: at least 200 plug/unplug cycles ran", len(cycles))
    check([int(fields[0]) for fields in cycles] == list(range(1, len(cycles) + 1)),
          "soak: the guest recorded every cycle in order", [fields[0] for fields in cycles])

    segments = _segments(records.lines(os.path.join(out, "SOAK0001.log")))
    check(len(segments) == len(cycles), "soak: the adapter was created once per cycle",
          f"{len(segments)} creations, {len(cycles)} cycles")
    programs = _programs(os.path.join(out, "programs.txt"))
    written = 0
    wrong = []
    for fields, segment in zip(cycles, segments):
        cycle, kind, rc = int(fields[0]), fields[1], fields[2]
        reports = [line for line in segment if line.startswith(("output", "set_report"))]
        said = programs.get(cycle, [])
        enabled = "KVM Programmer is enabled." in said
        written += len(reports)
        if kind == "pulled":
            # Held before its open, the adapter gone: a failure, told, and nothing written.
            if rc == "0" or enabled or reports or not any("WRITE ERROR" in l for l in said):
                wrong.append(f"cycle {cycle} (pulled): exit {rc}, adapter got {reports}, "
                             f"said {said}")
        elif rc != "0" or not enabled or reports != [PROGRAM_REPORT]:
            wrong.append(f"cycle {cycle} ({kind}): exit {rc}, adapter got {reports}, said {said}")
        if (rc == "0" or enabled) and reports != [PROGRAM_REPORT]:
            wrong.append(f"cycle {cycle}: success reported, adapter got {reports}")
    successes = sum(1 for fields in cycles if fields[2] == "0")
    print(f"     soak: {successes} programs succeeded, {written} reports reached the adapter")
    check(not wrong, "soak: every successful program's report reached the adapter exactly "
          "once; every pulled one failed with a WRITE ERROR and wrote nothing",
          "\n".join(wrong[:20]) + (f"\n... {len(wrong)} in all" if len(wrong) > 20 else ""))
    pulled = [fields for fields in cycles if fields[1] == "pulled"]
    check(pulled and all(len(fields) == 5 and fields[3] == fields[4] for fields in pulled),
          "soak: every pulled cycle held the program at the adapter's node", pulled)
    other = [line for line in records.lines(os.path.join(out, "OTHER0006.log"))
             if line.startswith(("output", "set_report"))]
    check(other == [], "soak: nothing reached the other device", other)

    events = records.json_lines(os.path.join(out, "watch.json"), "soak: watch", check)
    changes = [e for e in events if e.get("event") in ("arrival", "removal")]
    order = [e.get("event") for e in changes]
    print(f"     soak: watch reported {order.count('arrival')} arrivals and "
          f"{order.count('removal')} removals")
    expected = ["arrival", "removal"] * len(cycles)
    first_wrong = next((i for i, (a, b) in enumerate(zip(order, expected)) if a != b),
                       min(len(order), len(expected)))
    check(order == expected, "soak: watch reported one arrival and then one removal per cycle",
          f"{len(order)} events; first difference at event {first_wrong}: "
          f"{order[max(0, first_wrong - 2):first_wrong + 3]}")
    arrivals = [e for e in changes if e.get("event") == "arrival"]
    strangers = [e for e in arrivals if e.get("serial") != "SOAK0001" or
                 (e.get("vendorId"), e.get("productId")) != ADAPTER]
    check(arrivals and not strangers, "soak: every arrival is the adapter (0416:8249, SOAK0001)",
          strangers[:5])
    adapter_paths = {e.get("path") for e in arrivals}
    removals = [e for e in changes if e.get("event") == "removal"]
    check(all(e.get("path") in adapter_paths for e in removals),
          "soak: every removal is the adapter's",
          [e for e in removals if e.get("path") not in adapter_paths][:5])

    _udev_timing(out)

    usage = [line.split() for line in records.lines(os.path.join(out, "usage"))]
    if check(len(usage) >= 2 and all(len(u) == 5 for u in usage),
             "soak: watch's use of resources recorded after every cycle", usage[:3]):
        first, last = usage[0], usage[-1]
        rss = [int(u[2]) for u in usage]
        print(f"     soak: watch after cycle 1 / after cycle {len(usage)}: "
              f"fds {first[0]} / {last[0]}, threads {first[1]} / {last[1]}, "
              f"VmRSS {first[2]} / {last[2]} kB, RssAnon {first[3]} / {last[3]} kB, "
              f"VmHWM {first[4]} / {last[4]} kB; VmRSS ranged {min(rss)}-{max(rss)} kB")
        check(first[0] == last[0], "soak: watch has as many open descriptors at the end as "
              "after the first cycle", f"{first[0]} then {last[0]}")
        check(first[1] == last[1], "soak: watch has as many threads at the end as after the "
              "first cycle", f"{first[1]} then {last[1]}")
        for index, name in ((2, "VmRSS"), (3, "RssAnon")):
            grew = int(last[index]) - int(first[index])
            check(grew <= MEMORY_TOLERANCE_KB,
                  f"soak: watch's {name} at the end within {MEMORY_TOLERANCE_KB} kB of the "
                  "first cycle's", f"{first[index]} kB then {last[index]} kB")
    check((records.lines(os.path.join(out, "watch.rc")) or [""])[0] == "130",
          "soak: watch ends with 130 on SIGINT", records.lines(os.path.join(out, "watch.rc")))


def _udev_timing(out):
    """With udevd: in how many cycles udevd announced the adapter only after the kernel had
    removed it again (a backend that looks at sysfs on udevd's event then finds nothing)."""
    seen = {}  # device instance -> {(source, action): seconds}
    for line in records.lines(os.path.join(out, "udev-monitor.log")):
        fields = line.replace("[", " ").replace("]", " ").split()
        if len(fields) >= 4 and fields[0] in ("KERNEL", "UDEV") and "0416:8249" in fields[3]:
            instance = fields[3].split("/hidraw/")[0]
            seen.setdefault(instance, {})[(fields[0], fields[2])] = float(fields[1])
    if seen:
        late = [name for name, times in seen.items()
                if times.get(("UDEV", "add"), 0) > times.get(("KERNEL", "remove"), float("inf"))]
        print(f"     soak: udevd announced the adapter after the kernel had removed it in "
              f"{len(late)} of {len(seen)} cycles")


def _latency(out, serial):
    """Seconds from the device's creation to the first output report, both as it logged."""
    created = reported = None
    for line in records.lines(os.path.join(out, serial + ".log")):
        stamp, _, text = line.partition(" ")
        if text == "created" and created is None:
            created = float(stamp)
        elif text.startswith("output") and reported is None:
            reported = float(stamp)
    if created is None or reported is None:
        return None
    return reported - created


def check_speed(out, check):
    rounds = int((records.lines(os.path.join(out, "rounds")) or ["0"])[0])
    check(rounds >= 1, "speed: rounds ran", rounds)
    figures = {}
    for label, prefix in (("vuz-cli program --wait", "SPDV0"), ("hidapi, polling 100 ms",
                                                                 "SPDH0")):
        times = []
        wrong = []
        for round_ in range(1, rounds + 1):
            serial = f"{prefix}{round_}"
            log = records.lines(os.path.join(out, serial + ".log"))
            reports = [line.partition(" ")[2] for line in log
                       if line.partition(" ")[2].startswith(("output", "set_report"))]
            rc = (records.lines(os.path.join(out, serial + ".rc")) or ["?"])[0]
            if rc != "0" or reports != [PROGRAM_REPORT]:
                wrong.append(f"round {round_}: exit {rc}, adapter got {reports}")
            latency = _latency(out, serial)
            if latency is not None:
                times.append(latency)
        check(not wrong, f"speed: {label}: exactly one report 05 00 02 00 00 00 00 00 in each "
              f"of {rounds} rounds", "; ".join(wrong))
        figures[label] = times
        if times:
            print(f"     speed: {label}: median {statistics.median(times) * 1000:.0f} ms over "
                  f"{len(times)} rounds (" + " ".join(f"{t * 1000:.0f}" for t in times) + " ms)")
    vuz, poll = figures["vuz-cli program --wait"], figures["hidapi, polling 100 ms"]
    if vuz and poll:
        ratio = statistics.median(poll) / statistics.median(vuz)
        print(f"     speed: hidapi's median / vuz-cli's median = {ratio:.2f} "
              "(emulated time; the ratio is the figure, not asserted)")
