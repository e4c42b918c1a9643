"""The host's checks of the window cases (windowplug, windowlate): vuz-utility on Xvfb in the
guest. The guest records when it did what ($out/events), the status line's colours read from
the window's pixels, the program's hidden event log as recorded by the preloaded log tap
($out/window-log), the adapter's log and the program's exit code.

Each check_* takes the rig's check module (check, read, lines, outputs) and the scenario's
results directory.
"""
import os
import subprocess

BLUE, RED = "#0000FF", "#FF0000"
NOT_FOUND = "VUZ Device is not found."
GONE = "READ ERROR: The device is not connected (48F)"


def timed_lines(rig, path):
    """[(seconds, text)] of a file of "SECONDS TEXT" lines."""
    result = []
    for line in rig.read(path, "").splitlines():
        stamp, _, text = line.partition(" ")
        try:
            result.append((float(stamp), text))
        except ValueError:
            pass
    return result


def when(events, what):
    return next((stamp for stamp, text in events if text == what), None)


def log_between(log, start, end=None):
    return [text for stamp, text in log
            if (start is None or stamp >= start) and (end is None or stamp < end)]


def colours(rig, out, name):
    return (rig.read(os.path.join(out, f"{name}.colours")) or "").split()


def check_colour(rig, out, scenario, name, colour, what):
    seen = colours(rig, out, name)
    named = [word for code, word in (("#008000", "green"), (BLUE, "blue"), (RED, "red"))
             if code in seen]
    rig.check(colour in seen, f"{scenario}: {what} (status line {colour} in the window's pixels)",
              f"the status line's text colours: {named or 'none of green, blue, red'}")


def check_label_text(rig, out, scenario, name, text):
    """The status line in the screenshot NAME.png against the guest's rendering of TEXT in
    the window's font and colour (NAME-reference.png), pixel for pixel (ImageMagick)."""
    shot = os.path.join(out, f"{name}.png")
    reference = os.path.join(out, f"{name}-reference.png")
    label = os.path.join(out, f"{name}-label.png")
    what = f"{scenario}: the status line reads \"{text}\" (its pixels are a rendering of it)"
    if not (os.path.exists(shot) and os.path.exists(reference)):
        rig.check(False, what, "no screenshot or no rendering; " +
                  (rig.read(os.path.join(out, "render.log")) or ""))
        return
    try:
        size = subprocess.run(["identify", "-format", "%wx%h", reference], check=True,
                              capture_output=True, text=True).stdout.strip()
        subprocess.run(["convert", shot, "-crop", f"{size}+53+18", "+repage", label],
                       check=True, capture_output=True)
        compared = subprocess.run(["compare", "-metric", "AE", label, reference, "null:"],
                                  capture_output=True, text=True)
    except (OSError, subprocess.CalledProcessError) as error:
        rig.check(False, what, f"ImageMagick: {error}")
        return
    rig.check(compared.returncode == 0, what,
              f"{compared.stderr.strip()} pixels differ ({label} against {reference})")


