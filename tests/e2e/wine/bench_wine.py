#!/usr/bin/env python3
"""Figures of replywick.exe under Wine (not part of ctest).

  bench_wine.py --build build/windows --work build/wine-bench [--dialogs 30] [--idle 60]

1. Reaction time: the target shows --dialogs dialogs one after another; an
   item with Delay 0 answers each with {Dialog OK}. The target measures, on
   its own clock, the time from showing a dialog to the first message it
   receives. The gaps between dialogs vary at random so that the dialogs do
   not lock onto the phase of the 500 ms polling timer (Wine sends no shell
   notifications, so polling is what notices them). Prints median and 95th
   percentile.
   Then the same with the shell notification as the only trigger (the
   variant without polling; the target announces each dialog).
2. Idle cost: CPU time (user + system) of the replywick.exe process over
   --idle seconds with no dialogs, and its resident memory.
"""
import argparse
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wine_e2e as e2e  # noqa: E402


def find_pid(exe_path):
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                cmd = f.read().split(b"\0")
            with open("/proc/%s/comm" % pid) as f:
                comm = f.read().strip()
        except OSError:
            continue
        names = (exe_path.encode(), e2e.winpath(exe_path).encode().lower())
        if comm.startswith("replywick") and any(n in c or n in c.lower() for c in cmd for n in names):
            return int(pid)
    return None


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = os.sysconf("SC_CLK_TCK")
    return (int(fields[11]) + int(fields[12])) / ticks  # utime + stime


def rss_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def percentile(values, p):
    s = sorted(values)
    k = (len(s) - 1) * p / 100.0
    lo, hi = int(k), min(int(k) + 1, len(s) - 1)
    return s[lo] + (s[hi] - s[lo]) * (k - lo)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--display", default=":94")
    ap.add_argument("--dialogs", type=int, default=30)
    ap.add_argument("--idle", type=int, default=60)
    args = ap.parse_args()
    if not os.path.isdir(os.path.join(args.work, "prefix", "drive_c")):
        e2e.make_prefix(args)

    s = e2e.Session(args, "bench")
    try:
        s.start_desktop()
        app = s.install(ini=e2e.settings(e2e.item("Bench", "{Dialog OK}")))
        rw = s.start_rw(args=())
        t = s.target(title="Bench", count=args.dialogs, gap=700, jitter=500, timeout=5000)
        s.wait_log(t, "END", timeout=args.dialogs * 8 + 30)
        firsts = [float(e.split()[2]) for e in s.events(t, {"FIRST"})]
        answered = len([e for e in s.events(t, {"GONE"}) if e.endswith("answered")])
        print("reaction time over %d dialogs (%d answered): median %.1f ms, p95 %.1f ms, min %.1f, max %.1f"
              % (args.dialogs, answered, statistics.median(firsts), percentile(firsts, 95), min(firsts),
                 max(firsts)))

        pid = find_pid(os.path.join(app, "replywick.exe"))
        if pid is None:
            print("replywick.exe process not found")
            return 1
        time.sleep(2)
        c0, w0 = cpu_seconds(pid), time.monotonic()
        time.sleep(args.idle)
        c1, w1 = cpu_seconds(pid), time.monotonic()
        print("idle: %.2f s CPU over %.0f s (%.3f %%), resident memory %d KiB"
              % (c1 - c0, w1 - w0, 100.0 * (c1 - c0) / (w1 - w0), rss_kib(pid)))
        s.ctl("close")
        rw.wait(timeout=15)

        # The same with the shell notification as the trigger: the variant
        # without polling, and each dialog announced as a shell would.
        s.install(exe="replywick_nopoll.exe", folder="hook",
                  ini=e2e.settings(e2e.item("Hooked Bench", "{Dialog OK}")))
        hook = s.start_rw(args=(), exe="replywick_nopoll.exe", folder="hook")
        t2 = s.target(log="hook.log", title="Hooked Bench", count=args.dialogs, gap=700, jitter=500,
                      timeout=5000, announce=1)
        s.wait_log(t2, "END", timeout=args.dialogs * 8 + 30)
        firsts = [float(e.split()[2]) for e in s.events(t2, {"FIRST"})]
        print("with the shell notification (no polling): median %.1f ms, p95 %.1f ms, min %.1f, max %.1f"
              % (statistics.median(firsts), percentile(firsts, 95), min(firsts), max(firsts)))
        s.ctl("close")
        hook.wait(timeout=15)

        return 0
    finally:
        s.stop()


if __name__ == "__main__":
    sys.exit(main())
