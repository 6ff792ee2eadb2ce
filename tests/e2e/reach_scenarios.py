"""Scenarios of a package wherever it is hosted: redirects followed (and the ones refused), every
address of a host tried, IPv6. Names resolve through a hosts file of the wizard's own (see
Rig.start_wizard), so these need root, as the rig's other mounts do.
"""

import socket
import time

from harness import SETUP_CONTROL_KEY, RigError
from retry_scenarios import CUT, cut
from scenarios import (INDEX_PATH, LOG_PATH, PACKAGE, PACKAGE_DIR, PARTNER, SETUP_NAME,
                       SETUP_PATH, check_installed, check_log_has, check_nothing_installed, eq,
                       log_lines, point_at, prepare, run_quiet, scenario, scripted_package,
                       setup_runs)
from scripted_server import ok_reply, partial_reply, status_reply

BMP_PATH = PACKAGE_DIR + "skin.bmp"
OBJECT_PATH = "/objects/7f3a?sig=secret"


def request(path, server, host="127.0.0.1", extra=""):
    """The request for path on the scripted server, its Host line naming host and the port."""
    return ("GET %s HTTP/1.1\r\nHost: %s:%d\r\n%s\r\n"
            % (path, host, server.port, extra)).encode()


def moved(location, status=302):
    return status_reply(status, "Moved", headers={"Location": location})


def require_ipv6_loopback():
    """These scenarios need ::1; a machine without it fails them, loudly, rather than pass."""
    try:
        with socket.socket(socket.AF_INET6) as probe:
            probe.bind(("::1", 0))
    except OSError as error:
        raise RigError("no IPv6 loopback (::1) on this machine: %s" % error)


@scenario
def redirects_followed(rig):
    """The index on http 301 to https, a package file 302 to another host's object URL (cut, and
    its next try starting at the first URL, asking wherever that leads for the rest), the setup
    307 to a relative path: the files keep their names, a log line per redirect without its
    query string; the request of a file not redirected is as it always was."""
    certs = rig.certificates()
    rig.trust(certs.ca)
    prepare(rig, version=None, app_paths=False)
    site = rig.start_scripted()
    secure = rig.start_scripted(tls=certs.server)
    cdn = rig.start_scripted()
    base = "http://127.0.0.1:%d" % site.port
    secure_index = "https://localhost:%d%s" % (secure.port, INDEX_PATH)
    object_url = "http://localhost:%d%s" % (cdn.port, OBJECT_PATH)
    setup = rig.setup_program()  # signed: nothing else vouches for it over plain http
    site.routes.update({
        INDEX_PATH: moved(secure_index, 301),
        PACKAGE_DIR + "Skin.dat": ok_reply(PACKAGE["Skin.dat"]),
        BMP_PATH: moved(object_url),
        SETUP_PATH: moved("v2/" + SETUP_NAME, 307),
        "/dl/v2/" + SETUP_NAME: ok_reply(setup),
    })
    secure.routes[INDEX_PATH] = ok_reply(
        ("%s%s\r\n%s%s\r\n" % (base, PACKAGE_DIR, base, SETUP_PATH)).encode())
    cdn.routes[OBJECT_PATH] = [cut(), partial_reply(PACKAGE["skin.bmp"], CUT, '"v1"')]
    point_at(rig, base + "/cb/partner")

    eq(run_quiet(rig, "/quiet", "/log", LOG_PATH), 0, "exit code")
    rest = 'Range: bytes=%d-\r\nIf-Range: "v1"\r\n' % CUT
    eq(site.requests(), [request(INDEX_PATH, site), request(PACKAGE_DIR + "Skin.dat", site),
                         request(BMP_PATH, site), request(BMP_PATH, site, extra=rest),
                         request(SETUP_PATH, site), request("/dl/v2/" + SETUP_NAME, site)],
       "requests of the first site")
    eq(secure.requests(), [request(INDEX_PATH, secure, "localhost")], "requests over https")
    eq(cdn.requests(), [request(OBJECT_PATH, cdn, "localhost"),
                        request(OBJECT_PATH, cdn, "localhost", rest)], "requests of the other host")
    eq(setup_runs(rig), 1, "setup runs")
    eq(rig.driver.reg(SETUP_CONTROL_KEY, "RanFrom"), rig.temp_folder(PARTNER) + "\\" + SETUP_NAME,
       "setup started from")
    check_installed(rig, PACKAGE, setup_ran=True)
    lines = log_lines(rig)
    check_log_has(lines, [
        "GET %s%s: status 301" % (base, INDEX_PATH),
        "redirect 301 to " + secure_index,
        "redirect 302 to http://localhost:%d/objects/7f3a?***" % cdn.port,
        "try 1 of 3 failed, trying again in 1000 ms, for the rest from byte %d" % CUT,
        "redirect 307 to %s/dl/v2/%s" % (base, SETUP_NAME),
        "connected to localhost at 127.0.0.1:%d" % cdn.port,
        "wrote %s\\skin.bmp (%d bytes)" % (rig.temp_folder(PARTNER), len(PACKAGE["skin.bmp"]))])
    eq([line for line in lines if "sig=secret" in line], [], "lines with the query string")


