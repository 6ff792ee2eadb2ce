"""Scenarios of trust: a package its partner signed (published with partner-tools), a setup
program that starts only when something vouches for its bytes, and the signed release."""

import hashlib
import os
import shutil
import subprocess
import time

import harness
from harness import ID_OK, PREFS_KEY, APP_PATHS_KEY, wait_for
from scenarios import (INDEX_PATH, LOG_PATH, MSG_CHANGED, MSG_EDITION, MSG_NOT_SIGNED,
                       MSG_NOT_VERIFIED, PACKAGE, PACKAGE_DIR, PARTNER, SETUP_NAME, SETUP_PATH,
                       TITLE, cancel_with_yes, check_box, check_installed, check_log_has,
                       check_nothing_installed, eq, leave, log_lines, next_page, point_at,
                       prepare, run_quiet, run_to_done, scenario, setup_runs, stopped_by_failure,
                       web_site)

PUBLISH = os.path.join(harness.SOURCE, "partner-tools", "orvex_publish.py")
WIZARD = "C:\\wizard\\"
KEY_BLOCK_MARK = b"ORVEX-KEYS-BLOCK"


def tool(rig, *args):
    """(exit code, stdout, stderr) of the partner tool run in the run folder."""
    result = subprocess.run(["python3", PUBLISH] + list(args), capture_output=True, text=True,
                            timeout=120, cwd=rig.dir)
    return result.returncode, result.stdout, result.stderr


def published_site(rig, setup, setup_digest=True, also_trust=()):
    """The package published with the partner tool by a key made with it (partner.key), with
    the edition of the program carrying that key and also_trust's, served by nginx; the edition
    and the other beside-program files in the wizard's folder: {URL path: bytes} uploaded."""
    package = os.path.join(rig.dir, "package")
    os.makedirs(package)
    for name, data in PACKAGE.items():
        with open(os.path.join(package, name), "wb") as f:
            f.write(data)
    setup_file = os.path.join(rig.dir, SETUP_NAME)
    with open(setup_file, "wb") as f:
        f.write(setup)
    eq(tool(rig, "--keygen", "partner.key")[0], 0, "keygen")
    rig.start_web("nginx")
    point_at(rig, site_of(rig) + "/cb/partner")
    publish(rig, "partner.key", os.path.join(rig.build, "OrvexDownload.exe"), also_trust,
            *(["--setup-file", setup_file] if setup_digest else []))
    uploaded = upload(rig)
    uploaded[SETUP_PATH] = setup
    rig.web.put(SETUP_PATH, setup)
    hand_out(rig, WIZARD)
    return uploaded


def site_of(rig):
    return "http://127.0.0.1:%d" % rig.web.port


def publish(rig, key, program, also_trust=(), *extra, out="published"):
    """Publishes the run folder's package with the partner tool into out: its report."""
    trusted = [arg for pub in also_trust for arg in ("--also-trust", pub)]
    code, report, error = tool(rig, "--partner", PARTNER, "--package", "package", "--title",
                               TITLE, "--site", site_of(rig), "--setup-url",
                               site_of(rig) + SETUP_PATH, "--key", key, "--program", program,
                               "--out", out, *trusted, *extra)
    eq(code, 0, "publishing: " + error)
    return report


def upload(rig, out="published"):
    """Puts every file of out's site tree on the web server: {URL path: bytes}."""
    uploaded = {}
    site = os.path.join(rig.dir, out, "site")
    for folder, _, files in os.walk(site):
        for name in files:
            with open(os.path.join(folder, name), "rb") as f:
                uploaded["/" + os.path.relpath(os.path.join(folder, name), site)] = f.read()
    for path, data in uploaded.items():
        rig.web.put(path, data)
    return uploaded


def hand_out(rig, folder, out="published"):
    """The files out hands out, in the wizard's folder folder, whose program the wizard runs."""
    beside = os.path.join(rig.dir, out, "beside-program")
    eq(sorted(os.listdir(beside)), ["OrvexDownload.dat", "OrvexDownload.exe", "partner.dat"],
       "files to hand out")
    for name in os.listdir(beside):
        with open(os.path.join(beside, name), "rb") as f:
            rig.write_file(folder + name, f.read())
    rig.wizard_path = folder + "OrvexDownload.exe"


