"""The rig for whole-program scenarios: a Wine prefix, a display, servers and the UI driver.

A Rig is a context manager. Everything it starts (Xvfb, nginx, scripted servers, Wine
processes and the prefix's wineserver) is stopped when the block ends, also on failure.
Everything it writes lies in its run folder under the build folder.
"""

import json
import os
import select
import shutil
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(SOURCE, "tools"))
import scripted_server  # noqa: E402

WELCOME_CAPTION = "Orvex Contact List Download Wizard"
WIZARD_CAPTION = "Customized Contact List Download Wizard"
PREFS_KEY = "HKLM\\SOFTWARE\\Kestrane\\Orvex\\DefaultPrefs"
APP_PATHS_KEY = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Orvex.exe"
RUN_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"
SETUP_CONTROL_KEY = "HKLM\\SOFTWARE\\OrvexTest\\StandinSetup"
MESSENGER_FOLDER = "C:\\Program Files\\Orvex"
# Wine's loader and template prefix for each kind of build (as in tools/wine-env): the
# shipped 32-bit program (build/win32) under the 32-bit loader, build/win64 under wine64.
WINE_FOR_ARCH = {"win32": ("/usr/lib/wine/wine", "wine-template-win32"),
                 "win64": ("/usr/lib/wine/wine64", "wine-template")}

# Control ids of the two pages.
ID_OK, ID_CANCEL, ID_NEXT = 1, 2, 1001
ID_CURRENT_FILE, ID_PROGRESS, ID_STATUS = 1004, 1005, 1006


