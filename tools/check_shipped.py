#!/usr/bin/env python3
"""Fails when the program as handed out is too large or carries what belongs beside it.

Checks: the file is at most LIMIT bytes; it has no debug sections and no symbol table; its GNU
debug link names a .debug file beside it whose CRC-32 it records; its PE header holds no link
time; it carries one partner key block, empty, where the partner tool finds it. Prints the size
of each section.

Usage: check_shipped.py OBJDUMP PROGRAM LIMIT_BYTES
"""

import os
import struct
import subprocess
import sys
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "partner-tools"))
import program_edition  # noqa: E402  the partner tool's own reading of the key block


def sections(objdump, program):
    """[(name, size)] from objdump -h."""
    dump = subprocess.run([objdump, "-h", program], capture_output=True, text=True, check=True)
    found = []
    for line in dump.stdout.splitlines():
        words = line.split()
        if len(words) >= 3 and words[0].isdigit():
            found.append((words[1], int(words[2], 16)))
    return found


def coff_header(data):
    """(time stamp, pointer to symbol table, number of symbols) of a PE file."""
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    if data[offset:offset + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    return struct.unpack_from("<III", data, offset + 8)


def debug_link(program):
    """(file name, CRC) from the program's .gnu_debuglink section, or None."""
    with open(program, "rb") as f:
        data = f.read()
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    count = struct.unpack_from("<H", data, offset + 6)[0]
    optional = struct.unpack_from("<H", data, offset + 20)[0]
    table = offset + 24 + optional
    symbols_at, symbols = struct.unpack_from("<II", data, offset + 12)
    strings = symbols_at + 18 * symbols
    for i in range(count):
        header = data[table + 40 * i:table + 40 * (i + 1)]
        name = header[:8].rstrip(b"\0")
        if name.startswith(b"/"):  # a long name, in the string table
            start = strings + int(name[1:])
            name = data[start:data.index(b"\0", start)]
        if name == b".gnu_debuglink":
            size = struct.unpack_from("<I", header, 8)[0]
            raw_at = struct.unpack_from("<I", header, 20)[0]
            body = data[raw_at:raw_at + size]
            end = body.index(b"\0")
            crc_at = (end + 4) & ~3
            return body[:end].decode(), struct.unpack_from("<I", body, crc_at)[0]
    return None


def main():
    objdump, program, limit = sys.argv[1], sys.argv[2], int(sys.argv[3])
    faults = []
    size = os.path.getsize(program)
    listed = sections(objdump, program)
    print("%s: %d bytes (%.1f KiB), at most %d (%.0f KiB)" %
          (program, size, size / 1024, limit, limit / 1024))
    for name, length in listed:
        print("  %-16s %8d" % (name, length))
    if size > limit:
        faults.append("%d bytes over the limit" % (size - limit))
    debug = [name for name, _ in listed if name.startswith((".debug", ".zdebug", ".stab"))]
    if debug:
        faults.append("debug sections in the program: " + ", ".join(debug))
    with open(program, "rb") as f:
        stamp, _, symbols = coff_header(f.read(4096))
    if symbols:
        faults.append("a symbol table of %d entries" % symbols)
    if stamp:
        faults.append("a link time in the PE header (%d)" % stamp)
    link = debug_link(program)
    if link is None:
        faults.append("no GNU debug link")
    else:
        name, crc = link
        path = os.path.join(os.path.dirname(program), name)
        if not os.path.exists(path):
            faults.append("its debug link names %s, which is not there" % name)
        else:
            with open(path, "rb") as f:
                actual = zlib.crc32(f.read())
            if actual != crc:
                faults.append("%s has CRC %08x, the debug link records %08x" % (name, actual, crc))
            else:
                print("debug link: %s (CRC %08x, %d bytes)" % (name, crc, os.path.getsize(path)))
    with open(program, "rb") as f:
        data = f.read()
    try:
        if program_edition.carried_keys(data):
            faults.append("the program carries partner keys as built")
    except program_edition.EditionError as error:
        faults.append("the partner tool cannot make an edition of it: %s" % error)
    for fault in faults:
        print("FAULT: " + fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
