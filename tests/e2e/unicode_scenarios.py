"""Names and texts the prefix's ANSI code page (1252) cannot spell, and a title an older tool
saved in that code page. The UI driver speaks code page 1252: what it cannot spell is written
with regedit from a UTF-16 .reg file and read back through regedit's export."""

import os
import re

from harness import APP_PATHS_KEY, PREFS_KEY
import scenarios
from scenarios import (CUSTOMIZE_KEY, LOG_PATH, OWNERS_KEY, PACKAGE, SETUP_PATH, SKIN_KEY,
                       check_log_has, download_list, eq, leave, log_lines, next_page, prepare,
                       run_quiet, run_to_done, scenario, web_site)
import sample_package

PROFILE_TEMP = "C:\\users\\Дмитрий\\Temp"
MESSENGER = "C:\\Program Files\\Орвекс"
PARTNER_ID, TITLE = "Škoda", "Škoda Дизайн"
TITLE_1252 = "Café € Skin"  # every letter in code page 1252
VALUE_LINE = re.compile(r'^(?:@|"((?:[^"\\]|\\.)*)")=(?:"((?:[^"\\]|\\.)*)"|dword:(\w{8}))$')


def full_key(key):
    root, _, rest = key.partition("\\")
    return {"HKLM": "HKEY_LOCAL_MACHINE", "HKCU": "HKEY_CURRENT_USER"}[root] + "\\" + rest


def regedit(rig, *args):
    eq(rig.start_wine(["regedit"] + list(args)).wait(timeout=60), 0, "regedit %s" % (args,))


def import_values(rig, keys):
    """{key: {name: text}} written by regedit from a version 5 .reg file in UTF-16."""
    def quoted(text):
        return '"%s"' % text.replace("\\", "\\\\").replace('"', '\\"')

    lines = ["Windows Registry Editor Version 5.00"]
    for key, values in keys.items():
        lines += ["", "[%s]" % full_key(key)] + ["%s=%s" % (
            "@" if name == "@" else quoted(name), quoted(text)) for name, text in values.items()]
    rig.write_file("C:\\unicode.reg", ("\ufeff" + "\r\n".join(lines + [""])).encode("utf-16-le"))
    regedit(rig, "/s", "C:\\unicode.reg")


def exported_values(rig, key):
    """{key: {name: text or number}} of key and the keys below it, from regedit's export."""
    regedit(rig, "/e", "C:\\export.reg", full_key(key))
    with open(rig.host_path("C:\\export.reg"), "rb") as f:
        lines = f.read().decode("utf-16").splitlines()
    keys, current = {}, {}
    for line in lines:
        match = VALUE_LINE.match(line)
        if line.startswith("["):
            current = keys.setdefault(line[1:-1], {})
        elif match:
            name, text, number = (re.sub(r"\\(.)", r"\1", g) if g else g for g in match.groups())
            current[name or "@"] = int(number, 16) if number else text
    return keys


