"""Scenarios of trust: a package its partner signed (published with partner-tools), a setup
program that starts only when something vouches for its bytes, and the signed release."""

import hashlib
import os
import shutil
import subprocess

import harness
from harness import ID_OK, PREFS_KEY, APP_PATHS_KEY
from scenarios import (INDEX_PATH, LOG_PATH, MSG_NOT_SIGNED, MSG_NOT_VERIFIED, PACKAGE,
                       PACKAGE_DIR, PARTNER, SETUP_NAME, SETUP_PATH, TITLE, check_box,
                       check_installed, check_log_has, check_nothing_installed, eq, leave,
                       log_lines, next_page, point_at, prepare, run_quiet, run_to_done, scenario,
                       setup_runs, stopped_by_failure, web_site)

PUBLISH = os.path.join(harness.SOURCE, "partner-tools", "orvex_publish.py")
WIZARD = "C:\\wizard\\"


def tool(rig, *args):
    result = subprocess.run(["python3", PUBLISH] + list(args), capture_output=True, text=True,
                            timeout=120, cwd=rig.dir)
    return result.returncode, result.stdout


def published_site(rig, setup, setup_digest=True):
    """The package published with the partner tool by a key made with it, served by nginx, its
    beside-program files beside the wizard: {URL path: bytes} of what was uploaded."""
    package = os.path.join(rig.dir, "package")
    os.makedirs(package)
    for name, data in PACKAGE.items():
        with open(os.path.join(package, name), "wb") as f:
            f.write(data)
    setup_file = os.path.join(rig.dir, SETUP_NAME)
    with open(setup_file, "wb") as f:
        f.write(setup)
    eq(tool(rig, "--keygen", "partner.key")[0], 0, "keygen")
    web = rig.start_web("nginx")
    base = "http://127.0.0.1:%d" % web.port
    out = os.path.join(rig.dir, "published")
    code, _ = tool(rig, "--partner", PARTNER, "--package", package, "--title", TITLE, "--site",
                   base, "--setup-url", base + SETUP_PATH, "--key", "partner.key", "--out", out,
                   *(["--setup-file", setup_file] if setup_digest else []))
    eq(code, 0, "publishing")
    uploaded = {}
    site = os.path.join(out, "site")
    for folder, _, files in os.walk(site):
        for name in files:
            with open(os.path.join(folder, name), "rb") as f:
                uploaded["/" + os.path.relpath(os.path.join(folder, name), site)] = f.read()
    uploaded[SETUP_PATH] = setup
    for path, data in uploaded.items():
        web.put(path, data)
    for name in ("partner.pub", "partner.dat", "OrvexDownload.dat"):
        with open(os.path.join(out, "beside-program", name), "rb") as f:
            rig.write_file(WIZARD + name, f.read())
    point_at(rig, base + "/cb/partner")
    return uploaded


def last_run(rig):
    """The log's lines of the last run (the log is appended to)."""
    lines = log_lines(rig)
    starts = [i for i, line in enumerate(lines) if " started, command line " in line]
    return lines[starts[-1]:]


def key_id(rig, public_key="partner.key.pub"):
    der = subprocess.run(["openssl", "pkey", "-pubin", "-in", public_key, "-outform", "DER"],
                         capture_output=True, check=True, cwd=rig.dir).stdout
    return hashlib.sha256(der).hexdigest()[:16]


@scenario
def signed_package(rig):
    """Published signed, over plain http: the index, the sums and every file verified, and the
    unsigned setup started because the signed index gives its digest; the partner tool's check
    finds every file sound."""
    prepare(rig, version=None, app_paths=False)
    with open(rig.tool("standin_setup.exe"), "rb") as f:
        published_site(rig, f.read())
    os.makedirs(rig.host_path("C:\\logs"))
    rig.start_wizard("/log", LOG_PATH)
    next_page(rig)
    run_to_done(rig)
    eq(rig.driver.boxes(), [], "message boxes after success")
    eq(setup_runs(rig), 1, "setup runs")
    check_installed(rig, PACKAGE, setup_ran=True)
    leave(rig)
    check_log_has(last_run(rig), [
        "partner key from partner.pub: " + key_id(rig),
        "index signature verified (key %s)" % key_id(rig),
        "SHA256SUMS verified (key %s): 2 lines" % key_id(rig),
        "Skin.dat: sha256:" + hashlib.sha256(PACKAGE["Skin.dat"]).hexdigest(),
        "skin.bmp: sha256:" + hashlib.sha256(PACKAGE["skin.bmp"]).hexdigest(),
        "setup vouched for by: signed index", "run ended: Succeeded"])
    code, report = tool(rig, "--check", "http://127.0.0.1:%d%s" % (rig.web.port, INDEX_PATH),
                        "--pub", "partner.key.pub")
    eq((code, [line.split()[:2] for line in report.splitlines()]),
       (0, [["ok", "urls.cb"], ["ok", "SHA256SUMS"], ["ok", "Skin.dat"], ["ok", "skin.bmp"],
            ["ok", SETUP_NAME]]), "the partner tool's check:\n" + report)


