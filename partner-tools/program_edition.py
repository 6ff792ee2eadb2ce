"""The partner's edition of OrvexDownload.exe: the program with the partner's public keys in its
key block, which the program reads from its own file at start.

The block lies in the program's read-only data, so that an Authenticode signature of the
edition covers it. It is found by its mark, which occurs once in the program, and filled in
place; the PE checksum is made anew. Its bytes (app/trust/partner_key.h in the sources):
  0  16  the mark "ORVEX-KEYS-BLOCK"
 16   1  the format, 1
 17   1  how many keys it holds, at most 4
 18   2  zero
 20  64  per slot, 4 of them: an ECDSA P-256 point, X then Y, 32 bytes each, big-endian; the
         slots after the last key zero

Python's standard library and Debian's openssl only.
"""

import hashlib
import re
import struct
import subprocess

MARK = b"ORVEX-KEYS-BLOCK"
FORMAT = 1
SLOTS = 4
POINT_SIZE = 64
BLOCK_SIZE = len(MARK) + 4 + SLOTS * POINT_SIZE
# Every SubjectPublicKeyInfo of a P-256 key with an uncompressed point starts so; X and Y follow.
P256_PREFIX = bytes.fromhex("3059301306072a8648ce3d020106082a8648ce3d030107034200") + b"\x04"
# A PEM block's body holds no dash, so a block whose END line is missing cannot reach into the
# next block: it spoils only itself.
PEM_BLOCK = re.compile(rb"-----BEGIN ([A-Z0-9 ]+)-----([^-]*)-----END ([A-Z0-9 ]+)-----")
BEGIN = re.compile(rb"-----BEGIN [A-Z0-9 ]+-----")


class EditionError(Exception):
    """A program or key that cannot make an edition, with the reason."""


def openssl(*args, data=None):
    result = subprocess.run(["openssl"] + list(args), input=data, capture_output=True)
    if result.returncode != 0:
        raise EditionError("openssl %s failed: %s" % (args[0], result.stderr.decode().strip()))
    return result.stdout


def key_id(der):
    """The key's name in the wizard's log: the first 16 hexadecimal digits of the SHA-256 of
    its SubjectPublicKeyInfo."""
    return hashlib.sha256(der).hexdigest()[:16]


def point_of(der, source):
    if len(der) != len(P256_PREFIX) + POINT_SIZE or not der.startswith(P256_PREFIX):
        raise EditionError("%s: not an ECDSA P-256 public key" % source)
    return der[len(P256_PREFIX):]


def public_keys_in(path):
    """([SubjectPublicKeyInfo DER], [what was passed over]) of the PUBLIC KEY blocks of a PEM
    file; openssl takes each apart, so a point off the curve is refused."""
    with open(path, "rb") as f:
        text = f.read()
    keys, passed = [], []
    blocks = list(PEM_BLOCK.finditer(text))
    for match in blocks:
        label, body, end = match.groups()
        if label != b"PUBLIC KEY" or end != label:
            passed.append("a %s block" % label.decode())
            continue
        pem = b"-----BEGIN PUBLIC KEY-----\n" + body.strip() + b"\n-----END PUBLIC KEY-----\n"
        keys.append(openssl("pkey", "-pubin", "-outform", "DER", data=pem))
    whole = sum(1 for _ in BEGIN.finditer(text))
    if whole > len(blocks):
        passed.append("%d block(s) without their END line" % (whole - len(blocks)))
    return keys, passed


def signing_key_public(key):
    """The SubjectPublicKeyInfo DER of a private key file's public half."""
    return openssl("pkey", "-in", key, "-pubout", "-outform", "DER")


def pe_fields(data):
    """(offset of the checksum, size of the certificate table) from a PE file's headers."""
    if data[:2] != b"MZ" or len(data) < 64:
        raise EditionError("not a Windows program")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise EditionError("not a Windows program")
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    if magic not in (0x10B, 0x20B):
        raise EditionError("not a Windows program")
    directories = optional + (96 if magic == 0x10B else 112)
    certificate_size = struct.unpack_from("<I", data, directories + 8 * 4 + 4)[0]
    return optional + 64, certificate_size


def pe_checksum(data, checksum_at):
    """The PE checksum of data, its own field counted as zero: the 16-bit words added with
    their carries folded back, plus the file's length."""
    length = len(data)
    data = data[:checksum_at] + b"\0\0\0\0" + data[checksum_at + 4:] + b"\0" * (length % 2)
    total = sum(struct.unpack("<%dH" % (len(data) // 2), data))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + length) & 0xFFFFFFFF


def key_block_at(data):
    """The offset of the program's key block; refused unless the mark occurs exactly once."""
    found = [m.start() for m in re.finditer(re.escape(MARK), data)]
    if len(found) != 1:
        raise EditionError("not an OrvexDownload.exe with a key block (its mark occurs %d times)"
                           % len(found))
    at = found[0]
    if len(data) < at + BLOCK_SIZE or data[at + len(MARK)] != FORMAT:
        raise EditionError("its key block is of another format")
    return at


def carried_keys(data):
    """How many keys the program's block holds."""
    return data[key_block_at(data) + len(MARK) + 1]


def keys_carried(data):
    """The SubjectPublicKeyInfo DER of each key the program's block holds, in its order."""
    at = key_block_at(data) + len(MARK) + 4
    return [P256_PREFIX + data[at + i * POINT_SIZE:at + (i + 1) * POINT_SIZE]
            for i in range(min(carried_keys(data), SLOTS))]


def make_edition(program, keys):
    """The bytes of program with keys (SubjectPublicKeyInfo DER, the first the signing key's)
    in its block. Refused: a program that is signed or already carries keys, no key or more
    than the block holds, a key that is no P-256 key, the same key twice."""
    with open(program, "rb") as f:
        data = bytearray(f.read())
    try:
        checksum_at, certificate_size = pe_fields(data)
        at = key_block_at(bytes(data))
    except EditionError as error:
        raise EditionError("%s: %s" % (program, error))
    if certificate_size:
        raise EditionError("%s is signed: make the edition from the unsigned program, then sign "
                           "the edition" % program)
    if data[at + len(MARK) + 1]:
        raise EditionError("%s already carries partner keys: make the edition from the program "
                           "as built" % program)
    if not keys or len(keys) > SLOTS:
        raise EditionError("an edition carries 1 to %d keys, not %d" % (SLOTS, len(keys)))
    if len(set(keys)) != len(keys):
        raise EditionError("the same key is given twice")
    points = b"".join(point_of(der, "key %s" % key_id(der)) for der in keys)
    block = MARK + bytes([FORMAT, len(keys), 0, 0]) + points
    block += bytes(BLOCK_SIZE - len(block))
    data[at:at + BLOCK_SIZE] = block
    struct.pack_into("<I", data, checksum_at, pe_checksum(bytes(data), checksum_at))
    return bytes(data)