@scenario
def redirects_refused(rig):
    """What is not followed ends the file at once, untried again, with nothing sent where it
    leads: https to plain http, a sixth redirect in one try, a file: URL, an empty Location; a
    305 stays a failure, as it always was."""
    certs = rig.certificates()
    rig.trust(certs.ca)
    prepare(rig)
    plain = rig.start_scripted()
    secure = rig.start_scripted(tls=certs.server)
    plain_index = "http://127.0.0.1:%d%s" % (plain.port, INDEX_PATH)
    for i in range(8):
        plain.routes["/loop/%d" % i] = moved("/loop/%d" % (i + 1))
    cases = [  # (case, server, its index's reply, exit code, requests it gets, log line)
        ("https to http", secure, moved(plain_index), 3, 1,
         "failed: CannotConnect (RedirectRefused), redirect 302 to %s refused: from https to http"
         % plain_index),
        ("sixth redirect", plain, moved("/loop/0"), 1302, 6,
         "failed: HttpStatus 302 (TooManyRedirects), redirect 302 refused: more redirects than 5"),
        ("file URL", plain, moved("file:///C:/windows/win.ini", 301), 3, 1,
         "failed: CannotConnect (RedirectRefused), redirect 301 to file:///C:/windows/win.ini "
         "refused: not an http or https URL with a host"),
        ("empty Location", plain, moved("", 307), 5, 1,
         "failed: ReplyCutShort (RedirectMalformed), redirect 307 refused: empty Location"),
        ("305", plain, moved("/other", 305), 1305, 1, "failed: HttpStatus 305"),
    ]
    for case, server, reply, code, count, line in cases:
        server.routes[INDEX_PATH] = reply
        scheme = "https://localhost" if server is secure else "http://127.0.0.1"
        point_at(rig, "%s:%d/cb/partner" % (scheme, server.port))
        before = {s: len(s.requests()) for s in (plain, secure)}
        log = "C:\\logs\\%s.log" % case.replace(" ", "-")
        eq(run_quiet(rig, "/quiet", "/log", log), code & 0xFF, "exit code (%s)" % case)
        eq({s: len(s.requests()) - before[s] for s in before},
           {plain: count if server is plain else 0, secure: count if server is secure else 0},
           "requests (%s)" % case)
        lines = log_lines(rig, log)
        check_log_has(lines, [line, "exit code %d" % code])
        eq([x for x in lines if "trying again" in x], [], "tries again (%s)" % case)
    check_nothing_installed(rig)


@scenario
def apache_redirect_permanent(rig):
    """The partner moved the package folder on Apache (`Redirect permanent` to a path): each
    package file is asked for at the old place and fetched from the new one, under its own name.
    Apache writes the target's URL with the host and port of the Host line, which names the
    server's port: without it the target would lead to port 80."""
    prepare(rig)
    web = rig.start_web("apache", redirects=[("/pkg/old", PACKAGE_DIR.rstrip("/"))])
    base = "http://127.0.0.1:%d" % web.port
    web.put(INDEX_PATH, ("%s/pkg/old/\r\n%s%s\r\n" % (base, base, SETUP_PATH)).encode())
    for name, data in PACKAGE.items():
        web.put(PACKAGE_DIR + name, data)
    point_at(rig, base + "/cb/partner")
    eq(run_quiet(rig, "/quiet", "/log", LOG_PATH), 0, "exit code")
    lines = [("GET %s HTTP/1.1" % INDEX_PATH, "200")]
    for name in PACKAGE:
        lines += [("GET /pkg/old/%s HTTP/1.1" % name, "301"),
                  ("GET %s%s HTTP/1.1" % (PACKAGE_DIR, name), "200")]
    eq([(line, host, status) for line, host, status, _ in web.requests()],
       [(line, "127.0.0.1:%d" % web.port, status) for line, status in lines],
       "requests Apache answered")
    check_installed(rig, PACKAGE)
    check_log_has(log_lines(rig), ["redirect 301 to %s%s%s" % (base, PACKAGE_DIR, name)
                                   for name in PACKAGE])


