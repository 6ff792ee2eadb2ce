#!/usr/bin/env python3
"""Fails when a Windows program imports a library outside a short list of system libraries.

A library that is not one of Windows' known DLLs is looked for first in the program's own
folder; for a program run from a downloads folder, a planted WSOCK32.DLL or similar would be
loaded in place of the system's. Allowed: known DLLs, and COMCTL32, which the manifest takes
from the side-by-side store.

Usage: check_imports.py OBJDUMP PROGRAM   (exit 77 when PROGRAM has not been built)
"""

import subprocess
import sys

ALLOWED = {
    "ADVAPI32.DLL",
    "COMCTL32.DLL",  # through the manifest's dependency on version 6
    "GDI32.DLL",  # the pages' font in another character set
    "KERNEL32.DLL",
    "MSVCRT.DLL",
    "USER32.DLL",
    "WS2_32.DLL",
}
NOT_BUILT = 77


def imported(objdump, program):
    dump = subprocess.run([objdump, "-p", program], capture_output=True, text=True, check=True)
    return [line.split(":", 1)[1].strip() for line in dump.stdout.splitlines()
            if line.strip().startswith("DLL Name:")]


def main():
    objdump, program = sys.argv[1:3]
    try:
        open(program, "rb").close()
    except FileNotFoundError:
        print("%s has not been built" % program)
        return NOT_BUILT
    names = imported(objdump, program)
    print("%s imports %s" % (program, ", ".join(names)))
    if not names:
        print("no import table read")
        return 1
    refused = sorted({name for name in names if name.upper() not in ALLOWED})
    if refused:
        print("not allowed: %s" % ", ".join(refused))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