@scenario
def names_outside_the_code_page(rig):
    """A profile, a messenger folder, the program's folder, a partner, a title and file names
    (one with a space) outside code page 1252: while the lock named after the partner is
    taken nothing runs; then everything is installed under its own name, the requests carry
    the names percent-encoded as UTF-8, the registry holds them and the log is UTF-8."""
    d = rig.driver
    rig.write_file(MESSENGER + "\\Orvex.exe", b"stand-in")
    os.makedirs(rig.host_path(PROFILE_TEMP))
    import_values(rig, {"HKCU\\Environment": {"TEMP": PROFILE_TEMP, "TMP": PROFILE_TEMP},
                        APP_PATHS_KEY: {"@": MESSENGER + "\\Orvex.exe"}})
    d.set_dword(PREFS_KEY, "Orvex Version", 600)
    d.set_dword(OWNERS_KEY, "LastOwner", 777)
    d.set_sz(OWNERS_KEY + "\\777", "Nick", "owner")
    files = dict(PACKAGE, **{"my skin.bmp": b"with a space", "фон.bmp": b"backdrop"})
    rig.place_wizard(partner=(PARTNER_ID + "\r\n").encode(), folder="C:\\Мастер",
                     download_list=download_list(files, title=TITLE).encode())
    web = rig.start_web("nginx")
    base = "http://127.0.0.1:%d" % web.port
    web.put("/cb/partner/%s/urls.cb" % PARTNER_ID,
            ("%s/pkg/%s/\r\n%s%s\r\n" % (base, PARTNER_ID, base, SETUP_PATH)).encode())
    for name, data in files.items():
        web.put("/pkg/%s/%s" % (PARTNER_ID, name), data)
    d.set_sz(PREFS_KEY, "TestSkinPath", base + "/cb/partner")

    holder = rig.start_messenger("Local\\OrvexDownload.ŠKODA", event=True)
    eq(run_quiet(rig, "/quiet", "/log", "C:\\logs\\locked.log"), 22, "exit code, lock taken")
    eq(web.requests(), [], "requests while the lock is taken")
    rig.stop_process(holder)

    eq(run_quiet(rig, "/quiet", "/log", LOG_PATH), 0, "exit code")
    eq([(line, status) for line, _, status, _ in web.requests()],
       [("GET /%s/%%C5%%A0koda/%s HTTP/1.1" % path, "200") for path in [
           ("cb/partner", "urls.cb"), ("pkg", "Skin.dat"), ("pkg", "skin.bmp"),
           ("pkg", "my%20skin.bmp"), ("pkg", "%D1%84%D0%BE%D0%BD.bmp")]],
       "requests nginx received")
    partner_folder = MESSENGER + "\\Partner\\" + PARTNER_ID
    temp_folder = PROFILE_TEMP + "\\" + PARTNER_ID
    eq(rig.listing(partner_folder), files, "files in the partner folder")
    eq(rig.listing(temp_folder), None, "temporary folder after the installation")
    values = exported_values(rig, "HKLM\\Software\\Kestrane\\Orvex")
    values.update(exported_values(rig, "HKCU\\Software\\Kestrane\\TempPartnerPath"))
    customize = full_key(CUSTOMIZE_KEY)
    eq((values.get(customize), values.get(customize + "\\" + PARTNER_ID),
        values.get(full_key(OWNERS_KEY) + "\\777"),
        values.get("HKEY_CURRENT_USER\\Software\\Kestrane\\TempPartnerPath")),
       ({"@": PARTNER_ID},
        dict(sample_package.SKIN_VALUES, **{"@": TITLE, "PartnerPath": partner_folder + "\\",
                                            "Image": partner_folder + "\\skin.bmp"}),
        {"Nick": "owner", "Customize": PARTNER_ID}, {"@": temp_folder}),
       "registry: Customize, the skin, the last owner, TempPartnerPath")
    check_log_has(log_lines(rig), [
        "partner " + PARTNER_ID, "temporary folder " + temp_folder,
        "GET %s/pkg/%s/my skin.bmp: status 200" % (base, PARTNER_ID),
        "installed %s\\фон.bmp" % partner_folder,
        "registry %s\\%s\\@ = %s" % (CUSTOMIZE_KEY, PARTNER_ID, TITLE)])


@scenario
def legacy_title_as_before(rig):
    """A title saved in code page 1252 is registered as it always was; the log spells it."""
    prepare(rig)
    rig.write_file("C:\\wizard\\OrvexDownload.dat",
                   download_list(PACKAGE, title=TITLE_1252).encode("cp1252"))
    web_site(rig)
    os.makedirs(rig.host_path("C:\\logs"))
    rig.start_wizard("/log", LOG_PATH)
    next_page(rig)
    run_to_done(rig)
    eq(rig.listing(scenarios.PARTNER_FOLDER), PACKAGE, "files in the partner folder")
    eq(rig.driver.reg(SKIN_KEY, "@"), TITLE_1252.encode("cp1252").decode("latin-1"),
       "the title as the driver reads it in code page 1252")
    leave(rig)
    check_log_has(log_lines(rig), ["registry %s\\@ = %s" % (SKIN_KEY, TITLE_1252)])
