"""Scenarios behind the user's proxy: squid as the proxy, the settings written into the prefix's
Internet Settings, the package server reached by a name (skins.test) that only squid resolves,
so that a run that gets through went through the proxy.
"""

import os
import re
import time

from harness import ID_CANCEL, ID_NEXT, ID_OK, WIZARD_CAPTION, wait_for
import scenarios
from scenarios import (INDEX_PATH, INTERNET_SETTINGS, LOG_PATH, MSG_STOP, PACKAGE, PACKAGE_DIR,
                       SETUP_PATH, IDYES, check_box, check_installed, check_log_has, check_served,
                       check_nothing_installed, check_raw, eq, get_lines, leave, log_lines,
                       next_page, no_box_for, web_site, point_at, prepare, run_quiet,
                       run_to_done, scenario)
from scripted_server import Reply, ok_reply

NAME = "skins.test"
MSG_PROXY_AUTH = ("The proxy server %s asks for a user name and password. Ask your network "
                  "administrator to allow this program, then try again.")


def proxy_settings(rig, enable=1, server=None, override=None, script=None):
    d = rig.driver
    d.set_dword(INTERNET_SETTINGS, "ProxyEnable", enable)
    for name, value in (("ProxyServer", server), ("ProxyOverride", override),
                        ("AutoConfigURL", script)):
        if value is not None:
            d.set_sz(INTERNET_SETTINGS, name, value)


def named_site(rig, **kwargs):
    """nginx serving the package as in web_site, every URL naming skins.test; returns that
    base ("http://skins.test:PORT", or the https one)."""
    def named(base):
        return base.replace("127.0.0.1", NAME).replace("localhost", NAME)

    base = named(web_site(rig, index=lambda base: "%s%s\r\n%s%s\r\n" % (
        named(base), PACKAGE_DIR, named(base), SETUP_PATH), **kwargs))
    point_at(rig, base + "/cb/partner")
    return base


def proxied(squid, base, names=PACKAGE, result="TCP_MISS/200"):
    """What squid's log must hold after the index and the package came through it."""
    return [("GET", base + path, result) for path in
            [INDEX_PATH] + [PACKAGE_DIR + n for n in names]]


def check_forwarded(rig, base):
    """nginx received the index and the package as squid forwards them: the Host line with the
    port."""
    lines = get_lines(PACKAGE)
    seen = [r for r in rig.web.requests() if ".pac " not in r[0]]  # WinHTTP's, for a script
    eq([(line, host, status) for line, host, status, _ in seen],
       [(line, base.split("//", 1)[1], "200") for line in lines], "requests nginx received")


def route_line(url, way):
    return "route for %s: %s" % (url, way)


@scenario
def proxy_settings_http(rig):
    """ProxyServer names squid for every scheme: each request goes through it, with the whole
    URL, and the run completes as without a proxy."""
    prepare(rig)
    squid = rig.start_squid()
    base = named_site(rig)
    proxy_settings(rig, server=squid.address, override="<local>")
    os.makedirs(rig.host_path("C:\\logs"), exist_ok=True)
    rig.start_wizard("/log", LOG_PATH)
    next_page(rig)
    run_to_done(rig)
    eq(rig.driver.boxes(), [], "message boxes after success")
    check_forwarded(rig, base)
    eq(squid.requests(), proxied(squid, base), "requests squid forwarded")
    check_installed(rig, PACKAGE)
    leave(rig)
    check_log_has(log_lines(rig), [
        route_line(base + INDEX_PATH, "proxy %s (settings)" % squid.address),
        route_line(base + PACKAGE_DIR + "skin.bmp", "proxy %s (settings)" % squid.address),
        "proxy settings: ProxyEnable 1, ProxyServer \"%s\", ProxyOverride \"<local>\"" %
        squid.address, "run ended: Succeeded"])


