#!/usr/bin/env python3
"""Runs one end-to-end scenario: run_scenario.py --build build/win64 NAME (or --list)."""

import argparse
import os
import sys

sys.dont_write_bytecode = True  # nothing written into the source tree
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import scenarios  # noqa: E402
import proxy_scenarios  # noqa: E402,F401  (registers the proxy scenarios)
import unicode_scenarios  # noqa: E402,F401  (registers the scenarios outside the code page)
import retry_scenarios  # noqa: E402,F401  (registers the retry scenarios)
import lane_scenarios  # noqa: E402,F401  (registers the package over several connections)
import trust_scenarios  # noqa: E402,F401  (registers the scenarios of signatures)
import hostile_scenarios  # noqa: E402,F401  (registers chunked replies and stalled servers)
import reach_scenarios  # noqa: E402,F401  (registers the redirect and address scenarios)
import language_scenarios  # noqa: E402,F401  (registers the scenarios in other languages)


def describe_screen(rig):
    """What was on the screen when a scenario failed: every dialog and message box."""
    try:
        for window in rig.driver.dialogs():
            print("on screen: %r" % window, file=sys.stderr)
        for box in rig.driver.boxes():
            print("message box: %r: %r" % (box.get("caption"), box.get("text")), file=sys.stderr)
    except Exception as error:  # the driver itself may be what failed
        print("screen not readable: %s" % error, file=sys.stderr)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True, help="the Windows build folder (build/win64)")
    parser.add_argument("--display", help="an X display to use instead of a private Xvfb")
    parser.add_argument("--keep", action="store_true", help="keep the run folder")
    parser.add_argument("--list", action="store_true")
    parser.add_argument("name", nargs="?")
    args = parser.parse_args()
    if args.list:
        print("\n".join(scenarios.SCENARIOS))
        return 0
    if args.name not in scenarios.SCENARIOS:
        parser.error("unknown scenario %r" % args.name)
    started = time.monotonic()
    try:
        with harness.Rig(args.name, args.build, display=args.display, keep=args.keep) as rig:
            try:
                scenarios.SCENARIOS[args.name](rig)
            except Exception:
                describe_screen(rig)
                raise
    except Exception:
        traceback.print_exc()
        print("FAIL %s (%.1f s)" % (args.name, time.monotonic() - started))
        return 1
    print("PASS %s (%.1f s)" % (args.name, time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
