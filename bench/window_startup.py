#!/usr/bin/env python3
"""Start-up of the window beside a minimal Qt Widgets window and a minimal
QWebEngineView window, measured in the same run, whole-process: the time from
starting the process to its window's first paint, the main process's peak
resident memory, and the peak resident memory of its whole process tree (the
browser engine's helper processes included). Runs each program RUNS times,
interleaved, and prints medians. Needs a display (window_startup.sh gives one).
Usage: window_startup.py BIN_DIR [RUNS]"""

import os
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
    return (painted - start) / 1e6, usage.ru_maxrss / 1024, tree_peak / 1024


def main():
    bin_dir = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 7
    programs = {"minimal Qt Widgets window": "startup_widgets",
                "minimal QWebEngineView window": "startup_webengine",
                "tovrel": "startup_tovrel"}
    results = {name: [] for name in programs}
    for name, program in programs.items():  # one warm-up each: disk caches
        measure(os.path.join(bin_dir, program))
    for _ in range(runs):
        for name, program in programs.items():
            results[name].append(measure(os.path.join(bin_dir, program)))
    print(f"{'program':32} {'to first paint':>15} {'peak RSS':>10} {'tree peak RSS':>14}"
          f"   (medians of {runs} runs)")
    baseline = statistics.median(r[0] for r in results["minimal QWebEngineView window"])
    for name, rows in results.items():
        paint = statistics.median(r[0] for r in rows)
        rss = statistics.median(r[1] for r in rows)
        tree = statistics.median(r[2] for r in rows)
        print(f"{name:32} {paint:12.1f} ms {rss:7.1f} MiB {tree:10.1f} MiB"
              f"   paint time / minimal WebEngine: {paint / baseline:.2f}")


if __name__ == "__main__":
    main()