@scenario
def proxy_per_scheme_and_bypass(rig):
    """http=...;https=... gives each scheme its proxy, a scheme without one goes direct, the
    bypass list and a disabled proxy send the request direct: where skins.test is unknown."""
    prepare(rig)
    squid = rig.start_squid()
    base = named_site(rig)
    refused = "127.0.0.1:%d" % rig.refused_port()
    index = base + INDEX_PATH
    cases = [  # (case, ProxyEnable, ProxyServer, ProxyOverride, exit code, the index's route)
        ("no http entry", 1, "https=" + squid.address, "", 2,
         "direct (settings: no proxy for http)"),
        ("bypass list", 1, squid.address, "intranet; *.TEST", 2, "direct (settings: bypass list)"),
        ("disabled", 0, squid.address, "", 2, "direct (no proxy set)"),
        ("per scheme", 1, "https=%s;http=%s" % (refused, squid.address), "<local>", 0,
         "proxy %s (settings)" % squid.address),
    ]
    for case, enable, server, override, code, route in cases:
        proxy_settings(rig, enable=enable, server=server, override=override)
        log = "C:\\logs\\%s.log" % case.replace(" ", "-")
        eq(run_quiet(rig, "/quiet", "/log", log), code, "exit code (%s)" % case)
        lines = log_lines(rig, log)
        check_log_has(lines, [route_line(index, route)])
        if code:
            check_log_has(lines, ["failed: HostNotResolved (Resolve)"])
            eq(squid.requests(), [], "requests through squid (%s)" % case)
    eq(squid.requests(), proxied(squid, base), "requests squid forwarded")
    check_forwarded(rig, base)
    check_installed(rig, PACKAGE)


@scenario
def proxy_https_connect(rig):
    """https through squid's CONNECT: TLS with the server's own name inside the tunnel, every
    certificate check as without a proxy, and the tunnel kept for the run's next requests; a
    certificate for another name is refused before any request."""
    certs = rig.certificates()
    rig.trust(certs.ca)
    named_cert = certs.issue("skins", NAME, "DNS:" + NAME)
    prepare(rig)
    squid = rig.start_squid()
    base = named_site(rig, tls={"skins": named_cert, "wrong": certs.wrong_name})
    proxy_settings(rig, server=squid.address)
    os.makedirs(rig.host_path("C:\\logs"), exist_ok=True)
    rig.start_wizard("/log", LOG_PATH)
    next_page(rig)
    run_to_done(rig)
    lines = get_lines(PACKAGE)
    tunnel = "%s:%d" % (NAME, rig.web.tls_ports["skins"])
    check_served(rig, [(line, 200) for line in lines], host=tunnel)
    eq(rig.web.server_names(), [NAME] * len(lines), "server name sent")
    eq(squid.requests(), [("CONNECT", tunnel, "TCP_TUNNEL/200")], "tunnels squid opened")
    check_installed(rig, PACKAGE)
    leave(rig)

    wrong_port = rig.web.tls_ports["wrong"]
    point_at(rig, "https://%s:%d/cb/partner" % (NAME, wrong_port))
    rig.start_wizard("/log", LOG_PATH)
    next_page(rig)
    scenarios.refused_without_question(rig)
    eq(len(rig.web.requests()), len(lines), "requests served after the refused certificate")
    eq(squid.requests()[-1][:2], ("CONNECT", "%s:%d" % (NAME, wrong_port)), "last tunnel")
    leave(rig)
    check_log_has(log_lines(rig), [
        route_line(base + INDEX_PATH, "proxy %s (settings)" % squid.address),
        "failed: CannotConnect (TlsRefused), error %d" % 0x800b010f,
        "the transfer's way: proxy %s (settings)" % squid.address])


PAC = """function FindProxyForURL(url, host) {
  if (host == "%s") return "PROXY %s; DIRECT";
  return "DIRECT";
}
"""


