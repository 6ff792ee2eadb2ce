"""The rig for whole-program scenarios: a Wine prefix, a display, servers and the UI driver.

A Rig is a context manager. Everything it starts (Xvfb, the web servers, scripted servers, Wine
processes and the prefix's wineserver) is stopped when the block ends, also on failure.
Everything it writes lies in its run folder under the build folder (a docroot that Apache's
workers cannot reach there lies in the system's temporary folder, linked from the run folder).
"""

import json
import os
import pwd
import select
import shlex
import shutil
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
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


def listening(proc, name, ports):
    """Whether a server process (None: one that runs on its own) accepts connections on each of
    its loopback ports yet."""
    if proc is not None and proc.poll() is not None:
        raise RigError("%s exited" % name)
    try:
        for port in ports:
            with socket.create_connection(("127.0.0.1", port), timeout=0.5):
                pass
        return True
    except OSError:
        return False


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

    def texts(self, role):
        """The texts of all the window's controls, in template order."""
        return self.must("texts", role)["texts"]

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

    def __init__(self, folder, servers=True):
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
        if not servers:
            return
        self.server = self.issue("server", "localhost", "DNS:localhost,IP:127.0.0.1")
        self.wrong_name = self.issue("wrong_name", "wrong.example", "DNS:wrong.example")
        self.expired = self.issue("expired", "localhost", "DNS:localhost",
                                   dates=("20200101000000Z", "20201231000000Z"))

    def _path(self, name):
        return os.path.join(self.folder, name)

    @staticmethod
    def _new_key():
        # RSA, not ECDSA: Wine 8 refuses a P-256 signature whose r or s is shorter than 32
        # bytes (about one certificate in 75), which made https scenarios fail at random.
        return ["-newkey", "rsa:2048", "-nodes"]

    def _openssl(self, *args):
        result = subprocess.run(["openssl"] + list(args), capture_output=True, text=True,
                                timeout=60)
        if result.returncode != 0:
            raise RigError("openssl %s failed: %s" % (args[0], result.stderr.strip()))

    def issue(self, name, common_name, alt_names, dates=None, usage="serverAuth", crl_url=None):
        """A server certificate and key signed by the CA: alt_names in openssl's notation,
        dates (start, end) in its time format (default: valid for a week from now); crl_url:
        where its revocation list is said to lie."""
        key, request, cert = (self._path(name + x) for x in (".key", ".csr", ".pem"))
        extensions = self._path(name + ".ext")
        with open(extensions, "w") as f:
            if alt_names:
                f.write("subjectAltName = %s\n" % alt_names)
            f.write("extendedKeyUsage = %s\nbasicConstraints = critical,CA:FALSE\n" % usage)
            if crl_url:
                f.write("crlDistributionPoints = URI:%s\n" % crl_url)
        self._openssl("req", "-new", "-subj", "/CN=" + common_name, "-keyout", key,
                      "-out", request, *self._new_key())
        validity = ["-startdate", dates[0], "-enddate", dates[1]] if dates else ["-days", "7"]
        self._openssl("ca", "-batch", "-notext", "-config", self._config, "-cert", self.ca,
                      "-keyfile", self._ca_key, "-in", request, "-out", cert,
                      "-extfile", extensions, *validity)
        return cert, key

    def revoke(self, cert, crl_file):
        """Revokes cert and writes the CA's revocation list (DER) to crl_file."""
        self._openssl("ca", "-config", self._config, "-cert", self.ca, "-keyfile", self._ca_key,
                      "-revoke", cert)
        pem = crl_file + ".pem"
        self._openssl("ca", "-gencrl", "-config", self._config, "-cert", self.ca, "-keyfile",
                      self._ca_key, "-crldays", "7", "-out", pem)
        self._openssl("crl", "-in", pem, "-outform", "DER", "-out", crl_file)


