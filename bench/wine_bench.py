"""The Wine part of the download benchmark.

Runs in one rig of the end-to-end tests (tests/e2e/harness.py): one copy of the template Wine
prefix, one Xvfb, one nginx on 127.0.0.1 and the UI driver. Everything that runs under Wine
is the build named by --wine-build: by default the 64-bit one (build/win64, loader
/usr/lib/wine/wine64), which runs on every machine of this kind, also where the kernel runs
no 32-bit code, so that figures compare across machines.

Contenders, interleaved round by round:
  engine   bench_download.exe: the program's FileDownload (WriteFile through OutputFile, 256 KiB
           body receives) without a progress page
  WinINet  bench_wininet.exe: InternetReadFile in 64 KiB reads; then CopyFileA of the file
           from the temporary folder to a destination and a flush of the copy (timed apart)
  WinHTTP  bench_winhttp.exe: WinHttpReadData in 64 KiB reads
  wizard   OrvexDownload.exe driven through the UI driver: from pressing Next >> until the
           welcome page reads Done, the package (Skin.dat and the large file) installed in the
           partner folder; compared with WinINet's download plus copy
  demo     the wizard with the demo's small package, from the process's start until Done
Then Cancel on the progress page during a 256 MiB transfer (nginx limit_rate keeps it
running): the time from the click until the stop question (message 18) is on screen, timed by
the UI driver, each question answered No; and the same while the server of the large file has
stalled after 64 KiB, so that the page has nothing else to do: the cost of the question alone.

Many small files (--parts many), over http and over https (https://localhost, whose certificate
a throwaway CA signed that the prefix trusts), interleaved round by round, each whole process
timed from its start to its exit:
  wizard   OrvexDownload.exe /quiet on a package of N files of K KiB, the files installed in
           the partner folder checked byte for byte
  WinINet  bench_wininet.exe --many: one session fetches the files into a folder, then copies
           each with CopyFileA into another, flushes the copy and removes the download
Then one wizard run per protocol with /log, whose timestamps split its time into phases.

Round trips (--parts rtt): the same two kinds of contender, whole processes timed, on a package
of N files of K KiB and on one large file, over http and https, at each round trip of --rtt-ms:
0 means straight to nginx, anything else through a LatencyRelay (latency_relay.py) that delays
every byte by half the round trip each way and a new connection's first bytes by one more.
With --compare-wizard, another build of OrvexDownload.exe runs beside them, in the same rounds.
"""

import datetime
import filecmp
import os
import re
import shutil
import statistics
import subprocess
import sys
import textwrap
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import harness  # noqa: E402
import latency_relay  # noqa: E402
import sample_package  # noqa: E402
import scenarios  # noqa: E402
from harness import ID_CANCEL, ID_CURRENT_FILE, ID_NEXT, RigError, wait_for  # noqa: E402
from scripted_server import ok_reply  # noqa: E402

MIB = 1024 * 1024
SIZES = [("64MiB", 64 * MIB), ("256MiB", 256 * MIB)]
LATENCY_SIZE = "256MiB"
SMALL_PACKAGE = {"Skin.dat": sample_package.SKIN_DAT,
                 "skin.bmp": sample_package.skin_bmp(480, 360)}  # the demo's package
IDNO, IDYES = 7, 6

# Engine variants of the experiments (bench/engine_variants.h), each beside the engine as the
# program uses it.
EXPERIMENTS = [
    ("program, no page", []),
    ("program + page (the wizard's path)", ["page=send"]),
    ("sink: fwrite, no page", ["engine=sink"]),
    ("sink + page, sent GETPOS+SETPOS", ["engine=sink", "page=send"]),
    ("sink + page, GETPOS only", ["engine=sink", "page=roundtrip"]),
    ("sink + page shown, no updates", ["engine=sink", "page=idle"]),
    ("sink + page, SETPOS posted", ["engine=sink", "page=post"]),
    ("sink + page, SETPOS per 1/512", ["engine=sink", "page=coarse"]),
    ("sink + page, 100 ms timer", ["engine=sink", "page=timer"]),
    ("sink: WriteFile", ["engine=sink", "write=writefile"]),
    ("sink: nothing written", ["engine=sink", "write=none"]),
    ("sink: 64 KiB receives", ["engine=sink", "receive=65536"]),
    ("sink: 256 KiB receives", ["engine=sink", "receive=262144"]),
    ("sink: 256 KiB + WriteFile", ["engine=sink", "receive=262144", "write=writefile"]),
    ("sink: 256 KiB + page, sent per block",
     ["engine=sink", "receive=262144", "page=send"]),
    ("sink: 256 KiB + WriteFile + timer page",
     ["engine=sink", "receive=262144", "write=writefile", "page=timer"]),
]


