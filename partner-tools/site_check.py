"""orvex_publish.py --check: fetches a hosted package and says, one line per file, what the wizard
would do with it, by the wizard's own rules (wizard_rules.py): its names, the signatures under
the keys of the program checked against, SHA256SUMS, the redirects, what vouches for the setup;
then what the messenger needs of the package (skin.bmp, a readable Skin.dat)."""

import hashlib
import os
import re
import shutil
import subprocess
import tempfile
import urllib.parse

import partner_keys
import wizard_fetch
import wizard_rules
from wizard_rules import why_not_plain

SUMS = b"SHA256SUMS"
SIGNATURE_LIMIT = 1024
SUMS_LIMIT = 1024 * 1024
FAILED, OK, WARNING, UNCHECKED = "FAILED", "ok", "warning", "unchecked"


def latin1(data):
    """Bytes as a URL text of the wizard_rules kind: one character per byte."""
    return data.decode("latin-1")


def shown(name):
    return name.decode("utf-8", "backslashreplace") or '""'


def sha256_text(data):
    return "sha256:" + hashlib.sha256(data).hexdigest()


def converted_line_ends(data):
    """The file as it may have been before a line-end conversion on the way: [(what the
    conversion did, the bytes before it)]."""
    return [("its LF line ends were made CR LF", data.replace(b"\r\n", b"\n")),
            ("its CR LF line ends were made LF", re.sub(rb"(?<!\r)\n", b"\r\n", data))]


