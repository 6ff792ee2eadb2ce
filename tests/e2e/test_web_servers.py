#!/usr/bin/env python3
"""Checks the rig's web servers (nginx, Apache, lighttpd) without Wine: each serves its docroot
over http and https, refuses or accepts a request as the wizard's servers will, sends a slow
path at its rate, logs requests in one shape, and leaves nothing running when the rig closes.
Apache runs once more from a build folder that its workers cannot reach."""

import os
import shutil
import socket
import ssl
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # nothing written into the source tree

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from scenarios import eq  # noqa: E402

BODY = os.urandom(100000)
SLOW = 256 * 1024  # at 128 KiB/s: about 2 s, where unlimited it takes milliseconds


def exchange(port, request, context=None, field="Content-Length"):
    """The reply's status, a header's value (Content-Length unless field names another) and body
    for raw request bytes."""
    with socket.create_connection(("127.0.0.1", port), timeout=10) as plain:
        sock = context.wrap_socket(plain, server_hostname="localhost") if context else plain
        sock.sendall(request)
        reply = b""
        while True:
            data = sock.recv(65536)
            if not data:
                break
            reply += data
    head, _, body = reply.partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    fields = dict(line.split(": ", 1) for line in lines[1:] if ": " in line)
    return int(lines[0].split()[1]), fields.get(field), body


def check_server(build, kind, private=False):
    with harness.Rig("web-" + kind, build, wine=False) as rig:
        certs = rig.certificates()
        moved = {"redirects": [("/old", "http://127.0.0.1:{port}/pkg")]} if kind == "apache" else {}
        web = rig.start_web(kind, tls={"server": certs.server}, slow_paths=["/slow/"],
                            rate="128k", **moved)
        eq(web.docroot.startswith(rig.dir + os.sep), not private, kind + ": docroot in the run")
        web.put("/pkg/f.bin", BODY)
        web.put("/slow/s.bin", bytes(SLOW))
        context = ssl.create_default_context(cafile=certs.ca)
        crlf = b"GET /pkg/f.bin HTTP/1.0\r\nHost: %s\r\n\r\n"
        eq(exchange(web.port, crlf % b"127.0.0.1"), (200, str(len(BODY)), BODY), kind + " http")
        eq(exchange(web.tls_ports["server"], crlf % b"localhost", context),
           (200, str(len(BODY)), BODY), kind + " https")
        status, _, _ = exchange(web.port, b"GET /pkg/f.bin HTTP/1.0\nHost: 127.0.0.1\n\n")
        if kind != "nginx":  # the servers that catch a request with bare LF line ends
            eq(status, 400, kind + ": a request with bare LF line ends")
        started = time.monotonic()
        eq(exchange(web.port, b"GET /slow/s.bin HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n")[:2],
           (200, str(SLOW)), kind + " slow path")
        eq(time.monotonic() - started > 1.0, True, kind + ": slow path sent at its rate")
        harness.wait_for(lambda: len(web.requests()) == 4, 5, what=kind + "'s access log")
        seen = web.requests()
        eq([seen[i] for i in (0, 1, 3)],
           [("GET /pkg/f.bin HTTP/1.0", "127.0.0.1", "200", str(len(BODY))),
            ("GET /pkg/f.bin HTTP/1.0", "localhost", "200", str(len(BODY))),
            ("GET /slow/s.bin HTTP/1.0", "127.0.0.1", "200", str(SLOW))], kind + " requests")
        names = web.server_names()
        eq(names and names[:2], ["-", "localhost"] if web.logs_server_name else None,
           kind + " server names")
        if moved:
            eq(exchange(web.port, (crlf % b"127.0.0.1").replace(b"/pkg/", b"/old/"),
                        field="Location")[:2],
               (301, "http://127.0.0.1:%d/pkg/f.bin" % web.port), kind + ": Redirect permanent")
        ports = [web.port, web.tls_ports["server"]]
    for port in ports:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            raise AssertionError("%s still listens on %d after the rig closed" % (kind, port))
        except OSError:
            pass


def main():
    build = sys.argv[1]
    for kind in harness.WEB_SERVERS:
        check_server(build, kind)
    # A build folder under one that only root may enter: the docroot moves out of it.
    private = tempfile.mkdtemp(prefix="orvex-private.")
    try:
        check_server(os.path.join(private, "build"), "apache", private=True)
    finally:
        shutil.rmtree(private, ignore_errors=True)
    print("PASS web servers")


if __name__ == "__main__":
    main()
