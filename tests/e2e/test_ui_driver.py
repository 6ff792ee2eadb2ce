#!/usr/bin/env python3
"""Checks the UI driver and the stand-ins under Wine, without the wizard.

ui_fixture shows the real dialog templates and two message boxes and prints what reaches
it, so the driver's readings and presses can be compared with what happened.
"""

import os
import select
import subprocess
import sys

sys.dont_write_bytecode = True  # nothing written into the source tree

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import PREFS_KEY, SETUP_CONTROL_KEY, APP_PATHS_KEY  # noqa: E402
from scenarios import eq  # noqa: E402


def fixture_line(proc, timeout=15):
    ready, _, _ = select.select([proc.stdout], [], [], timeout)
    if not ready:
        raise AssertionError("the fixture printed nothing in %d s" % timeout)
    return proc.stdout.readline().decode().strip()


def check_driver(rig):
    d = rig.driver
    fixture = rig.start_wine([rig.tool("ui_fixture.exe")], stdout=subprocess.PIPE)
    eq(fixture_line(fixture), "ready", "fixture start")
    progress = d.wait("progress")["hwnd"]
    d.box()
    roles = sorted(w["role"] for w in d.must("windows")["windows"])
    eq(roles, ["box", "progress", "welcome"], "roles of the visible windows")
    eq(d.text("progress", 1006), "Download in progress...", "status line")
    eq(d.text("progress", 1004), "Currently downloading big.bin", "current-file line")
    eq(d.text("progress", 0), "Customized Contact List Download Wizard", "caption")
    eq({k: d.progress()[k] for k in ("pos", "low", "high")}, {"pos": 400, "low": 0, "high": 1000},
       "progress bar")
    eq([d.text("progress", i) for i in (1, 2)], ["Done", "Cancel"], "button texts")
    eq((d.enabled("progress", 1), d.enabled("progress", 2)), (False, True), "buttons enabled")
    eq(d.text("welcome", 1001), "Next >>", "Next button")
    # A modal box disables its owner: a press there is refused, as for a user.
    eq(d.call("press", "progress", 2).get("error"), "window disabled", "press under a box")

    box = d.answer_box(7)
    eq((box["caption"], box["text"], box["buttons"], box["owner"], box["icon"], box["defaults"]),
       ("Customized Contact List Download Wizard", "Are you sure you want to stop downloading ?",
        ["Yes", "No"], progress, "question", ["No"]), "question box")
    eq(fixture_line(fixture), "answer 7", "answer to the question")
    box = d.answer_box(1)
    eq((box["caption"], box["text"], box["buttons"], box["icon"], box["defaults"]),
       ("Error", "Could not create destination file!", ["OK"], "stop", ["OK"]), "error box")
    eq(fixture_line(fixture), "answer 1", "answer to the error")
    for icon in ("exclamation", "information", "none"):
        box = d.answer_box(1)
        eq((box["text"], box["icon"], box["defaults"]), ("Notice", icon, ["OK"]),
           "box with the %s icon" % icon)
        eq(fixture_line(fixture), "answer 1", "answer to the %s box" % icon)
    eq(d.call("press", "progress", 1).get("error"), "button disabled", "press on a disabled button")
    d.press("welcome", 1001)
    eq(fixture_line(fixture), "command 101 1001", "Next pressed")
    d.must("close", "progress")
    eq(fixture_line(fixture), "command 102 2", "close box")
    eq(fixture_line(fixture), "end", "fixture end")
    d.gone("progress", 10)
    eq(d.call("wait", "box", 200).get("ok"), False, "wait for an absent box")


def check_standins(rig):
    d = rig.driver
    messenger = rig.start_messenger()
    messenger.stdin.write(b"quit\n")
    messenger.stdin.flush()
    eq(messenger.wait(timeout=15), 0, "stand-in messenger exit")

    setup = "C:\\dl\\Setup.exe"
    with open(rig.tool("standin_setup.exe"), "rb") as f:
        rig.write_file(setup, f.read())
    cases = [  # (mode, version written by the setup, expected version, App Paths written)
        ("keep", None, 533, None),
        ("raise", None, 600, "C:\\Program Files\\Orvex\\Orvex.exe"),
        ("raise", 777, 777, "C:\\Program Files\\Orvex\\Orvex.exe"),
    ]
    for run, (mode, version, expected, app_path) in enumerate(cases, 1):
        d.set_dword(PREFS_KEY, "Orvex Version", 533)
        d.must("regdel", APP_PATHS_KEY, "@")
        d.set_sz(SETUP_CONTROL_KEY, "Mode", mode)
        if version is not None:
            d.set_dword(SETUP_CONTROL_KEY, "Version", version)
        eq(rig.start_wine([setup]).wait(timeout=30), 0, "setup exit (%s)" % mode)
        eq(d.reg(PREFS_KEY, "Orvex Version"), expected, "version after setup (%s)" % mode)
        eq(d.reg(APP_PATHS_KEY, "@"), app_path, "App Paths after setup (%s)" % mode)
        eq((d.reg(SETUP_CONTROL_KEY, "RunCount"), d.reg(SETUP_CONTROL_KEY, "RanFrom")),
           (run, setup), "run record")
    eq(os.path.isfile(rig.host_path("C:\\Program Files\\Orvex\\Orvex.exe")), True,
       "messenger program created")


def main():
    build = sys.argv[1]
    with harness.Rig("ui_driver", build) as rig:
        check_driver(rig)
        check_standins(rig)
    print("PASS ui driver and stand-ins")


if __name__ == "__main__":
    main()
