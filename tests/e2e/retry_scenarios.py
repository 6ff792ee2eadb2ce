"""Scenarios of a connection that fails and comes back: the wizard tries a file again after a
pause, continues a cut file when the server allows it (and only then), and gives up with
message 3 after its last try.
"""

import os
import re
import time

from harness import ID_CANCEL, ID_NEXT, ID_STATUS, WIZARD_CAPTION, wait_for
from scenarios import (INDEX_PATH, LOG_PATH, MSG_CONNECT, MSG_STOP, PACKAGE, PACKAGE_DIR,
                       SETUP_PATH, IDYES, ID_OK, check_box, check_installed, check_log_has,
                       check_nothing_installed, eq, leave, log_lines, next_page, no_box_for,
                       point_at, prepare, run_quiet, run_to_done, scenario, scenario_variants,
                       scripted_site, web_site)
from scripted_server import Relay, Reply, ok_reply, partial_reply, status_reply

BMP = PACKAGE["skin.bmp"]
BMP_PATH = PACKAGE_DIR + "skin.bmp"
CUT = len(BMP) // 3
OTHER_BMP = BMP[:54] + bytes(255 - b for b in BMP[54:])  # the same header, other pixels
ID_PROGRESS_LINE = 1007
MSG_LOST = "Connection lost, trying again (3 of 3)..."
MSG_BUSY = "The server is busy, trying again (2 of 3)..."


# Requests as bitmap_requests gives them: the Host line names the server's port as PORT.
def plain():
    return ("GET %s HTTP/1.1\r\nHost: 127.0.0.1:PORT\r\n\r\n" % BMP_PATH).encode()


def rest(offset, validator):
    return ("GET %s HTTP/1.1\r\nHost: 127.0.0.1:PORT\r\nRange: bytes=%d-\r\n"
            "If-Range: %s\r\n\r\n" % (BMP_PATH, offset, validator)).encode()


def cut(headers=None):
    return ok_reply(BMP, truncate_to=CUT, headers=headers or {"ETag": '"v1"'})


def bitmap_requests(server):
    host = b"Host: 127.0.0.1:%d\r\n" % server.port
    return [c.request.replace(host, b"Host: 127.0.0.1:PORT\r\n") for c in server.connections
            if c.path == BMP_PATH]


# A version known by its date alone (no ETag): the reply's Date a second or more later makes the
# date a validator that may join two replies; the next version is another second later.
MODIFIED = "Tue, 01 Dec 2026 10:00:00 GMT"
BY_DATE = {"Last-Modified": MODIFIED, "Date": "Tue, 01 Dec 2026 10:05:00 GMT"}
OTHER_BY_DATE = {"Last-Modified": "Tue, 01 Dec 2026 10:00:01 GMT",
                 "Date": "Tue, 01 Dec 2026 10:05:02 GMT"}


def package_site(rig, bitmap_replies):
    """The scripted server with the index, Skin.dat and the bitmap's replies in turn."""
    server, base = scripted_site(rig)
    server.routes.update({
        INDEX_PATH: ok_reply(("%s%s\n%s%s\n" % (base, PACKAGE_DIR, base, SETUP_PATH)).encode()),
        PACKAGE_DIR + "Skin.dat": ok_reply(PACKAGE["Skin.dat"]),
        BMP_PATH: bitmap_replies,
    })
    point_at(rig, base + "/cb/partner")
    return server


def watch_rest(rig, server):
    """While the rest arrives, the bar and the line under it go on from the cut."""
    d = rig.driver
    wait_for(lambda: len(bitmap_requests(server)) == 2, 15, what="the second try")
    # The rest takes about 3 s: a bar that began again would need half of that to get here.
    bar = wait_for(lambda: (lambda p: p if p["pos"] >= CUT else None)(d.progress()), 0.7,
                   what="the bar to go on from the cut")
    eq((bar["low"], bar["high"]), (0, len(BMP)), "the bar's range")
    line = d.text("progress", ID_PROGRESS_LINE)
    if not re.match(r"^\d+ KB of 45 KB( \(.+/s(, \d+ (s|min) left)?\))?$", line):
        raise AssertionError("line under the bar: %r" % line)


