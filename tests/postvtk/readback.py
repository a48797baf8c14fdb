"""What the read-back tests share: the list of failures and the records of a
result file."""
import struct
import sys

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def finish(what):
    """Ends the test: status 1 after listing the failures, else 0."""
    if failures:
        for line in failures:
            print("FAIL:", line)
        print(f"{len(failures)} failure(s)")
        sys.exit(1)
    print(f"all {what} checks passed")


def records(data):
    """(offset, payload) of every binary record of a result file's bytes."""
    at = 0
    while at < len(data):
        (size,) = struct.unpack_from("<i", data, at)
        yield at, data[at + 4:at + 4 + size]
        at += size + 8
