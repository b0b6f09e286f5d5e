#!/usr/bin/env python3
"""The running program's cost on a Wine desktop, beside its references in one run.

    footprint.py [--seconds 60] [--warmup 15] [--rounds 1] [--out FILE.json]
                 [--reference LABEL=EXE] LABEL=EXE [LABEL=EXE ...]

Runs inside scripts/sandbox.sh (Xvfb, a wineserver and the Wine virtual desktop already up,
only loopback). It serves a 20-item RSS feed on 127.0.0.1, then in each round measures

  - the idle stack: CPU of every Xvfb, wineserver and Wine process of this sandbox over
    --seconds, without any program of ours;
  - each LABEL=EXE (copied into a folder of its own with an "app.config" naming the feed),
    after --warmup seconds: the same stack's CPU over --seconds, the program's share, and
    its peak resident memory (VmHWM);
  - each --reference LABEL=EXE (a trivial window): its peak resident memory.

CPU is given in percent of one core; "above idle" subtracts the idle stack of the same round.
The figures are printed as a table and written as Google Benchmark JSON (one entry per
measurement, the figures as counters).
"""

import argparse
import http.server
import json
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

WINE = "/usr/lib/wine/wine64"
STACK_EXES = ("Xvfb", "wineserver", "wineserver64", "wine64", "wine", "wine64-preloader", "wine-preloader")
TICKS = os.sysconf("SC_CLK_TCK")


def feed_document(items):
    parts = [
        '<?xml version="1.0" encoding="UTF-8"?>',
        '<rss version="2.0"><channel><title>Footprint feed</title>',
        "<link>http://127.0.0.1/</link><description>Twenty items for the footprint run</description>",
    ]
    for i in range(1, items + 1):
        parts.append(
            "<item><title>Item %d of the footprint feed: a title as long as a news headline usually is</title>"
            "<link>http://127.0.0.1/item/%d.html</link><description>Description %d</description></item>"
            % (i, i, i)
        )
    parts.append("</channel></rss>")
    return "\n".join(parts).encode("utf-8")


class FeedServer:
    """An HTTP server on 127.0.0.1 that serves the feed and counts the requests for it."""

    def __init__(self, body):
        self.requests = 0
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                server.requests += 1
                self.send_response(200)
                self.send_header("Content-Type", "application/rss+xml")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.port = self.httpd.server_address[1]
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def close(self):
        self.httpd.shutdown()


def own_netns():
    return os.readlink("/proc/self/ns/net")


def stack_processes():
    """pid -> (name, CPU ticks) of the Xvfb, wineserver and Wine processes of this sandbox."""
    ns = own_netns()
    found = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            if os.readlink("/proc/%s/ns/net" % entry) != ns:
                continue
            exe = os.path.basename(os.readlink("/proc/%s/exe" % entry))
            if exe not in STACK_EXES:
                continue
            with open("/proc/%s/stat" % entry) as f:
                stat = f.read()
            fields = stat[stat.rindex(")") + 2 :].split()
            ticks = int(fields[11]) + int(fields[12])  # utime + stime
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                cmd = f.read().split(b"\0")[0].decode("utf-8", "replace")
            name = exe if exe in ("Xvfb", "wineserver", "wineserver64") else cmd.replace("\\", "/").split("/")[-1]
            found[int(entry)] = (name or exe, ticks)
        except (OSError, ValueError):
            continue  # gone meanwhile, or not ours to read
    return found


def measure_cpu(seconds, program_pid=None):
    """CPU of the stack over `seconds`: total and the program's share in percent of one
    core, and the per-process breakdown."""
    before = stack_processes()
    t0 = time.monotonic()
    time.sleep(seconds)
    after = stack_processes()
    elapsed = time.monotonic() - t0
    per = {}
    program = 0
    total = 0
    for pid, (name, ticks) in after.items():
        used = ticks - before.get(pid, (name, 0))[1]
        total += used
        per[name] = per.get(name, 0) + used
        if pid == program_pid:
            program = used

    def pct(t):
        return 100.0 * t / TICKS / elapsed

    return pct(total), pct(program), {n: round(pct(t), 3) for n, t in sorted(per.items())}


def peak_rss_mb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024.0
    return 0.0


def start(exe, port, workdir):
    shutil.copy(exe, workdir)
    with open(os.path.join(workdir, "app.config"), "w", newline="") as f:
        f.write("[Global]\r\nUrl=http://127.0.0.1:%d/feed.xml\r\nReload_Time=5\r\n" % port)
    proc = subprocess.Popen(
        [WINE, os.path.basename(exe)],
        cwd=workdir,
        stdin=subprocess.DEVNULL,
        stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL,
    )
    return proc