@scenario
def signed_package_refused(rig):
    """Whatever a signature or a sum does not cover stops the run before anything is installed:
    the new message and the stop question with the dialogs; unattended, exit code 12 and the log
    names the file and why. A partner.pub that holds no key stops it before any request (23)."""
    prepare(rig)
    uploaded = published_site(rig, b"no setup runs here")
    eq(tool(rig, "--keygen", "other.key")[0], 0, "keygen of another key")
    web = rig.web
    list_file = rig.host_path(WIZARD + "OrvexDownload.dat")
    with open(list_file, "rb") as f:
        download_list = f.read()

    def another_key_signature(path):
        signature = os.path.join(rig.dir, "other.sig")
        data = os.path.join(rig.dir, "signed")
        with open(data, "wb") as f:
            f.write(uploaded[path])
        subprocess.run(["openssl", "dgst", "-sha256", "-sign", "other.key", "-out", signature,
                        data], check=True, cwd=rig.dir)
        with open(signature, "rb") as f:
            return f.read()

    index_sig = INDEX_PATH + ".sig"
    cases = [  # (what, changed files (None: removed), the log's reason)
        ("a changed file", {"/pkg/acme/skin.bmp": PACKAGE["skin.bmp"][:-1] + b"\x01"},
         "skin.bmp: its digest sha256:"),
        ("no urls.cb.sig", {index_sig: None}, "urls.cb.sig: missing (status 404)"),
        ("another key", {index_sig: another_key_signature(INDEX_PATH)},
         "urls.cb: the signature is not one of the partner's keys over these bytes"),
        ("the index changed", {INDEX_PATH: uploaded[INDEX_PATH] + b"\r\n"},
         "urls.cb: the signature is not one of the partner's keys"),
        ("no SHA256SUMS.sig", {"/pkg/acme/SHA256SUMS.sig": None},
         "SHA256SUMS.sig: missing (status 404)"),
        ("a file without a line", {"/pkg/acme/extra.txt": b"extra"},
         "extra.txt: SHA256SUMS gives no single digest for it"),
    ]
    for number, (what, changes, reason) in enumerate(cases):
        for path, data in uploaded.items():
            web.put(path, data)
        for path, data in changes.items():
            if data is None:
                os.remove(os.path.join(web.docroot, path.lstrip("/")))
            else:
                web.put(path, data)
        with open(list_file, "wb") as f:
            f.write(download_list + (b"extra.txt\r\n" if "extra.txt" in reason else b""))
        if number == 0:
            rig.start_wizard()
            next_page(rig)
            stopped_by_failure(rig, MSG_NOT_VERIFIED)
            leave(rig)
        eq(run_quiet(rig, "/quiet", "/log", LOG_PATH), 12, "exit code with " + what)
        check_log_has(last_run(rig), ["the package cannot be verified: " + reason,
                                       "run ended: PackageNotVerified"])
        check_nothing_installed(rig)

    rig.write_file(WIZARD + "partner.pub", b"-----BEGIN PUBLIC KEY-----\nAAAA\n-----END "
                                           b"PUBLIC KEY-----\n")
    served = len(web.requests())
    eq(run_quiet(rig, "/quiet", "/log", LOG_PATH), 23, "exit code with an unusable partner.pub")
    check_log_has(last_run(rig), ["partner.pub holds no usable P-256 public key: nothing "
                                   "downloaded", "run ended: PartnerKeyUnusable"])
    eq(len(web.requests()), served, "requests after the unusable key")
    check_nothing_installed(rig)


