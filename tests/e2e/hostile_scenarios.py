"""Servers that answer in ways the wizard must not take at face value: chunked replies, and
servers that never finish, silent or trickling. The timed scenarios run with the program's own
limits (30 s of silence, 1,024 bytes in 30 s) and assert bounds with a wide margin.
"""

import time

from harness import ID_OK, ID_STATUS, wait_for
from scenarios import (INDEX_PATH, LOG_PATH, MSG_CONNECT, PACKAGE, PACKAGE_DIR, SETUP_PATH, IDYES,
                       answer_question, check_box, check_installed, check_log_has,
                       check_nothing_installed, eq, leave, log_lines, next_page, point_at,
                       prepare, run_quiet, scenario, scripted_site)
from scripted_server import Reply, ok_reply

BMP = PACKAGE["skin.bmp"]
BMP_PATH = PACKAGE_DIR + "skin.bmp"
ID_PROGRESS_LINE = 1007
WAITING = "Waiting for the server..."
IN_PROGRESS = "Download in progress..."


def chunked_reply(body, size=3000, length=None):
    """body as an HTTP/1.1 chunked reply, with an extension on each chunk and a trailer line,
    cut into pieces that fall anywhere in the framing; length: a Content-Length beside it."""
    head = b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n"
    if length is not None:
        head += b"Content-Length: %d\r\n" % length
    parts = [body[i:i + size] for i in range(0, len(body), size)]
    framing = b"".join(b"%x;n=%d\r\n%s\r\n" % (len(part), n, part) for n, part in enumerate(parts))
    wire = head + b"\r\n" + framing + b"0\r\nX-Checksum: none\r\n\r\n"
    return Reply([(wire[i:i + 1000], 0.01) for i in range(0, len(wire), 1000)])


def bitmap_site(rig, bitmap_replies, chunked_index=False):
    server, base = scripted_site(rig)
    index = ("%s%s\r\n%s%s\r\n" % (base, PACKAGE_DIR, base, SETUP_PATH)).encode()
    server.routes.update({
        INDEX_PATH: chunked_reply(index) if chunked_index else ok_reply(index),
        PACKAGE_DIR + "Skin.dat": ok_reply(PACKAGE["Skin.dat"]),
        BMP_PATH: bitmap_replies,
    })
    point_at(rig, base + "/cb/partner")
    return server


def bitmap_requests(server):
    return len([c for c in server.connections if c.path == BMP_PATH])


@scenario
def chunked_replies(rig):
    """/quiet: a chunked bitmap with a Content-Length beside it is malformed: exit 5, asked for
    once, nothing installed. Then the index and the bitmap chunked: the decoded files installed."""
    prepare(rig)
    server = bitmap_site(rig, [chunked_reply(BMP, length=len(BMP)), chunked_reply(BMP)],
                         chunked_index=True)
    eq(run_quiet(rig, "/quiet", "/log", "C:\\logs\\both.log"), 5, "exit code, chunked and length")
    eq(bitmap_requests(server), 1, "requests for the bitmap")
    check_log_has(log_lines(rig, "C:\\logs\\both.log"), ["failed: ReplyCutShort (Malformed)"])
    check_nothing_installed(rig)
    eq(run_quiet(rig, "/quiet", "/log", LOG_PATH), 0, "exit code, chunked")
    check_installed(rig, PACKAGE)
    check_log_has(log_lines(rig), ["%s: status 200, Content-Length none, %d bytes in "
                                   % (BMP_PATH, len(BMP)), "exit code 0"])


def took_about_two_minutes(started, what):
    took = time.monotonic() - started
    print("%s %.1f s after the start" % (what, took))
    # Three tries of at least 30 s each, and their pauses; "about two minutes" with a margin.
    if not 90 < took < 150:
        raise AssertionError("%s after %.1f s" % (what, took))


@scenario
def stalled_trickle_quiet(rig):
    """/quiet: the bitmap's server sends its header, then a byte every 2 s: each try ends after
    30 s, and the run after three with the exit code of a stalled server, 12."""
    prepare(rig)
    bitmap_site(rig, ok_reply(BMP, chunk=1, interval=2.0, truncate_to=60, end="stall", stall=30))
    started = time.monotonic()
    eq(run_quiet(rig, "/quiet", "/log", LOG_PATH, seconds=170), 14, "exit code")
    took_about_two_minutes(started, "exit")
    lines = log_lines(rig)
    eq(len([line for line in lines
            if "failed: ServerStalled (Stalled), fewer than 1024 bytes in 30 s" in line]), 3,
       "stalled tries logged")
    check_log_has(lines, ["run ended: ServerStalled", "exit code 14"])
    check_nothing_installed(rig)


@scenario
def stalled_silent_page(rig):
    """The bitmap's server sends a third of it over 3 s, then nothing, on each try. About 5 s
    into each silence the status line says the wizard waits for the server, while the bar and
    the line under it keep what had arrived; the next try's bytes bring "Download in
    progress..." back. Message 3 about two minutes after Next >>, then the question."""
    prepare(rig)
    third = len(BMP) // 3
    bitmap_site(rig, ok_reply(BMP, truncate_to=third, chunk=1024, interval=0.2, end="stall",
                              stall=120))
    rig.start_wizard()
    next_page(rig)
    started = time.monotonic()
    d = rig.driver
    d.wait("progress", 30)
    wait_for(lambda: d.text("progress", ID_STATUS) == WAITING, 30, what="the waiting text")
    bar = d.progress()
    eq((bar["high"], bar["pos"] >= third - 1024), (len(BMP), True), "the bar during the silence")
    line = d.text("progress", ID_PROGRESS_LINE)
    if not line.startswith("%d KB of 45 KB" % (third // 1024)):
        raise AssertionError("line under the bar during the silence: %r" % line)
    wait_for(lambda: d.text("progress", ID_STATUS).startswith("Connection lost"), 40,
             what="the retry notice")
    wait_for(lambda: d.text("progress", ID_STATUS) == IN_PROGRESS, 10,
             what="the second try's bytes")
    wait_for(lambda: d.text("progress", ID_STATUS) == WAITING, 15, what="the second silence")
    # The driver waits at most a minute at a time.
    wait_for(lambda: d.boxes(), 150 - (time.monotonic() - started), interval=0.2,
             what="message 3")
    took_about_two_minutes(started, "message 3")
    check_box(d.answer_box(ID_OK, 5), "Error", MSG_CONNECT, ["OK"])
    answer_question(rig, IDYES)
    d.gone("progress", 5)
    check_nothing_installed(rig)
    leave(rig)
