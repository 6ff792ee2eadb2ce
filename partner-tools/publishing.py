"""orvex_publish.py's publishing: every input is checked by the wizard's own rules before anything
is written (the key first, then the names, the URLs, the package and the program); the new tree
is built beside --out and swapped in whole, so that --out holds the last good tree or the new
one, never a mix and never a file of an earlier publish."""

import hashlib
import os
import re
import shutil
import tempfile
import urllib.parse

import partner_keys
import program_edition
import site_check
import wizard_rules
from program_edition import EditionError
from refused import Refused

SUMS = "SHA256SUMS"
TREE = ("site", "beside-program")
# The files the wizard stores in its temporary folder beside the package's own.
INDEX_FILES = (b"urls.cb", b"urls.cb.sig", b"SHA256SUMS", b"SHA256SUMS.sig")


class Plan:
    """What was checked, and what the tree will hold."""
    setup_place = None  # the setup's path inside site/, when --setup-url lies under --site
    edition = None      # (bytes, key ids, whether made here) of the program to hand out


def warn(text):
    print("warning: " + text)


def sha256_of(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 16), b""):
            digest.update(block)
    return digest.hexdigest()


def inside(path, folder):
    """Whether path is folder or lies under it."""
    path, folder = os.path.realpath(path), os.path.realpath(folder)
    return path == folder or path.startswith(folder.rstrip(os.sep) + os.sep)


# ---- the inputs ------------------------------------------------------------------------------

def check_partner(text):
    why = wizard_rules.why_not_partner_id(text.encode("utf-8", "surrogateescape"))
    if why:
        raise Refused("the partner id %r cannot be one: %s (the wizard would refuse "
                      "partner.dat)" % (text, why))
    return text


def check_title(text):
    data = text.encode("utf-8", "surrogateescape")
    if not data or len(data) >= wizard_rules.PATH_BUFFER or re.search(rb"[\x00-\x1f]", data):
        raise Refused("the title must be one line of 1 to %d bytes: the wizard reads the rest as "
                      "a file name" % (wizard_rules.PATH_BUFFER - 1))
    return text


def check_url(option, text):
    """The URL as a wizard_rules text, when the wizard can fetch it and urls.cb can hold it."""
    url = text.encode("utf-8", "surrogateescape").decode("latin-1")
    parsed = wizard_rules.Url(url)
    if not parsed.supported() or parsed.malformed or "://" not in url:
        raise Refused("%s %s is no http or https URL the wizard can fetch (a host, no user part, "
                      "a port of 1 to 65535)" % (option, text))
    if re.search(r"[\s\x00-\x1f]", url):
        raise Refused("%s %s holds a space or a control character, which would end the word in "
                      "urls.cb: write it as %%20" % (option, text))
    return url


def stored_name_problem(name, taken):
    """Why the wizard cannot store a file of this name (bytes) beside taken ones, or None."""
    why = wizard_rules.why_not_plain(name)
    if why:
        return "the wizard refuses the name: " + why
    if len(name) >= wizard_rules.PATH_BUFFER:
        return "its name is longer than %d bytes" % (wizard_rules.PATH_BUFFER - 1)
    clash = wizard_rules.first_clash(list(taken) + [name])
    if clash and clash[1] in INDEX_FILES:
        return "the wizard keeps its own %s under that name" % clash[1].decode()
    if clash:
        return "it is the same file as %s on Windows, where letter case makes no difference" \
            % clash[1].decode("utf-8", "replace")
    return None


def check_package(package, key):
    """The package's file names (str), sorted; refuses a link, a private key or the signing key
    anywhere in it, and a name the wizard cannot store."""
    if os.path.islink(package) or not os.path.isdir(package):
        raise Refused("the package folder %s is not a folder (or is a link)" % package)
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
            if partner_keys.file_holds_private_key(path):
                raise Refused("%s holds a private key: it is never published" % path)
    names = []
    for name in sorted(os.listdir(package)):
        if os.path.isdir(os.path.join(package, name)):
            warn("%s is a folder, not published: the wizard installs files only"
                 % os.path.join(package, name))
        elif name in (SUMS, SUMS + ".sig"):
            warn("%s passed over: the tool writes the package's sums itself"
                 % os.path.join(package, name))
        else:
            problem = stored_name_problem(os.fsencode(name), INDEX_FILES +
                                          tuple(os.fsencode(n) for n in names))
            # The name goes into its URL as it is: the server would decode these.
            if re.search(r"#|%[0-9A-Fa-f]{2}", name):
                problem = "a \"#\" or \"%XX\" in its name would reach the server as another name"
            if problem:
                raise Refused("the package file %s: %s; rename it"
                              % (os.path.join(package, name), problem))
            names.append(name)
    if not names:
        raise Refused("the package folder %s holds no file" % package)
    return names