def stop(proc):
    if proc.poll() is None:
        proc.send_signal(signal.SIGKILL)
    proc.wait()
    time.sleep(3)  # the desktop settles after the program's windows go


def labelled(arg):
    label, sep, path = arg.partition("=")
    if not sep or not os.path.isfile(path):
        raise argparse.ArgumentTypeError("expected LABEL=EXE of an existing file: %s" % arg)
    return label, os.path.realpath(path)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--seconds", type=float, default=60)
    ap.add_argument("--warmup", type=float, default=15)
    ap.add_argument("--rounds", type=int, default=1)
    ap.add_argument("--out", default="footprint.json")
    ap.add_argument("--reference", type=labelled, action="append", default=[])
    ap.add_argument("programs", type=labelled, nargs="+")
    args = ap.parse_args()
    if os.environ.get("MQ_SANDBOX") != "1" or not os.environ.get("DISPLAY"):
        sys.exit("footprint: run me inside scripts/sandbox.sh (Wine desktop and loopback only)")

    server = FeedServer(feed_document(20))
    results = []  # (name, counters)
    time.sleep(5)  # the desktop finishes starting
    try:
        for rnd in range(1, args.rounds + 1):
            idle, _, idle_per = measure_cpu(args.seconds)
            print("round %d  idle stack            %6.3f %% of a core  %s" % (rnd, idle, idle_per), flush=True)
            results.append(("BM_DesktopCpu/idle_stack/round:%d" % rnd, {"stack_cpu_percent": idle}))
            for label, exe in args.programs:
                with tempfile.TemporaryDirectory() as workdir:
                    fetched = server.requests
                    proc = start(exe, server.port, workdir)
                    time.sleep(args.warmup)
                    total, own, per = measure_cpu(args.seconds, proc.pid)
                    rss = peak_rss_mb(proc.pid) if proc.poll() is None else 0.0
                    alive = proc.poll() is None
                    stop(proc)
                fetched = server.requests - fetched
                print(
                    "round %d  %-20s %6.3f %% of a core, %6.3f above idle (program alone %6.3f), "
                    "peak RSS %6.1f MB, feed fetched %d, %s  %s"
                    % (rnd, label, total, total - idle, own, rss, fetched, "ran" if alive else "EXITED", per),
                    flush=True,
                )
                results.append(
                    (
                        "BM_DesktopCpu/%s/round:%d" % (label, rnd),
                        {
                            "stack_cpu_percent": total,
                            "above_idle_percent": total - idle,
                            "program_cpu_percent": own,
                            "peak_rss_mb": rss,
                            "feed_requests": fetched,
                        },
                    )
                )
        for label, exe in args.reference:
            with tempfile.TemporaryDirectory() as workdir:
                proc = start(exe, server.port, workdir)
                time.sleep(args.warmup)
                total, own, _ = measure_cpu(min(args.seconds, 20), proc.pid)
                rss = peak_rss_mb(proc.pid) if proc.poll() is None else 0.0
                stop(proc)
            print("reference %-20s peak RSS %6.1f MB, program CPU %6.3f %%" % (label, rss, own), flush=True)
            results.append(("BM_PeakRss/%s" % label, {"peak_rss_mb": rss, "program_cpu_percent": own}))
    finally:
        server.close()

    if args.rounds > 1:
        print("summary over %d rounds (min / median / max):" % args.rounds)
        for key in ["idle_stack"] + [label for label, _ in args.programs]:
            field = "stack_cpu_percent" if key == "idle_stack" else "above_idle_percent"
            values = [c[field] for n, c in results if n.startswith("BM_DesktopCpu/%s/" % key)]
            print("  %-20s %-20s %6.3f / %6.3f / %6.3f" % (key, field, min(values), statistics.median(values), max(values)))

    with open(args.out, "w") as f:
        json.dump(
            {
                "context": {
                    "executable": "footprint.py",
                    "seconds": args.seconds,
                    "warmup_seconds": args.warmup,
                    "num_cpus": os.cpu_count(),
                    "load_avg": os.getloadavg(),
                },
                "benchmarks": [
                    dict(
                        {
                            "name": name,
                            "run_name": name,
                            "run_type": "iteration",
                            "iterations": 1,
                            "real_time": args.seconds,
                            "cpu_time": args.seconds,
                            "time_unit": "s",
                        },
                        **{k: round(v, 4) for k, v in counters.items()},
                    )
                    for name, counters in results
                ],
            },
            f,
            indent=2,
        )
    print("wrote %s" % args.out)


if __name__ == "__main__":
    main()