def watch_lost(rig, server):
    wait_for(lambda: rig.driver.text("progress", ID_STATUS) == MSG_LOST, 15,
             what="the status line during the second pause")


def watch_busy(rig, server, retry_after=2):
    """The status line during the pause, and the second try after the time asked for."""
    wait_for(lambda: rig.driver.text("progress", ID_STATUS) == MSG_BUSY, 10,
             what="the status line during the pause")
    if retry_after:
        wait_for(lambda: len(bitmap_requests(server)) == 2, 10, what="the second try")
        first, second = [c.started for c in server.connections if c.path == BMP_PATH]
        if not retry_after - 0.1 < second - first < retry_after + 1.5:
            raise AssertionError("second try %.1f s after the first" % (second - first))


# (name, the bitmap's replies in turn, the requests for it, the bitmap installed, a check while
#  the run goes on, log lines)
CASES = [
    ("closed_then_served", [Reply([]), ok_reply(BMP)], [plain(), plain()], BMP, None,
     ["try 1 of 3 failed, trying again in 1000 ms, from the start"]),
    ("cut_then_rest", [cut(), partial_reply(BMP, CUT, '"v1"', chunk=1024, interval=0.1)],
     [plain(), rest(CUT, '"v1"')], BMP, watch_rest,
     ['try 1 of 3 failed, trying again in 1000 ms, for the rest from byte %d (If-Range "v1")'
      % CUT, "GET http://127.0.0.1:PORT%s (try 2, from byte %d): status 206" % (BMP_PATH, CUT)]),
    # The server sends the whole file instead: it is written again, not added.
    ("cut_then_whole", [cut(), ok_reply(BMP, headers={"ETag": '"v1"'})],
     [plain(), rest(CUT, '"v1"')], BMP, None, []),
    # A rest of another version is refused; the next try fetches that version whole.
    ("cut_then_other_version",
     [cut(), partial_reply(OTHER_BMP, CUT, '"v2"'), ok_reply(OTHER_BMP, headers={"ETag": '"v2"'})],
     [plain(), rest(CUT, '"v1"'), plain()], OTHER_BMP, watch_lost,
     ["failed: ReplyCutShort (RangeRefused)",
      "try 2 of 3 failed, trying again in 3000 ms, from the start"]),
    # Asked for by date, a server that ignores If-Range sends the rest of another version: its
    # other date refuses it, and the next try fetches that version whole.
    ("cut_by_date_then_other_version",
     [cut(BY_DATE), partial_reply(OTHER_BMP, CUT, headers=OTHER_BY_DATE),
      ok_reply(OTHER_BMP, headers=OTHER_BY_DATE)],
     [plain(), rest(CUT, MODIFIED), plain()], OTHER_BMP, None,
     ["for the rest from byte %d (If-Range %s)" % (CUT, MODIFIED),
      "failed: ReplyCutShort (RangeRefused)",
      "try 2 of 3 failed, trying again in 3000 ms, from the start"]),
    # Without a validator nothing can be asked for by name: the file starts over; so it does
    # after a 416.
    ("cut_without_validator", [ok_reply(BMP, truncate_to=CUT), ok_reply(BMP)], [plain(), plain()],
     BMP, None, []),
    ("cut_then_416", [cut(), status_reply(416, "Range Not Satisfiable"), ok_reply(BMP)],
     [plain(), rest(CUT, '"v1"'), plain()], BMP, None, ["failed: ReplyCutShort (RangeRefused)"]),
    ("busy_then_served", [status_reply(503, "Service Unavailable", headers={"Retry-After": "2"}),
                          ok_reply(BMP)], [plain(), plain()], BMP, watch_busy,
     ["failed: HttpStatus 503", "try 1 of 3 failed, trying again in 2000 ms, from the start"]),
]


def start_logged(rig):
    os.makedirs(rig.host_path("C:\\logs"), exist_ok=True)
    rig.start_wizard("/log", LOG_PATH)