class SiteCheck:
    """keys: [(SubjectPublicKeyInfo DER, the file or program it came from)], every key to try;
    edition: (program, set of its keys' DER) when checked against a program, whose keys alone
    count; context: the TLS context."""

    def __init__(self, keys, edition, context):
        self.keys, self.edition, self.context = keys, edition, context
        self.failures = 0
        self.index_signed = self.index_over_https = False

    def report(self, status, name, text):
        self.failures += status == FAILED
        print("%-9s %-20s %s" % (status, shown(name) if isinstance(name, bytes) else name, text))

    # ---- signatures --------------------------------------------------------------------------

    def key_names(self):
        return ", ".join("%s (%s)" % (partner_keys.key_id(der), source)
                         for der, source in self.keys)

    def check_signature(self, name, url, data):
        """Whether the file's signature (url + ".sig") holds under a key that counts; reported."""
        sig = wizard_fetch.fetch(url + ".sig", self.context, SIGNATURE_LIMIT)
        if sig.problem:
            self.report(FAILED, name, "%s.sig: %s; the wizard ends with exit 12"
                        % (shown(name), sig.problem))
            return False
        key = partner_keys.signed_by(self.keys, data, sig.data)
        if key is None:
            why = ("its signature holds under none of the keys tried (%s): these are not the "
                   "bytes that were signed, or another key signed them" % self.key_names())
            for how, before in converted_line_ends(data):
                if before != data and partner_keys.signed_by(self.keys, before, sig.data):
                    why = ("%s on the way (an upload in text mode, say): its signature holds "
                           "for the file as it was; upload it in binary mode" % how)
                    break
            self.report(FAILED, name, "%s: %s; the wizard ends with exit 12"
                        % (sha256_text(data), why))
            return False
        der, source = key
        if self.edition and der not in self.edition[1]:
            self.report(FAILED, name, "signed by key %s (%s), which %s does not carry: its "
                        "programs refuse this site (exit 12); hand out an edition with that key "
                        "first" % (partner_keys.key_id(der), source, self.edition[0]))
            return False
        self.report(OK, name, "signed by key %s (%s)" % (partner_keys.key_id(der), source))
        return True

    # ---- files -------------------------------------------------------------------------------

    def fetched(self, name, url, limit=None):
        """The file's bytes, or None with its line reported."""
        got = wizard_fetch.fetch(url, self.context, limit)
        if got.problem:
            self.report(FAILED, name, "%s (GET %s)" % (got.problem, got.url))
            return None, got
        if partner_keys.holds_private_key(got.data):
            self.report(FAILED, name, "holds a private key: take it off the server at once, and "
                        "rotate to a new key (deployment.md)")
            return None, got
        return got.data, got

    def index(self, url):
        """(base URL, setup URL, digest word) of urls.cb, or None; its line reported."""
        data, got = self.fetched("urls.cb", url)
        if data is None:
            return None
        if self.keys:
            self.index_signed = self.check_signature("urls.cb", url, data)
        else:
            self.report(OK, "urls.cb", "%s, %d bytes (no partner keys: nothing signed)"
                        % (sha256_text(data), len(data)))
        self.index_over_https = got.over_https
        return wizard_rules.index_words(data)

    def sums(self, base):
        data, _ = self.fetched(SUMS, base + latin1(SUMS), SUMS_LIMIT)
        if data is None or not self.check_signature(SUMS, base + latin1(SUMS), data):
            return None
        return wizard_rules.read_sums(data)

    def stored_name(self, line_name, url, earlier):
        """The name the wizard stores url under, or None when it refuses it (reported)."""
        stored = wizard_rules.Url(url).file_name.encode("latin-1")
        why = why_not_plain(stored)
        if why:
            self.report(FAILED, line_name, "the wizard refuses to store it as %r: %s (message 2, "
                        "exit 6)" % (shown(stored), why))
            return None
        clash = wizard_rules.first_clash(earlier + [stored])
        if clash:
            self.report(FAILED, line_name, "the same file as %s on Windows, where letter case "
                        "makes no difference: the wizard refuses it (message 2, exit 6)"
                        % shown(clash[1]))
            return None
        return stored

    def package_file(self, name, base, sums, stored_names):
        """(the name the wizard stores it under or None, its bytes or None); reported."""
        url = base + latin1(name)
        stored = self.stored_name(name, url, stored_names)
        if stored is None:
            return None, None
        stored_names.append(stored)
        data, _ = self.fetched(name, url)
        if data is None:
            return stored, None
        if sums is None:
            self.report(FAILED if self.keys else OK, name, "%s, %d bytes%s" % (
                sha256_text(data), len(data),
                "; not checked: SHA256SUMS does not hold" if self.keys else ""))
            return stored, data
        expected = wizard_rules.sum_for(sums, name)
        if expected is None:
            self.report(FAILED, name, "%s: SHA256SUMS gives no single digest for it (exit 12)"
                        % sha256_text(data))
        elif expected != hashlib.sha256(data).digest():
            self.report(FAILED, name, "%s, not the sha256:%s that SHA256SUMS gives (exit 12)"
                        % (sha256_text(data), expected.hex()))
        else:
            self.report(OK, name, "%s as SHA256SUMS gives" % sha256_text(data))
        return stored, data

    # ---- the setup ---------------------------------------------------------------------------

    def setup(self, url, digest_word, stored_names):
        name = wizard_rules.Url(url).file_name.encode("latin-1") or "the setup"
        if self.stored_name(name, url, stored_names) is None:
            return
        data, got = self.fetched(name, url)
        if data is None:
            return
        digest = None
        if digest_word:
            digest = wizard_rules.parse_digest_word(digest_word)
            if digest is None:
                self.report(FAILED, name, "urls.cb's digest word %r is not sha256: and 64 "
                            "hexadecimal digits: the wizard deletes the setup unstarted "
                            "(exit 10)" % shown(digest_word))
                return
            if digest != hashlib.sha256(data).digest():
                self.report(FAILED, name, "%s, not the %s that urls.cb gives: the wizard deletes "
                            "it unstarted (exit 10)" % (sha256_text(data), shown(digest_word)))
                return
        voucher = wizard_rules.setup_voucher(digest is not None, self.index_signed,
                                             self.index_over_https, got.over_https)
        if voucher:
            self.report(OK, name, "%s, vouched for by: %s" % (sha256_text(data), voucher))
            return
        if digest is None:
            why = "urls.cb gives no digest for it"
        elif self.keys:
            why = "its digest is in a urls.cb whose signature does not hold"
        else:
            why = "its digest is in a urls.cb that came over plain http"
        if not (self.index_over_https and got.over_https):
            why += ", and it did not come over https with urls.cb"
        status, text = authenticode(data)
        self.report(status, name, "%s; only its Authenticode signature can vouch for it (%s): %s"
                    % (sha256_text(data), why, text))

    # ---- the messenger -----------------------------------------------------------------------

    def lint(self, files):
        """What the messenger needs of the package: files {stored name: bytes or None}."""
        by_key = {wizard_rules.folder_key(name): data for name, data in files.items()}
        if wizard_rules.folder_key(b"skin.bmp") not in by_key:
            bitmaps = [shown(n) for n in files if n.lower().endswith(b".bmp")]
            self.report(FAILED, "messenger", "no skin.bmp: the messenger shows the skin from "
                        "Partner\\<partner>\\skin.bmp, so the package would install and show "
                        "no skin%s" % ("; name %s skin.bmp" % " or ".join(bitmaps)
                                       if bitmaps else ""))
        key = wizard_rules.folder_key(b"Skin.dat")
        if key not in by_key:
            self.report(WARNING, "messenger", "no Skin.dat: the skin gets the default settings "
                        "(%s)" % settings_text(wizard_rules.SKIN_DEFAULTS))
        elif by_key[key] is not None:
            status, text = skin_dat_verdict(by_key[key])
            self.report(status, "messenger", text)


