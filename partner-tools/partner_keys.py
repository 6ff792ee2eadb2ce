"""The partner's keys as the tool handles them: the private signing key, checked before
anything is signed with it; public keys from PEM files, which must hold no private key; the
signatures made and checked with openssl, as the wizard checks them (ECDSA P-256 over the
SHA-256 of a file's exact bytes, in DER)."""

import os
import re
import subprocess
import tempfile

import program_edition
from program_edition import EditionError
from refused import Refused

PRIVATE_KEY = re.compile(rb"-----BEGIN [A-Z0-9 ]*PRIVATE KEY-----")
# A private key in DER is small: larger files are not tried as one.
DER_KEY_LARGEST = 8192


def holds_private_key(data):
    """Whether the bytes hold a private key, in PEM (any kind) or, when small, in DER."""
    if PRIVATE_KEY.search(data):
        return True
    if len(data) > DER_KEY_LARGEST:
        return False
    return subprocess.run(["openssl", "pkey", "-inform", "DER", "-noout", "-passin", "pass:"],
                          input=data, capture_output=True).returncode == 0


def file_holds_private_key(path):
    with open(path, "rb") as f:
        tail = b""
        for block in iter(lambda: f.read(1 << 16), b""):
            if PRIVATE_KEY.search(tail + block):
                return True
            tail = block[-64:]
    return os.path.getsize(path) <= DER_KEY_LARGEST and holds_private_key(read_file(path))


def read_file(path):
    with open(path, "rb") as f:
        return f.read()


def check_signing_key(path):
    """The SubjectPublicKeyInfo DER of the signing key's public half, once the key file is
    found to be a P-256 private key that only its owner can read; else Refused."""
    if not os.path.isfile(path):
        raise Refused("the signing key %s does not exist (or is no file): give --key the file "
                      "--keygen made" % path)
    mode = os.stat(path).st_mode & 0o777
    if os.name == "posix" and mode & 0o077:
        raise Refused("the signing key %s can be read or changed by others (mode %03o): "
                      "chmod 600 %s, and make a new key if others may have read it"
                      % (path, mode, path))
    try:
        der = program_edition.openssl("pkey", "-in", path, "-passin", "pass:", "-pubout",
                                      "-outform", "DER")
        program_edition.point_of(der, path)
    except (EditionError, OSError) as error:
        raise Refused("%s is not a usable signing key (a P-256 private key without a "
                      "passphrase, as --keygen makes): %s" % (path, error))
    return der


def public_keys(paths):
    """[(SubjectPublicKeyInfo DER, file)] of the PUBLIC KEY blocks of PEM files; a file that
    holds a private key, or no public key, is refused. Blocks of other kinds are passed over,
    each named in a note: ([(der, file)], [notes])."""
    keys, notes = [], []
    for path in paths:
        if not os.path.isfile(path):
            raise Refused("the public key file %s does not exist" % path)
        if file_holds_private_key(path):
            raise Refused("%s holds a private key, never handed out or checked against: give "
                          "the public key file (--keygen writes KEY.pub beside KEY; openssl pkey "
                          "-in %s -pubout makes one)" % (path, path))
        try:
            found, passed = program_edition.public_keys_in(path)
        except (OSError, EditionError) as error:
            raise Refused("%s: %s" % (path, error))
        notes += ["%s: %s passed over" % (path, what) for what in passed]
        if not found:
            raise Refused("%s holds no usable PUBLIC KEY block" % path)
        keys += [(der, path) for der in found]
    return keys, notes


def key_id(der):
    return program_edition.key_id(der)


def sign(key, path):
    """Writes path.sig, the DER signature by key over path's bytes; OSError when it fails."""
    result = subprocess.run(["openssl", "dgst", "-sha256", "-sign", key, "-out", path + ".sig",
                             path], capture_output=True)
    if result.returncode != 0 or not os.path.getsize(path + ".sig"):
        raise OSError("openssl could not sign %s: %s" % (path, result.stderr.decode().strip()))


def signed_by(keys, data, signature):
    """The first of keys [(der, source)] under which signature (DER) holds over data, or None."""
    with tempfile.TemporaryDirectory(prefix="orvex-verify.") as folder:
        paths = [os.path.join(folder, name) for name in ("data", "sig", "pub")]
        for path, content in zip(paths, (data, signature)):
            with open(path, "wb") as f:
                f.write(content)
        for key in keys:
            with open(paths[2], "wb") as f:
                f.write(key[0])
            result = subprocess.run(["openssl", "dgst", "-sha256", "-verify", paths[2],
                                     "-keyform", "DER", "-signature", paths[1], paths[0]],
                                    capture_output=True)
            if result.returncode == 0:
                return key
    return None