class BenchError(Exception):
    pass


STAMP = re.compile(r"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d) (.*)")
TRANSFER = re.compile(r"GET \S+: status \d+\b.* in (\d+) ms\b")


def log_phases(text, started, ended):
    """Seconds of a logged run's phases from its lines' local times and the process's start
    and exit (time.time()): start-up until the line before the first GET (the first request
    begins), the downloads until the last file written, within them the transfers' own times
    ("in N ms") and what lies around them, staging and installation until the last file
    installed, and the rest until the exit. Lines of other kinds (retries, redirects, routes)
    fall into the phase they lie in."""
    lines = []
    for line in text.splitlines():
        match = STAMP.match(line)
        if match:
            when = datetime.datetime.strptime(match[1], "%Y-%m-%dT%H:%M:%S.%f%z").timestamp()
            lines.append((when, match[2]))
    gets = [i for i, (_, what) in enumerate(lines) if TRANSFER.match(what)]
    wrote = [when for when, what in lines if what.startswith("wrote ")]
    installed = [when for when, what in lines if what.startswith("installed ")]
    if not (gets and wrote and installed):
        raise BenchError("the log has no GET, wrote or installed line")
    first = lines[max(gets[0] - 1, 0)][0]
    transfers = sum(int(TRANSFER.match(lines[i][1])[1]) for i in gets) / 1000.0
    return {"start-up": first - started, "downloads": wrote[-1] - first,
            "transfers": transfers, "around": wrote[-1] - first - transfers,
            "installation": installed[-1] - wrote[-1], "rest": ended - installed[-1],
            "requests": len(gets), "seconds": ended - started}


def report_fields(stdout):
    """The key=value fields of a bench program's report line."""
    for line in reversed(stdout.splitlines()):
        if line.startswith("bytes="):
            return {k: float(v) for k, v in (f.split("=") for f in line.split())}
    raise BenchError("no report line in %r" % stdout[-300:])


def peak_mib(pid, program):
    """The peak resident size of a live process (VmHWM), in MiB."""
    with open("/proc/%d/cmdline" % pid, "rb") as f:
        if program.encode() not in f.read():  # Wine runs the program in the loader's process
            raise BenchError("process %d is not %s" % (pid, program))
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024.0
    raise BenchError("no VmHWM for %d" % pid)


