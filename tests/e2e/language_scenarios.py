"""The wizard in the user's language: the display language Wine derives from the locale it is
given chooses it, /lang overrides it, a language without a translation gets the English texts
byte for byte, a download list saved in the language's code page reads whole, and the log stays
English."""

import os

from harness import ID_CANCEL, ID_NEXT, ID_OK
from scenarios import (INDEX_PATH, LOG_PATH, PACKAGE, PACKAGE_DIR, SETUP_PATH, SKIN_KEY, IDYES,
                       check_installed, check_log_has, download_list, eq, log_lines, point_at,
                       prepare, scenario, scripted_site, web_site)
from scripted_server import ok_reply
import unicode_scenarios

# The welcome page's controls in template order, but for the icon: welcome line, group box, the
# Pro note, the version note, Cancel, Next.
WELCOME = {
    "en": ("Orvex Contact List Download Wizard",
           ["Welcome to the Orvex Customized Contact List download.", "",
            "This Customized Contact List is designed to work with the Full Orvex version "
            "(Orvex Pro)",
            "If an older/different Orvex version is detected, \nThe latest Orvex version will "
            "be downloaded as well", "Cancel", "Next >>"]),
    "de": ("Orvex-Kontaktlisten-Download-Assistent",
           ["Willkommen beim Download der angepassten Orvex-Kontaktliste.", "",
            "Diese angepasste Kontaktliste ist für die Vollversion von Orvex (Orvex Pro) "
            "vorgesehen.",
            "Wird eine ältere oder andere Orvex-Version erkannt,\nwird zusätzlich die neueste "
            "Orvex-Version heruntergeladen.", "Abbrechen", "Weiter >>"]),
    "ru": ("Мастер загрузки списка контактов Orvex",
           ["Вас приветствует мастер загрузки персонализированного списка контактов Orvex.", "",
            "Этот персонализированный список контактов предназначен для полной версии Orvex "
            "(Orvex Pro).",
            "Если обнаружена более старая или другая версия Orvex,\nбудет также загружена "
            "последняя версия Orvex.", "Отмена", "Далее >>"]),
    "ja": ("Orvex 連絡先リスト ダウンロード ウィザード",
           ["Orvex カスタム連絡先リストの\nダウンロードへようこそ。", "",
            "このカスタム連絡先リストは、\nOrvex の完全版 (Orvex Pro) 用に\n設計されています。",
            "Orvex の古いバージョンまたは\n別のバージョンが見つかった場合は、\n最新バージョンの "
            "Orvex も\nダウンロードされます。", "キャンセル", "次へ >>"]),
}


def check_welcome_in(driver, tag):
    caption, texts = WELCOME[tag]
    driver.wait("welcome", 30)
    shown = driver.texts("welcome")
    eq((driver.text("welcome", 0), shown[:2] + shown[3:]), (caption, texts),
       "welcome page in %s" % tag)


@scenario
def german_whole_run(rig):
    """A run in German: the welcome and progress pages, the error box of a missing file and the
    stop question in German; a second try installs the package and the welcome page's button
    reads "Fertig". The log names the language and keeps its messages in English."""
    prepare(rig)
    server, base = scripted_site(rig)
    server.routes[INDEX_PATH] = ok_reply(
        ("%s%s %s%s" % (base, PACKAGE_DIR, base, SETUP_PATH)).encode())
    point_at(rig, base + "/cb/partner/")
    os.makedirs(rig.host_path("C:\\logs"))
    rig.start_wizard("/log", LOG_PATH, lang="de_DE.UTF-8")
    d = rig.driver
    check_welcome_in(d, "de")
    d.press("welcome", ID_NEXT)
    d.wait("progress", 30)
    box = d.answer_box(ID_OK, 30)
    eq((box["caption"], box["text"], box["icon"]),
       ("Fehler", "Es kann keine Verbindung zum Server hergestellt werden. Versuchen Sie es "
        "bitte später erneut.", "stop"), "error box")
    texts = d.texts("progress")
    eq((d.text("progress", 0), texts[3], texts[5], texts[7], texts[8]),
       ("Kontaktlisten-Download-Assistent", "Start", "Fertig", "Abbrechen", "Fertig"),
       "progress page: caption, bar ends, buttons")
    box = d.answer_box(IDYES, 20)
    eq((box["caption"], box["text"], box["icon"], box["defaults"]),
       ("Kontaktlisten-Download-Assistent", "Möchten Sie den Download wirklich abbrechen?",
        "question", [box["buttons"][1]]), "stop question")
    d.gone("progress", 5)

    for name, data in PACKAGE.items():
        server.routes[PACKAGE_DIR + name] = ok_reply(data)
    d.press("welcome", ID_NEXT)
    d.wait_text("welcome", ID_CANCEL, "Fertig", 30)
    check_installed(rig, PACKAGE)
    d.press("welcome", ID_CANCEL)
    eq(rig.wizard_exit(), 0, "exit code")
    check_log_has(log_lines(rig), [
        "language de (0x0407 from the display language)",
        "message 3 (Error): Can't connect to server, please try again later."])


@scenario
def welcome_page_languages(rig):
    """The welcome page for each display language: Russian, Japanese, Austrian German (German),
    Greek (no translation: the English texts byte for byte), and /lang over the display
    language."""
    prepare(rig)
    os.makedirs(rig.host_path("C:\\logs"))
    runs = [("ru_RU.UTF-8", [], "ru", "ru (0x0419 from the display language)"),
            ("ja_JP.UTF-8", [], "ja", "ja (0x0411 from the display language)"),
            ("de_AT.UTF-8", [], "de", "de (0x0c07 from the display language)"),
            ("el_GR.UTF-8", [], "en",
             "en (0x0408 from the display language, which has no translation)"),
            ("de_DE.UTF-8", ["/lang:ja"], "ja", "ja (from /lang:ja)")]
    for locale, switches, tag, _ in runs:
        rig.start_wizard("/log", LOG_PATH, *switches, lang=locale)
        check_welcome_in(rig.driver, tag)
        rig.driver.press("welcome", ID_CANCEL)
        eq(rig.wizard_exit(), 0, "exit code in %s" % locale)
    lines = log_lines(rig)
    eq([line for line in lines if line.startswith("language ")],
       ["language " + words for _, _, _, words in runs], "the language each run chose")


@scenario
def russian_legacy_title(rig):
    """A download list that an older tool saved on a Russian system (code page 1251): in a run in
    Russian its title is registered in Cyrillic, also when /lang:ru chooses Russian on a
    western system."""
    prepare(rig)
    title = "Скин Орвекс"
    rig.write_file("C:\\wizard\\OrvexDownload.dat",
                   download_list(PACKAGE, title=title).encode("cp1251"))
    web_site(rig)
    os.makedirs(rig.host_path("C:\\logs"))
    for switches, locale in (([], "ru_RU.UTF-8"), (["/lang:ru"], "en_US.UTF-8")):
        rig.driver.set_sz(SKIN_KEY, "@", "")
        rig.start_wizard("/quiet", "/log", LOG_PATH, *switches, lang=locale)
        eq(rig.wizard_exit(60), 0, "exit code in %s %s" % (locale, switches))
        values = unicode_scenarios.exported_values(rig, SKIN_KEY)
        eq(values[unicode_scenarios.full_key(SKIN_KEY)].get("@"), title,
           "registered title in %s %s" % (locale, switches))
    check_log_has(log_lines(rig), ["registry %s\\@ = %s" % (SKIN_KEY, title)])