def last_run(rig):
    """The log's lines of the last run (the log is appended to)."""
    lines = log_lines(rig)
    starts = [i for i, line in enumerate(lines) if " started, command line " in line]
    return lines[starts[-1]:]


def key_id(rig, public_key="partner.key.pub"):
    der = subprocess.run(["openssl", "pkey", "-pubin", "-in", public_key, "-outform", "DER"],
                         capture_output=True, check=True, cwd=rig.dir).stdout
    return hashlib.sha256(der).hexdigest()[:16]


def signature_by(rig, key, data):
    """The DER signature by key (a file of the run folder) over data."""
    path = os.path.join(rig.dir, "signed")
    with open(path, "wb") as f:
        f.write(data)
    return subprocess.run(["openssl", "dgst", "-sha256", "-sign", key, path], check=True,
                          capture_output=True, cwd=rig.dir).stdout


def refused_before_any_page(rig, text, exit_code):
    """With the dialogs: the program's own box before any page, then it ends with exit_code."""
    rig.driver.box(30)
    eq(rig.driver.present("welcome"), False, "the welcome page under the box")
    check_box(rig.driver.answer_box(ID_OK), "Error", text, ["OK"])
    eq(rig.wizard_exit(), exit_code, "exit code")


@scenario
def signed_package(rig):
    """Published signed, over plain http, with the partner's edition of the program carrying a
    new key and the old one (a rotation): the index, the sums and every file verified, and the
    unsigned setup started because the signed index gives its digest; the partner tool's check
    finds every file sound. The same site signed again with the old key still installs. The old
    key's file begins with a block cut short, which spoils only itself."""
    prepare(rig, version=None, app_paths=False)
    eq(tool(rig, "--keygen", "old.key")[0], 0, "keygen of the old key")
    # A block without its END line before the old key spoils only itself.
    with open(os.path.join(rig.dir, "old.key.pub"), "rb") as f:
        old_key = f.read()
    with open(os.path.join(rig.dir, "keys.pub"), "wb") as f:
        f.write(b"-----BEGIN PUBLIC KEY-----\nMFkwEwYHKoZIzj0CAQ\n" + old_key)
    with open(rig.tool("standin_setup.exe"), "rb") as f:
        uploaded = published_site(rig, f.read(), also_trust=["keys.pub"])
    os.makedirs(rig.host_path("C:\\logs"))
    rig.start_wizard("/log", LOG_PATH)
    next_page(rig)
    run_to_done(rig)
    eq(rig.driver.boxes(), [], "message boxes after success")
    eq(setup_runs(rig), 1, "setup runs")
    check_installed(rig, PACKAGE, setup_ran=True)
    leave(rig)
    new, old = key_id(rig), key_id(rig, "old.key.pub")
    check_log_has(last_run(rig), [
        "the program carries no Authenticode signature",
        "partner keys from the program: %s, %s" % (new, old),
        "index signature verified (key %s)" % new,
        "SHA256SUMS verified (key %s): 2 lines" % new,
        "Skin.dat: sha256:" + hashlib.sha256(PACKAGE["Skin.dat"]).hexdigest(),
        "skin.bmp: sha256:" + hashlib.sha256(PACKAGE["skin.bmp"]).hexdigest(),
        "setup vouched for by: signed index", "run ended: Succeeded"])
    code, report, _ = tool(rig, "--check", "http://127.0.0.1:%d%s" % (rig.web.port, INDEX_PATH),
                           "--pub", "partner.key.pub")
    eq((code, [line.split()[:2] for line in report.splitlines()]),
       (0, [["ok", "partner"], ["ok", "urls.cb"], ["ok", "SHA256SUMS"], ["ok", "Skin.dat"], ["ok", "skin.bmp"],
            ["ok", SETUP_NAME], ["ok", "messenger"]]), "the partner tool's check:\n" + report)
    for path in (INDEX_PATH, PACKAGE_DIR + "SHA256SUMS"):
        rig.web.put(path + ".sig", signature_by(rig, "old.key", uploaded[path]))
    eq(run_quiet(rig, "/quiet", "/log", LOG_PATH), 0, "exit code, signed with the old key")
    check_log_has(last_run(rig), ["index signature verified (key %s)" % old,
                                   "SHA256SUMS verified (key %s)" % old, "run ended: Succeeded"])