def check_messenger_files(package, names):
    """The package must have skin.bmp, which the messenger shows; Skin.dat is read as it
    would read it."""
    keys = {wizard_rules.folder_key(os.fsencode(n)): n for n in names}
    if wizard_rules.folder_key(b"skin.bmp") not in keys:
        bitmaps = [n for n in names if n.lower().endswith(".bmp")]
        raise Refused("the package has no skin.bmp: the messenger shows Partner\\<partner>\\"
                      "skin.bmp as the skin, so this package would install and show none%s"
                      % ("; rename %s to skin.bmp" % " or ".join(bitmaps) if bitmaps else ""))
    skin_dat = keys.get(wizard_rules.folder_key(b"Skin.dat"))
    if skin_dat is None:
        warn("the package has no Skin.dat: the skin gets the default settings")
        return
    with open(os.path.join(package, skin_dat), "rb") as f:
        status, text = site_check.skin_dat_verdict(f.read())
    if status == site_check.FAILED:
        raise Refused("%s (in %s)" % (text, package))
    if status != site_check.OK:
        warn("%s (in %s)" % (text, package))


def setup_place(site, setup_url, stored):
    """The setup's path in the site tree (a list of segments) when setup_url lies under site,
    else None; refused when a segment is no plain name or it would take a file of the tree."""
    site_url, url = wizard_rules.Url(site), wizard_rules.Url(setup_url)
    same_server = (site_url.is_https(), site_url.host.lower(), site_url.port) == \
        (url.is_https(), url.host.lower(), url.port)
    prefix = (site_url.directory + site_url.file_name).rstrip("/") + "/"
    path = url.directory + url.file_name
    if not same_server or not path.startswith(prefix) or "?" in path or "#" in path:
        return None
    segments = [urllib.parse.unquote_to_bytes(s.encode("latin-1"))
                for s in path[len(prefix):].split("/")]
    for segment in segments:
        why = wizard_rules.why_not_plain(segment)
        if why:
            raise Refused("--setup-url %s: its path part %r cannot be a folder or file of the "
                          "site tree: %s" % (setup_url, segment.decode("utf-8", "replace"), why))
    if wizard_rules.folder_key(b"/".join(segments)) in \
            {wizard_rules.folder_key(path.encode("utf-8")) for path in stored}:
        raise Refused("--setup-url %s names a file the tool writes itself" % setup_url)
    return [s.decode("utf-8", "surrogateescape") for s in segments]


def check_program(program, key_der, trusted, also_trust):
    """(bytes, key ids, made): the partner's edition to hand out, made from the program as built,
    or the edition given, checked to carry the signing key."""
    try:
        with open(program, "rb") as f:
            data = f.read()
        carried = program_edition.keys_carried(data)
    except (OSError, EditionError) as error:
        raise Refused("%s: %s" % (program, error))
    if not carried:
        ders = [key_der] + [der for der, _ in trusted]
        try:
            made = program_edition.make_edition(program, ders)
        except (OSError, EditionError) as error:
            raise Refused(str(error))
        return made, [partner_keys.key_id(der) for der in ders], True
    if also_trust:
        raise Refused("%s is an edition already, carrying its keys: --also-trust goes with the "
                      "program as built" % program)
    ids = [partner_keys.key_id(k) for k in carried]
    if key_der not in carried:
        warn("%s carries keys %s, not key %s that signs this site: programs of that edition "
             "refuse it (exit 12). Sign with a key it carries, or hand out an edition carrying "
             "both first (deployment.md, rotating a key)"
             % (program, ", ".join(ids), partner_keys.key_id(key_der)))
    return data, ids, False


def check_out(out, package, key):
    if os.path.lexists(out):
        if os.path.islink(out) or not os.path.isdir(out):
            raise Refused("--out %s is not a folder" % out)
        strangers = sorted(set(os.listdir(out)) - set(TREE))
        if strangers:
            raise Refused("--out %s holds %s, which this tool did not write: publishing replaces "
                          "the folder whole; name a new one" % (out, ", ".join(strangers)))
    if inside(package, out) or inside(out, package):
        raise Refused("--out %s and the package folder %s lie inside one another" % (out, package))
    if inside(key, out):
        raise Refused("the signing key %s lies inside --out %s, which publishing replaces"
                      % (key, out))


def plan(args):
    """Everything publishing needs, checked; Refused at the first input that does not hold."""
    p = Plan()
    p.key_der = partner_keys.check_signing_key(args.key)
    trusted, notes = partner_keys.public_keys(args.also_trust)
    for note in notes:
        warn(note)
    p.partner = check_partner(args.partner)
    p.title = check_title(args.title)
    p.site = check_url("--site", args.site).rstrip("/")
    p.setup_url = check_url("--setup-url", args.setup_url)
    p.names = check_package(args.package, args.key)
    check_messenger_files(args.package, p.names)
    setup_name = wizard_rules.Url(p.setup_url).file_name.encode("latin-1")
    problem = stored_name_problem(setup_name, INDEX_FILES + tuple(os.fsencode(n)
                                                                  for n in p.names))
    if problem:
        raise Refused("--setup-url %s: the wizard stores the setup as %r, but %s"
                      % (args.setup_url, setup_name.decode("utf-8", "replace"), problem))
    p.package_base = "%s/pkg/%s/" % (p.site, wizard_rules.percent_encode_path(
        p.partner.encode("utf-8").decode("latin-1")))
    if len(p.package_base) >= wizard_rules.PATH_BUFFER:
        raise Refused("the package folder's URL %s is longer than %d bytes, the most a word of "
                      "urls.cb holds" % (p.package_base, wizard_rules.PATH_BUFFER - 1))
    p.setup_digest = None
    if args.setup_file:
        if not os.path.isfile(args.setup_file):
            raise Refused("--setup-file %s does not exist" % args.setup_file)
        p.setup_digest = sha256_of(args.setup_file)
        stored = ["cb/partner/%s/%s" % (p.partner, n.decode()) for n in INDEX_FILES[:2]] + \
            ["pkg/%s/%s" % (p.partner, n) for n in p.names + [SUMS, SUMS + ".sig"]]
        p.setup_place = setup_place(p.site, p.setup_url, stored)
    if args.program:
        p.edition = check_program(args.program, p.key_der, trusted, args.also_trust)
    check_out(args.out, args.package, args.key)
    return p