class RigError(Exception):
    pass


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(predicate, timeout, interval=0.05, what="condition"):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise RigError("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(interval)


def _plain_buttons(box):
    """Button texts as a user reads them: without the mnemonic marker."""
    for field in ("buttons", "defaults"):
        box[field] = [b.replace("&", "") for b in box[field]]
    return box


class Driver:
    """The UI driver in the rig's prefix: one command per line, one JSON answer per line."""

    def __init__(self, rig):
        self.rig = rig
        self.proc = rig.start_wine([rig.tool("ui_driver.exe")], stdin=subprocess.PIPE,
                                   stdout=subprocess.PIPE)
        hello = self._read(60)
        if not hello.get("ok"):
            raise RigError("ui driver did not start: %r" % hello)

    def _read(self, timeout):
        ready, _, _ = select.select([self.proc.stdout], [], [], timeout)
        if not ready:
            raise RigError("ui driver gave no answer in %.0f s" % timeout)
        line = self.proc.stdout.readline()
        if not line:
            raise RigError("ui driver ended")
        return json.loads(line.decode("latin-1"))

    def call(self, *fields, timeout_ms=0):
        line = "\t".join(str(f) for f in fields) + "\n"
        self.proc.stdin.write(line.encode("latin-1"))
        self.proc.stdin.flush()
        return self._read(timeout_ms / 1000.0 + 15)

    def must(self, *fields, timeout_ms=0):
        answer = self.call(*fields, timeout_ms=timeout_ms)
        if not answer.get("ok"):
            raise RigError("%s: %s" % (" ".join(map(str, fields)), answer.get("error")))
        return answer

    # Windows --------------------------------------------------------------------------
    def present(self, role):
        return self.call("find", role).get("ok", False)

    def wait(self, role, seconds=15):
        return self.must("wait", role, int(seconds * 1000), timeout_ms=seconds * 1000)

    def gone(self, role, seconds=15):
        return self.must("gone", role, int(seconds * 1000), timeout_ms=seconds * 1000)

    def text(self, role, control):
        return self.must("text", role, control)["text"]

    def enabled(self, role, control=0):
        return self.must("enabled", role, control)["enabled"]

    def press(self, role, control):
        return self.must("press", role, control)

    def progress(self):
        return self.must("progress")

    def box(self, seconds=15):
        return _plain_buttons(self.must("box", int(seconds * 1000), timeout_ms=seconds * 1000))

    def boxes(self):
        return [_plain_buttons(b) for b in self.must("boxes")["boxes"]]

    def answer_box(self, button_id, seconds=15):
        """Waits for a message box, presses one of its buttons, waits until it is gone."""
        box = self.box(seconds)
        self.must("press", "box", button_id)
        wait_for(lambda: not any(b["hwnd"] == box["hwnd"] for b in self.boxes()), 10,
                 what="the message box to close")
        return box

    def wait_text(self, role, control, text, seconds=15):
        wait_for(lambda: self.call("text", role, control).get("text") == text, seconds,
                 what="%s control %d to read %r" % (role, control, text))

    # Registry ---------------------------------------------------------------------------
    def reg(self, key, name):
        """The value's data (int or str), or None when the value or its key is absent."""
        answer = self.must("regget", key, name)
        return answer.get("value") if answer["exists"] else None

    def key_exists(self, key):
        return self.must("regget", key, "@")["key"]

    def set_sz(self, key, name, text):
        self.must("regsz", key, name, text)

    def set_dword(self, key, name, value):
        self.must("regdword", key, name, value)

    def dialogs(self):
        """Every visible dialog or message box, of any process."""
        return [w for w in self.must("windows")["windows"] if w["class"] == "#32770"]

    def threads(self, role):
        """How many threads the process of that window has."""
        return self.must("threads", role)["threads"]

    def quit(self):
        try:
            self.call("quit")
        except (RigError, OSError, ValueError):
            pass


class Certificates:
    """A throwaway CA and server certificates it signed, made with openssl in `folder`.

    Each server certificate is (certificate file, key file); every key lives in the run
    folder only. server: localhost and 127.0.0.1; wrong_name: another name only; expired:
    localhost, valid in 2020 only."""

    def __init__(self, folder):
        self.folder = folder
        os.makedirs(folder, exist_ok=True)
        self.ca, self._ca_key = self._path("ca.pem"), self._path("ca.key")
        self._openssl("req", "-x509", "-subj", "/CN=Orvex Test CA", "-days", "7",
                      "-addext", "basicConstraints=critical,CA:TRUE",
                      "-addext", "keyUsage=critical,keyCertSign,cRLSign",
                      "-keyout", self._ca_key, "-out", self.ca, *self._new_key())
        with open(self._path("index.txt"), "w"):
            pass
        self._config = self._path("ca.conf")
        with open(self._config, "w") as f:
            f.write("[ca]\ndefault_ca = test\n[test]\ndatabase = %s\nnew_certs_dir = %s\n"
                    "serial = %s\ndefault_md = sha256\npolicy = any\nunique_subject = no\n"
                    "[any]\ncommonName = supplied\n"
                    % (self._path("index.txt"), folder, self._path("serial")))
        with open(self._path("serial"), "w") as f:
            f.write("1000\n")
        self.server = self.issue("server", "localhost", "DNS:localhost,IP:127.0.0.1")
        self.wrong_name = self.issue("wrong_name", "wrong.example", "DNS:wrong.example")
        self.expired = self.issue("expired", "localhost", "DNS:localhost",
                                   dates=("20200101000000Z", "20201231000000Z"))

    def _path(self, name):
        return os.path.join(self.folder, name)

    @staticmethod
    def _new_key():
        return ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]

    def _openssl(self, *args):
        result = subprocess.run(["openssl"] + list(args), capture_output=True, text=True,
                                timeout=60)
        if result.returncode != 0:
            raise RigError("openssl %s failed: %s" % (args[0], result.stderr.strip()))

    def issue(self, name, common_name, alt_names, dates=None, usage="serverAuth"):
        """A server certificate and key signed by the CA: alt_names in openssl's notation,
        dates (start, end) in its time format (default: valid for a week from now)."""
        key, request, cert = (self._path(name + x) for x in (".key", ".csr", ".pem"))
        extensions = self._path(name + ".ext")
        with open(extensions, "w") as f:
            f.write("subjectAltName = %s\nextendedKeyUsage = %s\n"
                    "basicConstraints = critical,CA:FALSE\n" % (alt_names, usage))
        self._openssl("req", "-new", "-subj", "/CN=" + common_name, "-keyout", key,
                      "-out", request, *self._new_key())
        validity = ["-startdate", dates[0], "-enddate", dates[1]] if dates else ["-days", "7"]
        self._openssl("ca", "-batch", "-notext", "-config", self._config, "-cert", self.ca,
                      "-keyfile", self._ca_key, "-in", request, "-out", cert,
                      "-extfile", extensions, *validity)
        return cert, key


