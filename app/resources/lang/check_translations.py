#!/usr/bin/env python3
"""Checks the translated resource scripts in this folder against the English ones.

Each <tag>.rc must hold every string of the English string table with the same number of "%s"
and no other "%", the English base URL unchanged, and the two wizard pages with the English
controls: same kinds, ids, classes and styles, in the same order (only positions and sizes may
differ). Run it from anywhere; it exits with 1 and lists the faults when there are any.
"""
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
RESOURCES = os.path.dirname(HERE)

LANGUAGES = {
    "de": "LANG_GERMAN, SUBLANG_GERMAN",
    "fr": "LANG_FRENCH, SUBLANG_FRENCH",
    "es": "LANG_SPANISH, SUBLANG_SPANISH_MODERN",
    "it": "LANG_ITALIAN, SUBLANG_ITALIAN",
    "pt-BR": "LANG_PORTUGUESE, SUBLANG_PORTUGUESE_BRAZILIAN",
    "ru": "LANG_RUSSIAN, SUBLANG_DEFAULT",
    "pl": "LANG_POLISH, SUBLANG_DEFAULT",
    "tr": "LANG_TURKISH, SUBLANG_DEFAULT",
    "zh-CN": "LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED",
    "ja": "LANG_JAPANESE, SUBLANG_DEFAULT",
}

# Strings the code uses that the English string table does not hold yet; the table wins once
# it has them.
NEW_ENGLISH = {
    "IDS_PACKAGE_NOT_VERIFIED": "The downloaded package could not be verified: it is damaged or "
                                "has been changed. Nothing was installed.",
    "IDS_SETUP_NOT_SIGNED": "The downloaded setup program is not signed by a trusted publisher. "
                            "It was not started.",
    "IDS_WAITING_FOR_SERVER": "Waiting for the server...",
    "IDS_DONE": "Done",
    "IDS_ERROR_CAPTION": "Error",
    "IDS_WELCOME_CAPTION": "Orvex Contact List Download Wizard",
}
UNTRANSLATED = {"IDS_DEFAULT_BASE_URL"}
# The program loads strings into a 500-byte buffer, in UTF-8 where the system allows it.
MAX_BYTES = 499

TOKEN = re.compile(r'\s*(?:(//.*)|("(?:[^"]|"")*")|([A-Za-z_][A-Za-z_0-9]*|-?\d+)|(.))')
CONTROL_KINDS = {"CTEXT", "LTEXT", "RTEXT", "GROUPBOX", "CONTROL", "PUSHBUTTON", "DEFPUSHBUTTON"}


def tokens(line):
    """The line's tokens: ("s", text) for a string with its escapes resolved, ("w", word)."""
    out = []
    for comment, string, word, other in TOKEN.findall(line):
        if comment:
            break
        if string:
            out.append(("s", string[1:-1].replace('""', '"').replace("\\n", "\n")))
        elif word:
            out.append(("w", word))
        elif other.strip():
            out.append(("w", other))
    return out


def parse(path):
    """The script's LANGUAGE, string table and dialogs, and its lines that hold texts."""
    result = {"language": None, "strings": {}, "dialogs": {}, "text_lines": []}
    dialog = None
    in_table = False
    with open(path, encoding="utf-8", newline="") as f:
        text = f.read()
    for line in text.splitlines():
        words = tokens(line)
        if not words:
            continue
        head = words[0][1]
        if head == "LANGUAGE":
            result["language"] = " ".join(w for _, w in words[1:]).replace(" ,", ",")
        elif head == "STRINGTABLE":
            in_table = True
        elif head == "END":
            in_table = False
            dialog = None
        elif in_table and head.startswith("IDS_"):
            result["strings"][head] = words[1][1] if len(words) > 1 and words[1][0] == "s" else None
            result["text_lines"].append((head, line))
        elif len(words) > 1 and words[1][1] in ("DIALOG", "DIALOGEX"):
            dialog = result["dialogs"].setdefault(head, {"controls": [], "style": None,
                                                          "font": None, "caption": None})
        elif dialog is not None and head in ("STYLE", "FONT"):
            dialog[head.lower()] = " ".join(w for _, w in words[1:])
        elif dialog is not None and head == "CAPTION":
            dialog["caption"] = words[1][1]
            result["text_lines"].append((head, line))
        elif dialog is not None and head in CONTROL_KINDS:
            fields = split_fields(words[1:])
            dialog["controls"].append(control(head, fields))
            if head not in ("GROUPBOX", "CONTROL"):
                result["text_lines"].append((head, line))
    return result, text


