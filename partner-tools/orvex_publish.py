"""Publishes a partner's signed skin package for OrvexDownload.exe, makes the partner's edition of
the program, and checks a hosted package as the wizard reads it.

  orvex_publish.py --keygen partner.key
      makes a P-256 signing key (keep it off the web server) and partner.key.pub beside it
  orvex_publish.py --edition PROGRAM --key partner.key [--also-trust OLD.pub ...] --out OUT
      writes OUT: the unsigned PROGRAM carrying the public half of the key and every OLD.pub,
      to be signed (tools/sign-program) and handed out
  orvex_publish.py --partner ID --package DIR --title TITLE --site URL --setup-url URL
                   [--setup-file FILE] --key partner.key [--program PROGRAM
                   [--also-trust OLD.pub ...]] --out DIR
      writes DIR/site/ (cb/partner/ID/urls.cb and .sig; pkg/ID/ with the files, SHA256SUMS and
      SHA256SUMS.sig; the setup FILE where --setup-url names it under --site) to upload under
      URL, and DIR/beside-program/ (partner.dat, OrvexDownload.dat, and with --program the
      edition OrvexDownload.exe) to hand out. A PROGRAM that carries keys already (an edition
      in use) is handed out as it is, and the tool warns when it lacks the signing key.
  orvex_publish.py --check INDEX_URL [--program EDITION] [--pub KEY.pub ...]
                   [--list OrvexDownload.dat] [--partner ID] [--cafile F]
      fetches a hosted package and says what the wizard would do with it, one line per file,
      against the keys of the edition and of the .pub files; exit 0 when every file holds

Exit codes: 0 done; 1 --check found a file that does not hold; 2 a bad argument or input,
refused before anything is written; 3 publishing failed while writing, --out left as it was.
Python's standard library and Debian's openssl only (osslsigncode, where installed, for the
setup's Authenticode signature in --check).
"""

import argparse
import os
import ssl
import sys
import tempfile

sys.dont_write_bytecode = True  # nothing written beside the tool
import partner_keys  # noqa: E402
import program_edition  # noqa: E402
import publishing  # noqa: E402
import site_check  # noqa: E402
from program_edition import EditionError  # noqa: E402
from refused import Refused  # noqa: E402


def keygen(key):
    if os.path.lexists(key):
        raise Refused("%s exists; not overwritten" % key)
    old_mask = os.umask(0o077)
    try:
        program_edition.openssl("ecparam", "-genkey", "-name", "prime256v1", "-noout", "-out",
                                key)
    finally:
        os.umask(old_mask)
    public = program_edition.openssl("ec", "-in", key, "-pubout")
    with open(key + ".pub", "wb") as f:
        f.write(public)
    print("made %s (private: keep it off the web server) and %s.pub, key %s"
          % (key, key, partner_keys.key_id(program_edition.signing_key_public(key))))


def edition(args):
    key_der = partner_keys.check_signing_key(args.key)
    keys, notes = partner_keys.public_keys(args.also_trust)
    for note in notes:
        print("warning: " + note)
    ders = [key_der] + [der for der, _ in keys]
    try:
        data = program_edition.make_edition(args.edition, ders)
    except (OSError, EditionError) as error:
        raise Refused(str(error))
    out = os.path.abspath(args.out)
    # Written beside, then renamed over: OUT is the old program or the new one, never half.
    handle, part = tempfile.mkstemp(prefix=".edition-", dir=os.path.dirname(out))
    try:
        with os.fdopen(handle, "wb") as f:
            f.write(data)
        os.chmod(part, 0o644)
        os.replace(part, out)
    except OSError:
        os.unlink(part)
        raise
    print("wrote %s, carrying partner keys %s"
          % (args.out, ", ".join(partner_keys.key_id(der) for der in ders)))
    print("sign it before handing it out: the edition protects against other programs of the "
          "user only when signed, for instance")
    print("  tools/sign-program %s SIGNED.exe CERT.pem KEY.pem [TIMESTAMP_URL]" % args.out)
    print("(osslsigncode, or signtool on Windows, with the partner's code-signing certificate)")


def check(args):
    """--check: 0 when every file holds, else 1."""
    keys, notes = partner_keys.public_keys(args.pub)
    edition_keys = None
    if args.program:
        try:
            with open(args.program, "rb") as f:
                carried = program_edition.keys_carried(f.read())
        except (OSError, EditionError) as error:
            raise Refused("%s: %s" % (args.program, error))
        edition_keys = (args.program, set(carried))
        keys = [(der, args.program) for der in carried] + \
            [key for key in keys if key[0] not in carried]
    list_data = None
    if args.list:
        try:
            with open(args.list, "rb") as f:
                list_data = f.read()
        except OSError as error:
            raise Refused("--list %s cannot be read: %s" % (args.list, error.strerror))
    elif not keys:
        raise Refused("--check without partner keys (--program EDITION or --pub) needs --list "
                      "OrvexDownload.dat: the names come from SHA256SUMS only with keys")
    try:
        context = ssl.create_default_context(cafile=args.cafile)
    except (OSError, ssl.SSLError) as error:
        raise Refused("--cafile %s cannot be read: %s" % (args.cafile, error))
    for note in notes:
        print("warning: " + note)
    if args.program and not edition_keys[1]:
        print("%s carries no partner keys: checked as such a program reads, nothing signed"
              % args.program)
    checker = site_check.SiteCheck(keys, edition_keys if args.program else None, context)
    site_check.run(checker, args.check, list_data, args.partner)
    return 1 if checker.failures else 0


def arguments():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--keygen", metavar="KEY")
    parser.add_argument("--check", metavar="INDEX_URL")
    parser.add_argument("--pub", action="append", default=[], metavar="KEY.pub",
                        help="a partner's public key file to check against, for --check")
    parser.add_argument("--list", help="OrvexDownload.dat, for --check (default: every sum)")
    parser.add_argument("--cafile", help="extra trusted CA certificates, for --check")
    parser.add_argument("--partner", help="the partner id (for --check, default: the one the "
                        "index URL names)")
    parser.add_argument("--package", help="the folder of the package's files")
    parser.add_argument("--title", help="the package's title")
    parser.add_argument("--site", help="the URL the site folder is served at")
    parser.add_argument("--setup-url", help="the messenger's setup program's URL")
    parser.add_argument("--setup-file", help="that program: its digest goes into urls.cb, and "
                        "it goes into the site tree where --setup-url names it under --site")
    parser.add_argument("--key", help="the private signing key")
    parser.add_argument("--also-trust", action="append", default=[], metavar="PUB",
                        help="another public key for the edition (a key being rotated)")
    parser.add_argument("--edition", metavar="PROGRAM",
                        help="makes the partner's edition of the unsigned PROGRAM as --out")
    parser.add_argument("--program", help="OrvexDownload.exe as built (the edition is made of "
                        "it) or an edition in use (checked against); for --check the edition "
                        "whose keys count")
    parser.add_argument("--out")
    return parser


def run(parser, args):
    if args.keygen:
        keygen(args.keygen)
        return 0
    if args.check:
        return check(args)
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
    publishing.publish(args)
    return 0


def main():
    parser = arguments()
    args = parser.parse_args()
    try:
        return run(parser, args)
    except Refused as refusal:
        print("orvex_publish.py: %s; nothing written" % refusal, file=sys.stderr)
        return 2
    except (OSError, EditionError) as error:
        print("orvex_publish.py: %s" % error, file=sys.stderr)
        return 3
    except KeyboardInterrupt:
        print("orvex_publish.py: interrupted", file=sys.stderr)
        return 3


if __name__ == "__main__":
    sys.exit(main())
