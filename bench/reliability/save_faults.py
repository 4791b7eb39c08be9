#!/usr/bin/env python3
"""Saves of the settings file under faults; prints counts, asserts nothing
about time.

1. Killed saves: a loop of saves of 10,000 items is killed with SIGKILL at
   random moments, again and again. After each kill the file must hold
   exactly the last list saved before the kill or the one being saved
   (never a mix, a torn or an empty file).
2. Full file system (root only: it mounts a 512 KiB tmpfs): with the file
   system full or nearly full, a save of 10,000 items must fail and leave
   the old file exactly as it was, with no temporary file behind.

    bench/reliability/save_faults.py [--build build/linux] [--kills 500]

The driver (save_driver.cpp) is built with c++ against the core libraries
of the build folder, which must be configured already."""
import argparse
import glob
import os
import random
import signal
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


def build_driver(build):
    subprocess.run(["cmake", "--build", build, "--target", "rwfake"], check=True,
                   stdout=subprocess.DEVNULL)
    out_dir = os.path.join(build, "reliability")
    os.makedirs(out_dir, exist_ok=True)
    driver = os.path.join(out_dir, "save_driver")
    libs = [os.path.join(build, "backends", "fake", "librwfake.a"),
            os.path.join(build, "backends", "posix", "librwposix.a")]
    libs += sorted(glob.glob(os.path.join(build, "librw*.a")))
    subprocess.run(["c++", "-std=c++20", "-O2", "-I", ROOT, os.path.join(HERE, "save_driver.cpp"),
                    "-o", driver, "-Wl,--start-group", *libs, "-Wl,--end-group"], check=True)
    return driver


def run(driver, *args):
    p = subprocess.run([driver, *map(str, args)], capture_output=True, text=True)
    return p.returncode, p.stdout.strip()


def temporaries(path):
    return glob.glob(path + ".*.tmp")


def killed_saves(driver, kills, seed):
    rng = random.Random(seed)
    work = tempfile.mkdtemp(prefix="rw-save-kill.")
    ini = os.path.join(work, "replywick.ini")
    rc, _ = run(driver, "write", ini, 1)
    assert rc == 0, "first save failed"
    # How long one process takes for one save of 10,000 items: the kills
    # fall anywhere within three of them (start-up, list building, writing,
    # flushing, renaming).
    spans = []
    for g in (2, 3, 4):
        t = time.monotonic()
        run(driver, "write", ini, g)
        spans.append(time.monotonic() - t)
    span = statistics.median(spans)
    size = os.path.getsize(ini)
    held = 4
    checks = bad = old = new = saves = 0
    with_tmp = 0
    failures = []
    for _ in range(kills):
        p = subprocess.Popen([driver, "loop", ini, str(held + 1)], stdout=subprocess.PIPE, text=True)
        time.sleep(rng.uniform(0, 3 * span))
        p.send_signal(signal.SIGKILL)
        out, _ = p.communicate()
        done = [int(line.split()[1]) for line in out.splitlines() if line.startswith("saved ")]
        saves += len(done)
        last = done[-1] if done else held
        rc, said = run(driver, "check", ini, last, last + 1)
        checks += 1
        if rc != 0:
            bad += 1
            failures.append(f"after saves up to {last}: file is {said}")
            # Start again from a known file.
            run(driver, "write", ini, last + 2)
            held = last + 2
        else:
            held = int(said)
            if held == last:
                old += 1
            else:
                new += 1
        left = temporaries(ini)
        if left:
            with_tmp += 1
            for t in left:
                os.unlink(t)
    for t in temporaries(ini):
        os.unlink(t)
    os.unlink(ini)
    os.rmdir(work)
    print("Killed saves (SIGKILL at random moments, 10,000 items per save)")
    print(f"  file size: {size} bytes")
    print(f"  one save, process included: {span * 1000:.0f} ms (median of 3); kills within 0..{3 * span * 1000:.0f} ms")
    print(f"  kills: {kills}; completed saves in between: {saves}")
    print(f"  checks: {checks}; file exactly the last completed list: {old}; exactly the list being saved: {new}; "
          f"anything else (mixed, torn, empty, missing): {bad}")
    print(f"  kills that left a temporary file behind: {with_tmp}")
    for f in failures[:10]:
        print("  FAILED", f)
    return checks, bad


def full_file_system(driver):
    if os.geteuid() != 0:
        print("Full file system: skipped (needs root to mount a tmpfs)")
        return 0, 0
    mnt = tempfile.mkdtemp(prefix="rw-save-full.")
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=512k,mode=0755", "tmpfs", mnt], check=True)
    checks = bad = 0
    lines = []

    def check(ok, what):
        nonlocal checks, bad
        checks += 1
        if not ok:
            bad += 1
            lines.append("  FAILED " + what)

    try:
        ini = os.path.join(mnt, "replywick.ini")
        rc, said = run(driver, "write", ini, 1, 100)
        check(rc == 0, f"first save of 100 items: {said}")
        old_size = os.path.getsize(ini)
        filler = os.path.join(mnt, "filler")
        with open(filler, "wb", buffering=0) as f:
            try:
                while True:
                    f.write(b"\0" * 4096)
            except OSError:
                pass
        full = os.path.getsize(filler)
        for free_kib in (0, 4, 16, 64, 128, 256):
            os.truncate(filler, max(0, full - free_kib * 1024))
            st = os.statvfs(mnt)
            avail = st.f_bavail * st.f_frsize
            rc, said = run(driver, "write", ini, 2, 10000)
            check(rc != 0 and said == "Failed", f"{free_kib} KiB free: save of 10,000 items said {said}")
            rc, held = run(driver, "check", ini, "1:100")
            check(rc == 0, f"{free_kib} KiB free: old file is now {held}")
            check(not temporaries(ini), f"{free_kib} KiB free: temporary file left: {temporaries(ini)}")
            lines.append(f"  {avail // 1024:3d} KiB free: save of 10,000 items {said}, old file "
                         f"{'intact' if rc == 0 else held}")
        os.unlink(filler)
        rc, said = run(driver, "write", ini, 3, 1000)
        check(rc == 0, f"save of 1,000 items after freeing space: {said}")
        rc, held = run(driver, "check", ini, "3:1000")
        check(rc == 0, f"file after freeing space: {held}")
        lines.append(f"  space freed: save of 1,000 items {said}, file {'is the new list' if rc == 0 else held}")
    finally:
        subprocess.run(["umount", mnt], check=False)
        os.rmdir(mnt)
    print(f"Full file system (tmpfs of 512 KiB, old file {old_size} bytes)")
    for line in lines:
        print(line)
    print(f"  checks: {checks}; failed: {bad}")
    return checks, bad


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default=os.path.join(ROOT, "build", "linux"))
    ap.add_argument("--kills", type=int, default=500)
    ap.add_argument("--seed", type=int, default=1)
    args = ap.parse_args()
    driver = build_driver(args.build)
    c1, b1 = killed_saves(driver, args.kills, args.seed)
    c2, b2 = full_file_system(driver)
    print(f"{c1 + c2 - b1 - b2} passed, {b1 + b2} failed")
    return 1 if b1 + b2 else 0


if __name__ == "__main__":
    sys.exit(main())