class WineBench:
    def __init__(self, rig, data, sizes, rate, log, many=None, rtt=None):
        """many: (files, KiB) of the package of many small files, or None; rtt: the
        RoundTrips to measure, or None."""
        self.rig = rig
        self.data = data  # {name: path of the source file}
        self.sizes = sizes
        self.log = log
        self.many = {}  # {file name: bytes} of the package of many files
        if many:
            count, kib = many
            self.many = {"file%04d.bin" % i: os.urandom(kib * 1024) for i in range(count)}
        self.driver = rig.driver
        self.temp = "C:\\users\\%s\\Temp\\bench" % rig.user
        self.copies = "C:\\bench-copies"
        for folder in (self.temp, self.copies):
            os.makedirs(rig.host_path(folder), exist_ok=True)
        self.docroot = os.path.join(rig.dir, "docroot")
        self.rtt = rtt
        self._serve(rate)
        self._prepare_wizards()
        if rtt:
            rtt.prepare(self)

    # Set-up ----------------------------------------------------------------------------
    def _put(self, path, data=None, link=None):
        full = os.path.join(self.docroot, path.lstrip("/"))
        os.makedirs(os.path.dirname(full), exist_ok=True)
        if link is not None:
            os.link(link, full)
        else:
            with open(full, "wb") as f:
                f.write(data)

    def _serve(self, rate):
        os.makedirs(self.docroot)
        tls = None
        if self.many or self.rtt:
            certs = self.rig.certificates()  # its server certificate names localhost
            self.rig.trust(certs.ca)
            tls = {"server": certs.server}
        self.nginx = self.rig.start_nginx(self.docroot, slow_paths=["/pkg/slow/"], rate=rate,
                                          tls=tls)
        self.base = "http://127.0.0.1:%d" % self.nginx.port
        self.bases = {"http": self.base}
        if tls:
            self.bases["https"] = "https://localhost:%d" % self.nginx.tls_ports["server"]
        for name, _ in self.sizes:
            self._put("/files/%s.bin" % name, link=self.data[name])
        # The wizard's packages, each under a partner of its own: one for each large file,
        # the demo's, and one served slowly. {partner: {file name: bytes or source path}}
        self.partners = {}
        for name, _ in self.sizes:
            self.partners["p" + name] = {"Skin.dat": sample_package.SKIN_DAT,
                                         name + ".bin": self.data[name]}
        self.partners["demo"] = dict(SMALL_PACKAGE)
        if LATENCY_SIZE in self.data:
            self.partners["slow"] = {"Skin.dat": sample_package.SKIN_DAT,
                                     LATENCY_SIZE + ".bin": self.data[LATENCY_SIZE]}
            # Its large file comes from a scripted server that stops sending after a few blocks.
            self.partners["stalled"] = {"Skin.dat": sample_package.SKIN_DAT, "stalled.bin": None}
        for scheme in self.bases if self.many else ():
            self.partners["many-" + scheme] = self.many
        for partner, files in self.partners.items():
            self._index(partner, self.base)
            for file_name, content in files.items():
                if content is None:
                    continue
                if isinstance(content, bytes):
                    self._put("/pkg/%s/%s" % (partner, file_name), content)
                else:
                    self._put("/pkg/%s/%s" % (partner, file_name), link=content)
        if "https" in self.bases:
            self._index("many-https", self.bases["https"])

    def _index(self, partner, package_base):
        self._put("/cb/partner/%s/urls.cb" % partner,
                  ("%s/pkg/%s/\r\n%s/dl/OrvexSetup.exe\r\n" % (package_base, partner, self.base))
                  .encode())

    def _prepare_wizards(self):
        first = True
        for partner, files in self.partners.items():
            listing = scenarios.download_list(list(files)).encode()
            folder = "C:\\wizard-" + partner
            if first:  # the messenger's registry and folder, once
                scenarios.prepare(self.rig, names=list(files), partner=partner.encode() + b"\r\n")
                first = False
            self.rig.place_wizard(partner=partner.encode() + b"\r\n", download_list=listing,
                                  folder=folder)
        scenarios.point_at(self.rig, self.base + "/cb/partner")

    # Programs of the benchmark -------------------------------------------------------------
    def _run_tool(self, exe, args, timeout=900):
        argv = [self.rig.loader, os.path.join(self.rig.build, "bench", exe)] + args
        result = subprocess.run(argv, env=self.rig.env, capture_output=True, text=True,
                                timeout=timeout)
        if result.returncode != 0:
            raise BenchError("%s %s: exit %d\n%s" % (exe, " ".join(args), result.returncode,
                                                     result.stderr[-2000:]))
        return report_fields(result.stdout)

    def _take(self, windows_path, source):
        """Checks that the file arrived whole (source: its bytes or its path), removes it."""
        path = self.rig.host_path(windows_path)
        if not os.path.exists(path):
            raise BenchError("%s is missing" % windows_path)
        if isinstance(source, bytes):
            with open(path, "rb") as f:
                same = f.read() == source
        else:
            same = filecmp.cmp(path, source, shallow=False)
        if not same:
            raise BenchError("%s differs from what was served" % windows_path)
        os.remove(path)

    def engine(self, name, variant=()):
        """(seconds, peak MiB) of bench_download.exe fetching the file of that name."""
        url = "%s/files/%s.bin" % (self.base, name)
        target = "%s\\%s.bin" % (self.temp, name)
        report = self._run_tool("bench_download.exe", [url, target] + list(variant))
        if "write=none" in variant:
            if report["bytes"] != os.path.getsize(self.data[name]):
                raise BenchError("%s: %d bytes received" % (" ".join(variant), report["bytes"]))
        else:
            self._take(target, self.data[name])
        return report["seconds"], report["peak_kib"] / 1024.0

    def downloader(self, exe, name, copy):
        """(seconds, copy seconds, peak MiB) of the WinINet or WinHTTP downloader."""
        url = "%s/files/%s.bin" % (self.base, name)
        target = "%s\\%s.bin" % (self.temp, name)
        destination = "%s\\%s.bin" % (self.copies, name)
        report = self._run_tool(exe, [url, target] + ([destination] if copy else []))
        if copy:
            if os.path.exists(self.rig.host_path(target)):
                raise BenchError("%s left its temporary file" % exe)
            self._take(destination, self.data[name])
        else:
            self._take(target, self.data[name])
        return report["seconds"], report["copy_seconds"], report["peak_kib"] / 1024.0

    # The wizard ------------------------------------------------------------------------------
    def _start_wizard(self, partner):
        self.rig.wizard_path = "C:\\wizard-%s\\OrvexDownload.exe" % partner
        started = time.perf_counter()
        self.rig.start_wizard()
        self.driver.wait("welcome", 60)
        return started

    def _leave_wizard(self):
        self.driver.press("welcome", ID_CANCEL)
        self.rig.wizard_exit(30)

    def wizard(self, partner, timeout=900):
        """(seconds from Next >> to Done, seconds from the process's start to Done, peak MiB)."""
        d = self.driver
        started = self._start_wizard(partner)
        pressed = time.perf_counter()
        d.press("welcome", ID_NEXT)
        while d.call("text", "welcome", ID_CANCEL).get("text") != "Done":
            waited = time.perf_counter() - pressed
            if waited > timeout:
                raise BenchError("the wizard did not report Done in %d s (%s)" % (timeout, partner))
            # Looking costs Wine some work too: often at first, then within 0.5 % of the time.
            time.sleep(min(0.25, max(0.01, waited / 200)))
        done = time.perf_counter()
        peak = peak_mib(self.rig.wizard.pid, "OrvexDownload.exe")
        if d.boxes():
            raise BenchError("message boxes after the wizard's run: %r" % d.boxes())
        folder = scenarios.MESSENGER_FOLDER + "\\Partner\\" + partner
        for file_name, content in self.partners[partner].items():
            self._take(folder + "\\" + file_name, content)
        self._leave_wizard()
        return done - pressed, done - started, peak

    def cancel_latency(self, tries, stalled=False, restarts=3):
        """Milliseconds from Cancel to the stop question, each answered No, during the slow
        256 MiB transfer (or one whose server stalls after 64 KiB); a transfer that ends
        before all tries are made is started again."""
        d = self.driver
        partner, file_name = ("stalled", "stalled.bin") if stalled else \
            ("slow", LATENCY_SIZE + ".bin")
        if stalled:
            server = self.rig.start_scripted({
                "/pkg/stalled/Skin.dat": ok_reply(sample_package.SKIN_DAT),
                "/pkg/stalled/stalled.bin": ok_reply(b"\0" * 65536, content_length=256 * MIB,
                                                     end="stall", stall=120)}, lifetime=600)
            self._index(partner, "http://127.0.0.1:%d" % server.port)
        latencies = []
        for _ in range(restarts + 1):
            self._start_wizard(partner)
            d.press("welcome", ID_NEXT)
            d.wait("progress", 30)
            wait_for(lambda: d.call("text", "progress", ID_CURRENT_FILE).get("text") ==
                     "Currently downloading " + file_name, 60, what="the large file's transfer")
            while len(latencies) < tries:
                answer = d.call("timedpress", "progress", ID_CANCEL, "box", 10000,
                                timeout_ms=10000)
                if not answer.get("ok"):
                    if not d.present("progress"):
                        break  # the transfer ended: start another
                    raise BenchError("no stop question: %r" % answer)
                boxes = d.boxes()
                if [b["text"] for b in boxes] != [scenarios.MSG_STOP]:
                    raise BenchError("expected the stop question, saw %r" % boxes)
                latencies.append(answer["ms"])
                d.must("press", "box", IDNO)
                wait_for(lambda: not d.boxes(), 10, what="the question to close")
                time.sleep(0.25)
            if d.present("progress"):
                d.press("progress", ID_CANCEL)
                d.answer_box(IDYES, 10)
                d.gone("progress", 10)
            self._leave_wizard()
            if len(latencies) >= tries:
                return latencies
            self.log("cancel latency: the transfer ended after %d tries; again" % len(latencies))
        raise BenchError("only %d tries of the cancel latency" % len(latencies))

    # Many small files ------------------------------------------------------------------------
    def _take_files(self, folder, files):
        for file_name, content in files.items():
            self._take(folder + "\\" + file_name, content)

    def wininet_package(self, package_url, files, listing):
        """(seconds from start to exit, download seconds, copy+flush seconds) of bench_wininet
        --many fetching files ({name: bytes}) from package_url, their names in listing."""
        if not os.path.exists(self.rig.host_path(listing)):
            self.rig.write_file(listing, "".join(n + "\n" for n in files))
        downloads, copies = self.temp + "\\many", self.copies + "\\many"
        for folder in (downloads, copies):
            os.makedirs(self.rig.host_path(folder), exist_ok=True)
        started = time.perf_counter()
        report = self._run_tool("bench_wininet.exe", ["--many", package_url, listing, downloads,
                                                      copies])
        seconds = time.perf_counter() - started
        if os.listdir(self.rig.host_path(downloads)):
            raise BenchError("bench_wininet left downloads behind")
        self._take_files(copies, files)
        return seconds, report["seconds"], report["copy_seconds"]

    def quiet_wizard(self, partner, files, log=None, timeout=600, folder=None):
        """(seconds, wall-clock start, wall-clock exit) of OrvexDownload.exe /quiet [/log log]
        in C:\\wizard-<partner> (or folder), its installed files checked against files."""
        self.rig.wizard_path = "%s\\OrvexDownload.exe" % (folder or "C:\\wizard-" + partner)
        args = ["/quiet"] + (["/log", log] if log else [])
        wall = time.time()
        started = time.perf_counter()
        self.rig.start_wizard(*args)
        code = self.rig.wizard_exit(timeout)
        seconds = time.perf_counter() - started
        if code != 0:
            raise BenchError("the wizard ended with %d (%s)" % (code, self.rig.wizard_path))
        self._take_files(scenarios.MESSENGER_FOLDER + "\\Partner\\" + partner, files)
        return seconds, wall, wall + seconds

    def many_wininet(self, scheme):
        return self.wininet_package("%s/pkg/many-%s/" % (self.bases[scheme], scheme), self.many,
                                    "C:\\bench-many.txt")

    def many_wizard(self, scheme, log=None):
        return self.quiet_wizard("many-" + scheme, self.many, log)

    def many_logged(self, scheme):
        """The phases (log_phases) of one wizard run with /log."""
        log = "C:\\logs\\many-%s.log" % scheme
        path = self.rig.host_path(log)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if os.path.exists(path):
            os.remove(path)  # the wizard appends
        _, started, ended = self.many_wizard(scheme, log)
        with open(path, encoding="utf-8-sig") as f:
            return log_phases(f.read(), started, ended)

    def remove_big_files(self):
        """The large files of the run folder: kept on a failure, they would fill the disk."""
        temp = self.rig.host_path("C:\\users\\%s\\Temp" % self.rig.user)  # the wizard's too
        for top in (self.docroot, temp, self.rig.host_path(self.copies),
                    self.rig.host_path(scenarios.MESSENGER_FOLDER)):
            for folder, _, names in os.walk(top):
                for file_name in names:
                    if file_name.endswith(".bin"):
                        os.remove(os.path.join(folder, file_name))