@scenario
def setup_vouching(rig):
    """Without a partner key, over plain http: a setup that nothing vouches for is deleted and
    not started (the new message, then the question; unattended exit code 13): unsigned, with a
    digest word alone, signed under a root the prefix does not trust, changed after signing,
    signed with a certificate its CA revoked (the revocation list served where it says). One
    whose revocation list cannot be fetched starts.
    Signed under the trusted test CA it starts (as in every scenario of the setup path)."""
    prepare(rig, version=None, app_paths=False)
    web_site(rig)  # the setup as served there is signed under the trusted CA
    with open(rig.tool("standin_setup.exe"), "rb") as f:
        unsigned = f.read()
    stranger = rig.code_signing("untrusted")
    unsigned_file = os.path.join(rig.dir, "unsigned.exe")
    with open(unsigned_file, "wb") as f:
        f.write(unsigned)
    with open(stranger.sign(unsigned_file, os.path.join(rig.dir, "stranger.exe")), "rb") as f:
        under_stranger = f.read()
    changed = bytearray(rig.setup_program())
    changed[len(changed) // 2] ^= 1
    index = lambda base, word="": "%s%s\r\n%s%s%s\r\n" % (base, PACKAGE_DIR, base, SETUP_PATH, word)
    base = "http://127.0.0.1:%d" % rig.web.port
    # A publisher of the trusted test CA whose certificate that CA has revoked.
    trusted_ca = rig.signing.certificates
    revoked_publisher = trusted_ca.issue("revoked", "Revoked Publisher", None, usage="codeSigning",
                                         crl_url=base + "/ca.crl")
    crl = os.path.join(rig.dir, "ca.crl")
    trusted_ca.revoke(revoked_publisher[0], crl)
    with open(crl, "rb") as f:
        rig.web.put("/ca.crl", f.read())
    with open(rig.signing.sign(unsigned_file, os.path.join(rig.dir, "revoked.exe"),
                               revoked_publisher), "rb") as f:
        revoked = f.read()
    cases = [  # (what, setup, index, the log's reason)
        ("unsigned", unsigned, index(base), "(it carries no Authenticode signature)"),
        ("a digest word over http alone", unsigned,
         index(base, " sha256:" + hashlib.sha256(unsigned).hexdigest()),
         "(it carries no Authenticode signature)"),
        ("an untrusted root", under_stranger, index(base),
         "(signer Orvex Test Publisher: its chain does not end in a trusted root)"),
        ("changed after signing", bytes(changed), index(base),
         "(its signature is refused, error 0x80096010)"),
        ("signed with a revoked certificate", revoked, index(base),
         "(signer Revoked Publisher: a certificate of its chain is revoked)"),
    ]
    for number, (what, setup, text, reason) in enumerate(cases):
        rig.web.put(SETUP_PATH, setup)
        rig.web.put(INDEX_PATH, text.encode())
        if number == 0:
            rig.start_wizard()
            next_page(rig)
            stopped_by_failure(rig, MSG_NOT_SIGNED)
            leave(rig)
        eq(run_quiet(rig, "/quiet", "/log", LOG_PATH), 13, "exit code, setup " + what)
        check_log_has(last_run(rig), ["nothing vouches for the setup program", reason,
                                       "deleted, not started", "run ended: SetupNotSigned"])
        eq(setup_runs(rig), 0, "setup runs, " + what)
        eq(SETUP_NAME in (rig.listing(rig.temp_folder(PARTNER)) or {}), False, "setup kept")
        check_nothing_installed(rig)
    # A revocation list that cannot be had (its server refuses) leaves a good signature good.
    offline = trusted_ca.issue("offline", "Offline Publisher", None, usage="codeSigning",
                               crl_url="http://127.0.0.1:%d/ca.crl" % rig.refused_port())
    with open(rig.signing.sign(unsigned_file, os.path.join(rig.dir, "offline.exe"), offline),
              "rb") as f:
        rig.web.put(SETUP_PATH, f.read())
    eq(run_quiet(rig, "/quiet", "/log", LOG_PATH), 0, "exit code, revocation unknown")
    check_log_has(last_run(rig), ["setup vouched for by: Authenticode, Offline Publisher"])
    eq(setup_runs(rig), 1, "setup runs, revocation unknown")


@scenario
def signed_program(rig):
    """The release signed as the build signs it (tools/sign-program, osslsigncode) under a test
    CA the prefix trusts: the wizard's own Authenticode check accepts it and not the unsigned
    one, and the signed program still runs a whole unattended installation."""
    signing = rig.code_signing()
    rig.trust(signing.ca)
    signed = signing.sign(os.path.join(rig.build, "OrvexDownload.exe"),
                          os.path.join(rig.dir, "OrvexDownload.exe"))
    prepare(rig)
    shutil.copy(signed, rig.host_path(WIZARD + "OrvexDownload.exe"))
    rig.write_file("C:\\unsigned\\OrvexDownload.exe",
                   open(os.path.join(rig.build, "OrvexDownload.exe"), "rb").read())
    for path, expected_code, expected in (
            (WIZARD + "OrvexDownload.exe", 0, "trusted: Orvex Test Publisher"),
            ("C:\\unsigned\\OrvexDownload.exe", 1, "refused: it carries no Authenticode signature")):
        probe = rig.start_wine([rig.tool("authenticode_probe.exe"), path], stdout=subprocess.PIPE)
        output, _ = probe.communicate(timeout=60)
        eq((probe.returncode, output.decode().strip()), (expected_code, expected), "probe " + path)
    web_site(rig)
    eq(run_quiet(rig, "/quiet", "/log", LOG_PATH), 0, "exit code of the signed program")
    check_installed(rig, PACKAGE)
