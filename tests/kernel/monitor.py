#!/usr/bin/python3
"""Carries out the guest's requests to QEMU's monitor (QMP) from the host.

A scenario in the guest writes DIR/NAME.request (one QMP command as JSON) into the results
share; this helper sends it over QEMU's QMP socket and writes QEMU's answer to DIR/NAME.reply.
Only device_add and device_del are carried out. Ends when QEMU closes the socket or after
SECONDS, whichever comes first, so it can never outlive the guest.

Usage: monitor.py SOCKET DIR SECONDS
"""
import json
import os
import socket
import sys
import time

ALLOWED = {"device_add", "device_del"}


class Monitor:
    def __init__(self, path, deadline):
        self.stream = None
        while self.stream is None:
            try:
                connection = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
                connection.connect(path)
                self.stream = connection.makefile("rw", encoding="utf-8")
            except OSError:
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.1)
        self.receive()  # the greeting
        self.execute({"execute": "qmp_capabilities"})

    def receive(self):
        line = self.stream.readline()
        if not line:
            raise EOFError("QEMU closed the monitor")
        return json.loads(line)

    def execute(self, command):
        self.stream.write(json.dumps(command) + "\n")
        self.stream.flush()
        while True:
            answer = self.receive()
            if "return" in answer or "error" in answer:
                return answer
            # An asynchronous event (e.g. DEVICE_DELETED): not the command's answer.


def serve(path, directory, seconds):
    deadline = time.monotonic() + seconds
    monitor = Monitor(path, deadline)
    done = set()
    while time.monotonic() < deadline:
        names = sorted(n for n in os.listdir(directory) if n.endswith(".request"))
        for name in names:
            if name in done:
                continue
            done.add(name)
            base = os.path.join(directory, name[:-len(".request")])
            try:
                with open(os.path.join(directory, name), encoding="utf-8") as file:
                    command = json.load(file)
                if command.get("execute") not in ALLOWED:
                    answer = {"error": {"desc": "not allowed here"}}
                else:
                    answer = monitor.execute(command)
            except (ValueError, OSError) as error:
                answer = {"error": {"desc": str(error)}}
            with open(base + ".reply.tmp", "w", encoding="utf-8") as file:
                json.dump(answer, file)
                file.write("\n")
            os.rename(base + ".reply.tmp", base + ".reply")
        time.sleep(0.1)


def main():
    path, directory, seconds = sys.argv[1], sys.argv[2], float(sys.argv[3])
    os.makedirs(directory, exist_ok=True)
    try:
        serve(path, directory, seconds)
    except (EOFError, OSError):
        pass  # QEMU has ended
    return 0


if __name__ == "__main__":
    sys.exit(main())
