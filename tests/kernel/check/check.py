#!/usr/bin/python3
"""The host's checks of what the guest's scenarios recorded (tests/kernel/guest/*.sh).

Usage: check.py RESULTS SCENARIO...   Prints one line per check; exits 1 if any failed.
The expectations come from the kernel's own records (sysfs, report descriptors) and from
what the uhid devices logged, never from the programs under test.
"""
import json
import os
import sys

import records

sys.dont_write_bytecode = True  # nothing written into the source tree
import endurance  # noqa: E402  (the soak and speed checks)

ADAPTER = (0x0416, 0x8249)
PROGRAM_REPORT = "output 05 00 02 00 00 00 00 00"

failures = []


def check(condition, what, detail=""):
    print(("PASS " if condition else "FAIL ") + what + ("" if condition else f": {detail}"))
    if not condition:
        failures.append(what)
    return condition


def read(path, default=None):
    try:
        with open(path, encoding="utf-8", errors="replace") as file:
            return file.read()
    except OSError:
        return default


def lines(path):
    text = read(path, "")
    return [line for line in text.splitlines() if line]


def outputs(directory, serial):
    """The output reports a uhid device logged, as 'output XX XX ...' lines."""
    return [line for line in lines(os.path.join(directory, serial + ".log"))
            if line.startswith(("output", "set_report"))]


# --- report descriptors -------------------------------------------------------------------