class CodeSigning:
    """A throwaway CA and a code-signing certificate it signed ("Orvex Test Publisher"), made
    with openssl in `folder`; programs signed with osslsigncode as the build signs a release."""

    def __init__(self, folder):
        self.certificates = Certificates(folder, servers=False)
        self.ca = self.certificates.ca
        self.publisher = self.certificates.issue("publisher", "Orvex Test Publisher", None,
                                                 usage="codeSigning")

    def sign(self, program, out, publisher=None):
        cert, key = publisher or self.publisher
        result = subprocess.run([os.path.join(SOURCE, "tools", "sign-program"), program, out,
                                 cert, key], capture_output=True, text=True, timeout=60)
        if result.returncode != 0:
            raise RigError("sign-program failed: %s" % result.stderr.strip())
        return out


class TlsScriptedServer(scripted_server.ScriptedServer):
    """The scripted server behind TLS with one certificate: each reply is sent encrypted, and
    its "close" end sends a close_notify first when close_notify is set. With notify_then_stall
    a "stall" end sends the close_notify and then holds the connection open."""

    def __init__(self, routes, certificate, close_notify=True, notify_then_stall=False,
                 **kwargs):
        super().__init__(routes, **kwargs)
        self._context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self._context.minimum_version = ssl.TLSVersion.TLSv1_2
        self._context.load_cert_chain(*certificate)
        self._close_notify = close_notify
        self._notify_then_stall = notify_then_stall

    def _stall(self, sock, seconds):
        if self._notify_then_stall:
            sock.settimeout(1)
            try:
                sock = sock.unwrap()  # the client answered with a close_notify of its own
            except (OSError, ValueError):
                pass  # it did not answer (or closed): the connection stays as it is
        super()._stall(sock, seconds)

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


