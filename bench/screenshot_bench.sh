#!/bin/sh
# Time of a screenshot with the grid, from the command to the file on the Desktop and the image on
# the clipboard, in screen mode and window mode, at 1440x900 and 3840x2160, beside maim capturing
# the same display in the same run. A benchmark, not a test: it prints figures and judges nothing.
#
#   bench/screenshot_bench.sh [BUILD_DIR] [RUNS]
#
# Each size gets a private desktop (Xvfb, openbox, xcompmgr, session bus; see tests/e2e/harness.py)
# with a maximized xterm full of text, which window mode targets. The command is the real shortcut,
# pressed with xdotool (no delay between key events). From starting xdotool, the file is timed by
# polling the Desktop folder, the clipboard by watching the CLIPBOARD owner change (XFixes, through
# bench/x11watch); maim is timed from its start to its exit, and starting xdotool alone is shown too.
# Tavelin runs with TAVELIN_TRACE=1 and reports its own steps on stderr: the overlay-gone wait
# (screen mode only), the capture, compose, PNG encoding and the clipboard hand-over, which comes
# after the file is written. The overlay's off-screen rendering and the file write are not traced.
# Last come the ratios to maim of this run and Tavelin's resident memory, idle and after the shots.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
runs=${2:-7}
build=$(cd "$build" && pwd)

TAVELIN_BUILD_DIR=$build PYTHONPATH=$here/../tests/e2e exec /usr/bin/python3 - "$runs" <<'EOF'
import glob, os, re, statistics, subprocess, sys, time
from harness import BUILD_DIR, Desktop, wait_until

WATCH = os.path.join(BUILD_DIR, "bench", "x11watch")

RUNS = int(sys.argv[1])
SIZES = [(1440, 900), (3840, 2160)]
STEPS = ["overlay-gone wait", "screen capture", "window capture", "compose", "png encode", "clipboard"]


def median(values):
    return statistics.median(values) if values else float("nan")


def shoot(d):
    """Presses the shortcut; milliseconds from starting xdotool until the file is on the Desktop and
    until Tavelin owns the clipboard (watched while xdotool still runs: its own remaining keystrokes
    do not count). xclip holds the clipboard before each shot, so the hand-over is seen."""
    for old in glob.glob(os.path.join(d.home, "Desktop", "*")):
        os.remove(old)
    xclip = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-i", "/dev/null"], env=d.env,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_until(lambda: d.run([WATCH, "owner", "CLIPBOARD", "0"]).split()[1] not in ("0x0", d.tavelin_owner),
               what="xclip owning the clipboard")
    owner = subprocess.Popen([WATCH, "owner", "CLIPBOARD", "20"], env=d.env, stdout=subprocess.PIPE, text=True)
    owner.stdout.readline()  # armed
    start = time.monotonic()
    xdotool = subprocess.Popen(["xdotool", "key", "--delay", "0", "super+shift+s"], env=d.env)
    while not glob.glob(os.path.join(d.home, "Desktop", "Tavelin_*.png")):
        if time.monotonic() - start > 20:
            raise RuntimeError("no screenshot file after 20 s")
        time.sleep(0.0005)
    to_file = (time.monotonic() - start) * 1000
    handed_over, new_owner = owner.communicate(timeout=25)[0].split()
    to_clipboard = float(handed_over) - start * 1000
    xdotool.wait()
    xclip.wait(timeout=5)
    time.sleep(0.6)  # the flash is gone, the desktop idle again
    return to_file, to_clipboard, new_owner


def traced_steps(d, since):
    """In-process step times of the shots after log offset since: {step: [ms, ...]}."""
    steps = {s: [] for s in STEPS}
    for line in d.tavelin_log()[since:].splitlines():
        m = re.match(r"tavelin: trace: (.+?) ([\d.]+) ms", line)
        if m and m.group(1) in steps:
            steps[m.group(1)].append(float(m.group(2)))
    return steps


