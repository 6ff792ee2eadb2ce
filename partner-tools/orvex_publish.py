#!/usr/bin/env python3
"""Publishes a partner's signed skin package for OrvexDownload.exe, makes the partner's edition of
the program, and checks a hosted package.

  orvex_publish.py --keygen partner.key
      makes a P-256 signing key (keep it off the web server) and partner.key.pub beside it
  orvex_publish.py --edition PROGRAM --key partner.key [--also-trust OLD.pub ...] --out OUT
      writes OUT: the unsigned PROGRAM carrying the public half of the key and every OLD.pub,
      to be signed (tools/sign-program) and handed out
  orvex_publish.py --partner ID --package DIR --title TITLE --site URL --setup-url URL
                   [--setup-file FILE] --key partner.key [--program PROGRAM
                   [--also-trust OLD.pub ...]] --out DIR
      writes OUT/site/ (cb/partner/ID/urls.cb and .sig; pkg/ID/ with the files, SHA256SUMS and
      SHA256SUMS.sig) to upload under URL, and OUT/beside-program/ (partner.dat,
      OrvexDownload.dat, and with --program the edition OrvexDownload.exe) to hand out
  orvex_publish.py --check INDEX_URL --pub partner.key.pub [--list OrvexDownload.dat] [--cafile F]
      fetches a hosted package and checks it as the wizard does, one line per file; exit 0 when
      every file holds

A bad argument or input ends the tool with exit code 2 and a message, before it writes
anything. Python's standard library and Debian's openssl only.
"""

import argparse
import hashlib
import os
import re
import shutil
import ssl
import subprocess
import sys
import tempfile
import urllib.error
import urllib.request

import program_edition
from program_edition import EditionError

SUMS = "SHA256SUMS"
PRIVATE_KEY = re.compile(rb"-----BEGIN [A-Z0-9 ]*PRIVATE KEY-----")
# A private key in DER is small: larger files are not tried as one.
DER_KEY_LARGEST = 8192


class Refused(Exception):
    """A bad argument or input: the tool ends with exit code 2 before writing anything."""


def openssl(*args, data=None):
    try:
        return program_edition.openssl(*args, data=data)
    except EditionError as error:
        raise SystemExit(str(error))


def key_id(public_pem):
    """The first 16 hexadecimal digits of the key's SubjectPublicKeyInfo's SHA-256, as the
    wizard's log names it."""
    der = openssl("pkey", "-pubin", "-outform", "DER", data=public_pem.encode())
    return hashlib.sha256(der).hexdigest()[:16]


def sign(key, path):
    openssl("dgst", "-sha256", "-sign", key, "-out", path + ".sig", path)


def keygen(key):
    if os.path.exists(key):
        raise SystemExit("%s exists; not overwritten" % key)
    old_mask = os.umask(0o077)
    try:
        openssl("ecparam", "-genkey", "-name", "prime256v1", "-noout", "-out", key)
    finally:
        os.umask(old_mask)
    public = openssl("ec", "-in", key, "-pubout").decode()
    with open(key + ".pub", "w") as f:
        f.write(public)
    print("made %s (private: keep it off the web server) and %s.pub, key %s"
          % (key, key, key_id(public)))


def sha256_of(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 16), b""):
            digest.update(block)
    return digest.hexdigest()


# ---- the edition ----------------------------------------------------------------------------

def edition_keys(key, also_trust):
    """The SubjectPublicKeyInfo DER of the signing key's public half and of every key in the
    --also-trust files; a block of another kind or without its END line is passed over, named."""
    try:
        keys = [program_edition.signing_key_public(key)]
        for path in also_trust:
            found, passed = program_edition.public_keys_in(path)
            for what in passed:
                print("%s: %s passed over" % (path, what), file=sys.stderr)
            if not found:
                raise Refused("%s holds no usable PUBLIC KEY block" % path)
            keys += found
    except (OSError, EditionError) as error:
        raise Refused(str(error))
    return keys


def edition_bytes(program, key, also_trust):
    """(the edition's bytes, the ids of its keys), or Refused."""
    keys = edition_keys(key, also_trust)
    try:
        data = program_edition.make_edition(program, keys)
    except (OSError, EditionError) as error:
        raise Refused(str(error))
    return data, [program_edition.key_id(der) for der in keys]


def write_edition(data, ids, out):
    with open(out, "wb") as f:
        f.write(data)
    print("wrote %s, carrying partner keys %s" % (out, ", ".join(ids)))
    print("sign it before handing it out: the edition protects against other programs of the "
          "user only when signed, for instance")
    print("  tools/sign-program %s SIGNED.exe CERT.pem KEY.pem [TIMESTAMP_URL]" % out)
    print("(osslsigncode, or signtool on Windows, with the partner's code-signing certificate)")


def edition(args):
    data, ids = edition_bytes(args.edition, args.key, args.also_trust)
    write_edition(data, ids, args.out)


# ---- publishing -----------------------------------------------------------------------------

