"""Scenarios of a package fetched over several connections at once: the page shows the whole
package, the log and the installation keep the list's order, the first failure in that order
decides the run, and a server that turns the extra connections away gets the run back on one.
"""

import os
import re

from harness import ID_CANCEL, ID_CURRENT_FILE, ID_STATUS, wait_for
from scenarios import (IDYES, INDEX_PATH, LOG_PATH, PACKAGE, PACKAGE_DIR, SETUP_PATH,
                       check_installed, check_log_has, check_nothing_installed, check_welcome, eq,
                       leave, log_lines, next_page, point_at, prepare, run_quiet, run_to_done,
                       scenario, scenario_variants, web_site)
from scripted_server import ok_reply, status_reply

ID_PROGRESS_LINE = 1007


def many_files(count, size):
    """The sample package and count - 2 more files of size bytes each (the list's order)."""
    files = dict(PACKAGE)
    files.update({"f%02d.bin" % i: os.urandom(size) for i in range(count - len(PACKAGE))})
    return files


def package_lines(lines, base):
    """The package files the log's GET lines name, in the log's order."""
    pattern = r"GET %s%s([^ :]+)[: ]" % (re.escape(base), PACKAGE_DIR)
    return [m.group(1) for m in (re.match(pattern, line) for line in lines) if m]


def written(lines):
    """The files the log's "wrote" lines name, in the log's order."""
    return [m.group(1) for m in (re.match(r"wrote .*\\([^\\ ]+) \(", line) for line in lines)
            if m]


@scenario_variants(package_at_once={"cancel": False}, package_at_once_cancelled={"cancel": True})
def package_at_once(rig, cancel):
    """Twelve files of a slow nginx over three connections: while they come, the current-file
    line names a file in flight, the bar counts the whole package and only grows, the line under
    it counts the package's bytes; everything installed, every request on the three kept
    connections, the log's lines in the list's order. Cancel and Yes meanwhile close the page at
    once, and nothing is installed."""
    # nginx sends about a second's worth at once: each file is made to take about another one.
    files = many_files(12, 64 * 1024)
    prepare(rig, names=list(files))
    base = web_site(rig, files=files, slow_paths=[PACKAGE_DIR], rate="32k")
    os.makedirs(rig.host_path("C:\\logs"), exist_ok=True)
    rig.start_wizard("/log", LOG_PATH)
    next_page(rig)
    d = rig.driver
    d.wait("progress", 30)
    wait_for(lambda: d.call("text", "progress", ID_CURRENT_FILE).get("text", "").startswith(
        "Currently downloading f"), 30, what="the package's transfers")
    positions = []
    for _ in range(8):
        bar = d.call("progress")
        texts = [d.call("text", "progress", c) for c in (ID_CURRENT_FILE, ID_PROGRESS_LINE,
                                                         ID_STATUS)]
        if not bar.get("ok") or not all(t.get("ok") for t in texts):
            break  # the page has closed
        line, amount, status = [t["text"] for t in texts]
        if line:
            eq(line[len("Currently downloading "):] in files, True, "file named: " + line)
        eq((bar["low"], bar["high"]), (0, 1000 * len(files)), "the bar's range")
        positions.append(bar["pos"])
        if amount and not re.match(r"^\d+(\.\d)? KB( of \d+ KB( \(.+/s(, .+ left)?\))?)?$",
                                   amount):
            raise AssertionError("line under the bar: %r" % amount)
        eq(status in ("Download in progress...", "Connecting..."), True, "status line")
    eq(positions, sorted(positions), "the bar's positions")
    eq(len(positions) > 1, True, "the page seen while the files came")
    if cancel:
        d.press("progress", ID_CANCEL)
        d.box(10)
        d.must("press", "box", IDYES)
        d.gone("progress", 2)
        check_welcome(d, finished=False)
        check_nothing_installed(rig)
        leave(rig)
        return
    run_to_done(rig)
    check_installed(rig, files)
    eq(sorted(line for line, _, _, _ in rig.web.requests()),
       sorted("GET %s%s HTTP/1.1" % (path, name) for path, name in
              [(INDEX_PATH, "")] + [(PACKAGE_DIR, n) for n in files]), "requests")
    eq(len(set(rig.web.connections())), 3, "connections")
    lines = log_lines(rig)
    eq(package_lines(lines, base), list(files), "GET lines in the log")
    eq(written(lines), ["urls.cb"] + list(files), "files written")
    leave(rig)


@scenario_variants(package_at_once_refused={"failing": {}},
                   package_at_once_first_failure_decides={"failing": {"f01.bin": 404,
                                                                      "f04.bin": 410}})
def package_at_once_scripted(rig, failing):
    """Eight files from a server that takes one connection at a time and answers the others 503:
    they are given back and the run goes on over the first, no failure. With two files missing,
    the first in the list's order decides the exit code, the log ends with it, nothing installed."""
    files = many_files(8, 4096)
    prepare(rig, names=list(files))
    server = rig.start_scripted(most_connections=None if failing else 1)
    base = "http://127.0.0.1:%d" % server.port
    server.routes.update({PACKAGE_DIR + name: status_reply(failing[name], "Missing")
                          if name in failing else ok_reply(data, keep=True)
                          for name, data in files.items()})
    server.routes[INDEX_PATH] = ok_reply(("%s%s\r\n%s%s\r\n" % (
        base, PACKAGE_DIR, base, SETUP_PATH)).encode(), keep=True)
    point_at(rig, base + "/cb/partner")
    code = run_quiet(rig, "/quiet", "/log", LOG_PATH)
    lines = log_lines(rig)
    if not failing:
        eq(code, 0, "exit code")
        check_installed(rig, files)
        first = [r.split(b" ")[1].decode() for r in server.connection_requests()[0]]
        eq(sorted(first), sorted([INDEX_PATH] + [PACKAGE_DIR + n for n in files]),
           "requests on the first connection")
        check_log_has(lines, ["given back: the server takes no more connections at once"])
        eq(written(lines), ["urls.cb"] + list(files), "files written")
        return
    eq(code, 1404 % 256, "exit code (as Wine reports it)")
    check_log_has(lines, ["failed: HttpStatus 404",
                          "f01.bin failed: the files after it are abandoned",
                          "run ended: HttpStatus 404"])
    eq([line for line in lines if "410" in line], [], "the later failure in the log")
    eq(package_lines(lines, base), list(files)[:4], "GET lines in the log")
    check_nothing_installed(rig)


@scenario
def package_at_once_bad_name(rig):
    """A name in the list that is no file name, after eight good ones: the eight are fetched over
    the lanes, then the run ends at that line (exit 6), nothing asked for it or after it, nothing
    installed."""
    files = many_files(10, 4096)
    names = list(files)
    names[8] += " "
    prepare(rig, names=names)
    base = web_site(rig, files=files)
    code = run_quiet(rig, "/quiet", "/log", LOG_PATH)
    lines = log_lines(rig)
    eq(code, 6, "exit code")
    check_log_has(lines, ['OrvexDownload.dat line 10: the file name "%s" is refused: it ends in '
                          'a space' % names[8], "exit code 6"])
    eq(package_lines(lines, base), names[:8], "GET lines in the log")
    eq(len(set(rig.web.connections())), 2, "connections")
    check_nothing_installed(rig)
