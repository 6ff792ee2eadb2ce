"""The wizard's own rules for what it reads, in Python, so that the partner tool refuses and
checks exactly what the wizard would: which names it stores, which partner ids it takes, how it
reads its text files, urls.cb's digest word and SHA256SUMS, how it writes a request and which
redirects it follows, what vouches for a setup, and how the messenger reads Skin.dat.

tests/support/wizard_rules.txt holds examples of each with the wizard's verdict; the program's
C++ tests and this tool's tests both check them. Names and texts are bytes (UTF-8), as the
wizard holds them on Windows 10 1903 and later.
"""

import re

PATH_BUFFER = 260  # the wizard's path and line buffers: 259 bytes and a terminating zero
FORBIDDEN_ASCII = b'\\/:<>"|?*'
DEVICES = (b"CON", b"PRN", b"AUX", b"NUL", b"CONIN$", b"CONOUT$")
SUPERSCRIPT_DIGITS = (b"\xc2\xb9", b"\xc2\xb2", b"\xc2\xb3")
ASCII_SPACE = b" \t\n\v\f\r"
REDIRECTS_FOLLOWED = (301, 302, 303, 307, 308)
MOST_REDIRECTS = 5
LONGEST_LOCATION = 2048


# ---- names -----------------------------------------------------------------------------------

def why_not_plain(name):
    """Why the wizard refuses name (bytes) as one file or folder of its own, or None when it
    takes it: empty, not UTF-8, a control or forbidden character, a trailing dot or space, dots
    and spaces alone, or a device name (whatever follows its first dot)."""
    if not name:
        return "it is empty"
    try:
        text = name.decode("utf-8")
    except UnicodeDecodeError:
        return "it is not well-formed UTF-8"
    for c in text:
        if ord(c) < 0x20 or 0x7F <= ord(c) <= 0x9F:
            return "it holds a control character"
        if c.isascii() and c.encode() in FORBIDDEN_ASCII:
            return "it holds %s" % c
    if name[-1:] in (b".", b" "):
        return "it ends in a dot or a space, which Windows drops"
    stem = name.split(b".", 1)[0].rstrip(b" ").upper()
    if stem in DEVICES or (len(stem) == 4 and stem[:3] in (b"COM", b"LPT") and
                           stem[3:4] in b"123456789"):
        return "%s is a device name on Windows" % stem.decode()
    if stem[:3] in (b"COM", b"LPT") and stem[3:] in SUPERSCRIPT_DIGITS:
        return "%s is a device name on Windows" % stem.decode()
    return None


def why_not_partner_id(partner_id):
    """Why the wizard refuses partner_id (bytes, the first line of partner.dat), or None."""
    if len(partner_id) >= PATH_BUFFER:
        return "it is longer than %d bytes" % (PATH_BUFFER - 1)
    return why_not_plain(partner_id)


def folder_key(name):
    """name (bytes) as Windows compares names in one folder: letter case aside, letter by letter
    (a letter whose capital is more than one letter, such as "ß", stays itself)."""
    text = name.decode("utf-8", "surrogateescape")
    return "".join(c.upper() if len(c.upper()) == 1 else c for c in text)


def first_clash(names):
    """(name, the earlier name it is the same file as) for the first of names (bytes, in the
    order the wizard creates them in one folder) that names a file already there, or None."""
    seen = {}
    for name in names:
        key = folder_key(name)
        if key in seen:
            return name, seen[key]
        seen[key] = name
    return None


# ---- text files ------------------------------------------------------------------------------

def read_text(data, legacy="cp1252"):
    """The text of a file beside the program or of urls.cb (bytes) as the wizard reads it: a
    Ctrl-Z ends it, a leading byte-order mark is skipped, CR LF reads as LF, and a file that is
    not well-formed UTF-8 is taken as written in the code page legacy. UTF-8 bytes."""
    data = data.split(b"\x1a", 1)[0]
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    data = data.replace(b"\r\n", b"\n")
    try:
        data.decode("utf-8")
        return data
    except UnicodeDecodeError:
        return data.decode(legacy, "replace").encode("utf-8")


def _characters(text):
    """The UTF-8 characters of text (bytes), each as bytes."""
    return [c.encode("utf-8") for c in text.decode("utf-8", "surrogateescape")]


def download_list(data):
    """(title or None, [names]) of OrvexDownload.dat's bytes: lines of at most 259 bytes (a
    longer one gives several names, never a character split), empty ones included."""
    pieces, piece = [], b""
    for c in _characters(read_text(data)):
        if len(piece) + len(c) > PATH_BUFFER - 1:
            pieces.append(piece)
            piece = b""
        piece += c
        if c == b"\n":
            pieces.append(piece)
            piece = b""
    if piece:
        pieces.append(piece)
    pieces = [p.split(b"\n", 1)[0] for p in pieces]
    return (pieces[0] if pieces else None), pieces[1:]


