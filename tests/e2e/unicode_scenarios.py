"""Scenarios with names and texts that the prefix's ANSI code page (1252) cannot spell: a user's
profile, the messenger's folder, the partner, the title and package file names in other
alphabets; and beside them a title that an older tool saved in code page 1252.

The UI driver speaks code page 1252, so what it cannot spell is set up with regedit from a
UTF-16 .reg file and read back through regedit's export.
"""

import os
import re

from harness import APP_PATHS_KEY, PREFS_KEY, RigError
import scenarios
from scenarios import (CUSTOMIZE_KEY, LOG_PATH, OWNERS_KEY, PACKAGE, SETUP_PATH, SKIN_KEY,
                       check_log_has, download_list, eq, leave, log_lines, next_page, prepare,
                       run_quiet, run_to_done, scenario, web_site)
import sample_package

PROFILE_TEMP = "C:\\users\\\u0414\u043c\u0438\u0442\u0440\u0438\u0439\\Temp"  # Dmitriy
MESSENGER = "C:\\Program Files\\\u041e\u0440\u0432\u0435\u043a\u0441"  # Orvex in Cyrillic
WIZARD_FOLDER = "C:\\\u041c\u0430\u0441\u0442\u0435\u0440"  # the program's own folder too
PARTNER_ID = "\u0160koda"
TITLE = "\u0160koda \u0414\u0438\u0437\u0430\u0439\u043d"
TITLE_1252 = "Caf\xe9 \u20ac Skin"  # both letters in code page 1252, as an older tool saved it
ROOTS = {"HKLM": "HKEY_LOCAL_MACHINE", "HKCU": "HKEY_CURRENT_USER"}


def full_key(key):
    root, _, rest = key.partition("\\")
    return ROOTS.get(root, root) + "\\" + rest


def regedit(rig, *args):
    proc = rig.start_wine(["regedit"] + list(args))
    try:
        eq(proc.wait(timeout=60), 0, "regedit %s" % " ".join(args))
    except Exception:
        raise RigError("regedit %s did not end" % " ".join(args))


def import_values(rig, keys):
    """{key: {name: text}} written with regedit: a version 5 .reg file, UTF-16."""
    def quoted(text):
        return '"%s"' % text.replace("\\", "\\\\").replace('"', '\\"')

    lines = ["Windows Registry Editor Version 5.00", ""]
    for key, values in keys.items():
        lines.append("[%s]" % full_key(key))
        lines += ["%s=%s" % ("@" if name == "@" else quoted(name), quoted(text))
                  for name, text in values.items()]
        lines.append("")
    rig.write_file("C:\\unicode.reg", b"\xff\xfe" + "\r\n".join(lines).encode("utf-16-le"))
    regedit(rig, "/s", "C:\\unicode.reg")


VALUE_LINE = re.compile(r'^(@|"((?:[^"\\]|\\.)*)")=(?:"((?:[^"\\]|\\.)*)"|dword:([0-9a-f]{8}))$')


def unescaped(text):
    return re.sub(r"\\(.)", r"\1", text)


def exported_values(rig, key):
    """{key: {name: text or number}} of key and every key below it, as regedit exports them
    (UTF-16); values of other types are left out."""
    regedit(rig, "/e", "C:\\export.reg", full_key(key))
    with open(rig.host_path("C:\\export.reg"), "rb") as f:
        text = f.read().decode("utf-16")
    keys, current = {}, {}
    for line in text.splitlines():
        if line.startswith("[") and line.endswith("]"):
            current = keys.setdefault(line[1:-1], {})
            continue
        match = VALUE_LINE.match(line)
        if match:
            name = "@" if match.group(1) == "@" else unescaped(match.group(2))
            text_value, number = match.group(3), match.group(4)
            current[name] = int(number, 16) if number else unescaped(text_value)
    return keys


def unicode_site(rig, files):
    """nginx serving the partner's index and package under the partner's own name."""
    web = rig.start_web("nginx")
    base = "http://127.0.0.1:%d" % web.port
    package_dir = "/pkg/%s/" % PARTNER_ID
    web.put("/cb/partner/%s/urls.cb" % PARTNER_ID,
            ("%s%s\r\n%s%s\r\n" % (base, package_dir, base, SETUP_PATH)).encode("utf-8"))
    for name, data in files.items():
        web.put(package_dir + name, data)
    rig.driver.set_sz(PREFS_KEY, "TestSkinPath", base + "/cb/partner")
    return base


