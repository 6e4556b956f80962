#!/usr/bin/env python3
"""Start-up of the window beside a minimal Qt Widgets window and a minimal
QWebEngineView window, measured in the same run, whole-process: the time from
starting the process to its window's first paint, the main process's peak
resident memory, and the peak resident memory of its whole process tree (the
browser engine's helper processes included). Runs each program RUNS times,
interleaved, and prints medians, warm and cold: a cold run comes after the page
cache has been told to drop the program's files (the program, every library
ldd lists for it, libtovrel_pane, libcurl and their libraries, Qt's plugins
and the fonts), as after a fresh build or boot; pages that another running process
keeps mapped stay cached. Each cold run is followed by a warm one of the same
program. Needs a display (window_startup.sh gives one).
Usage: window_startup.py BIN_DIR [RUNS]"""

import glob
import os
import re
import signal
import statistics
import subprocess
import sys
import time

SETTLE = 2.0  # seconds to keep each window up after its first paint


def tree_rss_kib(root):
    children = {}
    rss = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
            with open(f"/proc/{entry}/statm") as statm:
                pages = int(statm.read().split()[1])
        except OSError:
            continue
        children.setdefault(int(fields[1]), []).append(int(entry))
        rss[int(entry)] = pages * os.sysconf("SC_PAGE_SIZE") // 1024
    total, todo = 0, [root]
    while todo:
        pid = todo.pop()
        total += rss.get(pid, 0)
        todo.extend(children.get(pid, []))
    return total


def linked_files(program):
    if not os.path.exists(program):
        return []
    listing = subprocess.run(["ldd", program], capture_output=True, text=True).stdout
    return [program] + re.findall(r"=> (/\S+)", listing)


def cached_files(bin_dir, programs):
    files = set()
    for program in programs:
        files.update(linked_files(os.path.join(bin_dir, program)))
    # Loaded once the window is up: the pane after the first paint, libcurl on
    # the first request.
    files.update(linked_files(os.path.join(bin_dir, "libtovrel_pane.so")))
    for libcurl in glob.glob("/usr/lib/x86_64-linux-gnu/libcurl.so.4"):
        files.update(linked_files(libcurl))
    for pattern in ("/usr/lib/x86_64-linux-gnu/qt6/plugins/**/*.so",
                    "/usr/lib/qt6/libexec/*", "/usr/share/fonts/**/*.tt?",
                    "/usr/share/fonts/**/*.otf", "/usr/share/qt6/resources/*",
                    "/usr/lib/x86_64-linux-gnu/dri/*.so"):
        files.update(glob.glob(pattern, recursive=True))
    return sorted(files)


def drop_from_cache(files):
    for path in files:
        try:
            fd = os.open(path, os.O_RDONLY)
        except OSError:
            continue
        try:
            os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
        finally:
            os.close(fd)


def rss_now_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def measure(program):
    start = time.monotonic_ns()
    process = subprocess.Popen([program], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, text=True)
    painted = None
    # A program that never paints is ended after a minute.
    watchdog = subprocess.Popen(["sh", "-c", f"sleep 60; kill {process.pid} 2>/dev/null"])
    for line in process.stdout:
        if line.startswith("painted "):
            painted = int(line.split()[1])
            rss_at_paint = rss_now_kib(process.pid)
            break
    watchdog.kill()
    watchdog.wait()
    if painted is None:
        raise SystemExit(f"{program} ended without painting")
    tree_peak = 0
    deadline = time.monotonic() + SETTLE
    while time.monotonic() < deadline:
        tree_peak = max(tree_peak, tree_rss_kib(process.pid))
        time.sleep(0.05)
    process.send_signal(signal.SIGTERM)
    _, _, usage = os.wait4(process.pid, 0)
    return ((painted - start) / 1e6, rss_at_paint / 1024, usage.ru_maxrss / 1024,
            tree_peak / 1024)


def report(title, results, runs):
    print(f"{title}, medians of {runs} runs")
    print(f"{'program':32} {'to first paint':>15} {'RSS at paint':>13} {'peak RSS':>10}"
          f" {'tree peak RSS':>14}   paint time / minimal Widgets")
    baseline = statistics.median(r[0] for r in results["minimal Qt Widgets window"])
    for name, rows in results.items():
        paint, at_paint, rss, tree = (statistics.median(r[i] for r in rows) for i in range(4))
        print(f"{name:32} {paint:12.1f} ms {at_paint:9.1f} MiB {rss:6.1f} MiB {tree:10.1f} MiB"
              f"   {paint / baseline:.2f}")


def main():
    bin_dir = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 7
    programs = {"minimal Qt Widgets window": "startup_widgets",
                "minimal QWebEngineView window": "startup_webengine",
                "tovrel": "startup_tovrel"}
    files = cached_files(bin_dir, programs.values())
    warm = {name: [] for name in programs}
    cold = {name: [] for name in programs}
    for name, program in programs.items():  # one warm-up each
        measure(os.path.join(bin_dir, program))
    for _ in range(runs):
        for name, program in programs.items():
            drop_from_cache(files)
            cold[name].append(measure(os.path.join(bin_dir, program)))
            warm[name].append(measure(os.path.join(bin_dir, program)))
    report("warm", warm, runs)
    report(f"cold (page cache dropped for {len(files)} files before each)", cold, runs)


if __name__ == "__main__":
    main()
