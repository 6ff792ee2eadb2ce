#!/usr/bin/env python3
"""Download benchmark: our engine natively against curl and wget, and under Wine against
WinINet and WinHTTP.

Native part: serves files of 1 MiB, 64 MiB and 1 GiB from an nginx of its own on a free
loopback port and downloads each with bench_download (our engine, writing to a file as the
program does), with `curl -o` and with `wget -O`, interleaved, for several rounds. Prints
throughput, CPU time (user+sys) and peak RSS for each, and our/curl ratios.

Wine part (wine_bench.py): the engine with the program's disk path, WinINet and WinHTTP
downloaders of our own and the whole wizard, against one nginx, interleaved; the latency of
the stop question; a package of many small files over http and https, the wizard against
WinINet with the same copies. Under Wine everything is the build of --wine-build (build/win64
by default, which every machine of this kind can run).

Data and downloads live under build/ and are removed at the end. A measurement, not a test:
nothing here fails on a slow machine.
"""
import argparse
import os
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # nothing written into the source tree
import wine_bench  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MIB = 1024 * 1024
SIZES = [("1MiB", MIB), ("64MiB", 64 * MIB), ("1GiB", 1024 * MIB)]
TIME = "/usr/bin/time"
NGINX = "/usr/sbin/nginx"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def make_file(path, size):
    if os.path.exists(path) and os.path.getsize(path) == size:
        return
    block = os.urandom(MIB)
    with open(path + ".part", "wb") as f:
        for i in range(size // MIB):
            f.write(block[i % 251:] + block[:i % 251])  # no two MiB alike
    os.replace(path + ".part", path)


def nginx_config(work, docroot, port, drop):
    temp = {name: os.path.join(work, name) for name in
            ("client_body", "proxy", "fastcgi", "uwsgi", "scgi")}
    for path in temp.values():
        os.makedirs(path, exist_ok=True)
    lines = []
    if os.getuid() == 0:
        lines.append("user root;")  # workers keep access to a docroot under a private folder
    lines += [
        "worker_processes 1;",
        "daemon off;",
        f"pid {work}/nginx.pid;",
        f"error_log {work}/error.log;",
        "events { worker_connections 64; }",
        "http {",
        "  access_log off;",
        "  sendfile on;",
        "  tcp_nopush on;",
        "  default_type application/octet-stream;",
    ]
    for name, path in temp.items():
        if name not in drop:
            lines.append(f"  {name}_temp_path {path};")
    lines += [
        f"  server {{ listen 127.0.0.1:{port}; root {docroot}; }}",
        "}",
    ]
    return "\n".join(lines) + "\n"


def start_nginx(work, docroot, port):
    conf = os.path.join(work, "nginx.conf")
    drop = set()
    # Drop the temp-path lines of modules this nginx was built without.
    for _ in range(6):
        with open(conf, "w") as f:
            f.write(nginx_config(work, docroot, port, drop))
        check = subprocess.run([NGINX, "-t", "-q", "-p", work, "-e", f"{work}/error.log",
                                "-c", conf], capture_output=True, text=True)
        if check.returncode == 0:
            break
        unknown = [name for name in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi")
                   if f'"{name}_temp_path"' in check.stderr]
        if not unknown:
            sys.exit("nginx config rejected:\n" + check.stderr)
        drop.update(unknown)
    proc = subprocess.Popen([NGINX, "-p", work, "-e", f"{work}/error.log", "-c", conf])
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.2):
                return proc
        except OSError:
            if proc.poll() is not None:
                break
            time.sleep(0.05)
    proc.kill()
    sys.exit("nginx did not start; see " + os.path.join(work, "error.log"))


