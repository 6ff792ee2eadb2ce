#!/usr/bin/env python3
"""The partner tool's own tests: its copy of the wizard's rules against the example lines the
program's tests read too, publishing that refuses before writing and replaces --out whole, and
--check against a scripted server."""

import contextlib
import io
import os
import re
import shutil
import sys
import tempfile
import unittest
from unittest import mock

sys.dont_write_bytecode = True  # nothing written into the source tree
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "tools"))
import orvex_publish  # noqa: E402
import partner_keys  # noqa: E402
import wizard_rules as rules  # noqa: E402
from scripted_server import ScriptedServer, ok_reply  # noqa: E402

EXAMPLES = os.path.join(HERE, "..", "tests", "support", "wizard_rules.txt")
SKIN_DAT = (b"[Skin]\r\nAnchore=2\r\nStretch=1\r\nBackgroundTransparency=30\r\n"
            b"SelectionTransparency=70\r\n")


def unescape(field):
    """A field's bytes, its escapes (\\xNN, \\r, \\n, \\t, \\\\) as the bytes they stand for."""
    named = {b"r": b"\r", b"n": b"\n", b"t": b"\t"}
    return re.sub(rb"\\(x[0-9A-Fa-f]{2}|.)", lambda m: bytes.fromhex(m.group(1)[1:].decode())
                  if len(m.group(1)) == 3 else named.get(m.group(1), m.group(1)),
                  field.strip(b" \t"))


def examples():
    """(line, rule, verdict, [fields as bytes]) of every example line."""
    with open(EXAMPLES, "rb") as f:
        for line in f:
            line = line.strip()
            if line and not line.startswith(b"#"):
                parts = line.split(b"|")
                yield (line.decode(), parts[0].strip().decode(), parts[1].strip().decode(),
                       [unescape(part) for part in parts[2:]])


def request_verdict(url):
    parsed = rules.Url(url.decode("latin-1"))
    if not parsed.supported():
        return "unsupported"
    return "malformed" if parsed.malformed else parsed.authority() + " " + parsed.request_target()


def redirect_verdict(origin, location, followed):
    target, why = rules.next_redirect(rules.Url(origin.decode("latin-1")),
                                      location.decode("latin-1"), int(followed))
    return why.split(":")[0] if why else "to " + target


def setup_verdict(digest, index, setup):
    return rules.setup_voucher(digest == b"digest", index.startswith(b"signed"),
                               b"https" in index, setup == b"https") or "authenticode"


def sums_verdict(name, text):
    digest = rules.sum_for(rules.read_sums(text), name)
    return digest.hex() if digest else "none"


def folder_verdict(*names):
    clash = rules.first_clash(list(names))
    return "refused " + clash[0].decode() if clash else "ok"


VERDICTS = {
    "name": lambda name: "refused" if rules.why_not_plain(name) else "ok",
    "partner": lambda text: "refused" if rules.why_not_partner_id(text) else "ok",
    "digest": lambda word: "ok" if rules.parse_digest_word(word) else "refused",
    "sums": sums_verdict,
    "request": request_verdict,
    "redirect": redirect_verdict,
    "status": lambda status: ("followed" if int(status) in rules.REDIRECTS_FOLLOWED
                              else "not followed"),
    "setup": setup_verdict,
    "skin": lambda text=b"": " ".join(map(str, rules.skin_settings(text)[0])),
    "folder": folder_verdict,
}


class WizardRules(unittest.TestCase):
    def test_example_lines_give_the_wizards_verdicts(self):
        seen = set()
        for line, rule, verdict, fields in examples():
            with self.subTest(line=line):
                self.assertEqual(VERDICTS[rule](*fields), verdict)
            seen.add(rule)
        self.assertEqual(seen, set(VERDICTS))


def tool(*args):
    """(exit code, stdout, stderr) of the tool run in this process."""
    out, err = io.StringIO(), io.StringIO()
    argv = sys.argv
    sys.argv = ["orvex_publish.py"] + list(args)
    try:
        with contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
            code = orvex_publish.main()
    finally:
        sys.argv = argv
    return code, out.getvalue(), err.getvalue()