# ---- the tree --------------------------------------------------------------------------------

def write_text(path, lines):
    """The lines with CR LF, as the wizard's text files are written on Windows."""
    with open(path, "w", encoding="utf-8", newline="\r\n") as f:
        f.write("".join(line + "\n" for line in lines))


def build(p, args, tree):
    """Writes the whole tree into the new folder tree."""
    site = os.path.join(tree, "site")
    index_folder = os.path.join(site, "cb", "partner", p.partner)
    package_folder = os.path.join(site, "pkg", p.partner)
    beside = os.path.join(tree, "beside-program")
    for folder in (index_folder, package_folder, beside):
        os.makedirs(folder)
    for name in p.names:
        shutil.copyfile(os.path.join(args.package, name), os.path.join(package_folder, name))
    sums = os.path.join(package_folder, SUMS)
    with open(sums, "wb") as f:
        for name in p.names:
            f.write(b"%s  %s\n" % (sha256_of(os.path.join(package_folder, name)).encode(),
                                   os.fsencode(name)))
    partner_keys.sign(args.key, sums)
    setup = p.setup_url.encode("latin-1").decode("utf-8", "surrogateescape")
    index = os.path.join(index_folder, "urls.cb")
    write_text(index, [p.package_base, setup + (" sha256:" + p.setup_digest
                                                 if p.setup_digest else "")])
    partner_keys.sign(args.key, index)
    if p.setup_place:
        place = os.path.join(site, *p.setup_place)
        os.makedirs(os.path.dirname(place), exist_ok=True)
        shutil.copyfile(args.setup_file, place)
    write_text(os.path.join(beside, "partner.dat"), [p.partner])
    write_text(os.path.join(beside, "OrvexDownload.dat"), [p.title] + p.names)
    if p.edition:
        with open(os.path.join(beside, "OrvexDownload.exe"), "wb") as f:
            f.write(p.edition[0])


def swap_in(new, out, work):
    """Renames out aside and new into its place; puts out back when that fails."""
    aside = os.path.join(work, "old")
    had_out = os.path.lexists(out)
    if had_out:
        os.rename(out, aside)
    try:
        os.rename(new, out)
    except OSError:
        if had_out:
            os.rename(aside, out)
        raise


def publish(args):
    p = plan(args)
    out = os.path.abspath(args.out)
    parent = os.path.dirname(out)
    os.makedirs(parent, exist_ok=True)
    work = tempfile.mkdtemp(prefix=".%s.publishing-" % os.path.basename(out), dir=parent)
    try:
        new = os.path.join(work, "new")
        build(p, args, new)
        swap_in(new, out, work)
    except OSError as error:
        raise OSError("publishing failed, %s is as it was before: %s" % (args.out, error))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    site = os.path.join(args.out, "site")
    print("published %d files for %s, signed by key %s"
          % (len(p.names), p.partner, partner_keys.key_id(p.key_der)))
    print("upload %s to %s; the wizard's base URL for it is %s/cb/partner/ (deployment.md: "
          "the base URL)" % (site, p.site, p.site))
    if args.setup_file and p.setup_place:
        print("the setup %s is in the site at %s" % (args.setup_file, "/".join(p.setup_place)))
    elif args.setup_file:
        print("upload the setup %s to %s yourself: it lies outside --site"
              % (args.setup_file, args.setup_url))
    beside = os.path.join(args.out, "beside-program")
    if p.edition and p.edition[2]:
        print("wrote %s, carrying partner keys %s" % (os.path.join(beside, "OrvexDownload.exe"),
                                                       ", ".join(p.edition[1])))
        print("sign it (tools/sign-program, deployment.md), then hand out %s" % beside)
    elif p.edition:
        print("hand out %s with %s, carrying partner keys %s, copied as it was"
              % (beside, args.program, ", ".join(p.edition[1])))
    else:
        print("no key file is handed out: the program carries the partner's keys. Make the "
              "partner's edition with --edition PROGRAM --key %s --out OrvexDownload.exe (or "
              "publish with --program PROGRAM), sign it and hand it out with %s"
              % (args.key, beside))