@scenario
def signed_package_refused(rig):
    """Whatever a signature or a sum does not cover stops the run before anything is installed:
    the new message and the stop question with the dialogs; unattended, exit code 12 and the log
    names the file and why. An attacker's key file planted beside the edition changes nothing;
    a 40 MiB urls.cb.sig is refused as it arrives. A key file beside a program without keys
    (the old layout) stops it before any page and any request: its own box, exit code 23."""
    prepare(rig)
    uploaded = published_site(rig, b"no setup runs here")
    eq(tool(rig, "--keygen", "other.key")[0], 0, "keygen of another key")
    with open(os.path.join(rig.dir, "other.key.pub"), "rb") as f:
        planted = f.read()
    rig.write_file(WIZARD + "partner.pub", planted)
    web = rig.web
    list_file = rig.host_path(WIZARD + "OrvexDownload.dat")
    with open(list_file, "rb") as f:
        download_list = f.read()
    index_sig = INDEX_PATH + ".sig"
    huge = 40 << 20
    cases = [  # (what, changed files (None: removed), the log's reason)
        ("a changed file", {"/pkg/acme/skin.bmp": PACKAGE["skin.bmp"][:-1] + b"\x01"},
         "skin.bmp: its digest sha256:"),
        ("no urls.cb.sig", {index_sig: None}, "urls.cb.sig: missing (status 404)"),
        ("the planted key's signature",
         {index_sig: signature_by(rig, "other.key", uploaded[INDEX_PATH])},
         "urls.cb: the signature is not one of the partner's keys over these bytes"),
        ("the index changed", {INDEX_PATH: uploaded[INDEX_PATH] + b"\r\n"},
         "urls.cb: the signature is not one of the partner's keys"),
        ("no SHA256SUMS.sig", {"/pkg/acme/SHA256SUMS.sig": None},
         "SHA256SUMS.sig: missing (status 404)"),
        ("a file without a line", {"/pkg/acme/extra.txt": b"extra"},
         "extra.txt: SHA256SUMS gives no single digest for it"),
        ("a 40 MiB urls.cb.sig", {index_sig: bytes(huge)},
         "urls.cb.sig: over 1024 bytes, refused as it arrived"),
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
        check_log_has(last_run(rig), ["partner.pub beside the program ignored",
                                       "the package cannot be verified: " + reason,
                                       "run ended: PackageNotVerified"])
        check_nothing_installed(rig)
    written = rig.listing(rig.temp_folder(PARTNER)) or {}
    eq([name for name, data in written.items() if len(data) > 1024], [], "files over 1 KiB")
    check_log_has(last_run(rig), ["Content-Length %d, 0 bytes" % huge,
                                   "failed: over its limit of 1024 bytes"])

    plain = "C:\\plain\\"
    rig.place_wizard(folder=plain[:-1], download_list=download_list)
    rig.write_file(plain + "partner.pub", planted)
    served = len(web.requests())
    rig.start_wizard()
    refused_before_any_page(rig, MSG_EDITION, 23)
    eq(run_quiet(rig, "/quiet", "/log", LOG_PATH), 23, "exit code with the old layout")
    check_log_has(last_run(rig), ["no Authenticode signature",
                                   "partner.pub beside a program without partner keys: the old "
                                   "layout, never a key; nothing downloaded", "exit code 23"])
    eq(len(web.requests()), served, "requests with the old layout")
    check_nothing_installed(rig)
    tool_refusals(rig)


@scenario
def key_rotation(rig):
    """A partner key rotated step by step as deployment.md writes it. Before: the site and the
    editions handed out carry the old key alone. Step 1, a new key; step 2, an edition carrying
    both, signed and handed out, while the site stays signed with the old key: old and new
    editions install. Step 3, once no edition of the old key alone is in use, the site signed
    with the new key, checked against the edition in use (the tool warns against the old one):
    that edition installs, one of the old key alone refuses it (exit 12), and --check says so.
    Step 4, editions of the new key alone."""
    prepare(rig, version=600)
    published_site(rig, b"no setup runs here")
    program = os.path.join(rig.build, "OrvexDownload.exe")
    old_edition = os.path.join(rig.dir, "published", "beside-program", "OrvexDownload.exe")
    shutil.copy(old_edition, os.path.join(rig.dir, "old-edition.exe"))
    old, both, new_alone = "C:\\old\\", "C:\\both\\", "C:\\new\\"
    hand_out(rig, old)
    eq(tool(rig, "--keygen", "new.key")[0], 0, "step 1: keygen of the new key")
    old_id, new_id = key_id(rig), key_id(rig, "new.key.pub")

    def installs(folder, exit_code, key):
        rig.wizard_path = folder + "OrvexDownload.exe"
        eq(run_quiet(rig, "/quiet", "/log", LOG_PATH), exit_code, "exit code of " + folder)
        check_log_has(last_run(rig), ["index signature verified (key %s)" % key]
                      if exit_code == 0 else ["urls.cb: the signature is not one of the partner's "
                                              "keys", "exit code 12"])

    setup = ("--setup-file", SETUP_NAME)
    publish(rig, "partner.key", program, ["new.key.pub"], *setup)
    upload(rig)
    signing = rig.code_signing()
    rig.trust(signing.ca)
    edition = os.path.join(rig.dir, "published", "beside-program", "OrvexDownload.exe")
    shutil.copy(signing.sign(edition, os.path.join(rig.dir, "both.exe")), edition)
    hand_out(rig, both)
    installs(old, 0, old_id)
    installs(both, 0, old_id)
    check_log_has(last_run(rig), ["partner keys from the program: %s, %s" % (old_id, new_id)])

    report = publish(rig, "new.key", os.path.join(rig.dir, "both.exe"), (), *setup,
                     out="wrong-order")
    eq("warning:" in report, False, "a warning against the edition of both keys:\n" + report)
    report = publish(rig, "new.key", os.path.join(rig.dir, "old-edition.exe"), (), *setup,
                     out="wrong-order")
    eq("old-edition.exe carries keys %s, not key %s that signs this site" % (old_id, new_id)
       in report, True, "the warning against the edition of the old key:\n" + report)
    publish(rig, "new.key", os.path.join(rig.dir, "both.exe"), (), *setup)
    upload(rig)
    installs(both, 0, new_id)
    installs(old, 12, None)
    index_url = site_of(rig) + INDEX_PATH
    for program_checked, pub, expected_code, expected in (
            ("both.exe", [], 0, "signed by key %s (both.exe)" % new_id),
            ("old-edition.exe", ["--pub", "new.key.pub"], 1,
             "signed by key %s (new.key.pub), which old-edition.exe does not carry" % new_id)):
        code, report, _ = tool(rig, "--check", index_url, "--program", program_checked, *pub)
        eq((code, expected in report), (expected_code, True), "the check:\n" + report)

    eq(tool(rig, "--edition", program, "--key", "new.key", "--out", "new.exe")[0], 0,
       "step 4: the edition of the new key alone")
    rig.write_file(new_alone + "OrvexDownload.exe",
                   open(os.path.join(rig.dir, "new.exe"), "rb").read())
    for name in ("partner.dat", "OrvexDownload.dat"):
        rig.write_file(new_alone + name, open(rig.host_path(both + name), "rb").read())
    installs(new_alone, 0, new_id)
    check_log_has(last_run(rig), ["partner keys from the program: %s" % new_id])
    check_installed(rig, PACKAGE)


def tool_refusals(rig):
    """The partner tool refuses a package folder that would publish a secret or follow a link,
    and a program it cannot make an edition of: exit code 2, the reason, nothing written."""
    package = os.path.join(rig.dir, "package")
    with open(os.path.join(rig.dir, "other.key"), "rb") as f:
        other_key = f.read()
    der_key = subprocess.run(["openssl", "pkey", "-in", "other.key", "-outform", "DER"],
                             check=True, capture_output=True, cwd=rig.dir).stdout
    with open(os.path.join(rig.dir, "partner.key"), "rb") as f:
        signing_key = f.read()
    signed = rig.code_signing("tool").sign(os.path.join(rig.build, "OrvexDownload.exe"),
                                           os.path.join(rig.dir, "signed.exe"))

    def publish(key="partner.key"):
        return ["--partner", PARTNER, "--package", "package", "--title", TITLE, "--site",
                "http://skins.test", "--setup-url", "http://skins.test/s.exe", "--key", key,
                "--out", "refused"]

    def edition(program):
        return ["--edition", program, "--key", "partner.key", "--out", "refused"]

    cases = [  # (what, files added to the package (None: a link), arguments, the message)
        ("a link", {"more.bmp": None}, publish(), "package/more.bmp is a link"),
        ("a private key", {"keys/backup.pem": other_key}, publish(),
         "package/keys/backup.pem holds a private key"),
        ("a private key in DER", {"backup.der": der_key}, publish(),
         "package/backup.der holds a private key"),
        ("the signing key", {"partner.key": signing_key}, publish("package/partner.key"),
         "the signing key package/partner.key lies in the package folder"),
        ("a signed program", {}, edition(signed), "is signed: make the edition from the unsigned"),
        ("an edition", {}, edition(rig.host_path(WIZARD + "OrvexDownload.exe")),
         "already carries partner keys"),
    ]
    for what, files, arguments, message in cases:
        for name, data in files.items():
            path = os.path.join(package, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            if data is None:
                os.symlink("/etc/passwd", path)
            else:
                with open(path, "wb") as f:
                    f.write(data)
                os.chmod(path, 0o600)  # a key others could read is refused before all else
        code, _, error = tool(rig, *arguments)
        eq((code, message in error, os.path.exists(os.path.join(rig.dir, "refused"))),
           (2, True, False), "the tool with %s: %s" % (what, error))
        for name in files:
            os.remove(os.path.join(package, name))


@scenario
def setup_vouching(rig):
    """Without a partner key, over plain http: a setup that nothing vouches for is deleted and
    not started (the new message, then the question; unattended exit code 13): unsigned, with a
    digest word alone, signed under a root the prefix does not trust, changed after signing,
    signed with a certificate its CA revoked (the revocation list served where it says), and
    revoked with that list out of reach: a status that cannot be confirmed refuses. The same
    setup over https all the way starts. Signed under the trusted test CA, whose certificates
    name no revocation list, it starts (as in every scenario of the setup path)."""
    prepare(rig, version=None, app_paths=False)
    certs = rig.certificates()
    rig.trust(certs.ca)
    web_site(rig, tls={"server": certs.server})  # the setup as served is signed, trusted CA
    secure = "https://localhost:%d" % rig.web.tls_ports["server"]
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
    point_at(rig, base + "/cb/partner")
    trusted_ca = rig.signing.certificates

    def revoked_setup(name, crl_url, served):
        """The setup signed by a publisher of the trusted test CA that the CA has revoked."""
        publisher = trusted_ca.issue(name, name.title() + " Publisher", None,
                                     usage="codeSigning", crl_url=crl_url)
        crl = os.path.join(rig.dir, name + ".crl")
        trusted_ca.revoke(publisher[0], crl)
        if served:
            with open(crl, "rb") as f:
                rig.web.put("/ca.crl", f.read())
        with open(rig.signing.sign(unsigned_file, os.path.join(rig.dir, name + ".exe"),
                                   publisher), "rb") as f:
            return f.read()

    unreachable = revoked_setup("unreachable", "http://127.0.0.1:%d/ca.crl"
                                % rig.refused_port(), served=False)
    revoked = revoked_setup("revoked", base + "/ca.crl", served=True)
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
        ("revoked, its revocation list out of reach", unreachable, index(base),
         "(signer Unreachable Publisher: the revocation of Unreachable Publisher cannot be "
         "confirmed: its CRL distribution point cannot be reached or gives no answer)"),
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
    check_log_has(last_run(rig), ["revocation lookups for the setup's signer (at most 15 s) "
                                   "ended after ", "; Unreachable Publisher (CRL distribution "
                                   "point): unknown"])
    # Over https all the way the setup is vouched for without its signature.
    rig.web.put(INDEX_PATH, index(secure).encode())
    point_at(rig, secure + "/cb/partner")
    eq(run_quiet(rig, "/quiet", "/log", LOG_PATH), 0, "exit code, the same setup over https")
    check_log_has(last_run(rig), ["setup vouched for by: https (urls.cb and the setup)"])
    eq(setup_runs(rig), 1, "setup runs over https")


@scenario
def setup_revocation_silent(rig):
    """A setup that only its signature vouches for, whose revocation list lies on a server that
    never answers: unattended, the lookups end at their limit of about 15 s and the setup is not
    started (exit code 13); with the dialogs a confirmed Cancel ends them at once."""
    prepare(rig, version=None, app_paths=False)
    web_site(rig)
    trusted_ca = rig.signing.certificates
    publisher = trusted_ca.issue("silent", "Silent Publisher", None, usage="codeSigning",
                                 crl_url="http://127.0.0.1:%d/ca.crl" % rig.silent_port())
    with open(rig.signing.sign(rig.tool("standin_setup.exe"), os.path.join(rig.dir, "silent.exe"),
                               publisher), "rb") as f:
        rig.web.put(SETUP_PATH, f.read())
    began = time.monotonic()
    eq(run_quiet(rig, "/quiet", "/log", LOG_PATH, seconds=40), 13, "exit code")
    took = time.monotonic() - began
    eq(15 <= took < 25, True, "seconds the run took: %.1f" % took)
    check_log_has(last_run(rig), ["revocation lookups for the setup's signer (at most 15 s) "
                                   "timed out after 15", "(signer Silent Publisher: its "
                                   "revocation lookups timed out)"])
    rig.start_wizard("/log", LOG_PATH)
    next_page(rig)
    wait_for(lambda: any("wrote " in line and SETUP_NAME in line for line in last_run(rig)), 30,
             what="the setup's download")
    time.sleep(1)
    began = time.monotonic()
    cancel_with_yes(rig)
    eq(time.monotonic() - began < 5, True, "seconds until the page closed")
    leave(rig)
    check_log_has(last_run(rig), ["revocation lookups for the setup's signer (at most 15 s) "
                                   "cancelled after ", "deleted, not started",
                                   "run ended: cancelled"])
    eq(setup_runs(rig), 0, "setup runs")


@scenario
def signed_program(rig):
    """The release signed as the build signs it (tools/sign-program, osslsigncode) under a test
    CA the prefix trusts: the wizard's own Authenticode check accepts it and not the unsigned
    one. The partner's edition signed so runs a whole unattended installation; changed after
    signing (a byte of its key), it stops before any page and any request: its own box, exit
    code 24."""
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
            ("C:\\unsigned\\OrvexDownload.exe", 1,
             "refused: it carries no Authenticode signature")):
        probe = rig.start_wine([rig.tool("authenticode_probe.exe"), path], stdout=subprocess.PIPE)
        output, _ = probe.communicate(timeout=60)
        eq((probe.returncode, output.decode().strip()), (expected_code, expected), "probe " + path)
    published_site(rig, b"no setup runs here")
    edition = rig.host_path(WIZARD + "OrvexDownload.exe")
    shutil.copy(signing.sign(edition, os.path.join(rig.dir, "edition.exe")), edition)
    eq(run_quiet(rig, "/quiet", "/log", LOG_PATH), 0, "exit code of the signed edition")
    check_installed(rig, PACKAGE)
    check_log_has(last_run(rig), ["the program's signature holds: signer Orvex Test Publisher",
                                   "partner keys from the program: " + key_id(rig)])
    with open(edition, "rb") as f:
        changed = bytearray(f.read())
    changed[changed.index(KEY_BLOCK_MARK) + 20] ^= 1
    rig.write_file(WIZARD + "OrvexDownload.exe", bytes(changed))
    served = len(rig.web.requests())
    eq(run_quiet(rig, "/quiet", "/log", LOG_PATH), 24, "exit code of the edition changed")
    check_log_has(last_run(rig), [
        "the program's signature does not hold: its signature is refused, error 0x80096010",
        "cannot be trusted: the signature it carries does not hold (its partner "
        "keys are not used); nothing downloaded", "exit code 24"])
    rig.start_wizard()
    refused_before_any_page(rig, MSG_CHANGED, 24)
    eq(len(rig.web.requests()), served, "requests of the edition changed")