def run_one(command, out_path, expected_size, time_path):
    begin = time.perf_counter()
    result = subprocess.run([TIME, "-f", "%U %S %M", "-o", time_path] + command,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    wall = time.perf_counter() - begin
    size = os.path.getsize(out_path) if os.path.exists(out_path) else -1
    if os.path.exists(out_path):
        os.remove(out_path)
    if result.returncode != 0 or size != expected_size:
        sys.exit(f"download failed ({command[0]}): exit {result.returncode}, {size} of "
                 f"{expected_size} bytes\n{result.stderr}")
    with open(time_path) as f:
        user, system, rss_kib = f.read().split()[-3:]
    return wall, float(user) + float(system), int(rss_kib) / 1024.0


def log(text):
    print(text, file=sys.stderr, flush=True)


def native_part(args, data):
    ours = os.path.abspath(os.path.join(args.build, "bench", "bench_download"))
    if not os.access(ours, os.X_OK):
        sys.exit(f"{ours} is missing; build the bench preset first")
    for tool in (TIME, NGINX, "/usr/bin/curl", "/usr/bin/wget"):
        if not os.access(tool, os.X_OK):
            sys.exit(f"{tool} is missing; run tools/bootstrap")

    sizes = [s for s in SIZES if s[0] in args.sizes.split(",")]
    for name, size in sizes:
        make_file(os.path.join(data, name + ".bin"), size)
    base = os.path.dirname(data)
    work = tempfile.mkdtemp(prefix="nginx.", dir=base)
    os.chmod(work, 0o700)
    docroot = os.path.join(work, "docroot")
    os.makedirs(docroot)
    for name, _ in sizes:
        os.link(os.path.join(data, name + ".bin"), os.path.join(docroot, name + ".bin"))
    port = free_port()
    nginx = start_nginx(work, docroot, port)
    out = os.path.join(base, "download.bin")
    time_path = os.path.join(work, "time.txt")
    tools = {
        "ours": lambda url: [ours, url, out],
        "curl": lambda url: ["curl", "-s", "-f", "-o", out, url],
        "wget": lambda url: ["wget", "-q", "-O", out, url],
    }
    results = {(name, tool): [] for name, _ in sizes for tool in tools}
    try:
        for name, size in sizes:  # one unmeasured fetch puts each file in the page cache
            run_one(tools["curl"](f"http://127.0.0.1:{port}/{name}.bin"), out, size, time_path)
        rounds = max(args.rounds, args.big_rounds)
        order = list(tools)
        for r in range(rounds):
            for name, size in sizes:
                if r >= (args.big_rounds if size >= 1024 * MIB else args.rounds):
                    continue
                url = f"http://127.0.0.1:{port}/{name}.bin"
                for tool in order[r % 3:] + order[:r % 3]:  # rotate who goes first
                    results[(name, tool)].append(run_one(tools[tool](url), out, size, time_path))
            log(f"native round {r + 1}/{rounds} done")
    finally:
        nginx.send_signal(signal.SIGQUIT)
        try:
            nginx.wait(timeout=10)
        except subprocess.TimeoutExpired:
            nginx.kill()
            nginx.wait()
        shutil.rmtree(work, ignore_errors=True)
        if os.path.exists(out):
            os.remove(out)

    lines = ["Native (clang, optimised): engine against curl and wget",
             f"{'file':>6} {'tool':>5} {'runs':>4} {'MiB/s':>9} {'CPU s':>7} {'RSS MiB':>8}"
             f"   (medians; RSS is the peak)"]
    for name, size in sizes:
        summary = {}
        for tool in tools:
            runs = results[(name, tool)]
            wall = statistics.median(r[0] for r in runs)
            cpu = statistics.median(r[1] for r in runs)
            rss = max(r[2] for r in runs)
            summary[tool] = (size / MIB / wall, cpu, rss)
            lines.append(f"{name:>6} {tool:>5} {len(runs):>4} {summary[tool][0]:>9.1f} "
                         f"{cpu:>7.3f} {rss:>8.1f}")
        o, c = summary["ours"], summary["curl"]
        # /usr/bin/time counts CPU in steps of 10 ms; below that there is no ratio to give.
        cpu_ratio = f"{o[1] / c[1]:.3f}" if c[1] > 0 else "n/a (under 10 ms)"
        lines.append(f"{name:>6} ours/curl: throughput {o[0] / c[0]:.3f}, CPU {cpu_ratio}, "
                     f"peak RSS {o[2] / c[2]:.3f}")
    return lines


def wine_part(args, data, parts):
    build = os.path.abspath(args.wine_build)
    needed = [os.path.join(build, "OrvexDownload.exe"),
              os.path.join(build, "tools", "ui_driver.exe")]
    needed += [os.path.join(build, "bench", exe) for exe in
               ("bench_download.exe", "bench_wininet.exe", "bench_winhttp.exe")]
    for path in needed:
        if not os.path.exists(path):
            sys.exit(f"{path} is missing; build the win64 preset first")
    if {"many", "rtt"} & set(parts):  # the https rig trusts its CA with this e2e tests' tool
        trust = os.path.join(build, "tools", "add_root_cert.exe")
        if not os.path.exists(trust):
            log(f"building {trust}")
            subprocess.run(["cmake", "--build", build, "-j", "2", "--target", "add_root_cert"],
                           check=True, stdout=subprocess.DEVNULL)
    large = "wine" in parts or "experiments" in parts
    sizes = [s for s in wine_bench.SIZES if large and s[0] in args.wine_sizes.split(",")]
    files = {}
    for name, size in sorted(set(sizes + [wine_bench.SIZES[-1]] if large else [])):
        files[name] = os.path.join(data, name + ".bin")  # the latency's file too
        make_file(files[name], size)
    many = (args.many_files, args.many_kib, args.many_rounds) if "many" in parts else None
    rtt = None
    if "rtt" in parts:
        compare = os.path.abspath(args.compare_wizard) if args.compare_wizard else None
        if compare and not os.path.exists(compare):
            sys.exit(f"{compare} is missing")
        rtts = [int(ms) for ms in args.rtt_ms.split(",")]
        rtt = (wine_bench.RoundTrips(rtts, args.rtt_files, args.rtt_kib, args.rtt_large_mib,
                                     compare), args.rtt_rounds)
    try:
        return wine_bench.run(build, files, sizes, args.wine_rounds, args.latency_tries,
                              args.latency_rate, parts, log, many, rtt)
    except wine_bench.BenchError as error:
        sys.exit(str(error))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build/bench", help="native build folder")
    parser.add_argument("--wine-build", default="build/win64", help="Windows build folder")
    parser.add_argument("--parts", default="native,wine,many,rtt",
                        help="comma-separated: native, wine, many (many small files under "
                        "Wine), rtt (round trips charged by a relay, under Wine), experiments "
                        "(the engine's variants under Wine on the first Wine size; a few "
                        "minutes)")
    parser.add_argument("--quick", action="store_true",
                        help="3 rounds (2 of many files), no 1 GiB natively, only 64 MiB "
                        "under Wine")
    parser.add_argument("--rounds", type=int, default=5, help="native rounds, 1 and 64 MiB")
    parser.add_argument("--big-rounds", type=int, default=3, help="native rounds for 1 GiB")
    parser.add_argument("--sizes", default="1MiB,64MiB,1GiB", help="native files")
    parser.add_argument("--wine-rounds", type=int, default=3, help="rounds under Wine")
    parser.add_argument("--wine-sizes", default="64MiB,256MiB", help="large files under Wine")
    parser.add_argument("--latency-tries", type=int, default=10)
    parser.add_argument("--latency-rate", default="32m",
                        help="nginx limit_rate of the transfer the cancel latency runs in")
    parser.add_argument("--many-files", type=int, default=200, help="files of the package")
    parser.add_argument("--many-kib", type=int, default=4, help="KiB of each of those files")
    parser.add_argument("--many-rounds", type=int, default=5, help="rounds of many files")
    parser.add_argument("--rtt-ms", default="0,50",
                        help="round trips in ms (0: straight to the server)")
    parser.add_argument("--rtt-rounds", type=int, default=5, help="rounds of the rtt part")
    parser.add_argument("--rtt-files", type=int, default=30, help="small files of the rtt part")
    parser.add_argument("--rtt-kib", type=int, default=16, help="KiB of each of those files")
    parser.add_argument("--rtt-large-mib", type=int, default=8, help="MiB of its large file")
    parser.add_argument("--compare-wizard", help="another build's OrvexDownload.exe (64-bit), "
                        "run beside the wizard in the rtt part")
    parser.add_argument("--keep-data", action="store_true", help="keep the generated files")
    args = parser.parse_args()
    if args.quick:
        args.rounds = args.big_rounds = args.wine_rounds = 3
        args.sizes = "1MiB,64MiB"
        args.wine_sizes = "64MiB"
        args.many_rounds = args.rtt_rounds = 2

    base = os.path.join(ROOT, "build", "bench-run")
    data = os.path.join(base, "data")
    os.makedirs(data, exist_ok=True)
    started = time.monotonic()
    load = os.getloadavg()[0]
    lines = []
    try:
        parts = args.parts.split(",")
        if "native" in parts:
            lines += native_part(args, data) + [""]
        if {"wine", "experiments", "many", "rtt"} & set(parts):
            lines += wine_part(args, data, parts)
    finally:
        if not args.keep_data:
            shutil.rmtree(base, ignore_errors=True)
    lines.append(f"{os.cpu_count()} cores; load average {load:.1f} at the start, "
                 f"{os.getloadavg()[0]:.1f} at the end; {time.monotonic() - started:.0f} s")
    print("\n".join(lines))
    return 0


if __name__ == "__main__":
    sys.exit(main())