def split_fields(words):
    """The comma-separated fields of a control statement, each as its joined words."""
    fields, current = [], []
    for kind, word in words:
        if kind == "w" and word == ",":
            fields.append(current)
            current = []
        else:
            current.append(word if kind == "w" else '"%s"' % word)
    fields.append(current)
    # A control short of fields still compares, unequal, rather than stopping the check.
    fields += [[]] * (9 - len(fields))
    return [" ".join(field) for field in fields]


def control(kind, fields):
    """What must match the English control: everything but its text and its rectangle."""
    if kind == "CONTROL":
        # text, id, class, style, x, y, w, h [, exstyle]
        return (kind, fields[1], fields[2], fields[3]) + tuple(fields[8:])
    # text, id, x, y, w, h [, style [, exstyle]]
    return (kind, fields[1]) + tuple(fields[6:])


def english():
    strings, _ = parse(os.path.join(RESOURCES, "strings.rc"))
    reference = dict(NEW_ENGLISH)
    reference.update(strings["strings"])
    pages, _ = parse(os.path.join(RESOURCES, "OrvexDownload.rc"))
    # The usage box is English in every language, like the switches it lists.
    return reference, {k: v for k, v in pages["dialogs"].items() if k != "IDD_USAGE"}


def conversions(text):
    """How many "%s" the text has, and any other "%" it has."""
    others = [m.group(0) for m in re.finditer(r"%.?", text, re.S) if m.group(0) != "%s"]
    return text.count("%s"), others


def check(tag, reference, pages):
    faults = []
    path = os.path.join(HERE, tag + ".rc")
    if not os.path.exists(path):
        return ["missing"]
    with open(path, "rb") as f:
        data = f.read()
    if data.startswith(b"\xef\xbb\xbf"):
        faults.append("starts with a byte-order mark")
    try:
        data.decode("utf-8")
    except UnicodeDecodeError as error:
        return ["not UTF-8: %s" % error]
    parsed, text = parse(path)
    if "#pragma code_page(65001)" not in text:
        faults.append("no #pragma code_page(65001)")
    if parsed["language"] != LANGUAGES[tag]:
        faults.append("LANGUAGE %s, want %s" % (parsed["language"], LANGUAGES[tag]))
    for name, line in parsed["text_lines"]:
        if re.search(r"\\(?!n)", line):
            faults.append("%s: a backslash other than \\n" % name)

    strings = parsed["strings"]
    for name in sorted(set(strings) - set(reference)):
        faults.append("%s: not in the English string table" % name)
    for name, want in reference.items():
        got = strings.get(name)
        if got is None:
            faults.append("%s: missing" % name)
            continue
        if name in UNTRANSLATED and got != want:
            faults.append("%s: %r, want it unchanged: %r" % (name, got, want))
        got_count, others = conversions(got)
        want_count, _ = conversions(want)
        if got_count != want_count:
            faults.append("%s: %d %%s, the English has %d" % (name, got_count, want_count))
        if others:
            faults.append("%s: other conversions %s" % (name, " ".join(others)))
        if len(got.encode("utf-8")) > MAX_BYTES:
            faults.append("%s: %d bytes in UTF-8, more than %d" % (
                name, len(got.encode("utf-8")), MAX_BYTES))

    for page, english_page in pages.items():
        got = parsed["dialogs"].get(page)
        if got is None:
            faults.append("%s: missing" % page)
            continue
        if got["style"] != english_page["style"]:
            faults.append("%s: STYLE %s" % (page, got["style"]))
        if got["font"] != english_page["font"]:
            faults.append("%s: FONT %s" % (page, got["font"]))
        if [c[:2] for c in got["controls"]] != [c[:2] for c in english_page["controls"]]:
            faults.append("%s: controls %s, the English has %s" % (
                page, [c[:2] for c in got["controls"]], [c[:2] for c in english_page["controls"]]))
        else:
            for at, (mine, theirs) in enumerate(zip(got["controls"], english_page["controls"])):
                if mine != theirs:
                    faults.append("%s: control %d is %s, the English %s" % (page, at, mine, theirs))
    # The pages' captions are the strings the code loads for them.
    captions = (("IDD_WELCOME", "IDS_WELCOME_CAPTION"), ("IDD_PROGRESS", "IDS_WIZARD_CAPTION"))
    for page, name in captions:
        caption = parsed["dialogs"].get(page, {}).get("caption")
        if caption is not None and caption != strings.get(name):
            faults.append("%s: CAPTION differs from %s" % (page, name))
    return faults


def main():
    reference, pages = english()
    failed = False
    for tag in LANGUAGES:
        for fault in check(tag, reference, pages):
            print("%s.rc: %s" % (tag, fault))
            failed = True
    if failed:
        return 1
    print("ok: %d languages, %d strings and %d pages each"
          % (len(LANGUAGES), len(reference), len(pages)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