@scenario
def proxy_script(rig):
    """AutoConfigURL names a script on nginx whose answer sends skins.test through squid; a
    script that cannot be fetched means a direct connection, and the log says why."""
    prepare(rig)
    squid = rig.start_squid()
    base = named_site(rig)
    with open(os.path.join(rig.dir, "docroot", "proxy.pac"), "w") as f:
        f.write(PAC % (NAME, squid.address))
    script = "http://127.0.0.1:%d/proxy.pac" % rig.web.port
    missing = "http://127.0.0.1:%d/missing.pac" % rig.web.port
    index = base + INDEX_PATH

    proxy_settings(rig, enable=0, script=missing)
    eq(run_quiet(rig, "/quiet", "/log", "C:\\logs\\missing.log"), 2, "exit code, no script")
    check_log_has(log_lines(rig, "C:\\logs\\missing.log"), [
        route_line(index, "direct (script %s cannot be used: error 12167" % missing),
        "failed: HostNotResolved (Resolve)"])
    eq(squid.requests(), [], "requests through squid without the script")

    proxy_settings(rig, enable=0, script=script)
    eq(run_quiet(rig, "/quiet", "/log", LOG_PATH), 0, "exit code with the script")
    check_log_has(log_lines(rig), [
        route_line(index, "proxy %s (script %s)" % (squid.address, script)),
        "run ended: Succeeded"])
    eq(squid.requests(), proxied(squid, base), "requests squid forwarded")
    check_forwarded(rig, base)
    check_installed(rig, PACKAGE)

    # A script server that asks for the user's logon gets none: the lookup fails (12015 on
    # Windows, 12167 under Wine 8) and the run goes direct.
    challenger = rig.start_scripted()
    challenger.routes["/proxy.pac"] = Reply([(
        b"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Negotiate\r\nWWW-Authenticate: NTLM\r\n"
        b"Content-Length: 0\r\n\r\n", 0.0)])
    asking = "http://127.0.0.1:%d/proxy.pac" % challenger.port
    proxy_settings(rig, enable=0, script=asking)
    eq(run_quiet(rig, "/quiet", "/log", "C:\\logs\\asking.log"), 2, "exit code, script asks")
    logged = [line for line in log_lines(rig, "C:\\logs\\asking.log")
              if route_line(index, "direct (script %s cannot be used: error " % asking) in line]
    if not logged or not re.search(r"error (12015|12167) ", logged[0]):
        raise AssertionError("the script's failure as logged: %r" % logged)
    eq([r for r in challenger.requests() if b"authorization:" in r.lower()], [],
       "requests for the script with credentials")
    eq(len(challenger.requests()) > 0, True, "the script was asked for")
    eq(squid.requests(), proxied(squid, base), "requests through squid once the script asks")


@scenario
def proxy_script_trickles(rig):
    """The script's server sends a byte a second: /quiet gives the lookup up after its limit of
    30 s and goes direct (where skins.test is unknown: exit 2), the log says why; with the
    pages, Cancel + Yes during the lookup gives Next >> back at once, and nothing is fetched."""
    prepare(rig)
    server = rig.start_scripted()
    script = "http://127.0.0.1:%d/proxy.pac" % server.port
    server.routes["/proxy.pac"] = ok_reply((PAC % (NAME, "127.0.0.1:1")).encode(), chunk=1,
                                           interval=1.0)
    point_at(rig, "http://%s/cb/partner" % NAME)
    proxy_settings(rig, enable=0, script=script)
    started = time.monotonic()
    eq(run_quiet(rig, "/quiet", "/log", LOG_PATH), 2, "exit code")
    took = time.monotonic() - started
    print("/quiet ended %.1f s after its start" % took)
    if not 25 < took < 60:
        raise AssertionError("/quiet ended after %.1f s" % took)
    check_log_has(log_lines(rig), [route_line(
        "http://%s/cb/partner/acme/urls.cb" % NAME,
        "direct (script %s cannot be used: error 1460 (no answer within the lookup's limit))"
        % script)])

    rig.start_wizard()
    next_page(rig)
    d = rig.driver
    d.wait("progress", 30)
    wait_for(lambda: len(server.connections) == 2, 15, what="the wizard's script request")
    time.sleep(1)
    d.press("progress", ID_CANCEL)
    check_box(d.box(10), WIZARD_CAPTION, MSG_STOP, ["Yes", "No"])
    ms = d.must("timedpress", "box", IDYES, "welcome:%d" % ID_NEXT, 10000, timeout_ms=10000)["ms"]
    print("Next >> enabled %.0f ms after Yes" % ms)
    if ms > 3000:
        raise AssertionError("Next >> enabled only %.0f ms after Yes" % ms)
    no_box_for(d, 1.0)
    eq([c.path for c in server.connections], ["/proxy.pac"] * 2, "requests")
    check_nothing_installed(rig)
    leave(rig)


@scenario
def proxy_down(rig):
    """The proxy the settings name does not answer: message 3 as for a server, no question;
    with /quiet exit code 3 and the proxy named in the log."""
    prepare(rig)
    named_site(rig)
    proxy = "127.0.0.1:%d" % rig.refused_port()
    proxy_settings(rig, server=proxy)
    rig.start_wizard()
    next_page(rig)
    scenarios.refused_without_question(rig)
    leave(rig)
    eq(run_quiet(rig, "/quiet", "/log", LOG_PATH), 3, "exit code")
    check_log_has(log_lines(rig), ["failed: CannotConnect (Connect), error 10061",
                                   "the transfer's way: proxy %s (settings)" % proxy,
                                   "run ended: CannotConnect", "exit code 3"])
    eq(rig.web.requests(), [], "requests served")
    check_nothing_installed(rig)