class TlsScriptedServer(scripted_server.ScriptedServer):
    """The scripted server behind TLS with one certificate: each reply is sent encrypted, and
    its "close" end sends a close_notify first when close_notify is set."""

    def __init__(self, routes, certificate, close_notify=True, **kwargs):
        super().__init__(routes, **kwargs)
        self._context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self._context.minimum_version = ssl.TLSVersion.TLSv1_2
        self._context.load_cert_chain(*certificate)
        self._close_notify = close_notify

    def _serve(self, sock, conn):
        try:
            sock.settimeout(scripted_server.REQUEST_TIMEOUT)
            tls = self._context.wrap_socket(sock, server_side=True)
        except (OSError, ssl.SSLError):
            conn.finished = time.monotonic()
            sock.close()
            return
        super()._serve(_NotifyingClose(tls) if self._close_notify else tls, conn)


class _NotifyingClose:
    """A TLS socket whose close sends the close_notify first (a reset is left as it is)."""

    def __init__(self, tls):
        self._tls = tls
        self._linger = False

    def __getattr__(self, name):
        return getattr(self._tls, name)

    def setsockopt(self, level, option, value):
        self._linger = option == socket.SO_LINGER
        self._tls.setsockopt(level, option, value)

    def close(self):
        if not self._linger:
            try:
                self._tls.settimeout(2)
                self._tls.unwrap().close()
                return
            except (OSError, ValueError):
                pass
        self._tls.close()


class Nginx:
    """nginx on a free loopback port serving `docroot`; records request line and Host.

    tls: {name: (certificate file, key file)}: one more server on a port of its own for each,
    serving the same docroot over TLS 1.2 or newer with that certificate (tls_ports[name])."""

    def __init__(self, rig, docroot, slow_paths=(), rate="64k", tls=None):
        self.rig = rig
        self.log = os.path.join(rig.dir, "nginx-access.log")
        conf = os.path.join(rig.dir, "nginx.conf")
        for attempt in range(5):
            self.port = free_port()
            self.tls_ports = {name: free_port() for name in (tls or {})}
            slow = "".join("    location %s { limit_rate %s; }\n" % (p, rate) for p in slow_paths)
            tls_servers = "".join(
                "  server {\n    listen 127.0.0.1:%d ssl;\n    root %s;\n"
                "    ssl_certificate %s;\n    ssl_certificate_key %s;\n"
                "    ssl_protocols TLSv1.2 TLSv1.3;\n%s  }\n"
                % (self.tls_ports[name], docroot, cert, key, slow)
                for name, (cert, key) in (tls or {}).items())
            with open(conf, "w") as f:
                f.write(
                    ("user root;\n" if os.getuid() == 0 else "")
                    + "daemon off;\nworker_processes 1;\npid %s/nginx.pid;\n" % rig.dir
                    + "error_log %s/nginx-error.log;\n" % rig.dir
                    + "events { worker_connections 64; }\nhttp {\n"
                    + "  log_format e2e '$request|$http_host|$status|$body_bytes_sent"
                    + "|$ssl_server_name';\n"
                    + "  access_log %s e2e;\n" % self.log
                    + "  client_body_temp_path %s/nginx-tmp;\n" % rig.dir
                    + "  proxy_temp_path %s/nginx-tmp;\n  fastcgi_temp_path %s/nginx-tmp;\n"
                    % (rig.dir, rig.dir)
                    + "  uwsgi_temp_path %s/nginx-tmp;\n  scgi_temp_path %s/nginx-tmp;\n"
                    % (rig.dir, rig.dir)
                    + "  default_type application/octet-stream;\n"
                    + "  server {\n    listen 127.0.0.1:%d;\n    root %s;\n" % (self.port, docroot)
                    + slow + "  }\n" + tls_servers + "}\n")
            self.proc = rig.spawn(["nginx", "-p", rig.dir, "-e", rig.dir + "/nginx-error.log",
                                   "-c", conf])
            try:
                wait_for(self._answers, 5, what="nginx to listen")
                return
            except RigError:
                rig.stop_process(self.proc)
        raise RigError("nginx did not start: see %s/nginx-error.log" % rig.dir)

    def _answers(self):
        if self.proc.poll() is not None:
            raise RigError("nginx exited")
        try:
            for port in [self.port] + list(self.tls_ports.values()):
                with socket.create_connection(("127.0.0.1", port), timeout=0.5):
                    pass
            return True
        except OSError:
            return False

    def requests(self):
        """[(request line, Host, status, body bytes sent)] in order of completion."""
        if not os.path.exists(self.log):
            return []
        with open(self.log, encoding="latin-1") as f:
            return [tuple(line.rstrip("\n").split("|")[:4]) for line in f if line.strip()]

    def server_names(self):
        """The TLS server name (SNI) of each request in requests(); "-" for none."""
        if not os.path.exists(self.log):
            return []
        with open(self.log, encoding="latin-1") as f:
            return [line.rstrip("\n").rsplit("|", 1)[-1] for line in f if line.strip()]