class RoundTrips:
    """The round-trip part: a package of many small files and one of a large file, served
    straight (0 ms) and through a LatencyRelay for each other round trip, over http and https;
    a wizard folder for each (round trip, protocol, package), and one more for the wizard to
    compare with when there is one."""

    def __init__(self, rtts_ms, files, kib, large_mib, compare=None):
        self.rtts = rtts_ms
        self.packages = [
            ("%d x %d KiB" % (files, kib),
             {"f%03d.bin" % i: os.urandom(kib * 1024) for i in range(files)}),
            ("1 x %d MiB" % large_mib, {"large.bin": os.urandom(large_mib * MIB)})]
        self.compare = compare  # the path of another OrvexDownload.exe, or None
        self.relays = {}  # {(rtt, scheme): LatencyRelay}
        self.bases = {}  # {(rtt, scheme): URL of the server's root as the contenders reach it}

    def contenders(self):
        return ["wizard", "WinINet"] + (["before"] if self.compare else [])

    @staticmethod
    def partner(rtt, scheme, package):
        return "rtt%d-%s-%d" % (rtt, scheme, package)

    def prepare(self, bench):
        self.bench = bench
        rig = bench.rig
        for package, (_, files) in enumerate(self.packages):
            for name, content in files.items():
                bench._put("/pkg/rtt-%d/%s" % (package, name), content)
        ports = {"http": bench.nginx.port, "https": bench.nginx.tls_ports["server"]}
        for rtt in self.rtts:
            for scheme, base in bench.bases.items():
                if rtt:
                    relay = latency_relay.LatencyRelay(("127.0.0.1", ports[scheme]), rtt / 1000.0)
                    self.relays[(rtt, scheme)] = relay
                    host = "127.0.0.1" if scheme == "http" else "localhost"
                    base = "%s://%s:%d" % (scheme, host, relay.port)
                self.bases[(rtt, scheme)] = base
                for package, (_, files) in enumerate(self.packages):
                    partner = self.partner(rtt, scheme, package)
                    bench._put("/cb/partner/%s/urls.cb" % partner,
                               ("%s/pkg/rtt-%d/\r\n%s/dl/OrvexSetup.exe\r\n"
                                % (base, package, bench.base)).encode())
                    data = (partner.encode() + b"\r\n", scenarios.download_list(list(files)))
                    rig.place_wizard(partner=data[0], download_list=data[1].encode(),
                                     folder="C:\\wizard-" + partner)
                    if self.compare:
                        folder = "C:\\before-" + partner
                        os.makedirs(rig.host_path(folder), exist_ok=True)
                        shutil.copy(self.compare, rig.host_path(folder + "\\OrvexDownload.exe"))
                        rig.write_file(folder + "\\partner.dat", data[0])
                        rig.write_file(folder + "\\OrvexDownload.dat", data[1].encode())

    def connections(self, rtt, scheme):
        relay = self.relays.get((rtt, scheme))
        return relay.accepted() if relay else 0

    def sample(self, contender, rtt, scheme, package):
        """(seconds from the process's start to its exit, connections it opened; 0 at 0 ms)."""
        bench = self.bench
        files = self.packages[package][1]
        base = self.bases[(rtt, scheme)]
        partner = self.partner(rtt, scheme, package)
        before = self.connections(rtt, scheme)
        if contender == "WinINet":
            seconds = bench.wininet_package("%s/pkg/rtt-%d/" % (base, package), files,
                                            "C:\\rtt-list-%d.txt" % package)[0]
        else:
            scenarios.point_at(bench.rig, base + "/cb/partner")
            folder = "C:\\before-" + partner if contender == "before" else None
            seconds = bench.quiet_wizard(partner, files, folder=folder)[0]
        return seconds, self.connections(rtt, scheme) - before

    def close(self):
        for relay in self.relays.values():
            relay.close()