def settings_text(values):
    return ", ".join("%s %d" % pair for pair in zip(wizard_rules.SKIN_SETTINGS, values))


def skin_dat_verdict(data):
    """(status, text): how the messenger's settings come from Skin.dat's bytes."""
    if data.startswith((b"\xff\xfe", b"\xfe\xff")) or b"\0" in data:
        return (FAILED, "Skin.dat is UTF-16 or holds NUL bytes, which the wizard reads as bytes: "
                "save it as UTF-8 or ANSI text")
    values, read = wizard_rules.skin_settings(wizard_rules.read_text(data))
    if read == 4:
        return OK, "Skin.dat gives " + settings_text(values)
    return (WARNING, "Skin.dat's token %d is missing or has no \"=\" (a header and four "
            "name=value tokens give the settings), so %s keep their defaults: %s"
            % (read + 2, ", ".join(wizard_rules.SKIN_SETTINGS[read:]), settings_text(values)))


def authenticode(data):
    """(status, text) of the setup's Authenticode signature checked by osslsigncode against
    this machine's trusted roots, or unchecked where osslsigncode is not installed."""
    tool = shutil.which("osslsigncode")
    if tool is None:
        return UNCHECKED, "not checked here (osslsigncode is not installed)"
    with tempfile.TemporaryDirectory(prefix="orvex-check.") as folder:
        path = os.path.join(folder, "setup.exe")
        with open(path, "wb") as f:
            f.write(data)
        result = subprocess.run([tool, "verify", "-in", path], capture_output=True, text=True,
                                errors="replace", timeout=120)
    output = (result.stdout + result.stderr).splitlines()
    if result.returncode == 0:
        subjects = [line.split("Subject:", 1)[1].strip() for line in output if "Subject:" in line]
        return OK, ("its signature verifies here (osslsigncode, signer %s); the wizard checks it "
                    "against the users' trusted roots and looks up its revocation"
                    % (subjects[0] if subjects else "unnamed"))
    last = [line.strip().replace(path, "the setup") for line in output if line.strip()][-2:]
    return FAILED, ("no Authenticode signature that verifies here (osslsigncode: %s): the wizard "
                    "deletes it unstarted (exit 13); its digest in a signed urls.cb would vouch for it"
                    % " ".join(last))


def download_list_names(data):
    """The names OrvexDownload.dat gives the wizard, or (None, why not)."""
    if data.startswith((b"\xff\xfe", b"\xfe\xff")):
        return None, "is UTF-16 text, which the wizard reads as bytes: save it as UTF-8"
    _, names = wizard_rules.download_list(data)
    if not names:
        return None, "names no file: the wizard shows message 1 (exit 7)"
    return names, None


def partner_line(check, index_url, partner):
    """The partner id's line: partner (text) or, when None, the one the index URL names, as the
    wizard forms it (<base URL>/<partner id>/urls.cb)."""
    if partner is None:
        path = wizard_rules.Url(index_url).directory.rstrip("/")
        partner = urllib.parse.unquote(path.rsplit("/", 1)[-1], "latin-1")
        partner = partner.encode("latin-1").decode("utf-8", "surrogateescape")
    why = wizard_rules.why_not_partner_id(partner.encode("utf-8", "surrogateescape"))
    if why:
        check.report(FAILED, "partner", "%r: the wizard refuses it as partner.dat's id: %s (it "
                     "ends at once, exit -1)" % (partner, why))
    else:
        check.report(OK, "partner", partner)


def run(check, index_url, list_data, partner=None):
    """Checks the site whose urls.cb is at index_url for partner (None: the one its URL names);
    list_data: OrvexDownload.dat's bytes or None (then every file SHA256SUMS names)."""
    partner_line(check, index_url, partner)
    names = None
    if list_data is not None:
        names, why = download_list_names(list_data)
        if why:
            check.report(FAILED, "OrvexDownload.dat", why)
    words = check.index(index_url)
    if words is None:
        for name in names or []:
            check.report(FAILED, name, "not checked: urls.cb cannot be read")
        return
    base, setup_url, digest_word = (latin1(words[0]), latin1(words[1]), words[2])
    if wizard_rules.Url(base).malformed:
        check.report(FAILED, "urls.cb", "its first word %r is no URL of a package folder"
                     % base)
        return
    stored_names = [b"urls.cb"] + ([b"urls.cb.sig", SUMS, SUMS + b".sig"] if check.keys else [])
    sums = check.sums(base) if check.keys else None
    if names is None:
        names = list(sums) if sums else []
    files = {}
    for name in names:
        stored, data = check.package_file(name, base, sums, stored_names)
        if stored is not None:
            files[stored] = data
    check.setup(setup_url, digest_word, stored_names)
    if names:
        check.lint(files)