def retry_case(name, replies, requests, installed, watch, log):
    def run(rig):
        prepare(rig)
        server = package_site(rig, replies)
        start_logged(rig)
        next_page(rig)
        if watch:
            rig.driver.wait("progress", 30)
            watch(rig, server)
        run_to_done(rig)
        eq(rig.driver.boxes(), [], "message boxes")
        eq(bitmap_requests(server), requests, "requests for the bitmap")
        check_installed(rig, dict(PACKAGE, **{"skin.bmp": installed}))
        leave(rig)
        port = ":%d" % server.port
        check_log_has(log_lines(rig), [line.replace(":PORT", port) for line in log])
    run.__name__ = "retry_" + name
    return scenario(run)


for case in CASES:
    retry_case(*case)


@scenario
def retry_quiet_resumes(rig):
    """/quiet tries again and continues the cut file the same way; the exit code is success."""
    prepare(rig)
    server = package_site(rig, [cut(), partial_reply(BMP, CUT, '"v1"')])
    eq(run_quiet(rig, "/quiet", "/log", LOG_PATH), 0, "exit code with /quiet")
    eq(bitmap_requests(server), [plain(), rest(CUT, '"v1"')], "requests for the bitmap")
    check_installed(rig, PACKAGE)


@scenario
def retry_cut_then_garbage(rig):
    """/quiet: a cut, then bytes that are no HTTP reply for the rest: a malformed reply, not
    taken as the file nor tried again; exit 5, nothing installed."""
    prepare(rig)
    server = package_site(rig, [cut(), Reply([(b"<html>no reply</html>" * 8, 0.0)])])
    eq(run_quiet(rig, "/quiet", "/log", LOG_PATH), 5, "exit code with /quiet")
    eq(bitmap_requests(server), [plain(), rest(CUT, '"v1"')], "requests for the bitmap")
    check_log_has(log_lines(rig), ["failed: ReplyCutShort (Malformed)"])
    check_nothing_installed(rig)


@scenario
def retry_refused_every_try(rig):
    """A server that refuses every connection: three tries, then message 3 within 10 s, and the
    page closes without the question, as before."""
    prepare(rig)
    point_at(rig, "http://127.0.0.1:%d/cb/partner/" % rig.refused_port())
    start_logged(rig)
    next_page(rig)
    started = time.monotonic()
    box = rig.driver.box(20)
    took = time.monotonic() - started
    print("message 3 %.1f s after Next >>" % took)
    check_box(box, "Error", MSG_CONNECT, ["OK"])
    if not 3.5 < took < 10:
        raise AssertionError("message 3 came %.1f s after Next >>" % took)
    rig.driver.must("press", "box", ID_OK)
    rig.driver.gone("progress", 5)
    no_box_for(rig.driver, 1.0)
    check_nothing_installed(rig)
    leave(rig)
    lines = log_lines(rig)
    eq(len([line for line in lines if "failed: CannotConnect (Connect)" in line]), 3,
       "failed tries logged")
    check_log_has(lines, ["try 1 of 3 failed, trying again in 1000 ms",
                          "try 2 of 3 failed, trying again in 3000 ms",
                          "run ended: CannotConnect"])


@scenario
def retry_cancel_during_pause(rig):
    """Cancel + Yes while the wizard waits the 20 s a busy server asked for: the pause ends at
    once (the worker has ended when Next >> is enabled again), nothing more is asked for, no
    message 3, nothing installed."""
    prepare(rig)
    server = package_site(
        rig, status_reply(503, "Service Unavailable", headers={"Retry-After": "20"}))
    rig.start_wizard()
    next_page(rig)
    d = rig.driver
    d.wait("progress", 30)
    watch_busy(rig, server, retry_after=None)
    d.press("progress", ID_CANCEL)
    check_box(d.box(10), WIZARD_CAPTION, MSG_STOP, ["Yes", "No"])
    ms = d.must("timedpress", "box", IDYES, "welcome:%d" % ID_NEXT, 10000, timeout_ms=10000)["ms"]
    print("Next >> enabled %.0f ms after Yes" % ms)
    if ms > 3000:
        raise AssertionError("Next >> enabled only %.0f ms after Yes" % ms)
    no_box_for(d, 1.0)
    eq(bitmap_requests(server), [plain()], "requests for the bitmap")
    check_nothing_installed(rig)
    leave(rig)


