#!/usr/bin/env python3
"""A hung Win32 program does not hang replywick.exe: the test target shows a
dialog that an item matches and then sleeps (its thread answers no message
for HANG ms) while the item's macro is played into it; meanwhile a second
program's dialog opens. Prints how long after that dialog was shown it was
answered, RUNS times. Figures only.

  bench/reliability/hung_wine.py --build build/windows --work build/wine-hung [--runs 5] [--hang 8000]

Uses the harness of tests/e2e/wine (build the windows preset first)."""
import argparse
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(HERE)), "tests", "e2e", "wine"))
import wine_e2e as e2e  # noqa: E402


def wait_for(pred, timeout):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if pred():
            return time.monotonic()
        time.sleep(0.02)
    return None


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--display", default=":94")
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--hang", type=int, default=8000)
    args = ap.parse_args()
    if not os.path.isdir(os.path.join(args.work, "prefix", "drive_c")):
        e2e.make_prefix(args)
    s = e2e.Session(args, "hung")
    times = []
    try:
        s.start_desktop()
        s.install(ini=e2e.settings(e2e.item("Hung", "abc{ENTER}"), e2e.item("Next", "{Dialog Yes}")))
        s.start_rw(args=())
        for n in range(args.runs):
            hung = s.target(log="hung%d.log" % n, title="Hung", hang=args.hang, timeout=args.hang + 5000)
            s.wait_log(hung, "HANG D1")
            time.sleep(0.3)  # the macro is under way into the sleeping dialog
            nxt = s.target(log="next%d.log" % n, title="Next", timeout=10000)
            shown = wait_for(lambda: "SHOWN D1" in e2e.read(nxt.log_path), 15)
            answered = wait_for(lambda: "COMMAND D1 6" in e2e.read(nxt.log_path), 15)
            if shown is None or answered is None:
                print("run %d: the next dialog was NOT answered within 15 s" % (n + 1))
            else:
                ms = 1000 * (answered - shown)
                times.append(ms)
                print("run %d: next dialog answered %.0f ms after it was shown" % (n + 1, ms))
            nxt.wait(timeout=20)
            hung.kill()
            hung.wait(timeout=20)
        times.sort()
        if times:
            print("Hung target under Wine: next dialog answered, median %.0f ms, max %.0f ms over %d runs"
                  % (times[len(times) // 2], times[-1], len(times)))
        s.ctl("close")
        return 0 if len(times) == args.runs else 1
    finally:
        s.stop()


if __name__ == "__main__":
    sys.exit(main())