@scenario
def proxy_auth_required(rig):
    """A proxy that answers 407 (the scripted server plays it), to a GET and to a CONNECT: the
    new message naming the proxy, then the stop question; /quiet exits with 11 and logs the
    status and the schemes offered. No credentials are ever sent."""
    prepare(rig)
    server = rig.start_scripted()
    challenge = Reply([(b"HTTP/1.1 407 Proxy Authentication Required\r\n"
                        b"Proxy-Authenticate: Negotiate\r\nProxy-Authenticate: NTLM\r\n"
                        b"Proxy-Authenticate: Basic realm=\"corp\"\r\nContent-Length: 0\r\n\r\n",
                        0.0)])
    server.routes.update({"http://%s:80%s" % (NAME, INDEX_PATH): challenge,
                          "%s:443" % NAME: challenge})
    proxy = "127.0.0.1:%d" % server.port
    proxy_settings(rig, server=proxy)
    point_at(rig, "http://%s/cb/partner" % NAME)
    text = MSG_PROXY_AUTH % proxy
    scenarios.BOX_STYLE[text] = ("stop", ["OK"])
    rig.start_wizard()
    next_page(rig)
    scenarios.stopped_by_failure(rig, text)
    leave(rig)

    point_at(rig, "https://%s/cb/partner" % NAME)
    eq(run_quiet(rig, "/quiet", "/log", LOG_PATH), 11, "exit code")
    check_log_has(log_lines(rig), [
        "message 25 (Error): " + text,
        "proxy %s (settings) answered status 407, Proxy-Authenticate: Negotiate, NTLM, Basic"
        % proxy, "failed: ProxyAuthRequired (ProxyAuthRequired)", "run ended: ProxyAuthRequired",
        "exit code 11"])
    eq(server.requests(), [
        ("GET http://%s:80%s HTTP/1.1\r\nHost: %s\r\n\r\n" % (NAME, INDEX_PATH, NAME)).encode(),
        ("CONNECT %s:443 HTTP/1.0\r\nHost: %s:443\r\n\r\n" % (NAME, NAME)).encode()],
       "request bytes the proxy received")
    check_nothing_installed(rig)


@scenario
def proxy_none_unchanged(rig):
    """No proxy set up: the request bytes are the ones of old. A proxy set up changes nothing for
    a server on a loopback address either."""
    prepare(rig)
    server = rig.start_scripted()
    base = "http://127.0.0.1:%d" % server.port
    server.routes.update({
        INDEX_PATH: ok_reply(("%s%s\r\n%s%s\r\n" % (base, PACKAGE_DIR, base, SETUP_PATH)).encode()),
        PACKAGE_DIR + "Skin.dat": ok_reply(PACKAGE["Skin.dat"]),
        PACKAGE_DIR + "skin.bmp": ok_reply(PACKAGE["skin.bmp"]),
    })
    point_at(rig, base + "/cb/partner")
    paths = [INDEX_PATH, PACKAGE_DIR + "Skin.dat", PACKAGE_DIR + "skin.bmp"]
    os.makedirs(rig.host_path("C:\\logs"), exist_ok=True)
    rig.start_wizard("/log", LOG_PATH)
    next_page(rig)
    run_to_done(rig)
    check_raw(server, paths)
    check_installed(rig, PACKAGE)
    leave(rig)
    lines = log_lines(rig)
    check_log_has(lines, [route_line(base + INDEX_PATH, "direct (no proxy set)")])
    eq([line for line in lines if line.startswith("proxy settings")], [], "proxy settings logged")

    proxy_settings(rig, server="127.0.0.1:%d" % rig.refused_port())
    eq(run_quiet(rig, "/quiet", "/log", "C:\\logs\\loopback.log"), 0, "exit code")
    check_raw(server, paths + paths)
    check_log_has(log_lines(rig, "C:\\logs\\loopback.log"),
                  [route_line(base + INDEX_PATH, "direct (loopback)")])