def tree(folder):
    """{relative path: bytes} of every file under folder."""
    found = {}
    for where, _, files in os.walk(folder):
        for name in files:
            with open(os.path.join(where, name), "rb") as f:
                found[os.path.relpath(os.path.join(where, name), folder)] = f.read()
    return found


class Publishing(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="orvex-publish-test.")
        self.addCleanup(shutil.rmtree, self.dir)
        os.chdir(self.dir)
        self.assertEqual(tool("--keygen", "partner.key")[0], 0)
        self.package({"Skin.dat": SKIN_DAT, "skin.bmp": b"BM bitmap", "extra.txt": b"x"})
        with open("OrvexSetup.exe", "wb") as f:
            f.write(b"MZ setup")

    def package(self, files):
        shutil.rmtree("package", ignore_errors=True)
        os.mkdir("package")
        for name, data in files.items():
            with open(os.path.join("package", name), "wb") as f:
                f.write(data)

    def publish(self, *extra, key="partner.key", partner="acme"):
        return tool("--partner", partner, "--package", "package", "--title", "Acme Skin",
                    "--site", "http://127.0.0.1:8080", "--setup-url",
                    "http://127.0.0.1:8080/dl/OrvexSetup.exe", "--setup-file", "OrvexSetup.exe",
                    "--key", key, "--out", "out", *extra)

    def test_refusals_leave_the_last_tree_as_it_was(self):
        self.assertEqual(self.publish()[0], 0)
        published = tree("out")
        with open("private.pub", "wb") as f:
            f.write(partner_keys.read_file("partner.key"))
        shutil.copy("partner.key", "open.key")
        os.chmod("open.key", 0o644)
        cases = [  # (what, package files or None, arguments, the message)
            ("a mistyped key", None, {"key": "partner.kye"}, "partner.kye does not exist"),
            ("a key others can read", None, {"key": "open.key"}, "chmod 600 open.key"),
            ("a private key to trust", None, {"extra": ("--program", "OrvexSetup.exe",
                                                        "--also-trust", "private.pub")},
             "private.pub holds a private key"),
            ("a partner id with a trailing dot", None, {"partner": "acme."}, "ends in a dot"),
            ("a device name", {"NUL.txt": b"", "skin.bmp": b"BM"}, {}, "NUL is a device name"),
            ("two names of one file", {"Skin.dat": b"", "SKIN.DAT": b"", "skin.bmp": b"BM"}, {},
             "it is the same file as"),
            ("no skin.bmp", {"Skin.dat": SKIN_DAT, "Acme Skin.bmp": b"BM"}, {},
             "rename Acme Skin.bmp to skin.bmp"),
        ]
        for what, files, change, message in cases:
            with self.subTest(what):
                if files is not None:
                    self.package(files)
                code, _, error = self.publish(*change.get("extra", ()),
                                              key=change.get("key", "partner.key"),
                                              partner=change.get("partner", "acme"))
                self.assertEqual((code, message in error), (2, True), error)
                self.assertEqual(tree("out"), published)
        self.assertEqual(sorted(os.listdir(".")), sorted(
            ["OrvexSetup.exe", "open.key", "out", "package", "partner.key", "partner.key.pub",
             "private.pub"]))
        os.rename("out", "mine")
        with open("mine/notes.txt", "w") as f:
            f.write("mine")
        self.package({"skin.bmp": b"BM"})
        self.assertIn("mine holds notes.txt, which this tool did not write",
                      self.publish("--out", "mine")[2])

    def test_publishing_again_replaces_the_tree_whole(self):
        self.assertEqual(self.publish()[0], 0)
        self.assertIn("site/pkg/acme/extra.txt", tree("out"))
        os.remove("package/extra.txt")
        code, report, _ = self.publish()
        self.assertEqual(code, 0)
        published = tree("out")
        self.assertEqual(sorted(published), [
            "beside-program/OrvexDownload.dat", "beside-program/partner.dat",
            "site/cb/partner/acme/urls.cb", "site/cb/partner/acme/urls.cb.sig",
            "site/dl/OrvexSetup.exe", "site/pkg/acme/SHA256SUMS", "site/pkg/acme/SHA256SUMS.sig",
            "site/pkg/acme/Skin.dat", "site/pkg/acme/skin.bmp"])
        self.assertEqual(published["site/dl/OrvexSetup.exe"], b"MZ setup")
        self.assertIn("the wizard's base URL for it is http://127.0.0.1:8080/cb/partner/", report)
        # A signature that cannot be made once the files are copied: the last tree stays whole.
        self.package({"Skin.dat": SKIN_DAT, "skin.bmp": b"BM new"})
        with mock.patch.object(partner_keys, "sign", side_effect=OSError("openssl failed")):
            code, _, error = self.publish()
        self.assertEqual((code, "out is as it was before" in error), (3, True), error)
        self.assertEqual(tree("out"), published)
        self.assertEqual([n for n in os.listdir(".") if n.startswith(".out")], [])