def holds_private_key(path):
    """Whether the file holds a private key, in PEM (any kind) or, for a small file, in DER."""
    with open(path, "rb") as f:
        tail = b""
        for block in iter(lambda: f.read(1 << 16), b""):
            if PRIVATE_KEY.search(tail + block):
                return True
            tail = block[-64:]
    if os.path.getsize(path) > DER_KEY_LARGEST:
        return False
    return subprocess.run(["openssl", "pkey", "-inform", "DER", "-in", path, "-noout",
                           "-passin", "pass:"], capture_output=True).returncode == 0


def check_package_folder(package, key):
    """Refuses a package folder that holds a link, a private key or the signing key's file,
    anywhere in it; returns the names of its files to publish."""
    if os.path.islink(package) or not os.path.isdir(package):
        raise Refused("%s is not a folder (or is a link)" % package)
    for folder, dirs, files in os.walk(package):
        for name in dirs + files:
            path = os.path.join(folder, name)
            if os.path.islink(path):
                raise Refused("%s is a link: nothing in the package folder is followed" % path)
        for name in files:
            path = os.path.join(folder, name)
            if os.path.exists(key) and os.path.samefile(path, key):
                raise Refused("the signing key %s lies in the package folder: keep it elsewhere"
                              % key)
            if holds_private_key(path):
                raise Refused("%s holds a private key: it is never published" % path)
    names = sorted(n for n in os.listdir(package)
                   if os.path.isfile(os.path.join(package, n)) and n not in (SUMS, SUMS + ".sig"))
    if not names:
        raise Refused("%s holds no file" % package)
    return names


def publish(args):
    if not re.fullmatch(r"[A-Za-z0-9._-]+", args.partner) or args.partner in (".", ".."):
        raise Refused("the partner id must be a plain name")
    names = check_package_folder(args.package, args.key)
    program = edition_bytes(args.program, args.key, args.also_trust) if args.program else None
    site = os.path.join(args.out, "site")
    index_folder = os.path.join(site, "cb", "partner", args.partner)
    package_folder = os.path.join(site, "pkg", args.partner)
    beside = os.path.join(args.out, "beside-program")
    for folder in (index_folder, package_folder, beside):
        os.makedirs(folder, exist_ok=True)
    for name in names:
        shutil.copyfile(os.path.join(args.package, name), os.path.join(package_folder, name))
    sums = os.path.join(package_folder, SUMS)
    with open(sums, "w", newline="\n") as f:
        for name in names:
            f.write("%s  %s\n" % (sha256_of(os.path.join(package_folder, name)), name))
    sign(args.key, sums)
    setup = args.setup_url
    if args.setup_file:
        setup += " sha256:" + sha256_of(args.setup_file)
    index = os.path.join(index_folder, "urls.cb")
    with open(index, "w", newline="\r\n") as f:
        f.write("%s/pkg/%s/\n%s\n" % (args.site.rstrip("/"), args.partner, setup))
    sign(args.key, index)
    public = openssl("ec", "-in", args.key, "-pubout").decode()
    with open(os.path.join(beside, "partner.dat"), "w", newline="\r\n") as f:
        f.write(args.partner + "\n")
    with open(os.path.join(beside, "OrvexDownload.dat"), "w", newline="\r\n") as f:
        f.write("\n".join([args.title] + names) + "\n")
    print("published %d files for %s, signed by key %s"
          % (len(names), args.partner, key_id(public)))
    print("upload %s to %s" % (site, args.site))
    if program:
        write_edition(program[0], program[1], os.path.join(beside, "OrvexDownload.exe"))
        print("hand out %s, the edition signed" % beside)
    else:
        print("no key file is handed out: the program carries the partner's keys. Make the "
              "partner's edition with --edition PROGRAM --key %s --out OrvexDownload.exe (or "
              "publish with --program PROGRAM), sign it and hand it out with %s"
              % (args.key, beside))


# ---- --check --------------------------------------------------------------------------------