@scenario
def ipv6_literal_base(rig):
    """A base URL with an IPv6 literal: the index over https from [::1] (its certificate names
    the address ::1), the package over http from [::1]; each Host line has the brackets."""
    require_ipv6_loopback()
    certs = rig.certificates()
    rig.trust(certs.ca)
    prepare(rig)
    secure = rig.start_scripted(tls=certs.issue("ipv6", "localhost", "IP:::1"), host="::1")
    plain = rig.start_scripted(host="::1")
    secure_base = "https://[::1]:%d" % secure.port
    scripted_package(plain, "http://[::1]:%d" % plain.port)
    secure.routes[INDEX_PATH] = plain.routes.pop(INDEX_PATH)
    point_at(rig, secure_base + "/cb/partner")
    eq(run_quiet(rig, "/quiet", "/log", LOG_PATH), 0, "exit code")
    eq(secure.requests(), [request(INDEX_PATH, secure, "[::1]")], "requests over https")
    eq(plain.requests(), [request(PACKAGE_DIR + name, plain, "[::1]") for name in PACKAGE],
       "requests over http")
    check_installed(rig, PACKAGE)
    check_log_has(log_lines(rig), ["connected to [::1]:%d" % secure.port,
                                   "GET %s%s: status 200" % (secure_base, INDEX_PATH)])


@scenario
def addresses_of_a_host(rig):
    """A name's addresses (a hosts file of the wizard's own) are tried in order until one
    answers: an IPv6 address only; a first address that refuses; an IPv6 address that refuses;
    one that never answers (a quarter second per file, not the system's connect time-out)."""
    require_ipv6_loopback()
    prepare(rig)
    v6 = rig.start_scripted(host="::1")
    second = rig.start_scripted(host="127.0.0.2")
    v4 = rig.start_scripted()
    v4_beside_silent = rig.start_scripted()
    rig.refused_port("::1", v4.port)
    rig.silent_port("::1", v4_beside_silent.port)
    cases = [  # (case, hosts file, name, server, log lines: (address, connected))
        ("IPv6 only", ["::1 v6only.test"], "v6only.test", v6, [("[::1]", True)]),
        # 127.0.0.3 comes first: its prefix matches 127.0.0.1 no longer than 127.0.0.2's does.
        ("first refuses", ["127.0.0.3 multi.test", "127.0.0.2 multi.test"], "multi.test", second,
         [("127.0.0.3", False), ("127.0.0.2", True)]),
        ("IPv6 refuses", ["::1 dual.test", "127.0.0.1 dual.test"], "dual.test", v4,
         [("[::1]", False), ("127.0.0.1", True)]),
        ("IPv6 silent", ["::1 slow.test", "127.0.0.1 slow.test"], "slow.test", v4_beside_silent,
         [("127.0.0.1", True)]),
    ]
    for case, hosts, name, server, tried in cases:
        base = "http://%s:%d" % (name, server.port)
        scripted_package(server, base)
        point_at(rig, base + "/cb/partner")
        before = len(server.requests())
        log = "C:\\logs\\%s.log" % case.replace(" ", "-")
        started = time.monotonic()
        eq(run_quiet(rig, "/quiet", "/log", log, hosts=hosts), 0, "exit code (%s)" % case)
        seconds = time.monotonic() - started
        print("%s: the run took %.1f s" % (case, seconds))
        eq(seconds < 40, True, "the run ended without waiting for a time-out (%s)" % case)
        eq(server.requests()[before:], [request(path, server, name) for path in
                                        [INDEX_PATH, PACKAGE_DIR + "Skin.dat", BMP_PATH]],
           "requests (%s)" % case)
        expected = []
        for address, connected in tried:
            where = "%s at %s:%d" % (name, address, server.port)
            expected.append("connected to " + where if connected else
                            "could not connect to %s, error 10061" % where)
        # The scripted server closes after each reply without saying so: whether the next file
        # finds the kept connection closed, or sends on it first, is a race (a resend either way).
        lines = [x for x in log_lines(rig, log)
                 if "connect" in x and name in x and "kept connection" not in x]
        eq([line[:len(e)] for line, e in zip(lines, expected)], expected,
           "connect lines (%s)" % case)
        eq(len(lines), 3 * len(expected), "connect lines of the three files (%s)" % case)
        check_installed(rig, PACKAGE)