@scenario
def retry_apache_resume(rig):
    """Apache serves the package through a relay that cuts the bitmap's first reply: the second
    try asks Apache for the rest by its own ETag, Apache answers 206 and the file is whole."""
    prepare(rig)
    apache_base = web_site(rig, server="apache")
    # A file changed within the last second gets only a weak ETag, which If-Range cannot use.
    an_hour_ago = time.time() - 3600
    os.utime(os.path.join(rig.web.docroot, BMP_PATH.lstrip("/")), (an_hour_ago, an_hour_ago))
    server, base = scripted_site(rig)
    first = Relay(rig.web.port, cut_after=CUT)
    server.routes.update({PACKAGE_DIR + "Skin.dat": Relay(rig.web.port),
                          BMP_PATH: [first, Relay(rig.web.port)]})
    rig.web.put(INDEX_PATH, ("%s%s\r\n%s%s\r\n" % (base, PACKAGE_DIR, apache_base,
                                                  SETUP_PATH)).encode())
    rig.start_wizard()
    next_page(rig)
    run_to_done(rig)
    etag = re.search(rb"\r\nETag: ([^\r\n]+)\r\n", first.passed, re.IGNORECASE)
    if not etag:
        raise AssertionError("Apache's reply had no ETag: %r" % first.passed[:300])
    eq(bitmap_requests(server), [plain(), rest(CUT, etag.group(1).decode())],
       "requests for the bitmap")
    eq([(line, status) for line, _, status, _ in rig.web.requests()],
       [("GET %s HTTP/1.1" % INDEX_PATH, "200"), ("GET %sSkin.dat HTTP/1.1" % PACKAGE_DIR, "200"),
        ("GET %s HTTP/1.1" % BMP_PATH, "200"), ("GET %s HTTP/1.1" % BMP_PATH, "206")],
       "requests Apache answered")
    check_installed(rig, PACKAGE)
    leave(rig)


@scenario_variants(kept_connection_closed={"version": "HTTP/1.1"},
                   http10_connection_each={"version": "HTTP/1.0"})
def kept_connections(rig, version):
    """A server that would keep its connections. Over HTTP/1.1 the index and the package go on
    one connection; when the server closes it as the bitmap's request goes out, the request goes
    again on a new one, which is no failed try. An HTTP/1.0 server's connections are not used
    again: each file comes on one of its own, as before keep-alive."""
    prepare(rig)
    server, base = scripted_site(rig)
    skin = PACKAGE_DIR + "Skin.dat"
    index = ("%s%s\n%s%s\n" % (base, PACKAGE_DIR, base, SETUP_PATH)).encode()
    kept = version == "HTTP/1.1"
    server.routes.update({
        INDEX_PATH: ok_reply(index, version=version, keep=True),
        skin: ok_reply(PACKAGE["Skin.dat"], version=version, keep=True),
        BMP_PATH: [Reply([]), ok_reply(BMP)] if kept else ok_reply(BMP, version=version)})
    point_at(rig, base + "/cb/partner")
    eq(run_quiet(rig, "/quiet", "/log", LOG_PATH), 0, "exit code")
    check_installed(rig, PACKAGE)
    paths = [[r.split(b" ")[1].decode() for r in c] for c in server.connection_requests()]
    eq(paths, [[INDEX_PATH, skin, BMP_PATH], [BMP_PATH]] if kept else
       [[INDEX_PATH], [skin], [BMP_PATH]], "requests on each connection")
    lines = log_lines(rig)
    server_name = "127.0.0.1:%d" % server.port
    kept_lines = [line for line in lines if "kept connection" in line]
    eq(kept_lines, ["on the kept connection to " + server_name] * 2 + [
        "the kept connection to %s closed before the reply: sent again on a new one" % server_name]
       if kept else [], "kept connections in the log")
    check_log_has(lines, ["GET %s%s: status 200" % (base, BMP_PATH)])
    eq([line for line in lines if re.search(r"\btry \d", line)], [], "tries counted")
