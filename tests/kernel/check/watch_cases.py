"""The host's checks of vuz-cli watch on hot-plugged USB devices: QEMU's keyboard added and
removed through QEMU's monitor (hotplug), the HID gadget adapter (gadgetwatch).

Each check_* takes the rig's check module (check, read, lines, sysfs_devices) and the
scenario's results directory.
"""
import os

import records


def watch_events(rig, out, scenario):
    return records.json_lines(os.path.join(out, "watch.json"), scenario, rig.check)


def kernel_record(rig, out, serial):
    """The hidraw node (path) and what sysfs said about the device with this HID_UNIQ."""
    devices = rig.sysfs_devices(os.path.join(out, "sysfs"))
    return next(((path, device) for path, device in devices.items()
                 if device["event"].get("HID_UNIQ") == serial), (None, None))


def check_watched_device(rig, out, scenario, serial, report=None):
    """One arrival matching the kernel's record, the report if given, one removal."""
    events = watch_events(rig, out, scenario)
    path, device = kernel_record(rig, out, serial)
    if not rig.check(device is not None, f"{scenario}: the kernel recorded the device {serial}"):
        return
    mine = [e for e in events if e.get("path") == path and e.get("event") != "present"]
    kinds = [e.get("event") for e in mine]
    expected_kinds = ["arrival"] + (["report"] if report else []) + ["removal"]
    rig.check(kinds == expected_kinds, f"{scenario}: watch reported {', '.join(expected_kinds)}"
              f" of {path}, in order", kinds)
    arrival = next((e for e in mine if e.get("event") == "arrival"), {})
    usb = device["usb"] or {}
    expected = {"vendorId": device["vendor"], "productId": device["product"], "serial": serial,
                "product": usb.get("product") or device["event"].get("HID_NAME"),
                "path": path}
    if usb.get("bcdDevice"):
        expected["version"] = int(usb["bcdDevice"], 16)
    for field, value in expected.items():
        rig.check(arrival.get(field) == value, f"{scenario}: arrival {field} = {value!r}",
                  f"watch said {arrival.get(field)!r}")
    removal = next((e for e in mine if e.get("event") == "removal"), {})
    rig.check((removal.get("vendorId"), removal.get("productId"), removal.get("serial")) ==
              (device["vendor"], device["product"], serial),
              f"{scenario}: removal has {device['vendor']:04X}:{device['product']:04X} "
              f"serial {serial}", removal)
    if report:
        reports = [e for e in mine if e.get("event") == "report"]
        got = [f"{e.get('reportId', -1):02X} " + e.get("data", "").upper() for e in reports]
        rig.check(got == [report], f"{scenario}: one input report {report}", got)
    rig.check(rig.read(os.path.join(out, "watch.rc"), "").strip() == "130",
              f"{scenario}: watch ends with 130 on SIGINT", rig.read(os.path.join(out, "watch.rc")))


def check_hotplug(rig, out):
    for name in ("add", "del"):
        reply = rig.read(os.path.join(out, f"{name}.reply"), "")
        rig.check('"return"' in reply, f"hotplug: QEMU's monitor carried out device_{name}",
                  reply)
    check_watched_device(rig, out, "hotplug", "HOT00001")
    path, device = kernel_record(rig, out, "HOT00001")
    if device is not None:
        rig.check(device["usb"] is not None and "usb" in device["syspath"],
                  "hotplug: the keyboard is a USB device on QEMU's xHCI", device["syspath"])


def check_gadgetwatch(rig, out):
    check_watched_device(rig, out, "gadgetwatch", "GDG00002",
                         report="05 A1 B2 C3 D4 E5 F6 07")


def scenarios(rig):
    return {"hotplug": lambda out: check_hotplug(rig, out),
            "gadgetwatch": lambda out: check_gadgetwatch(rig, out)}