def index_words(data):
    """(package base URL, setup URL, digest word) of urls.cb's bytes: white-space separated
    words of at most 259 bytes; one word serves as both URLs; the digest word may be empty."""
    words = []
    for word in re.split(rb"[ \t\n\v\f\r]+", read_text(data).strip(ASCII_SPACE)):
        if not word or len(words) == 3:
            break
        kept = b""
        for c in _characters(word):
            if len(kept) + len(c) > PATH_BUFFER - 1:
                break
            kept += c
        words.append(kept)
    base = words[0] if words else b""
    setup = words[1] if len(words) > 1 else base
    return base, setup, words[2] if len(words) > 2 else b""


# ---- what vouches ----------------------------------------------------------------------------

def parse_digest_word(word):
    """The 32 bytes of a digest word ("sha256:" and exactly 64 hexadecimal digits in either
    case), or None for anything else, which the wizard takes as a digest that does not match."""
    if not word.startswith(b"sha256:") or not re.fullmatch(rb"[0-9A-Fa-f]{64}", word[7:]):
        return None
    return bytes.fromhex(word[7:].decode())


def read_sums(data):
    """{name: [digest, ...]} of SHA256SUMS's bytes: per line 64 hexadecimal digits, a space, a
    space or "*", the name; lines end in LF or CR LF; other lines are passed over."""
    sums = {}
    for line in data.split(b"\n"):
        if line.endswith(b"\r"):
            line = line[:-1]
        match = re.fullmatch(rb"([0-9A-Fa-f]{64}) [ *](.+)", line, re.S)
        if match and not line.startswith(b"\\"):
            sums.setdefault(match.group(2), []).append(bytes.fromhex(match.group(1).decode()))
    return sums


def sum_for(sums, name):
    """The digest the sums give for name (compared exactly), or None when no line gives one
    or lines for it disagree."""
    digests = set(sums.get(name, ()))
    return digests.pop() if len(digests) == 1 else None


def setup_voucher(digest, index_signed, index_over_https, setup_over_https):
    """What vouches for the setup besides its Authenticode signature, as the wizard's log names
    it; None when only that signature can. digest: urls.cb gives one and the setup has it."""
    if digest and index_signed:
        return "signed index"
    if digest and index_over_https:
        return "https (its digest in urls.cb)"
    if index_over_https and setup_over_https:
        return "https (urls.cb and the setup)"
    return None


# ---- URLs ------------------------------------------------------------------------------------
# A URL here is a str with one character per byte (bytes decoded as Latin-1, as http.client gives
# header values), so that the rules see the bytes the wizard sees.

def split_uri(text):
    """The five components of a URI reference (RFC 3986, appendix B); each of scheme, authority,
    query and fragment None when absent."""
    match = re.fullmatch(r"(?:([^:/?#]+):)?(?://([^/?#]*))?([^?#]*)(?:\?([^#]*))?(?:#(.*))?",
                         text, re.S)
    return list(match.groups())


def _remove_dot_segments(path):
    output = ""
    while path:
        if path.startswith("../"):
            path = path[3:]
        elif path.startswith("./"):
            path = path[2:]
        elif path.startswith("/./"):
            path = path[2:]
        elif path == "/.":
            path = "/"
        elif path.startswith("/../") or path == "/..":
            path = "/" if len(path) == 3 else path[3:]
            output = output[:max(output.rfind("/"), 0)]
        elif path in (".", ".."):
            path = ""
        else:
            end = path.find("/", 1)
            end = len(path) if end < 0 else end
            output, path = output + path[:end], path[end:]
    return output


def resolve_reference(base, reference):
    """Where reference leads from the absolute URL base (RFC 3986, section 5.2)."""
    b_scheme, b_authority, b_path, b_query, _ = split_uri(base)
    scheme, authority, path, query, fragment = split_uri(reference)
    if scheme is None:
        scheme = b_scheme
        if authority is None:
            authority = b_authority
            if not path:
                path = b_path
                query = query if query is not None else b_query
            elif path.startswith("/"):
                path = _remove_dot_segments(path)
            else:
                if b_authority is not None and not b_path:
                    merged = "/" + path
                else:
                    merged = b_path[:b_path.rfind("/") + 1] + path
                path = _remove_dot_segments(merged)
            return _compose(scheme, authority, path, query, fragment)
    return _compose(scheme, authority, _remove_dot_segments(path), query, fragment)


def _compose(scheme, authority, path, query, fragment):
    text = "" if scheme is None else scheme + ":"
    text += "" if authority is None else "//" + authority
    text += path
    text += "" if query is None else "?" + query
    return text + ("" if fragment is None else "#" + fragment)


def percent_encode_path(text):
    """text as a request line carries it: every space, control byte, byte outside ASCII and "%"
    that begins no %XX written as %XX in capitals."""
    data = text.encode("latin-1")
    out = []
    for i, byte in enumerate(data):
        escaped = (byte == 0x25 and re.fullmatch(rb"[0-9A-Fa-f]{2}", data[i + 1:i + 3]) and
                   i + 2 < len(data))
        out.append(chr(byte) if 0x20 < byte < 0x7F and (byte != 0x25 or escaped)
                   else "%%%02X" % byte)
    return "".join(out)