def check_windowplug(rig, out):
    name = "windowplug"
    events = timed_lines(rig, os.path.join(out, "events"))
    log = timed_lines(rig, os.path.join(out, "window-log"))
    # The window's first rebuild ("Scanning..." in its log) comes when it is shown.
    listening, plugged = when(events, "listening"), when(events, "plugged")
    first_line = log[0][0] if log else None
    rig.check(listening is not None and plugged is not None and first_line is not None and
              listening < plugged < first_line and when(events, "no window yet") is not None,
              f"{name}: the adapter was created after the program started listening for device "
              "events, before its window showed", f"events {events}, first log line at "
              f"{first_line}")
    check_colour(rig, out, name, "connected", BLUE, "\"ZEM VUZ KRN00006 is connected.\"")
    unplugged = when(events, "unplugging")
    connected_line = "ZEM VUZ KRN00006 is connected."
    rig.check(connected_line in log_between(log, None, unplugged),
              f"{name}: the event log says \"{connected_line}\"", log_between(log, None, None))
    written = rig.outputs(out, "KRN00006")
    rig.check(written == [rig.PROGRAM_REPORT], f"{name}: one Program click wrote one report "
              "05 00 02 00 00 00 00 00", written)
    check_colour(rig, out, name, "not-found", RED,
                 "after the unplug: \"Please connect VUZ Device.\"")
    check_label_text(rig, out, name, "not-found", "Please connect VUZ Device.")
    after = log_between(log, unplugged)
    rig.check(NOT_FOUND in after, f"{name}: after the unplug the event log says \"{NOT_FOUND}\"",
              after)
    errors = [(stamp, text) for stamp, text in log if text.startswith("READ ERROR")]
    rig.check(all(text == GONE for _, text in errors) and
              all(stamp >= unplugged for stamp, _ in errors),
              f"{name}: READ ERROR lines only after the unplug, each \"{GONE}\"", errors)
    handled = next((stamp for stamp, text in log if stamp >= unplugged and text == NOT_FOUND),
                   None)
    rig.check(handled is not None and all(stamp < handled for stamp, _ in errors),
              f"{name}: no READ ERROR line once the removal has been handled", log)
    # Straight from the kernel the removal is handled within the read thread's first 100 ms
    # slice: one line. Through udevd it reaches the program later, and the thread hands over
    # one failure per slice until then, each a line.
    udev = "UDEV=1" in (rig.read(os.path.join(os.path.dirname(out), "run.conf")) or "")
    if not udev:
        rig.check(len(errors) <= 1, f"{name}: at most one READ ERROR line", errors)
    print(f"     {name}: {len(errors)} READ ERROR line(s) after the unplug")
    rig.check(not [t for t in log_between(log, None) if t.startswith("WRITE ERROR")],
              f"{name}: no WRITE ERROR line", log_between(log, None))
    print(f"     {name}: event log: " + " | ".join(text for _, text in log))
    close = when(events, "close")
    rig.check(close is not None and when(events, "ended") is not None,
              f"{name}: closing the window (WM_DELETE_WINDOW) ends the program", events)
    rig.check(rig.read(os.path.join(out, "utility.rc"), "").strip() == "0",
              f"{name}: exit code 0 after the close", rig.read(os.path.join(out, "utility.rc")))


def check_windowlate(rig, out):
    name = "windowlate"
    events = timed_lines(rig, os.path.join(out, "events"))
    log = timed_lines(rig, os.path.join(out, "window-log"))
    plugged = when(events, "plugged")
    check_colour(rig, out, name, "not-found", RED,
                 "without the adapter: \"Please connect VUZ Device.\"")
    rig.check(NOT_FOUND in log_between(log, None, plugged),
              f"{name}: before the plug the event log says \"{NOT_FOUND}\"", log)
    check_colour(rig, out, name, "connected", BLUE,
                 "the adapter plugged later: \"ZEM VUZ KRN00007 is connected.\"")
    connected_line = "ZEM VUZ KRN00007 is connected."
    check_label_text(rig, out, name, "connected", connected_line)
    rig.check(plugged is not None and connected_line in log_between(log, plugged),
              f"{name}: after the plug the event log says \"{connected_line}\"", log)
    rig.check(rig.outputs(out, "KRN00007") == [], f"{name}: nothing written without a click",
              rig.outputs(out, "KRN00007"))
    sigterm, ended = when(events, "sigterm"), when(events, "ended")
    rig.check(sigterm is not None and ended is not None,
              f"{name}: SIGTERM ends the program within 10 s", events)
    if sigterm is not None and ended is not None:
        print(f"     {name}: ended {ended - sigterm:.1f} s after SIGTERM")
    rc = rig.read(os.path.join(out, "utility.rc"), "").strip()
    rig.check(rc in ("0", "143"), f"{name}: exit status 0 or terminated by SIGTERM (143)", rc)


def scenarios(rig):
    return {"windowplug": lambda out: check_windowplug(rig, out),
            "windowlate": lambda out: check_windowlate(rig, out)}