# Rounds and tables -----------------------------------------------------------------------------

def rotate(items, r):
    return items[r % len(items):] + items[:r % len(items)]


def measure(bench, sizes, rounds, log):
    """{(size name, contender): [sample]} of interleaved rounds."""
    contenders = ["engine", "WinINet", "WinHTTP", "wizard"]
    results = {}
    for r in range(rounds):
        for name, _ in sizes:
            for contender in rotate(contenders, r):
                if contender == "engine":
                    sample = bench.engine(name)
                elif contender == "WinINet":
                    sample = bench.downloader("bench_wininet.exe", name, copy=True)
                elif contender == "WinHTTP":
                    sample = bench.downloader("bench_winhttp.exe", name, copy=False)
                else:
                    sample = bench.wizard("p" + name)
                results.setdefault((name, contender), []).append(sample)
        results.setdefault(("demo", "wizard"), []).append(bench.wizard("demo"))
        log("wine round %d/%d done" % (r + 1, rounds))
    return results


def measure_experiments(bench, name, rounds, log):
    results = {}
    for r in range(rounds):
        for label, variant in rotate(EXPERIMENTS, r):
            results.setdefault(label, []).append(bench.engine(name, variant))
        log("experiment round %d/%d done" % (r + 1, rounds))
    return results


