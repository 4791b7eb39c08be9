#!/usr/bin/env python3
"""Soak of replywick.exe under Wine: the end-to-end target shows COUNT
dialogs one after another (each once the previous one has gone); one item
answers each with {Dialog OK}. Prints how many were answered and the
resident memory of the replywick.exe process along the way. Figures only.

  bench/reliability/soak_wine.py --build build/windows --work build/wine-soak [--dialogs 1000]

Uses the harness of tests/e2e/wine (Xvfb, openbox, trayer, a Wine prefix of
its own in --work, made on first use) and the Windows build's test programs
(build the windows preset first)."""
import argparse
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(HERE)), "tests", "e2e", "wine"))
import bench_wine  # noqa: E402
import wine_e2e as e2e  # noqa: E402


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--display", default=":93")
    ap.add_argument("--dialogs", type=int, default=1000)
    args = ap.parse_args()
    if not os.path.isdir(os.path.join(args.work, "prefix", "drive_c")):
        e2e.make_prefix(args)

    s = e2e.Session(args, "soak")
    try:
        s.start_desktop()
        app = s.install(ini=e2e.settings(e2e.item("Soak", "{Dialog OK}")))
        s.start_rw(args=())
        pid = bench_wine.find_pid(os.path.join(app, "replywick.exe"))
        if pid is None:
            print("replywick.exe process not found")
            return 1
        marks = {0: bench_wine.rss_kib(pid)}
        wanted = sorted({1, 10, 100, 500, 1000, args.dialogs} - {0})
        t0 = time.monotonic()
        # Gaps vary so that the dialogs do not lock onto the polling timer.
        t = s.target(title="Soak", count=args.dialogs, gap=300, jitter=200, timeout=5000)
        while True:
            gone = len(s.events(t, {"GONE"}))
            while wanted and gone >= wanted[0]:
                marks[wanted.pop(0)] = bench_wine.rss_kib(pid)
            if t.poll() is not None:
                break
            time.sleep(0.05)
        total = time.monotonic() - t0
        gone = s.events(t, {"GONE"})
        answered = len([e for e in gone if e.endswith("answered")])
        print("Soak under Wine (Xvfb, openbox; the test target's dialogs one after another, {Dialog OK})")
        print("  dialogs: %d; answered: %d; missed: %d" % (args.dialogs, answered, args.dialogs - answered))
        print("  time: %.0f s in all, %.0f ms per dialog on average (gaps of 300 to 500 ms included)"
              % (total, 1000 * total / max(1, len(gone))))
        for k in sorted(marks):
            label = "at start" if k == 0 else "after dialog %d" % k
            print("  resident memory of replywick.exe %-18s %6d KiB" % (label + ":", marks[k]))
        s.ctl("close")
        return 0 if answered == args.dialogs else 1
    finally:
        s.stop()


if __name__ == "__main__":
    sys.exit(main())
