#!/usr/bin/env bash
# Start-up time on Linux: from starting the process to the tray icon being
# shown (the trace line "x11: tray icon add" of RW_X11_TRACE=1), and to the
# icon sitting embedded in the tray host, and how long a second instance
# takes to see the first and end; median, fastest and slowest of RUNS
# starts. Figures only: nothing here fails on time.
#
#   bench/reliability/startup_x11.sh [PROGRAM] [RUNS]
#       PROGRAM  default build/linux/replywick; RUNS default 20
set -u
cd "$(dirname "$0")/../.."
export REPLYWICK=$(readlink -f "${1:-build/linux/replywick}")
RUNS=${2:-20}
export KEYLOG=/bin/true
# shellcheck source=../../tests/e2e/x11/lib.sh
. tests/e2e/x11/lib.sh

start_env
ini_begin
ini_item "Start" "RW Start" 0 Zenity "" "" "" "x{ENTER}" 0

python3 - "$WORK/app/replywick" "$RUNS" <<'EOF'
import os, re, signal, statistics, subprocess, sys, time

program, runs = sys.argv[1], int(sys.argv[2])
env = dict(os.environ, RW_X11_TRACE="1")
# The icon inside the tray host: a "Replywick" window below the top level.
embedded = re.compile(r'^ {6,}0x[0-9a-f]+ "Replywick": \("replywick" "Replywick"\)\s+(\d+)x(\d+)')


def icon_embedded():
    tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True).stdout
    return any((m := embedded.match(line)) and int(m.group(1)) > 4 for line in tree.splitlines())


shown, embeds, seconds = [], [], []
for _ in range(runs):
    t0 = time.monotonic()
    p = subprocess.Popen([program], stderr=subprocess.PIPE, stdout=subprocess.DEVNULL, env=env, text=True)
    t_shown = None
    for line in p.stderr:
        if line.startswith("x11: tray icon add"):
            t_shown = time.monotonic()
            break
    t_embed = None
    if t_shown is not None:
        end = time.monotonic() + 10
        while time.monotonic() < end:
            if icon_embedded():
                t_embed = time.monotonic()
                break
            time.sleep(0.002)
    # A second instance beside the running one ends at once, having seen it.
    t_second = time.monotonic()
    if subprocess.run([program], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30).returncode == 0:
        seconds.append((time.monotonic() - t_second) * 1000)
    p.send_signal(signal.SIGTERM)
    # Keep reading, or a full pipe would stop it from ending.
    for line in p.stderr:
        pass
    p.wait(timeout=10)
    if t_shown is None:
        sys.exit("no tray icon trace line; is this a replywick program?")
    shown.append((t_shown - t0) * 1000)
    if t_embed is not None:
        embeds.append((t_embed - t0) * 1000)
    time.sleep(0.2)


def line(label, values):
    if not values:
        return f"  {label}: none"
    return (f"  {label}: median {statistics.median(values):.0f} ms, fastest {min(values):.0f} ms, "
            f"slowest {max(values):.0f} ms ({len(values)} runs)")


print("Start-up on X11 (Xvfb, openbox, trayer; one item; from starting the process)")
print(line("to the tray icon shown (trace line)", shown))
print(line("to the icon embedded in the tray host (polled with xwininfo)", embeds))
print(line("a second instance, from its start to its end beside the first", seconds))
EOF