def measure_many(bench, rounds, log):
    """{(protocol, contender): [sample]} of interleaved rounds, and {protocol: phases} of one
    logged wizard run each."""
    results = {}
    for r in range(rounds):
        for scheme in bench.bases:
            for contender in rotate(["wizard", "WinINet"], r):
                sample = (bench.many_wizard(scheme) if contender == "wizard" else
                          bench.many_wininet(scheme))
                results.setdefault((scheme, contender), []).append(sample)
        log("many-files round %d/%d done" % (r + 1, rounds))
    return results, {scheme: bench.many_logged(scheme) for scheme in bench.bases}


def median(samples, i):
    return statistics.median(s[i] for s in samples)


def spread(values):
    values = list(values)
    return "%.2f-%.2f" % (min(values), max(values))


def wine_table(results, sizes, latencies, arch):
    lines = ["Under Wine: the %s build (%s)." % ("32-bit" if arch == "win32" else "64-bit",
                                                 os.path.basename(harness.WINE_FOR_ARCH[arch][0])),
             "Medians of %d interleaved runs; MiB/s from the time of the transfer alone "
             "(process start-up excluded); peak: the largest peak working set;"
             % len(results[("demo", "wizard")]),
             "ratio: throughput against the other program (above 1: faster).",
             "%-7s %-34s %9s %8s %12s %9s  %s" % ("file", "what", "MiB/s", "s", "s range",
                                                  "peak MiB", "ratio")]
    for name, size in sizes:
        mib = size / MIB
        engine = median(results[(name, "engine")], 0)
        wininet = median(results[(name, "WinINet")], 0)
        winhttp = median(results[(name, "WinHTTP")], 0)
        copy = median(results[(name, "WinINet")], 1)
        wininet_total = statistics.median(s[0] + s[1] for s in results[(name, "WinINet")])
        wizard = median(results[(name, "wizard")], 0)
        peak = {c: max(s[-1] for s in results[(name, c)])
                for c in ("engine", "WinINet", "WinHTTP", "wizard")}
        times = {c: [s[0] for s in results[(name, c)]] for c in ("engine", "WinINet", "WinHTTP",
                                                                  "wizard")}
        times["copy"] = [s[0] + s[1] for s in results[(name, "WinINet")]]
        rows = [
            ("engine (FileDownload, no page)", engine, peak["engine"],
             "%.2f x WinINet, %.2f x WinHTTP" % (wininet / engine, winhttp / engine)),
            ("WinINet", wininet, peak["WinINet"], ""),
            ("WinHTTP", winhttp, peak["WinHTTP"], ""),
            ("WinINet + CopyFileA + flush (%.2f s)" % copy, wininet_total, peak["WinINet"], ""),
            ("wizard, Next >> to Done", wizard, peak["wizard"],
             "%.2f x WinINet + copy + flush" % (wininet_total / wizard)),
        ]
        for (label, seconds, peak_value, ratio), key in zip(
                rows, ("engine", "WinINet", "WinHTTP", "copy", "wizard")):
            lines.append("%-7s %-34s %9.1f %8.2f %12s %9.1f  %s"
                         % (name, label, mib / seconds, seconds, spread(times[key]), peak_value,
                            ratio))
    if len(sizes) > 1:
        small, large = sizes[0][0], sizes[-1][0]
        growth = ", ".join("%s %.2f" % (c, max(s[-1] for s in results[(large, c)]) /
                                        max(s[-1] for s in results[(small, c)]))
                           for c in ("engine", "WinINet", "WinHTTP", "wizard"))
        lines.append("peak memory %s / %s: %s" % (large, small, growth))
    demo = results[("demo", "wizard")]
    lines.append("demo package (%d KiB): process start to Done %.2f s (Next >> to Done %.2f s), "
                 "peak %.1f MiB" % (sum(len(v) for v in SMALL_PACKAGE.values()) // 1024,
                                    median(demo, 1), median(demo, 0), max(s[-1] for s in demo)))
    for case, text in (("busy", "during a %s transfer" % LATENCY_SIZE),
                       ("stalled", "while the server stalls (page idle)")):
        times = latencies[case]
        lines.append("Cancel to stop question %s, %d tries: median %.0f ms, worst %.0f ms "
                     "(in order: %s)" % (text, len(times), statistics.median(times), max(times),
                                         " ".join("%.0f" % t for t in times)))
    return lines