def time_command(d, argv):
    """Milliseconds from starting a program until it has exited (maim writes its file and ends)."""
    start = time.monotonic()
    d.run(argv, check=True)
    return (time.monotonic() - start) * 1000


def time_xdotool(d):
    """What starting xdotool costs before any key is sent (it asks the server for nothing else)."""
    return time_command(d, ["xdotool", "getdisplaygeometry"])


def rss_mib(d):
    """Tavelin's resident memory now, in MiB."""
    with open(f"/proc/{d.tavelin.pid}/status") as f:
        kib = next(int(line.split()[1]) for line in f if line.startswith("VmRSS:"))
    return kib / 1024


def report(title, totals, steps=None):
    print(f"  {title:<44} median {median(totals):7.1f} ms  min {min(totals):7.1f} ms")
    if not steps:
        return
    for step in STEPS:
        if steps[step]:
            print(f"      {step:<40} median {median(steps[step]):7.1f} ms")
    # Capture, compose, encode and clipboard, one shot at a time (the overlay rendering and the file
    # write are not traced).
    shots = zip(*(steps[s] for s in STEPS[1:] if steps[s]))
    print(f"      {'traced capture to clipboard, per shot':<40} median {median([sum(s) for s in shots]):7.1f} ms")


for width, height in SIZES:
    d = Desktop(width=width, height=height).start()
    try:
        d.spawn(["xterm", "-maximized", "-title", "bench-target", "-e", "sh", "-c",
                 "stty -echo; ls -l /usr/bin /usr/lib | head -400; exec sleep 3600"])
        target = wait_until(lambda: d.find_window("bench-target"), timeout=20, what="xterm")
        time.sleep(1.0)
        d.start_tavelin({"TAVELIN_TRACE": "1"})
        d.overlay_window(timeout=20)
        time.sleep(2.0)  # idle: the grid drawn, and the drawing's memory given back a second later
        print(f"{width}x{height} (xcompmgr, openbox; {RUNS} runs each)")
        print(f"  resident memory idle after start: {rss_mib(d):.0f} MiB")

        report("starting xdotool alone", [time_xdotool(d) for _ in range(RUNS)])
        maim_screen = [time_command(d, ["maim", "-u", os.path.join(d.home, "maim.png")]) for _ in range(RUNS)]
        report("maim, whole screen", maim_screen)
        maim_window = [time_command(d, ["maim", "-u", "-i", str(target), os.path.join(d.home, "maim-w.png")])
                       for _ in range(RUNS)]
        report("maim -i, the xterm", maim_window)

        d.tavelin_owner = None
        d.tavelin_owner = shoot(d)[2]  # warms up, and shows which window holds Tavelin's clipboard
        since = len(d.tavelin_log())
        screen = [shoot(d) for _ in range(RUNS)]
        report("tavelin screen mode: xdotool start to file", [s[0] for s in screen])
        report("                     ... to clipboard", [s[1] for s in screen], traced_steps(d, since))
        screen_slowest = max(median([s[0] for s in screen]), median([s[1] for s in screen]))

        d.pick(width // 2, height // 2)
        time.sleep(1.0)
        geometry = d.overlay_rect()
        since = len(d.tavelin_log())
        window = [shoot(d) for _ in range(RUNS)]
        report(f"tavelin window mode ({geometry[2]}x{geometry[3]}): to file", [s[0] for s in window])
        report("                     ... to clipboard", [s[1] for s in window], traced_steps(d, since))
        slowest = max(median([s[0] for s in window]), median([s[1] for s in window]))
        print(f"  ratios to maim in this run (Tavelin to file and clipboard, medians):")
        print(f"      screen mode / maim whole screen: {screen_slowest / median(maim_screen):.2f}")
        print(f"      window mode / maim whole screen: {slowest / median(maim_screen):.2f}")
        print(f"      window mode / maim -i the xterm: {slowest / median(maim_window):.2f}")
        print(f"  resident memory after {2 * RUNS + 1} shots: {rss_mib(d):.0f} MiB")
    finally:
        d.stop()
EOF