@scenario
def names_outside_the_code_page(rig):
    """A profile, a messenger folder, the program's folder, a partner, a title and file names
    outside code page 1252 (one name with a space): the run installs them all under their own names, the requests
    carry them percent-encoded, the lock is named after the partner and the log is UTF-8."""
    d = rig.driver
    rig.write_file(MESSENGER + "\\Orvex.exe", b"stand-in")
    os.makedirs(rig.host_path(PROFILE_TEMP))
    import_values(rig, {"HKCU\\Environment": {"TEMP": PROFILE_TEMP, "TMP": PROFILE_TEMP},
                        APP_PATHS_KEY: {"@": MESSENGER + "\\Orvex.exe"}})
    d.set_dword(PREFS_KEY, "Orvex Version", 600)
    d.set_dword(OWNERS_KEY, "LastOwner", 777)
    d.set_sz(OWNERS_KEY + "\\777", "Nick", "owner")
    files = dict(PACKAGE, **{"my skin.bmp": b"with a space", "\u0444\u043e\u043d.bmp": b"backdrop"})
    rig.place_wizard(partner=(PARTNER_ID + "\r\n").encode("utf-8"),
                     download_list=download_list(files, title=TITLE).encode("utf-8"),
                     folder=WIZARD_FOLDER)
    base = unicode_site(rig, files)

    # The lock's name holds the partner upper-cased: while it is taken the run does not start.
    holder = rig.start_messenger("Local\\OrvexDownload.\u0160KODA", event=True)
    eq(run_quiet(rig, "/quiet", "/log", "C:\\logs\\locked.log"), 22, "exit code, lock taken")
    eq(rig.web.requests(), [], "requests while the lock is taken")
    rig.stop_process(holder)

    eq(run_quiet(rig, "/quiet", "/log", LOG_PATH), 0, "exit code")
    encoded = "%C5%A0koda"
    eq([(line, status) for line, _, status, _ in rig.web.requests()],
       [("GET /cb/partner/%s/urls.cb HTTP/1.0" % encoded, "200")] +
       [("GET /pkg/%s/%s HTTP/1.0" % (encoded, name), "200") for name in
        ["Skin.dat", "skin.bmp", "my%20skin.bmp", "%D1%84%D0%BE%D0%BD.bmp"]],
       "requests nginx received")
    partner_folder = MESSENGER + "\\Partner\\" + PARTNER_ID
    eq(rig.listing(partner_folder), files, "files in the partner folder")
    temp_folder = PROFILE_TEMP + "\\" + PARTNER_ID
    eq(rig.listing(temp_folder), None, "temporary folder after the installation")

    values = exported_values(rig, "HKLM\\Software\\Kestrane\\Orvex")
    prefs = full_key(CUSTOMIZE_KEY)
    eq(values.get(prefs), {"@": PARTNER_ID}, "Customize key")
    eq(values.get(prefs + "\\" + PARTNER_ID),
       dict(sample_package.SKIN_VALUES, **{"@": TITLE, "PartnerPath": partner_folder + "\\",
                                           "Image": partner_folder + "\\skin.bmp"}),
       "skin key")
    eq(values.get(full_key(OWNERS_KEY) + "\\777", {}).get("Customize"), PARTNER_ID,
       "last owner's Customize value")
    eq(exported_values(rig, "HKCU\\Software\\Kestrane\\TempPartnerPath")
       .get("HKEY_CURRENT_USER\\Software\\Kestrane\\TempPartnerPath"), {"@": temp_folder},
       "TempPartnerPath")
    check_log_has(log_lines(rig), [
        "partner " + PARTNER_ID,
        "temporary folder " + temp_folder,
        "GET %s/pkg/%s/my skin.bmp: status 200" % (base, PARTNER_ID),
        "installed %s\\\u0444\u043e\u043d.bmp" % partner_folder,
        "registry %s\\%s\\@ = %s" % (CUSTOMIZE_KEY, PARTNER_ID, TITLE)])


@scenario
def legacy_title_as_before(rig):
    """A title saved in code page 1252 by an older tool is registered as it always was, and
    the UTF-8 log spells it right."""
    prepare(rig)
    rig.write_file("C:\\wizard\\OrvexDownload.dat",
                   download_list(PACKAGE, title=TITLE_1252).encode("cp1252"))
    web_site(rig)
    os.makedirs(rig.host_path("C:\\logs"))
    rig.start_wizard("/log", LOG_PATH)
    next_page(rig)
    run_to_done(rig)
    eq(rig.driver.boxes(), [], "message boxes after success")
    eq(rig.listing(scenarios.PARTNER_FOLDER), PACKAGE, "files in the partner folder")
    eq(rig.driver.reg(SKIN_KEY, "@"), TITLE_1252.encode("cp1252").decode("latin-1"),
       "the title as the driver reads it in code page 1252")
    leave(rig)
    check_log_has(log_lines(rig), ["registry %s\\@ = %s" % (SKIN_KEY, TITLE_1252)])