def many_table(results, phases, count, kib):
    runs = len(next(iter(results.values())))
    lines = textwrap.wrap(
        "Many small files under Wine: %d files of %d KiB; medians of %d interleaved runs, each "
        "whole process timed from its start to its exit; https: https://localhost, its "
        "certificate signed by a throwaway CA the prefix trusts (no check turned off); ratio: "
        "WinINet + copy time / wizard time (above 1: the wizard is faster)."
        % (count, kib, runs), 100)
    lines.append("%-6s %-28s %7s %12s %8s  %s" % ("proto", "what", "s", "s range", "ms/file",
                                                  "ratio"))
    for scheme in ("http", "https"):
        wizard, wininet = results[(scheme, "wizard")], results[(scheme, "WinINet")]
        rows = [("wizard /quiet", wizard, "%.2f" % (median(wininet, 0) / median(wizard, 0))),
                ("WinINet + CopyFileA + flush", wininet,
                 "(download %.2f s, copy+flush %.2f s)" % (median(wininet, 1),
                                                          median(wininet, 2)))]
        for label, samples, note in rows:
            seconds = median(samples, 0)
            lines.append("%-6s %-28s %7.2f %12s %8.1f  %s"
                         % (scheme, label, seconds, spread(s[0] for s in samples),
                            seconds * 1000 / count, note))
    lines += textwrap.wrap(
        "The wizard's time from one run with /log each, in ms per file: downloads, from the "
        "first request to the last file written (the index's included); transfers, the "
        "transfers' own times summed (more than the downloads where several connections run at "
        "once); staging+inst, from the last file written to the last installed; start-up, from "
        "the process's start to the first request; rest, to the exit.", 100)
    lines.append("%-6s %9s %9s %13s %9s %6s %9s %7s" % ("proto", "downloads", "transfers",
                                                      "staging+inst", "start-up", "rest",
                                                      "requests", "run s"))
    keys = ("downloads", "transfers", "installation", "start-up", "rest")
    for scheme in ("http", "https"):
        p = phases[scheme]
        per_file = tuple(p[k] * 1000 / count for k in keys)
        lines.append("%-6s %9.1f %9.1f %13.1f %9.1f %6.1f %9d %7.2f"
                     % ((scheme,) + per_file + (p["requests"], p["seconds"])))
    return lines


def measure_rtt(bench, rounds, log):
    """{(rtt, protocol, package, contender): [sample]} of interleaved rounds."""
    trips = bench.rtt
    results = {}
    for r in range(rounds):
        for rtt in trips.rtts:
            for scheme in bench.bases:
                for package in range(len(trips.packages)):
                    for contender in rotate(trips.contenders(), r):
                        results.setdefault((rtt, scheme, package, contender), []).append(
                            trips.sample(contender, rtt, scheme, package))
        log("round-trip round %d/%d done" % (r + 1, rounds))
    return results


