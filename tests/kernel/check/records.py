"""Reading what the guest recorded: shared by every scenario's checks."""
import json


def lines(path):
    """The file's non-empty lines; none when it is missing."""
    try:
        with open(path, encoding="utf-8", errors="replace") as file:
            return [line for line in file.read().splitlines() if line.strip()]
    except OSError:
        return []


def json_lines(path, what, check):
    """One JSON value per line (watch --json); a line that is not JSON fails the check."""
    values = []
    for line in lines(path):
        try:
            values.append(json.loads(line))
        except ValueError:
            check(False, f"{what}: every line is JSON", line)
    return values