def kib_per_second(rate):
    """nginx's notation of a rate ("64k", "1m", "8000") in KiB/s, as Apache and lighttpd take it."""
    scale = {"k": 1024, "m": 1024 * 1024}.get(rate[-1:].lower(), 1)
    number = rate[:-1] if scale > 1 else rate
    return max(1, int(number) * scale // 1024)


class RenegotiatingServer:
    """openssl's test server over TLS 1.2 for one connection: once the request has arrived it
    sends `reply` and then asks the client to renegotiate. (Python's ssl cannot ask for a
    renegotiation; s_server's "r" command does.) `output` is what it printed, the request
    included."""

    def __init__(self, rig, certificate, reply):
        self.port = free_port()
        self.output = b""
        self._proc = rig.spawn(["openssl", "s_server", "-accept", "127.0.0.1:%d" % self.port,
                                "-cert", certificate[0], "-key", certificate[1], "-tls1_2",
                                "-naccept", "1"],
                               stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT)
        self._read_until(b"ACCEPT", 15)
        self._thread = threading.Thread(target=self._serve, args=(reply,), daemon=True)
        self._thread.start()

    def _read_until(self, marker, seconds):
        deadline = time.monotonic() + seconds
        while marker not in self.output and time.monotonic() < deadline:
            ready, _, _ = select.select([self._proc.stdout], [], [], 0.1)
            if ready:
                chunk = os.read(self._proc.stdout.fileno(), 65536)
                if not chunk:
                    break
                self.output += chunk
        return marker in self.output

    def _serve(self, reply):
        try:
            if not self._read_until(b"\r\n\r\n", 60):
                return
            # Each line of its input that is a command must come in a read of its own.
            self._proc.stdin.write(reply)
            self._proc.stdin.flush()
            time.sleep(0.5)
            self._proc.stdin.write(b"r\n")
            self._proc.stdin.flush()
            self._read_until(b"never printed", 30)
        except (OSError, ValueError):
            pass


class WebServer:
    """A real web server on free loopback ports serving `docroot`: one port for plain HTTP, and
    with tls {name: (certificate file, key file)} one more for each certificate (tls_ports[name]),
    TLS 1.2 or newer. slow_paths: URL paths (and what lies below them) sent at `rate`.
    redirects (Apache only): (path, URL) pairs answered as Apache's `Redirect permanent` does;
    "{port}" in a URL stands for the server's http port.

    Each kind writes an access log of its own in one shape, read by requests() and
    server_names(); every process it starts is stopped when the rig closes, also on failure.
    One server of each kind per rig (its files in the run folder are named after the kind).
    Subclasses write the config (_configure) and start the server (_launch)."""

    kind = None
    logs_server_name = True

    def __init__(self, rig, docroot=None, slow_paths=(), rate="64k", tls=None, redirects=()):
        if redirects and self.kind != "apache":
            raise RigError("redirects are set up for Apache only")
        self.redirects = redirects
        self.rig = rig
        self.docroot = docroot or rig.public_folder("docroot")
        self.log = os.path.join(rig.dir, self.kind + "-access.log")
        self.error_log = os.path.join(rig.dir, self.kind + "-error.log")
        self.conf = os.path.join(rig.dir, self.kind + ".conf")
        self.proc = None
        rig.web_servers.append(self)
        for attempt in range(5):  # a free port may be taken before the server binds it
            self.port = free_port()
            self.tls_ports = {name: free_port() for name in (tls or {})}
            with open(self.conf, "w") as f:
                f.write(self._configure(slow_paths, rate, tls or {}))
            try:
                self._launch()
                wait_for(self._answers, 10, what="%s to listen" % self.kind)
                return
            except RigError:
                self.stop()
        raise RigError("%s did not start: see %s" % (self.kind, self.error_log))

    def _configure(self, slow_paths, rate, tls):
        raise NotImplementedError

    def _launch(self):
        self.proc = self.rig.spawn(self._command())

    def _running(self):
        return self.proc is not None and self.proc.poll() is None

    def _answers(self):
        if not self._running():
            raise RigError("%s exited" % self.kind)
        return listening(None, self.kind, [self.port] + list(self.tls_ports.values()))

    def stop(self):
        if self.proc is not None:
            self.rig.stop_process(self.proc)

    def put(self, path, data):
        """Writes a file under the docroot at a URL path, readable by every user (Apache's
        workers do not run as root), whatever the umask."""
        full = os.path.join(self.docroot, path.lstrip("/"))
        folder = os.path.dirname(full)
        os.makedirs(folder, exist_ok=True)
        while os.path.abspath(folder) != os.path.abspath(self.docroot):
            os.chmod(folder, 0o755)
            folder = os.path.dirname(folder)
        with open(full, "wb") as f:
            f.write(data)
        os.chmod(full, 0o644)
        return full

    def _fields(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log, encoding="latin-1") as f:
            return [line.rstrip("\n").split("|") for line in f if line.strip()]

    def requests(self):
        """[(request line, Host, status, body bytes sent)] in order of completion."""
        return [tuple(fields[:4]) for fields in self._fields()]

    def server_names(self):
        """The TLS server name (SNI) of each request in requests(), "-" for none; None when
        this kind of server does not log it."""
        if not self.logs_server_name:
            return None
        return [fields[-1] for fields in self._fields()]


class Nginx(WebServer):
    kind = "nginx"

    def _configure(self, slow_paths, rate, tls):
        rig, docroot = self.rig, self.docroot
        slow = "".join("    location %s { limit_rate %s; }\n" % (p, rate) for p in slow_paths)
        tls_servers = "".join(
            "  server {\n    listen 127.0.0.1:%d ssl;\n    root %s;\n"
            "    ssl_certificate %s;\n    ssl_certificate_key %s;\n"
            "    ssl_protocols TLSv1.2 TLSv1.3;\n%s  }\n"
            % (self.tls_ports[name], docroot, cert, key, slow)
            for name, (cert, key) in tls.items())
        return (("user root;\n" if os.getuid() == 0 else "")
                + "daemon off;\nworker_processes 1;\npid %s/nginx.pid;\n" % rig.dir
                + "error_log %s;\n" % self.error_log
                + "events { worker_connections 64; }\nhttp {\n"
                + "  log_format e2e '$request|$http_host|$status|$body_bytes_sent"
                + "|$connection|$ssl_server_name';\n"
                + "  access_log %s e2e;\n" % self.log
                + "  client_body_temp_path %s/nginx-tmp;\n" % rig.dir
                + "  proxy_temp_path %s/nginx-tmp;\n  fastcgi_temp_path %s/nginx-tmp;\n"
                % (rig.dir, rig.dir)
                + "  uwsgi_temp_path %s/nginx-tmp;\n  scgi_temp_path %s/nginx-tmp;\n"
                % (rig.dir, rig.dir)
                + "  default_type application/octet-stream;\n"
                + "  server {\n    listen 127.0.0.1:%d;\n    root %s;\n" % (self.port, docroot)
                + slow + "  }\n" + tls_servers + "}\n")

    def _command(self):
        return ["nginx", "-p", self.rig.dir, "-e", self.error_log, "-c", self.conf]

    def connections(self):
        """The connection (nginx's serial number) each request of requests() came on."""
        return [fields[4] for fields in self._fields()]


class Apache(WebServer):
    """Debian's Apache 2.4 from a config of its own (`-k start` runs it as a daemon, `-k stop`
    ends it). Its workers run as www-data: the docroot must be readable by every user."""

    kind = "apache"
    MODULES = "/usr/lib/apache2/modules"

    def _configure(self, slow_paths, rate, tls):
        _check_public(self.docroot)
        run = os.path.join(self.rig.dir, "apache-run")
        os.makedirs(run, exist_ok=True)
        self.pid_file = os.path.join(run, "apache.pid")
        modules = ["mpm_event", "authz_core"] + (["env", "ratelimit"] if slow_paths else [])
        modules += ["socache_shmcb", "ssl"] if tls else []
        modules += ["alias"] if self.redirects else []
        lines = ["ServerRoot /usr/lib/apache2", "ServerName localhost"]
        lines += ["LoadModule %s_module %s/mod_%s.so" % (m, self.MODULES, m) for m in modules]
        if os.getuid() == 0:
            lines += ["User www-data", "Group www-data"]
        lines += ["PidFile " + self.pid_file, "DefaultRuntimeDir " + run,
                  "ErrorLog " + self.error_log, "LogLevel warn",
                  "StartServers 1", "ServerLimit 1", "ThreadLimit 16", "ThreadsPerChild 16",
                  "MaxRequestWorkers 16", "MinSpareThreads 1", "MaxSpareThreads 16",
                  'LogFormat "%%r|%%{Host}i|%%>s|%%B|%s" e2e' % (
                      "%{SSL_TLS_SNI}x" if tls else "-"),
                  "CustomLog %s e2e" % self.log,
                  "Listen 127.0.0.1:%d" % self.port,
                  "DocumentRoot " + self.docroot,
                  "<Directory %s>\n  Require all granted\n</Directory>" % self.docroot]
        lines += ["Redirect permanent %s %s" % (path, url.format(port=self.port))
                  for path, url in self.redirects]
        lines += ["<Location %s>\n  SetOutputFilter RATE_LIMIT\n  SetEnv rate-limit %d\n"
                  "</Location>" % (path, kib_per_second(rate)) for path in slow_paths]
        if tls:
            lines.append("SSLSessionCache shmcb:%s/ssl_cache(512000)" % run)
        for name, (cert, key) in tls.items():
            port = self.tls_ports[name]
            lines += ["Listen 127.0.0.1:%d" % port,
                      "<VirtualHost 127.0.0.1:%d>\n  SSLEngine on\n  SSLCertificateFile %s\n"
                      "  SSLCertificateKeyFile %s\n  SSLProtocol -all +TLSv1.2 +TLSv1.3\n"
                      "</VirtualHost>" % (port, cert, key)]
        return "\n".join(lines) + "\n"

    def _launch(self):
        # The starting process ends once the daemon runs (or it could not bind or parse).
        starter = self.rig.spawn(["apache2", "-f", self.conf, "-k", "start"])
        try:
            code = starter.wait(timeout=30)
        except subprocess.TimeoutExpired:
            raise RigError("apache2 -k start did not end within 30 s")
        if code != 0:
            raise RigError("apache2 -k start exited with %d" % code)
        wait_for(self._daemon, 10, what="apache's pid file")

    def _daemon(self):
        """The daemon's pid from its pid file, while that process lives (a zombie is gone)."""
        try:
            with open(self.pid_file) as f:
                pid = int(f.read().split()[0])
            with open("/proc/%d/stat" % pid) as f:
                state = f.read().rsplit(")", 1)[1].split()[0]
        except (OSError, ValueError, IndexError):
            return None
        return pid if state != "Z" else None

    def _running(self):
        return self._daemon() is not None

    def stop(self):
        pid = self._daemon()
        if pid is None:
            return
        subprocess.run(["apache2", "-f", self.conf, "-k", "stop"], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=15)
        # The daemon may end before its workers have closed their listening sockets.
        ports = [self.port] + list(self.tls_ports.values())
        try:
            wait_for(lambda: self._daemon() is None and not listening(None, self.kind, ports), 5,
                     what="apache to stop")
        except RigError:
            try:
                os.killpg(pid, signal.SIGKILL)  # the daemon leads its workers' group
            except OSError:
                pass


class Lighttpd(WebServer):
    """Debian's lighttpd in the foreground (-D). It logs no TLS server name."""

    kind = "lighttpd"
    logs_server_name = False

    def _configure(self, slow_paths, rate, tls):
        def quoted(text):
            return '"%s"' % text.replace("\\", "\\\\").replace('"', '\\"')
        # Through a pipe: lighttpd writes a log file only every few seconds.
        logger = "|exec cat >> " + shlex.quote(self.log)
        lines = ["server.document-root = " + quoted(self.docroot),
                 'server.bind = "127.0.0.1"', "server.port = %d" % self.port,
                 "server.pid-file = " + quoted(os.path.join(self.rig.dir, "lighttpd.pid")),
                 "server.errorlog = " + quoted(self.error_log),
                 'server.modules = ("mod_accesslog"%s)' % (', "mod_openssl"' if tls else ""),
                 "accesslog.filename = " + quoted(logger),
                 'accesslog.format = "%r|%{Host}i|%>s|%b"']
        lines += ['$HTTP["url"] =^ %s { connection.kbytes-per-second = %d }'
                  % (quoted(path), kib_per_second(rate)) for path in slow_paths]
        for name, (cert, key) in tls.items():
            lines.append('$SERVER["socket"] == "127.0.0.1:%d" {\n  ssl.engine = "enable"\n'
                         "  ssl.pemfile = %s\n  ssl.privkey = %s\n"
                         '  ssl.openssl.ssl-conf-cmd = ("MinProtocol" => "TLSv1.2")\n}'
                         % (self.tls_ports[name], quoted(cert), quoted(key)))
        return "\n".join(lines) + "\n"

    def _command(self):
        return ["lighttpd", "-D", "-f", self.conf]


WEB_SERVERS = {server.kind: server for server in (Nginx, Apache, Lighttpd)}


def _check_public(folder):
    """Raises unless every user can reach and read `folder`."""
    path = os.path.abspath(folder)
    if not os.stat(path).st_mode & 0o004:
        raise RigError("%s cannot be read by other users" % path)
    while True:
        if not os.stat(path).st_mode & 0o001:
            raise RigError("other users cannot pass through %s" % path)
        if path == os.path.dirname(path):
            return
        path = os.path.dirname(path)


class Squid:
    """Debian's squid as the user's proxy, on a free loopback port with a config of its own.

    hosts: names that squid (and nothing else on the machine) resolves to 127.0.0.1, so that a
    server reached by such a name was reached through the proxy. Its access log gives what it
    forwarded. Started as root its workers run as the user proxy, which must be able to write
    its folder."""

    def __init__(self, rig, hosts=("skins.test",)):
        self.folder = os.path.join(rig.dir, "squid")
        os.makedirs(self.folder, exist_ok=True)
        if os.getuid() == 0:
            os.chmod(rig.dir, 0o711)  # the workers pass through to their folder, no more
            account = pwd.getpwnam("proxy")
            os.chown(self.folder, account.pw_uid, account.pw_gid)
        hosts_file = os.path.join(self.folder, "hosts")
        with open(hosts_file, "w") as f:
            f.write("".join("127.0.0.1 %s\n" % name for name in hosts))
        self.log = os.path.join(self.folder, "access.log")
        conf = os.path.join(self.folder, "squid.conf")
        for attempt in range(5):
            self.port = free_port()
            with open(conf, "w") as f:
                f.write("http_port 127.0.0.1:%d\n" % self.port
                        + "visible_hostname orvex-test-proxy\n"
                        + "cache deny all\nhosts_file %s\n" % hosts_file
                        + "acl localnet src 127.0.0.1/32\nhttp_access allow localnet\n"
                        + "http_access deny all\nshutdown_lifetime 1 seconds\n"
                        + "pid_filename %s/squid.pid\n" % self.folder
                        + "access_log stdio:%s\ncache_log %s/cache.log\n" % (self.log, self.folder)
                        + "cache_store_log none\nnetdb_filename none\ncoredump_dir %s\n"
                        % self.folder
                        + "pinger_enable off\nmax_filedescriptors 1024\n")
            self.proc = rig.spawn(["squid", "-N", "-f", conf])
            try:
                wait_for(self._answers, 15, what="squid to listen")
                return
            except RigError:
                rig.stop_process(self.proc, grace=5)
        raise RigError("squid did not start: see %s/cache.log" % self.folder)

    def _answers(self):
        return listening(self.proc, "squid", [self.port])

    def requests(self):
        """[(method, URL, squid's result code and status)] of what it handled, in order."""
        if not os.path.exists(self.log):
            return []
        with open(self.log, encoding="latin-1") as f:
            fields = [line.split() for line in f if line.strip()]
        # A connection without a request (the rig's own probe) is logged with no method.
        return [(words[5], words[6], words[3]) for words in fields
                if len(words) > 6 and words[5] != "-"]

    @property
    def address(self):
        return "127.0.0.1:%d" % self.port


def build_arch(build):
    """win32 or win64: what the Windows build folder builds, from its CMake cache."""
    with open(os.path.join(build, "CMakeCache.txt")) as f:
        for line in f:
            if line.startswith("ORVEX_WINDOWS_ARCH:"):
                return "win32" if line.strip().endswith("=i686") else "win64"
    raise RigError("%s is not a Windows build folder" % build)


class Rig:
    def __init__(self, name, build_dir, display=None, keep=False, wine=True):
        """wine=False: servers only, no prefix, display or driver."""
        self.build = os.path.abspath(build_dir)
        # A rig of servers alone needs no Windows build.
        self.arch = build_arch(self.build) if wine else None
        self.loader, self._template = WINE_FOR_ARCH[self.arch] if wine else (None, None)
        self.runs = os.path.join(self.build, "e2e-runs")
        os.makedirs(self.runs, exist_ok=True)
        self.dir = tempfile.mkdtemp(prefix=name + ".", dir=self.runs)
        self.prefix = os.path.join(self.dir, "prefix")
        self.keep = keep
        self.wine = wine
        self._display = display
        self._procs = []
        self._servers = []
        self._held_sockets = []
        self._mounts = []
        self._outside = []  # folders of the run that lie outside the run folder
        self.driver = None
        self.web_servers = []
        self.web = None  # the last web server started
        self.nginx = None
        self.squid = None
        self.wizard = None
        self._setup_program = None
        self.signing = None  # the trusted code-signing CA of setup_program()

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
        if not self.wine:
            return
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
        return self.spawn([self.loader] + argv, **kwargs)

    def tool(self, name):
        return os.path.join(self.build, "tools", name)

    # Files of the prefix ----------------------------------------------------------------
    def add_outside(self, folder):
        """A folder of the run outside the run folder: removed (or kept) with it."""
        self._outside.append(folder)

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

    def start_messenger(self, mutex="Kestrane Orvex Mutex", event=False):
        """The stand-in messenger holding a mutex of that name (with event, an event)."""
        argv = [self.tool("standin_messenger.exe")] + (["--event"] if event else []) + [mutex]
        proc = self.start_wine(argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        ready, _, _ = select.select([proc.stdout], [], [], 60)
        line = proc.stdout.readline() if ready else b""
        if line.strip() != b"ready":
            raise RigError("stand-in messenger did not start: %r" % line)
        return proc

    def public_folder(self, name):
        """A new folder of the run that every user can read (Apache's workers run as
        www-data): `name` in the run folder when other users may pass through every folder
        above it, else a folder in the system's temporary folder, linked from there."""
        os.chmod(self.dir, 0o711)
        path = os.path.join(self.dir, name)
        os.makedirs(path)
        os.chmod(path, 0o755)
        try:
            _check_public(path)
        except RigError:
            os.rmdir(path)
            outside = tempfile.mkdtemp(prefix="orvex-e2e-%s." % name)
            os.chmod(outside, 0o755)
            self._outside.append(outside)
            os.symlink(outside, path)
            path = outside
        return path

    # Servers ------------------------------------------------------------------------------
    def start_web(self, kind, docroot=None, **kwargs):
        """A web server of that kind ("nginx", "apache", "lighttpd", see WebServer) serving
        docroot (default: a public folder "docroot" of the run)."""
        self.web = WEB_SERVERS[kind](self, docroot, **kwargs)
        return self.web

    def start_nginx(self, docroot, **kwargs):
        self.nginx = self.start_web("nginx", docroot, **kwargs)
        return self.nginx

    def start_squid(self, **kwargs):
        self.squid = Squid(self, **kwargs)
        return self.squid

    def start_scripted(self, routes=None, lifetime=180, tls=None, close_notify=True,
                       notify_then_stall=False, host="127.0.0.1", port=0, most_connections=None):
        """The scripted server on a loopback address (::1 too); with tls (certificate file, key
        file) behind TLS."""
        if tls:
            server = TlsScriptedServer(routes, tls, close_notify, notify_then_stall,
                                       lifetime=lifetime, host=host, port=port)
        else:
            server = scripted_server.ScriptedServer(routes, lifetime=lifetime, host=host,
                                                    port=port, most_connections=most_connections)
        server.start()
        self._servers.append(server)
        return server

    def start_renegotiating(self, certificate, reply):
        """openssl's server that answers one https request with reply and then asks for a
        renegotiation (see RenegotiatingServer)."""
        return RenegotiatingServer(self, certificate, reply)

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

    def code_signing(self, name="signing"):
        """A fresh throwaway code-signing CA and publisher (not trusted by the prefix)."""
        return CodeSigning(os.path.join(self.dir, name))

    def setup_program(self):
        """The stand-in setup as served: signed under a test CA that the prefix trusts, so that
        a run may start it whatever it came over (bytes; made once per rig)."""
        if self._setup_program is None:
            signing = self.signing = self.code_signing()
            self.trust(signing.ca)
            signed = signing.sign(self.tool("standin_setup.exe"),
                                  os.path.join(self.dir, "signed_setup.exe"))
            with open(signed, "rb") as f:
                self._setup_program = f.read()
        return self._setup_program

    def refused_port(self, host="127.0.0.1", port=0):
        sock, port = scripted_server.refused_port(host, port)
        self._held_sockets.append(sock)
        return port

    def silent_port(self, host="127.0.0.1", port=0):
        """A port where a connect gets no answer (see scripted_server.silent_port)."""
        socks, port = scripted_server.silent_port(host, port)
        self._held_sockets.extend(socks)
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

    def start_wizard(self, *args, hosts=None, lang=None):
        """The wizard with args. With lang (a Linux locale such as "de_DE.UTF-8", which need not
        be installed) Wine gives it that display language and code page; Wine 8 takes them from
        LC_ALL: LANG alone leaves a prefix made in another locale as it was. With hosts (the
        lines of a hosts file) it resolves names by that file alone: it runs in a mount namespace
        of its own with the file over /etc/hosts (needs root)."""
        argv = [self.wizard_path] + list(args)
        env = dict(self.env, LANG=lang, LC_ALL=lang) if lang else self.env
        if hosts is None:
            self.wizard = self.start_wine(argv, env=env)
            return self.wizard
        path = os.path.join(self.dir, "hosts-%d" % len(self._procs))
        with open(path, "w") as f:
            f.write("".join(line + "\n" for line in hosts))
        self.wizard = self.spawn(["unshare", "-m", "sh", "-c",
                                  'mount --bind "$0" /etc/hosts && exec "$@"', path,
                                  self.loader] + argv, env=env)
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
        for web in self.web_servers:
            web.stop()
        for sock in self._held_sockets:
            sock.close()
        for proc in reversed(self._procs):
            self.stop_process(proc)
        self._unmount_all()  # before anything under the run folder is removed
        if failed or self.keep:
            print("e2e: run folder kept at %s" % " and ".join([self.dir] + self._outside),
                  file=sys.stderr)
        else:
            for folder in [self.dir] + self._outside:
                shutil.rmtree(folder, ignore_errors=True)