def rtt_table(results, trips):
    runs = len(next(iter(results.values())))
    lines = textwrap.wrap(
        "Round trips under Wine: medians of %d interleaved runs, each whole process timed from "
        "its start to its exit; 0 ms: straight to nginx on loopback, else through a relay that "
        "delays every byte by half the round trip each way and a new connection's first bytes "
        "by one more; ratio: WinINet + copy time / wizard time (above 1: the wizard is faster); "
        "conns: connections opened in the median run.%s" % (runs, (
            " before: %s, same rounds; before/now: its time / the wizard's." % trips.compare)
            if trips.compare else ""), 100)
    head = "%-6s %-6s %-13s %9s %9s %6s %7s" % ("rtt", "proto", "package", "wizard s",
                                              "WinINet s", "ratio", "conns")
    if trips.compare:
        head += " %9s %10s" % ("before s", "before/now")
    lines.append(head)
    for rtt in trips.rtts:
        for scheme in ("http", "https"):
            for package, (label, _) in enumerate(trips.packages):
                key = (rtt, scheme, package)
                wizard = median(results[key + ("wizard",)], 0)
                wininet = median(results[key + ("WinINet",)], 0)

                def conns(contender):
                    samples = sorted(results[key + (contender,)])
                    return samples[len(samples) // 2][1]

                line = "%-6s %-6s %-13s %9.2f %9.2f %6.2f %7s" % (
                    "%d ms" % rtt, scheme, label, wizard, wininet, wininet / wizard,
                    "%d/%d" % (conns("wizard"), conns("WinINet")) if rtt else "-")
                if trips.compare:
                    before = median(results[key + ("before",)], 0)
                    line += " %9.2f %10.2f" % (before, before / wizard)
                lines.append(line)
    return lines


def experiments_table(results, name):
    base = median(results[EXPERIMENTS[0][0]], 0)
    lines = ["Engine variants under Wine, %s, medians of %d interleaved runs "
             "(ratio: time against the program without a page)"
             % (name, len(results[EXPERIMENTS[0][0]])),
             "%-42s %9s %8s %7s   %s" % ("variant", "MiB/s", "s", "ratio", "s, fastest-slowest")]
    size = dict(SIZES)[name] / MIB
    for label, _ in EXPERIMENTS:
        seconds = median(results[label], 0)
        lines.append("%-42s %9.1f %8.2f %7.2f   %s" % (label, size / seconds, seconds,
                                                      seconds / base,
                                                      spread(s[0] for s in results[label])))
    return lines


def run(build, data, sizes, rounds, latency_tries, rate, parts, log, many=None, rtt=None):
    """Runs the parts ("wine": the table, "experiments": the engine's variants on the first
    size, "many": many small files, many = (files, KiB, rounds); "rtt": the round trips, rtt =
    (RoundTrips, rounds)); returns the lines of their tables."""
    with harness.Rig("bench", build) as rig:
        bench = None
        try:
            bench = WineBench(rig, data, sizes, rate, log, many and many[:2], rtt and rtt[0])
            for scheme in bench.bases if many else ():  # the same for the many files
                bench.many_wininet(scheme)
                bench.many_wizard(scheme)
            for name, _ in sizes:  # loads Wine's DLLs and the files into the caches once
                bench.engine(name)
                bench.downloader("bench_wininet.exe", name, copy=True)
                bench.downloader("bench_winhttp.exe", name, copy=False)
            lines = []
            if "wine" in parts:
                results = measure(bench, sizes, rounds, log)
                latencies = {"busy": bench.cancel_latency(latency_tries),
                             "stalled": bench.cancel_latency(latency_tries, stalled=True)}
                lines += wine_table(results, sizes, latencies, rig.arch) + [""]
            if "experiments" in parts:
                name = sizes[0][0]
                lines += experiments_table(measure_experiments(bench, name, rounds, log),
                                           name) + [""]
            if "many" in parts:
                count, kib, many_rounds = many
                lines += many_table(*measure_many(bench, many_rounds, log), count, kib) + [""]
            if "rtt" in parts:
                trips, rtt_rounds = rtt
                for contender in trips.contenders():  # loads Wine and the caches once
                    trips.sample(contender, trips.rtts[0], "http", 0)
                lines += rtt_table(measure_rtt(bench, rtt_rounds, log), trips) + [""]
            return lines
        except (RigError, BenchError, subprocess.TimeoutExpired) as error:
            raise BenchError("wine part failed: %s (run folder %s)" % (error, rig.dir))
        finally:
            if bench is not None:
                bench.remove_big_files()
            if rtt:
                rtt[0].close()
