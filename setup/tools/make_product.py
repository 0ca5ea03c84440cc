#!/usr/bin/python3
"""Writes a Tessavox product directory: the files a script's file groups name,
TXSETUP.exe, and txsetup.inf with a "[<group> Control Sums]" section per group (the
length L<n> and the eight check sums F<n> of each file, computed from the files), each
group's RegisteredSpace and [File Groups] RegisteredSpace, the bytes to copy. A group is
a section [File Groups] lists or any other section with a GroupPath (installed on
request). Optionally packs the directory into
a self-extracting archive with the txarchive stand-in.

Usage: make_product.py TEMPLATE.inf OUTDIR --from DIR [--from DIR ...]
                       [--archive STUB.exe ARCHIVE.exe]

TEMPLATE.inf is the script without check sums. Each file is looked up by its bare name
in the --from directories, in order. A script with [Default Setting] CheckWebBrowsers
gets the browser-check library checkwb.dll beside TXSETUP.exe, where the setup loads it.
The eight sums: byte i of a file is added, modulo 256, to sum i mod 8."""
import argparse
import os
import re
import shutil
import struct
import sys


def read_script(path):
    """[(section, [(key, value)])] in file order, keys as written."""
    sections = []
    current = None
    with open(path, "rb") as f:
        for raw in f.read().decode("latin-1").splitlines():
            line = raw.strip()
            if not line or line.startswith(";"):
                continue
            if line.startswith("[") and line.endswith("]"):
                current = (line[1:-1], [])
                sections.append(current)
            elif "=" in line and current is not None:
                k, v = line.split("=", 1)
                current[1].append((k.strip(), v.strip()))
    return sections


def lookup(sections, name):
    for s, keys in sections:
        if s.lower() == name.lower():
            return keys
    return None


def value(keys, key):
    for k, v in keys or []:
        if k.lower() == key.lower():
            return v
    return None


def sums_of(path):
    sums = [0] * 8
    with open(path, "rb") as f:
        pos = 0
        while True:
            block = f.read(1 << 20)
            if not block:
                break
            for lane in range(8):
                start = (lane - pos) % 8
                sums[lane] = (sums[lane] + sum(block[start::8])) % 256
            pos += len(block)
    return sums


def find(name, dirs):
    for d in dirs:
        p = os.path.join(d, name)
        if os.path.isfile(p):
            return p
    raise SystemExit("make_product: %s not found in %s" % (name, ", ".join(dirs)))


def make(template, out, dirs):
    sections = read_script(template)
    os.makedirs(out, exist_ok=True)
    shutil.copyfile(find("TXSETUP.exe", dirs), os.path.join(out, "TXSETUP.exe"))
    # The setup reads the number as the profile calls do: its leading digits.
    check = re.match(r"\s*(\d+)", value(lookup(sections, "Default Setting"), "CheckWebBrowsers") or "")
    if check and int(check.group(1)):
        shutil.copyfile(find("checkwb.dll", dirs), os.path.join(out, "checkwb.dll"))
    groups = []
    n = 1
    while value(lookup(sections, "File Groups"), "Group%d" % n):
        groups.append(value(lookup(sections, "File Groups"), "Group%d" % n))
        n += 1
    # Groups installed on request (WM_SETUP_INSTALL_GROUP) are not listed but need
    # their sums too: every section with a GroupPath is a group.
    listed = [g.lower() for g in groups]
    for s, keys in sections:
        if value(keys, "GroupPath") is not None and s.lower() not in listed and not s.lower().endswith(" control sums"):
            groups.append(s)
    total = 0
    added = []
    for g in groups:
        keys = lookup(sections, g) or []
        group_total = 0
        sums = []
        n = 1
        while value(keys, "F%d" % n) is not None:
            bare = value(keys, "F%d" % n).replace("/", "\\").split("\\")[-1]
            src = find(bare, dirs)
            dst = os.path.join(out, bare)
            if os.path.abspath(src) != os.path.abspath(dst):
                shutil.copyfile(src, dst)
            size = os.path.getsize(dst)
            group_total += size
            sums.append(("L%d" % n, str(size)))
            sums.append(("F%d" % n, " ".join(str(s) for s in sums_of(dst))))
            n += 1
        added.append(("%s Control Sums" % g, sums))
        if g.lower() in listed:
            total += group_total
        if value(keys, "RegisteredSpace") is None:
            keys.append(("RegisteredSpace", str(group_total)))
    for s, keys in sections:
        if s.lower() == "file groups" and value(keys, "RegisteredSpace") is None:
            keys.append(("RegisteredSpace", str(total)))
    with open(os.path.join(out, "txsetup.inf"), "wb") as f:
        for s, keys in sections + added:
            f.write(("[%s]\r\n" % s).encode("latin-1"))
            for k, v in keys:
                f.write(("%s=%s\r\n" % (k, v)).encode("latin-1"))
            f.write(b"\r\n")
    return total


def pack(directory, stub, archive):
    """The stub followed by every file of directory and the trailer txarchive reads."""
    with open(stub, "rb") as f:
        body = bytearray(f.read())
    start = len(body)
    for name in sorted(os.listdir(directory)):
        path = os.path.join(directory, name)
        if not os.path.isfile(path):
            continue
        data = open(path, "rb").read()
        raw = name.encode("latin-1")
        body += struct.pack("<I", len(raw)) + raw + struct.pack("<Q", len(data)) + data
    body += struct.pack("<I", 0) + struct.pack("<Q", start) + b"TXARCH01"
    with open(archive, "wb") as f:
        f.write(body)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("template")
    ap.add_argument("out")
    ap.add_argument("--from", dest="dirs", action="append", required=True)
    ap.add_argument("--archive", nargs=2, metavar=("STUB", "ARCHIVE"))
    a = ap.parse_args()
    total = make(a.template, a.out, a.dirs)
    if a.archive:
        pack(a.out, a.archive[0], a.archive[1])
    print("product %s: %d bytes in its groups" % (a.out, total))


if __name__ == "__main__":
    sys.exit(main())
