#!/usr/bin/env python3
"""Checks the TLS client under Wine: tls_probe fetches https URLs with TlsChannel from nginx
and the scripted server behind TLS, with certificates made for this run by a throwaway CA.

The probe's exit code and its line (what failed and why, as a Windows error code) are
compared with what each server and certificate must give.
"""

import os
import socket
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # nothing written into the source tree

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from scenarios import eq  # noqa: E402
from scripted_server import ok_reply  # noqa: E402

OK, REFUSED, CUT = 0, 2, 4
PARTIAL_CHAIN, UNTRUSTED_ROOT, EXPIRED = "0x800b010a", "0x800b0109", "0x800b0101"
NAME_MISMATCH, WRONG_USAGE = "0x800b010f", "0x800b0110"
OUT = "C:\\probe.out"
BODY = os.urandom(300000)  # many records, cut at no record boundary
REQUEST = "GET /cut HTTP/1.1\r\nHost: localhost:%d\r\n\r\n"  # the server's port


def probe(rig, url, timeout_ms=None):
    """(exit code, printed line, seconds taken) of one probe run; its output file is removed."""
    if os.path.exists(rig.host_path(OUT)):
        os.remove(rig.host_path(OUT))
    argv = [rig.tool("tls_probe.exe"), url, OUT] + ([str(timeout_ms)] if timeout_ms else [])
    started = time.monotonic()
    proc = rig.start_wine(argv, stdout=subprocess.PIPE)
    out, _ = proc.communicate(timeout=120)
    return proc.returncode, out.decode("latin-1").strip(), time.monotonic() - started


def old_protocol_server(rig, certificate):
    """openssl's test server offering TLS 1.1 only; its port once it listens."""
    port = harness.free_port()
    rig.spawn(["openssl", "s_server", "-accept", "127.0.0.1:%d" % port, "-cert", certificate[0],
               "-key", certificate[1], "-tls1_1", "-cipher", "DEFAULT@SECLEVEL=0", "-www"])

    def listens():
        try:
            socket.create_connection(("127.0.0.1", port), timeout=0.5).close()
            return True
        except OSError:
            return False
    harness.wait_for(listens, 10, what="openssl s_server to listen")
    return port


def check(rig, name, url, code, line, timeout_ms=None, body=None):
    result, printed, _ = probe(rig, url, timeout_ms)
    eq((result, printed), (code, line), name)
    if body is not None:
        with open(rig.host_path(OUT), "rb") as f:
            eq(f.read() == body, True, name + ": body byte for byte")


def main():
    build = sys.argv[1]
    with harness.Rig("tls", build) as rig:
        certs = rig.certificates()
        client_only = certs.issue("client_only", "localhost", "DNS:localhost", usage="clientAuth")
        name_only = certs.issue("name_only", "localhost", "DNS:localhost")
        with_ca = os.path.join(certs.folder, "server_and_ca.pem")
        with open(with_ca, "wb") as f:
            for part in (certs.server[0], certs.ca):
                with open(part, "rb") as source:
                    f.write(source.read())
        docroot = os.path.join(rig.dir, "www")
        os.makedirs(docroot)
        with open(os.path.join(docroot, "f.bin"), "wb") as f:
            f.write(BODY)
        nginx = rig.start_nginx(docroot, tls={"server": certs.server, "wrong": certs.wrong_name,
                                              "expired": certs.expired, "client": client_only,
                                              "name_only": name_only})
        routes = {"/ok": ok_reply(b"x" * 5000),
                  "/cut": ok_reply(b"y" * 50000, chunk=7000, truncate_to=30000),
                  "/stall": ok_reply(b"z" * 5000, truncate_to=3000, end="stall", stall=30)}
        # One server sends its CA along (so the chain ends in an untrusted root), one closes
        # without a close_notify.
        notifying = rig.start_scripted(routes, tls=(with_ca, certs.server[1]))
        silent = rig.start_scripted(routes, tls=certs.server, close_notify=False)
        https = "https://%s:%d/%s"
        tls_port = nginx.tls_ports

        # Before the CA is trusted: refused, whether the server sends its root or not.
        check(rig, "CA not trusted", https % ("localhost", tls_port["server"], "f.bin"),
              REFUSED, "refused " + PARTIAL_CHAIN)
        check(rig, "CA sent but not trusted", https % ("localhost", notifying.port, "ok"),
              REFUSED, "refused " + UNTRUSTED_ROOT)

        rig.trust(certs.ca)
        check(rig, "trusted", https % ("localhost", tls_port["server"], "f.bin"), OK,
              "ok %d" % len(BODY), body=BODY)
        check(rig, "trusted, by address", https % ("127.0.0.1", tls_port["server"], "f.bin"),
              OK, "ok %d" % len(BODY), body=BODY)
        eq(nginx.requests(), [("GET /f.bin HTTP/1.1", "%s:%d" % (host, tls_port["server"]), "200",
                               str(len(BODY))) for host in ("localhost", "127.0.0.1")],
           "requests nginx served")
        eq(nginx.server_names(), ["localhost", "-"], "server name sent (none for an address)")
        for name, host, server, error in [
                ("certificate for another name", "localhost", "wrong", NAME_MISMATCH),
                ("address the certificate does not name", "127.0.0.1", "wrong", NAME_MISMATCH),
                ("expired certificate", "localhost", "expired", EXPIRED),
                ("certificate for clients only", "localhost", "client", WRONG_USAGE)]:
            check(rig, name, https % (host, tls_port[server], "f.bin"), REFUSED,
                  "refused " + error)
        # Servers that speak no TLS, or none new enough: refused, for whatever reason Schannel
        # gives.
        for name, port in [("plain HTTP server", nginx.port),
                           ("TLS 1.1 server", old_protocol_server(rig, certs.server))]:
            result, line, _ = probe(rig, https % ("localhost", port, "f.bin"))
            eq((result, line.split()[0]), (REFUSED, "refused"), name)
        eq(len(nginx.requests()), 3, "requests nginx answered (the last one not HTTP)")

        # Connections that share a run's credentials and trusted chains: a certificate trusted
        # for one name is still checked against the next connection's.
        for name, server, second in [("shared, both names right", "server", "ok %d" % len(BODY)),
                                     ("shared, second name wrong", "name_only",
                                      "refused " + NAME_MISMATCH)]:
            urls = [https % (host, tls_port[server], "f.bin") for host in ("localhost", "127.0.0.1")]
            proc = rig.start_wine([rig.tool("tls_probe.exe"), "--shared"] + urls + [OUT],
                                  stdout=subprocess.PIPE)
            out, _ = proc.communicate(timeout=120)
            eq(out.decode("latin-1").splitlines(), ["ok %d" % len(BODY), second], name)

        # Cut short: a close (with or without close_notify) before the announced length.
        for server in (notifying, silent):
            check(rig, "cut short", https % ("localhost", server.port, "cut"), CUT,
                  "cut 0x00000000")
            eq(server.requests()[-1], (REQUEST % server.port).encode(), "request bytes inside TLS")
        result, line, seconds = probe(rig, https % ("localhost", silent.port, "stall"), 1500)
        eq((result, line, seconds < 15), (CUT, "broken 0x00000000", True),
           "stalled reply ends with the receive time-out")
    print("PASS tls")


if __name__ == "__main__":
    main()