class Checking(unittest.TestCase):
    def test_every_file_gets_the_wizards_verdict(self):
        """--check against a scripted server serving a published tree whose urls.cb lost its CR
        LF line ends on the way, with a download list the wizard refuses in places."""
        folder = tempfile.mkdtemp(prefix="orvex-check-test.")
        self.addCleanup(shutil.rmtree, folder)
        os.chdir(folder)
        tool("--keygen", "partner.key")
        os.mkdir("package")
        for name, data in {"Skin.dat": SKIN_DAT, "skin.bmp": b"BM", "Acme Skin.bmp": b"BM2",
                           "Café.txt": b"cafe"}.items():
            with open(os.path.join("package", name), "wb") as f:
                f.write(data)
        with ScriptedServer() as server:
            site = "http://127.0.0.1:%d" % server.port
            self.assertEqual(tool("--partner", "acme", "--package", "package", "--title", "T",
                                  "--site", site, "--setup-url", site + "/dl/s.exe", "--key",
                                  "partner.key", "--out", "out")[0], 0)
            for path, data in tree("out/site").items():
                if path.endswith("urls.cb"):
                    data = data.replace(b"\r\n", b"\n")
                server.routes[rules.percent_encode_path(
                    "/" + path.encode().decode("latin-1"))] = ok_reply(data)
            with open("list.dat", "wb") as f:
                f.write("T\r\nSkin.dat\r\nAcme Skin.bmp\r\nCafé.txt\r\nSKIN.DAT\r\nNUL.txt\r\n\r\n"
                        .encode())
            code, report, _ = tool("--check", site + "/cb/partner/acme/urls.cb", "--pub",
                                   "partner.key.pub", "--list", "list.dat")
        lines = [(line[:10].strip(), line[10:30].strip(), line[31:])
                 for line in report.splitlines()]
        self.assertEqual((code, [line[:2] for line in lines]), (1, [
            ("ok", "partner"), ("FAILED", "urls.cb"), ("ok", "SHA256SUMS"), ("ok", "Skin.dat"),
            ("ok", "Acme Skin.bmp"), ("ok", "Café.txt"), ("FAILED", "SKIN.DAT"),
            ("FAILED", "NUL.txt"), ("FAILED", '""'),
            ("FAILED", "s.exe"),
            ("FAILED", "messenger"), ("ok", "messenger")]), report)
        for name, text in (("urls.cb", "its CR LF line ends were made LF on the way"),
                           ("SKIN.DAT", "the same file as Skin.dat"),
                           ("NUL.txt", "NUL is a device name"),
                           ("messenger", "name Acme Skin.bmp skin.bmp")):
            self.assertIn(text, [t for _, n, t in lines if n == name][0])


if __name__ == "__main__":
    unittest.main()
