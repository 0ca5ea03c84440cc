#!/usr/bin/python3
"""Prints, for every test that did not pass in a ctest run, what explains the failure:
its lines that name a failure (FAIL, Error, Traceback, assertion texts) and the last lines
of its output. Reads the build's Testing/Temporary/LastTest.log.

usage: failed_output.py BUILD_DIR [LINES]
"""
import os
import re
import sys

MARKERS = re.compile(r"FAIL|Error|ERROR|Traceback|Assertion|assert|Timeout|timed out|not found")
WIDTH = 300


def sections(text):
    """(name, output lines, passed) of every test in the log."""
    name, lines, inside = None, [], False
    for line in text.splitlines():
        m = re.match(r"^\d+/\d+ Testing: (.+)$", line)
        if m:
            name, lines, inside = m.group(1), [], False
        elif line.startswith("Output:") and name is not None:
            inside = True
        elif line == "<end of output>":
            inside = False
        elif line.startswith("Test Passed.") and name is not None:
            yield name, lines, True
            name = None
        elif line.startswith("Test Failed.") and name is not None:
            yield name, lines, False
            name = None
        elif inside and not line.startswith("----------"):
            lines.append(line)
    if name is not None:  # a test the run never finished
        yield name, lines, False


def main():
    build = sys.argv[1]
    tail = int(sys.argv[2]) if len(sys.argv) > 2 else 12
    path = os.path.join(build, "Testing", "Temporary", "LastTest.log")
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            text = f.read()
    except OSError as e:
        print("no test log: %s" % e)
        return 0
    results = {}
    for name, lines, passed in sections(text):
        results[name] = (lines, passed)  # a repeated test: its last run counts
    for name, (lines, passed) in results.items():
        if passed:
            continue
        print("--- %s" % name)
        marked = [l for l in lines if MARKERS.search(l)][:20]
        for l in marked:
            print("  " + l[:WIDTH])
        if marked:
            print("  ...")
        for l in lines[-tail:]:
            print("  " + l[:WIDTH])
    return 0


if __name__ == "__main__":
    sys.exit(main())