def report_lengths(descriptor):
    """(usage page, usage, input, output, feature length) as the platform counts them: the
    largest report of each kind in bytes plus one byte for the report ID (0 when none)."""
    bits = {}  # (kind, report id) -> bits
    globals_ = {"page": 0, "size": 0, "count": 0, "id": 0}
    stack = []
    usages = []
    depth = 0
    top = None
    i = 0
    while i < len(descriptor):
        prefix = descriptor[i]
        if prefix == 0xFE:  # long item: size, tag, data
            if i + 1 >= len(descriptor):
                break
            i += 3 + descriptor[i + 1]
            continue
        size = (0, 1, 2, 4)[prefix & 3]
        kind = (prefix >> 2) & 3
        tag = prefix >> 4
        data = descriptor[i + 1:i + 1 + size]
        value = int.from_bytes(data, "little")
        i += 1 + size
        if kind == 1:  # global
            if tag == 0:
                globals_["page"] = value
            elif tag == 7:
                globals_["size"] = value
            elif tag == 8:
                globals_["id"] = value
            elif tag == 9:
                globals_["count"] = value
            elif tag == 10:
                stack.append(dict(globals_))
            elif tag == 11 and stack:
                globals_ = stack.pop()
        elif kind == 2:  # local
            if tag == 0:
                usages.append(value if size == 4 else (globals_["page"] << 16) | value)
        elif kind == 0:  # main
            if tag in (8, 9, 11):
                key = ({8: "input", 9: "output", 11: "feature"}[tag], globals_["id"])
                bits[key] = bits.get(key, 0) + globals_["size"] * globals_["count"]
            elif tag == 10:
                if depth == 0 and top is None and value == 1 and usages:
                    top = usages[0]
                depth += 1
            elif tag == 12:
                depth = max(0, depth - 1)
            usages = []
    lengths = []
    for kind in ("input", "output", "feature"):
        sizes = [(b + 7) // 8 for (k, _), b in bits.items() if k == kind and b > 0]
        lengths.append(max(sizes) + 1 if sizes else 0)
    page, usage = ((top >> 16) & 0xFFFF, top & 0xFFFF) if top is not None else (0, 0)
    return page, usage, *lengths


def uevent(path):
    fields = {}
    for line in lines(path):
        key, _, value = line.partition("=")
        fields[key] = value
    return fields


def sysfs_devices(directory):
    """What the kernel said about each hidraw node, keyed by /dev path."""
    devices = {}
    for name in sorted(os.listdir(directory)):
        base = os.path.join(directory, name)
        event = uevent(os.path.join(base, "uevent"))
        _, vendor, product = event["HID_ID"].split(":")
        with open(os.path.join(base, "report_descriptor"), "rb") as file:
            descriptor = file.read()
        usb = None
        if os.path.isdir(os.path.join(base, "usb")):
            usb = {attribute: (read(os.path.join(base, "usb", attribute)) or "").strip()
                   for attribute in ("idVendor", "idProduct", "bcdDevice", "product", "serial")}
        devices["/dev/" + name] = {
            "vendor": int(vendor, 16), "product": int(product, 16), "event": event,
            "lengths": report_lengths(descriptor), "usb": usb,
            "syspath": (read(os.path.join(base, "syspath")) or "").strip()}
    return devices


# --- scenarios ----------------------------------------------------------------------------

def check_list(out):
    compare_list(out, "list", 4)


def compare_list(out, scenario, minimum):
    """vuz-cli list --json (out/list.json) field by field against sysfs (out/sysfs)."""
    check(read(os.path.join(out, "list.rc"), "").strip() == "0", f"{scenario}: list exit code 0",
          read(os.path.join(out, "list.err"), ""))
    try:
        listed = json.loads(read(os.path.join(out, "list.json"), ""))
    except ValueError as error:
        check(False, f"{scenario}: list --json output parses", error)
        return
    kernel = sysfs_devices(os.path.join(out, "sysfs"))
    by_path = {entry.get("path"): entry for entry in listed}
    check(sorted(by_path) == sorted(kernel), f"{scenario}: list has one entry per hidraw node",
          f"listed {sorted(by_path)}, sysfs {sorted(kernel)}")
    check(len(kernel) >= minimum, f"{scenario}: at least {minimum} HID devices present",
          sorted(kernel))
    for path, device in sorted(kernel.items()):
        entry = by_path.get(path)
        if entry is None:
            continue
        name = f"{scenario}: {path} ({device['event'].get('HID_NAME')})"
        page, usage, input_length, output_length, feature_length = device["lengths"]
        uniq = device["event"].get("HID_UNIQ", "")
        expected = {
            "vendorId": device["vendor"], "productId": device["product"],
            "usagePage": page, "usage": usage,
            "inputReportLength": input_length, "outputReportLength": output_length,
            "featureReportLength": feature_length,
            "serial": uniq or None,
            "adapter": (device["vendor"], device["product"]) == ADAPTER and input_length == 8,
        }
        if device["usb"] is not None:
            expected["product"] = device["usb"]["product"] or None
            expected["version"] = int(device["usb"]["bcdDevice"], 16)
        else:
            # A uhid device: no USB device above it; its name is the kernel's.
            expected["product"] = device["event"].get("HID_NAME") or None
        for field, value in expected.items():
            check(entry.get(field) == value, f"{name}: {field} = {value!r}",
                  f"listed {entry.get(field)!r}")


def check_program(out):
    check(read(os.path.join(out, "program.rc"), "").strip() == "0", "program: exit code 0",
          read(os.path.join(out, "program.err"), ""))
    stdout = read(os.path.join(out, "program.out"), "")
    check(stdout == "ZEM VUZ KRN00002 is connected.\nKVM Programmer is enabled.\n",
          "program: prints connected and enabled", repr(stdout))
    written = outputs(out, "KRN00002")
    check(written == [PROGRAM_REPORT], "program: exactly one report 05 00 02 00 00 00 00 00 "
          "reached the adapter", written)
    other = outputs(out, "OTHER0002")
    check(other == [], "program: nothing reached the other device", other)


def check_watch(out):
    events = records.json_lines(os.path.join(out, "watch.json"), "watch", check)
    adapter = [e for e in events if e.get("serial") == "KRN00003" or
               (e.get("event") == "removal" and e.get("path") in
                [a.get("path") for a in events if a.get("serial") == "KRN00003"])]
    kinds = [e.get("event") for e in adapter]
    check(kinds[:1] == ["arrival"] and kinds.count("arrival") == 1,
          "watch: one arrival of the adapter, first", kinds)
    arrival = next((e for e in adapter if e.get("event") == "arrival"), {})
    check((arrival.get("vendorId"), arrival.get("productId")) == ADAPTER,
          "watch: the arrival has 0416:8249", arrival)
    reports = [e for e in adapter if e.get("event") == "report"]
    check(len(reports) == 1 and reports[0].get("reportId") == 5 and
          reports[0].get("data", "").replace(" ", "").upper() == "11223344556677",
          "watch: one input report 05 11 22 33 44 55 66 77", reports)
    check(kinds[-1:] == ["removal"] and kinds.count("removal") == 1,
          "watch: one removal of the adapter, last", kinds)
    present = [e for e in events if e.get("event") == "present"]
    check(len(present) >= 2, "watch: the keyboard and tablet listed as present", present)
    check(read(os.path.join(out, "watch.rc"), "").strip() == "130",
          "watch: ends with 130 on SIGINT", read(os.path.join(out, "watch.rc")))


def check_reuse(out):
    rounds = [int(line) for line in lines(os.path.join(out, "rounds"))]
    calls = lines(os.path.join(out, "count", "gate", "calls"))
    check(len(rounds) >= 1, "reuse: the program's calls naming the adapter's node were seen",
          calls)
    check(outputs(out, "KRNA0000") == [PROGRAM_REPORT],
          "reuse: without a swap the report reaches the adapter", outputs(out, "KRNA0000"))
    print("     reuse: the program's calls naming a node: " + "; ".join(calls))
    before_write = 0
    swapped = 0
    for round_ in rounds:
        directory = os.path.join(out, f"round{round_}")
        a, b = f"KRNA0{round_}", f"KRNB0{round_}"
        name = f"reuse, held at call {round_}"
        paused = (read(os.path.join(directory, "gate", "paused")) or "").strip()
        a_node = (read(os.path.join(directory, "a.node")) or "").strip()
        b_node = (read(os.path.join(directory, "b.node")) or "").strip()
        if not check(os.path.basename(paused) == os.path.basename(a_node) and b_node,
                     f"{name}: held at the adapter's node while the devices were swapped",
                     f"held at {paused!r}, adapter at {a_node!r}, other device at {b_node!r}"):
            continue
        if b_node == a_node:
            swapped += 1
        else:
            # The program still had the node open: the kernel keeps its number until then.
            print(f"     {name}: the node was open, the other device got {b_node}")
        rc = read(os.path.join(directory, "program.rc"), "").strip()
        stdout = read(os.path.join(directory, "program.out"), "")
        stderr = read(os.path.join(directory, "program.err"), "")
        outcome = f"program exit {rc}, output {stdout!r}, errors {stderr!r}"
        check(outputs(directory, b) == [],
              f"{name}: nothing reached the device now at the node",
              f"{outputs(directory, b)}; {outcome}")
        succeeded = rc == "0" or "KVM Programmer is enabled." in stdout
        if outputs(directory, a) == [] and b_node == a_node:
            before_write += 1
        # A hold after the write is no swap before it: the adapter has its report.
        check(succeeded == (outputs(directory, a) == [PROGRAM_REPORT]),
              f"{name}: success reported only for a report that reached the adapter",
              f"adapter got {outputs(directory, a)}; {outcome}")
    check(before_write >= 1, "reuse: in at least one round the other device took the node "
          "before the write", f"{swapped} of {len(rounds)} rounds swapped the node")


def check_window(out):
    state = (read(os.path.join(out, "state")) or "").strip()
    cycles = next((line.split()[1] for line in lines(os.path.join(out, "CHURN0001.log"))
                   if line.startswith("cycles ")), "")
    print(f"     window: the other device came and went {cycles or '?'} times during start-up")
    check(state == "connected", "window: \"ZEM VUZ <serial> is connected.\" (status line blue)",
          f"{state}; the status line's text colours: " + " ".join(
              name for colour, name in (("#008000", "green"), ("#0000FF", "blue"),
                                        ("#FF0000", "red"))
              if colour in (read(os.path.join(out, "colours")) or "")))
    if state == "connected":
        written = outputs(out, "KRN00005")
        check(written == [PROGRAM_REPORT], "window: one Program click wrote one report",
              written)
    check(outputs(out, "CHURN0001") == [], "window: nothing reached the other device",
          outputs(out, "CHURN0001"))
    check(read(os.path.join(out, "utility.rc"), "").strip() == "0", "window: Exit ends it (0)",
          read(os.path.join(out, "utility.rc")))


def check_gadget(out):
    check(read(os.path.join(out, "program.rc"), "").strip() == "0", "gadget: program exit code 0",
          read(os.path.join(out, "program.err"), ""))
    stdout = read(os.path.join(out, "program.out"), "")
    check(stdout == "ZEM VUZ GDG00001 is connected.\nKVM Programmer is enabled.\n",
          "gadget: program prints connected and enabled", repr(stdout))
    received = [line.strip().upper() for line in lines(os.path.join(out, "hidg0.log"))]
    check(received == ["05 00 02 00 00 00 00 00"],
          "gadget: exactly one report 05 00 02 00 00 00 00 00 reached /dev/hidg0", received)
    compare_list(out, "gadget", 3)


SCENARIOS = {"list": check_list, "program": check_program, "watch": check_watch,
             "reuse": check_reuse, "window": check_window, "gadget": check_gadget,
             "soak": lambda out: endurance.check_soak(out, check),
             "speed": lambda out: endurance.check_speed(out, check)}

# Scenarios checked in their own files; they use this module's helpers.
import watch_cases  # noqa: E402
import window_cases  # noqa: E402

SCENARIOS.update(watch_cases.scenarios(sys.modules[__name__]))
SCENARIOS.update(window_cases.scenarios(sys.modules[__name__]))

# Scenarios checked in their own files; they use this module's helpers.
import wine_case  # noqa: E402

SCENARIOS.update(wine_case.scenarios(sys.modules[__name__]))


def main():
    results = sys.argv[1]
    for scenario in sys.argv[2:]:
        out = os.path.join(results, scenario)
        status = read(os.path.join(out, "status"))
        if not check(status is not None, f"{scenario}: the scenario ran in the guest"):
            continue
        check(status.strip() == "0", f"{scenario}: the scenario completed",
              f"status {status.strip()}; guest.log:\n" + (read(os.path.join(out, "guest.log")) or ""))
        SCENARIOS[scenario](out)
    if failures:
        print(f"{len(failures)} check(s) failed")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
