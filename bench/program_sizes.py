#!/usr/bin/env python3
"""Prints the size of the program in each Windows build and what makes it up, from the
linker's map beside it (OrvexDownload.exe.map): bytes by output section, by library and by
object file, largest first. Debug sections are left out: they go to the .debug file.

Usage: program_sizes.py [--top N] BUILD...     e.g. program_sizes.py build/win32 build/win64
"""

import argparse
import collections
import os
import re
import sys

PROGRAM = "OrvexDownload.exe"
# One input section: " .text  0x00401000  0x5c4 /path/lib.a(member.o)"; a long section name
# stands on a line of its own, with address, size and file on the next.
INPUT = re.compile(r"^ (\S+)?\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")
OUTPUT = re.compile(r"^(\.\S+)(?:\s+0x[0-9a-f]+\s+0x[0-9a-f]+)?")
LEFT_OUT = (".debug", ".bss", ".gnu_debuglink")


def contributions(map_path):
    """{(output section, input file): bytes} from a GNU ld map."""
    sizes = collections.Counter()
    section = None
    in_map = False
    with open(map_path, errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            if not in_map:
                in_map = line.startswith("Linker script and memory map")
                continue
            if line and not line[0].isspace():
                match = OUTPUT.match(line)
                section = match.group(1) if match else None
                continue
            match = INPUT.match(line)
            if not match or section is None or section.startswith(LEFT_OUT):
                continue
            size = int(match.group(3), 16)
            if size:
                sizes[(section, match.group(4))] += size
    return sizes


def short(path):
    """lib.a(member.o), or the object file's name."""
    if path == "dll stuff":
        return "base relocations (made by the linker)"
    library = re.match(r"^(.*?)([^/]+\.a)\((.*)\)$", path)
    if library:
        return "%s(%s)" % (library.group(2), library.group(3))
    return os.path.basename(path)


def library_of(path):
    match = re.match(r"^(.*?)([^/]+\.a)\(", path)
    return match.group(2) if match else short(path)


def report(build, top):
    program = os.path.join(build, PROGRAM)
    if not os.path.exists(program):
        print("%s: not built" % program)
        return
    size = os.path.getsize(program)
    debug = program + ".debug"
    print("%s: %d bytes (%.1f KiB)%s" % (program, size, size / 1024,
          ", debug information beside it in %s (%.1f MiB)" %
          (os.path.basename(debug), os.path.getsize(debug) / 2**20)
          if os.path.exists(debug) else ""))
    map_path = program + ".map"
    if not os.path.exists(map_path):
        print("  no linker map beside it")
        return
    sizes = contributions(map_path)
    by_section, by_library, by_object = (collections.Counter() for _ in range(3))
    for (section, path), n in sizes.items():
        by_section[section] += n
        by_library[library_of(path)] += n
        by_object[short(path)] += n
    ours = sum(n for name, n in by_library.items()
               if name.startswith("liborvex_") or name == "main.cpp.obj")
    print("  by section: " + ", ".join("%s %d" % item for item in by_section.most_common()))
    print("  our own code and data (liborvex_*, main): %d; resources: %d; the rest is the C and "
          "C++ runtime" % (ours, by_library["OrvexDownload.rc.res"]))
    print("  largest libraries:")
    for name, n in by_library.most_common(top):
        print("    %8d  %s" % (n, name))
    print("  largest object files:")
    for name, n in by_object.most_common(top):
        print("    %8d  %s" % (n, name))


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--top", type=int, default=12)
    parser.add_argument("builds", nargs="+")
    args = parser.parse_args()
    for build in args.builds:
        report(build, args.top)
    return 0


if __name__ == "__main__":
    sys.exit(main())