def build_arch(build):
    """win32 or win64: what the Windows build folder builds, from its CMake cache."""
    with open(os.path.join(build, "CMakeCache.txt")) as f:
        for line in f:
            if line.startswith("ORVEX_WINDOWS_ARCH:"):
                return "win32" if line.strip().endswith("=i686") else "win64"
    raise RigError("%s is not a Windows build folder" % build)


class Rig:
    def __init__(self, name, build_dir, display=None, keep=False):
        self.build = os.path.abspath(build_dir)
        self.arch = build_arch(self.build)
        self.wine, self._template = WINE_FOR_ARCH[self.arch]
        self.runs = os.path.join(self.build, "e2e-runs")
        os.makedirs(self.runs, exist_ok=True)
        self.dir = tempfile.mkdtemp(prefix=name + ".", dir=self.runs)
        self.prefix = os.path.join(self.dir, "prefix")
        self.keep = keep
        self._display = display
        self._procs = []
        self._servers = []
        self._held_sockets = []
        self._mounts = []
        self.driver = None
        self.nginx = None
        self.wizard = None

    # Set-up ---------------------------------------------------------------------------
    def __enter__(self):
        try:
            self._start()
        except BaseException:
            self.close(failed=True)
            raise
        return self

    def __exit__(self, exc_type, exc, tb):
        self.close(failed=exc_type is not None)

    def _start(self):
        template = os.path.join(os.path.dirname(self.build), self._template)
        if not os.path.exists(os.path.join(template, ".ready")):
            raise RigError("no %s template prefix at %s; run tools/bootstrap"
                           % (self.arch, template))
        subprocess.run([os.path.join(SOURCE, "tools", "copy-prefix"), template, self.prefix],
                       check=True, timeout=60)
        self.display = self._display or self._start_xvfb()
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEARCH=self.arch, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=", DISPLAY=self.display)
        self.user = [u for u in os.listdir(os.path.join(self.prefix, "drive_c", "users"))
                     if u != "Public"][0]
        self.driver = Driver(self)

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        proc = self.spawn(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                           "-nolisten", "tcp"], pass_fds=(write_end,))
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 15
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            ready, _, _ = select.select([read_end], [], [], 0.5)
            if ready:
                chunk = os.read(read_end, 16)
                if not chunk:
                    break
                number += chunk
        os.close(read_end)
        if not number.strip().isdigit():
            raise RigError("Xvfb gave no display number")
        self.xvfb = proc
        return ":" + number.decode().strip()

    def spawn(self, argv, **kwargs):
        kwargs.setdefault("stdout", subprocess.DEVNULL)
        kwargs.setdefault("stderr", subprocess.DEVNULL)
        proc = subprocess.Popen(argv, start_new_session=True, **kwargs)
        self._procs.append(proc)
        return proc

    def start_wine(self, argv, **kwargs):
        kwargs.setdefault("env", self.env)
        return self.spawn([self.wine] + argv, **kwargs)

    def tool(self, name):
        return os.path.join(self.build, "tools", name)

    # Files of the prefix ----------------------------------------------------------------
    def host_path(self, windows_path):
        """The Linux path of a C:\\ path in the prefix."""
        assert windows_path[:3].upper() == "C:\\", windows_path
        return os.path.join(self.prefix, "drive_c", *windows_path[3:].split("\\"))

    def temp_folder(self, partner_id):
        return "C:\\users\\%s\\Temp\\%s" % (self.user, partner_id)

    def write_file(self, windows_path, data):
        path = self.host_path(windows_path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data if isinstance(data, bytes) else data.encode("latin-1"))

    def listing(self, windows_path):
        """{name: bytes} of the files in a prefix folder, or None when it does not exist."""
        path = self.host_path(windows_path)
        if not os.path.isdir(path):
            return None
        result = {}
        for name in os.listdir(path):
            full = os.path.join(path, name)
            if os.path.isfile(full):
                with open(full, "rb") as f:
                    result[name] = f.read()
            else:
                result[name] = "<dir>"
        return result

    def find_files(self, name):
        """Every file of that name anywhere in the prefix's C: drive (Windows paths)."""
        found = []
        root = os.path.join(self.prefix, "drive_c")
        for folder, dirs, files in os.walk(root):
            dirs[:] = [d for d in dirs if d != "windows"]
            for f in files:
                if f.lower() == name.lower():
                    rel = os.path.relpath(os.path.join(folder, f), root)
                    found.append("C:\\" + rel.replace("/", "\\"))
        return found

    def mount_tmpfs(self, windows_path, size):
        """A tiny filesystem of `size` (tmpfs notation, e.g. "64k") at a folder of the prefix.

        Needs root; it is unmounted when the rig closes, also on failure."""
        path = self.host_path(windows_path)
        os.makedirs(path, exist_ok=True)
        result = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%s,mode=0777" % size,
                                 "tmpfs", path], capture_output=True, text=True, timeout=15)
        if result.returncode != 0:
            raise RigError("cannot mount a tmpfs at %s: %s" % (path, result.stderr.strip()))
        self._mounts.append(path)
        return path

    def _unmount_all(self):
        for path in reversed(self._mounts):
            for argv in (["umount", path], ["umount", "-l", path]):
                if subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                  timeout=15).returncode == 0:
                    break
            else:
                print("e2e: could not unmount %s" % path, file=sys.stderr)
        self._mounts = []

    # The messenger ------------------------------------------------------------------------
    def install_messenger(self, version=600, folder=MESSENGER_FOLDER, app_paths=True):
        """An installed messenger: its version, folder and App Paths entry."""
        if version is not None:
            self.driver.set_dword(PREFS_KEY, "Orvex Version", version)
        if app_paths:
            self.write_file(folder + "\\Orvex.exe", b"stand-in")
            self.driver.set_sz(APP_PATHS_KEY, "@", folder + "\\Orvex.exe")

    def start_messenger(self, mutex="Kestrane Orvex Mutex"):
        proc = self.start_wine([self.tool("standin_messenger.exe"), mutex],
                               stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        ready, _, _ = select.select([proc.stdout], [], [], 60)
        line = proc.stdout.readline() if ready else b""
        if line.strip() != b"ready":
            raise RigError("stand-in messenger did not start: %r" % line)
        return proc

    # Servers ------------------------------------------------------------------------------
    def start_nginx(self, docroot, **kwargs):
        self.nginx = Nginx(self, docroot, **kwargs)
        return self.nginx

    def start_scripted(self, routes=None, lifetime=180, tls=None, close_notify=True):
        """The scripted server; with tls (certificate file, key file) behind TLS."""
        if tls:
            server = TlsScriptedServer(routes, tls, close_notify, lifetime=lifetime)
        else:
            server = scripted_server.ScriptedServer(routes, lifetime=lifetime)
        server.start()
        self._servers.append(server)
        return server

    def certificates(self):
        """A fresh throwaway CA and its server certificates, in the run folder."""
        return Certificates(os.path.join(self.dir, "certificates"))

    def trust(self, ca_file):
        """Adds a CA certificate file (a Linux path) to the prefix's trusted roots
        (LocalMachine "Root")."""
        windows_path = "Z:" + os.path.abspath(ca_file).replace("/", "\\")
        proc = self.start_wine([self.tool("add_root_cert.exe"), windows_path],
                               stderr=subprocess.PIPE)
        try:
            _, error = proc.communicate(timeout=60)
        except subprocess.TimeoutExpired:
            raise RigError("add_root_cert did not end within 60 s")
        if proc.returncode != 0:
            raise RigError("add_root_cert failed: %s" % error.decode("latin-1").strip())

    def refused_port(self):
        sock, port = scripted_server.refused_port()
        self._held_sockets.append(sock)
        return port

    # The wizard ---------------------------------------------------------------------------
    def place_wizard(self, partner=b"acme\r\n", download_list=None, folder="C:\\wizard"):
        """Copies the program into the prefix with its two data files (None: left out)."""
        exe = os.path.join(self.build, "OrvexDownload.exe")
        os.makedirs(self.host_path(folder), exist_ok=True)
        shutil.copy(exe, self.host_path(folder + "\\OrvexDownload.exe"))
        if partner is not None:
            self.write_file(folder + "\\partner.dat", partner)
        if download_list is not None:
            self.write_file(folder + "\\OrvexDownload.dat", download_list)
        self.wizard_path = folder + "\\OrvexDownload.exe"

    def start_wizard(self, *args):
        self.wizard = self.start_wine([self.wizard_path] + list(args))
        return self.wizard

    def wizard_exit(self, seconds=20):
        """The wizard's exit code as Wine reports it (0..255)."""
        try:
            return self.wizard.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            raise RigError("the wizard did not exit within %d s" % seconds)

    # Tear-down ----------------------------------------------------------------------------
    def stop_process(self, proc, grace=3):
        if proc.poll() is None:
            try:
                os.killpg(proc.pid, signal.SIGTERM)
            except OSError:
                pass
            try:
                proc.wait(timeout=grace)
            except subprocess.TimeoutExpired:
                try:
                    os.killpg(proc.pid, signal.SIGKILL)
                except OSError:
                    pass
                proc.wait(timeout=grace)
        for stream in (proc.stdin, proc.stdout):
            if stream:
                stream.close()

    def close(self, failed=False):
        if self.driver:
            self.driver.quit()
        if os.path.isdir(self.prefix) and hasattr(self, "env"):
            try:
                subprocess.run(["wineserver", "-k"], env=self.env, timeout=15,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            except subprocess.TimeoutExpired:
                pass
        for server in self._servers:
            server.stop()
        for sock in self._held_sockets:
            sock.close()
        for proc in reversed(self._procs):
            self.stop_process(proc)
        self._unmount_all()  # before anything under the run folder is removed
        if failed or self.keep:
            print("e2e: run folder kept at %s" % self.dir, file=sys.stderr)
        else:
            shutil.rmtree(self.dir, ignore_errors=True)