class Url:
    """A URL as the wizard splits it: scheme, host, port, the path up to its last "/" and the
    file name after it (query and fragment included), and whether it is malformed."""

    def __init__(self, text):
        self.scheme, self.host, self.port = "HTTP", "", 80
        self.directory, self.file_name, self.malformed = "/", "", True
        rest, names_host = text, True
        if "://" in text:
            self.scheme, rest = text.split("://", 1)
        elif ":" in text:
            named = text.split(":", 1)[0]
            names_host = named.lower() not in ("http", "https")
            if not names_host:
                self.scheme = named
        if self.is_https():
            self.port = 443
        if not names_host:
            return
        authority = split_uri("//" + rest)[1]
        path = rest[len(authority):]
        if path.startswith("/"):
            path = path[1:]
        last_slash = path.rfind("/")
        if last_slash >= 0:
            self.directory = path[:last_slash + 1]
            if not self.directory.startswith("/"):
                self.directory = "/" + self.directory
        self.file_name = path[last_slash + 1:]
        self._read_authority(authority)

    def _read_authority(self, authority):
        host_end = authority.find(":")
        if authority.startswith("["):
            host_end = authority.find("]")
            if host_end < 0:
                return
            host_end += 1
            if host_end < len(authority) and authority[host_end] != ":":
                return
        host = authority if host_end < 0 else authority[:host_end]
        if not host or any(ord(c) <= 0x20 or ord(c) == 0x7F or c == "@" for c in host):
            return
        literal = host.startswith("[")
        if any(c in "[]" and not (literal and i in (0, len(host) - 1))
               for i, c in enumerate(host)):
            return
        port = authority[host_end + 1:] if 0 <= host_end < len(authority) - 1 else ""
        if port:
            if not re.fullmatch(r"[0-9]+", port) or not 0 < int(port) <= 65535:
                return
            self.port = int(port)
        self.host, self.malformed = host, False

    def is_https(self):
        return self.scheme.lower() == "https"

    def supported(self):
        return self.scheme.lower() in ("http", "https")

    def request_target(self):
        return percent_encode_path(self.directory + self.file_name)

    def authority(self):
        return self.host + ("" if self.port == (443 if self.is_https() else 80)
                            else ":%d" % self.port)

    def absolute(self):
        return ("https://" if self.is_https() else "http://") + self.authority() + \
            self.directory + self.file_name

    def host_name(self):
        return self.host[1:-1] if self.host.startswith("[") and self.host.endswith("]") \
            else self.host


def next_redirect(origin, location, followed):
    """(target, None) where a followed redirect's Location leads from the URL origin (a Url),
    after followed redirects of the same try; else (target or "", why not) with why one of
    "malformed: ...", "refused: ..." or "too many: ..."."""
    if followed >= MOST_REDIRECTS:
        return "", "too many: more redirects than 5"
    reference = location.strip(" \t\v\f")
    if not reference:
        return "", "malformed: empty Location"
    if len(reference) > LONGEST_LOCATION:
        return "", "malformed: Location longer than 2048 bytes"
    if any(ord(c) < 0x20 or ord(c) == 0x7F for c in reference):
        return "", "malformed: Location with control bytes"
    target = resolve_reference(origin.absolute(), reference).split("#", 1)[0]
    scheme = (split_uri(target)[0] or "").lower()
    following = Url(target)
    if scheme not in ("http", "https") or not following.supported() or following.malformed:
        return target, "refused: not an http or https URL with a host"
    if origin.is_https() and scheme != "https":
        return target, "refused: from https to http"
    return target, None


# ---- the messenger ---------------------------------------------------------------------------

SKIN_SETTINGS = ("Anchore", "Stretch", "BackgroundTransparency", "SelectionTransparency")
SKIN_DEFAULTS = (0, 15, 0, 50)


def skin_settings(data):
    """([Anchore, Stretch, BackgroundTransparency, SelectionTransparency], how many of them the
    file set) from Skin.dat's bytes: white-space separated tokens by position, the first a
    header; each value after its token's first "=" as atol reads it (clamped to 32 bits).
    Reading stops at the first value token that is missing or has no "="."""
    values = list(SKIN_DEFAULTS)
    tokens = re.split(rb"[ \t\n\v\f\r]+", data.strip(ASCII_SPACE))
    read = 0
    for position, token in enumerate(tokens[1:5]):
        if b"=" not in token:
            break
        number = re.match(rb"[+-]?[0-9]*", token.split(b"=", 1)[1]).group()
        digits = number.lstrip(b"+-")
        value = int(digits) if digits else 0
        value = -value if number.startswith(b"-") else value
        values[position] = max(-2 ** 31, min(2 ** 31 - 1, value))
        read += 1
    return values, read