class Checker:
    def __init__(self, pub, cafile):
        try:
            self.keys, passed = program_edition.public_keys_in(pub)
        except (OSError, EditionError) as error:
            raise Refused(str(error))
        for what in passed:
            print("%s: %s passed over" % (pub, what), file=sys.stderr)
        if not self.keys:
            raise Refused("%s holds no usable PUBLIC KEY block" % pub)
        self.context = ssl.create_default_context(cafile=cafile)
        self.failures = 0
        self.folder = tempfile.mkdtemp(prefix="orvex-check.")

    def report(self, ok, name, text):
        self.failures += 0 if ok else 1
        print("%-6s %-20s %s" % ("ok" if ok else "FAILED", name, text))

    def fetch(self, url):
        """(status, bytes): status 200 or what the server said, or the error's text."""
        try:
            with urllib.request.urlopen(url, timeout=30, context=self.context) as reply:
                return reply.status, reply.read()
        except urllib.error.HTTPError as error:
            return error.code, b""
        except (urllib.error.URLError, OSError) as error:
            return str(getattr(error, "reason", error)), b""

    def signed_by(self, data, signature):
        """The id of the key whose signature holds, or None."""
        paths = [os.path.join(self.folder, n) for n in ("data", "sig", "pub")]
        for path, content in zip(paths[:2], (data, signature)):
            with open(path, "wb") as f:
                f.write(content)
        for key in self.keys:
            with open(paths[2], "wb") as f:
                f.write(key)
            result = subprocess.run(["openssl", "dgst", "-sha256", "-verify", paths[2],
                                     "-keyform", "DER", "-signature", paths[1], paths[0]],
                                    capture_output=True)
            if result.returncode == 0:
                return program_edition.key_id(key)
        return None

    def signed_file(self, url, name):
        """The bytes of a file whose signature holds, or None (reported)."""
        status, data = self.fetch(url)
        if status != 200:
            self.report(False, name, "status %s" % status)
            return None
        sig_status, signature = self.fetch(url + ".sig")
        if sig_status != 200:
            self.report(False, name, "%s.sig: status %s" % (name, sig_status))
            return None
        key = self.signed_by(data, signature)
        self.report(key is not None, name,
                    "signature by key %s" % key if key else "signature by none of the keys")
        return data if key else None

    def run(self, index_url, list_file):
        index = self.signed_file(index_url, "urls.cb")
        if index is None:
            return
        words = index.split()
        if len(words) < 2:
            self.report(False, "urls.cb", "fewer than two words")
            return
        base, setup_url = words[0].decode(), words[1].decode()
        digest_word = words[2].decode() if len(words) > 2 else None
        sums = self.signed_file(base + SUMS, SUMS)
        if sums is None:
            return
        digests = {}
        for line in sums.decode("utf-8", "replace").splitlines():
            match = re.fullmatch(r"([0-9a-fA-F]{64}) [ *](.+)", line)
            if match:
                digests.setdefault(match.group(2), set()).add(match.group(1).lower())
        if list_file:
            with open(list_file, encoding="utf-8-sig") as f:
                names = f.read().splitlines()[1:]
        else:
            names = list(digests)
        for name in names:
            expected = digests.get(name)
            if not expected or len(expected) != 1:
                self.report(False, name, "no single line in SHA256SUMS")
                continue
            status, data = self.fetch(base + name)
            if status != 200:
                self.report(False, name, "status %s" % status)
                continue
            actual = hashlib.sha256(data).hexdigest()
            self.report(actual in expected, name, "sha256:%s%s" % (
                actual, "" if actual in expected else " differs from SHA256SUMS"))
        self.check_setup(setup_url, digest_word)

    def check_setup(self, url, digest_word):
        name = url.rsplit("/", 1)[-1] or url
        status, data = self.fetch(url)
        if status != 200:
            self.report(False, name, "status %s" % status)
        elif digest_word is None:
            self.report(True, name, "no digest in urls.cb: its Authenticode signature must vouch")
        else:
            actual = "sha256:" + hashlib.sha256(data).hexdigest()
            self.report(actual == digest_word.lower(), name, "%s%s" % (
                actual, "" if actual == digest_word.lower() else " differs from urls.cb's"))


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--keygen", metavar="KEY")
    parser.add_argument("--check", metavar="INDEX_URL")
    parser.add_argument("--pub", help="the partner's public key (partner.key.pub), for --check")
    parser.add_argument("--list", help="OrvexDownload.dat, for --check (default: every sum)")
    parser.add_argument("--cafile", help="extra trusted CA certificates, for --check")
    parser.add_argument("--partner")
    parser.add_argument("--package", help="the folder of the package's files")
    parser.add_argument("--title", help="the package's title")
    parser.add_argument("--site", help="the URL the site folder is served at")
    parser.add_argument("--setup-url", help="the messenger's setup program's URL")
    parser.add_argument("--setup-file", help="that program, for its digest in urls.cb")
    parser.add_argument("--key", help="the private signing key")
    parser.add_argument("--also-trust", action="append", default=[], metavar="PUB",
                        help="another public key for the edition (a key being rotated)")
    parser.add_argument("--edition", metavar="PROGRAM",
                        help="makes the partner's edition of the unsigned PROGRAM as --out")
    parser.add_argument("--program", help="OrvexDownload.exe as built, for the edition beside "
                        "the published package")
    parser.add_argument("--out")
    args = parser.parse_args()
    try:
        return run(parser, args)
    except Refused as refusal:
        print("orvex_publish.py: %s; nothing written" % refusal, file=sys.stderr)
        return 2


def run(parser, args):
    if args.keygen:
        keygen(args.keygen)
        return 0
    if args.check:
        if not args.pub:
            parser.error("--check needs --pub")
        checker = Checker(args.pub, args.cafile)
        try:
            checker.run(args.check, args.list)
        finally:
            shutil.rmtree(checker.folder, ignore_errors=True)
        return 1 if checker.failures else 0
    if args.edition:
        if not args.key or not args.out:
            parser.error("--edition needs --key and --out")
        edition(args)
        return 0
    missing = [o for o in ("partner", "package", "title", "site", "setup_url", "key", "out")
               if getattr(args, o) is None]
    if missing:
        parser.error("publishing needs " + ", ".join("--" + m.replace("_", "-") for m in missing))
    if args.also_trust and not args.program:
        parser.error("--also-trust puts keys into the edition: it goes with --program")
    publish(args)
    return 0


if __name__ == "__main__":
    sys.exit(main())
