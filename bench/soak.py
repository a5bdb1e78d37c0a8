"""A long run of random commands against the real binary on a private desktop: toggles, sizes (good
and bad), colours, labels, adjust mode, picks, follows of windows that appear and vanish,
screenshots. After each command the state's invariants are checked; every few hundred, Tavelin's
memory and its X server resources are sampled, so a leak shows as a slope.

Run: TAVELIN_BUILD_DIR=<build dir> /usr/bin/python3 bench/soak.py [COMMANDS] [SEED]
Needs xrestop (X-Resource). Prints figures; exits 1 if an invariant broke or Tavelin died."""

import os
import random
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import gi  # noqa: E402

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402
from harness import Desktop, end, wait_until  # noqa: E402

COLORS = ["White", "Blue", "Green", "Cyan", "Yellow", "Red", "Orange", "Pink"]
LEFT_BAND, TOP_BAND, TOP_INSET = 26, 22, 25
SAMPLE_EVERY = 250


class Tavelin:
    """The running instance over the desktop's session bus."""

    def __init__(self, bus_address):
        self.bus = Gio.DBusConnection.new_for_address_sync(
            bus_address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION,
            None, None)

    def call(self, method, signature=None, *args):
        """The reply's values, or the D-Bus error's message as a str (a refusal)."""
        try:
            reply = self.bus.call_sync("org.tavelin.Tavelin", "/org/tavelin/Tavelin", "org.tavelin.Tavelin1", method,
                                       GLib.Variant(signature, args) if signature else None, None,
                                       Gio.DBusCallFlags.NO_AUTO_START, 30000, None)
            return reply.unpack()
        except GLib.Error as error:
            return str(error.message)

    def state(self):
        return self.call("State")[0]


def check(state):
    """The invariants every state must hold; a list of what broke."""
    broken = []
    if not 20 <= state["cellWidth"] <= 400 or not 20 <= state["cellHeight"] <= 400:
        broken.append(f"cell size {state['cellWidth']}x{state['cellHeight']}")
    if state["color"] not in COLORS:
        broken.append(f"colour {state['color']!r}")
    frame, scale = state["frame"], state["scale"]
    full = state["target"] == "screen"
    top = (TOP_INSET if full else 0) + TOP_BAND
    columns = max(0, int((frame["width"] / scale - LEFT_BAND) // state["cellWidth"]))
    rows = max(0, int((frame["height"] / scale - top) // state["cellHeight"]))
    if (state["columns"], state["rows"]) != (columns, rows):
        broken.append(f"{state['columns']}x{state['rows']} cells, expected {columns}x{rows} in {frame}")
    if state["adjusting"] and not state["visible"]:
        broken.append("adjusting a hidden grid")
    return broken


def x_resources(desktop, pid):
    """Tavelin's X resources as xrestop counts them, summed over its connections: the one whose
    windows carry its pid, and those xrestop cannot name (our own xcb connection has no windows
    with a pid; the few other unnamed ones are the server's and stay constant)."""
    totals, mine = {}, False
    for line in desktop.run(["xrestop", "-b", "-m", "1"]).splitlines():
        if " - " in line and "PID:" in line:
            mine = f"PID:{pid} " in line.replace(": ", ":") or "<unknown>" in line
        elif mine and ":" in line:
            key, _, value = (part.strip() for part in line.partition(":"))
            if key in ("windows", "GCs", "pixmaps", "pictures", "pixmap bytes") and value.isdigit():
                totals[key] = totals.get(key, 0) + int(value)
    return totals


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        return next(int(line.split()[1]) for line in f if line.startswith("VmRSS"))


def shm_segments(pid):
    """System V segments Tavelin created and still holds."""
    with open("/proc/sysvipc/shm") as f:
        next(f)
        return sum(1 for line in f if line.split()[4] == str(pid))


def main():
    commands = int(sys.argv[1]) if len(sys.argv) > 1 else 10000
    seed = int(sys.argv[2]) if len(sys.argv) > 2 else 1
    rng = random.Random(seed)
    desktop = Desktop().start()
    failures, samples, counts = [], [], {}
    xterms = []
    try:
        tavelin = desktop.start_tavelin()
        desktop.overlay_window()
        wait_until(desktop.grid_drawn, timeout=10, what="the grid on screen")
        remote = Tavelin(desktop.bus_address)
        started = time.monotonic()
        for i in range(commands):
            if tavelin.poll() is not None:
                failures.append(f"Tavelin exited with {tavelin.returncode} after {i} commands")
                break
            xterms = [(p, w) for p, w in xterms if p.poll() is None]
            kind = rng.choices(
                ["grid", "labels", "adjust", "size", "badsize", "color", "badcolor", "cell", "at", "state",
                 "shotpng", "shot", "window", "close", "follow", "badfollow", "full", "pick"],
                weights=[8, 8, 6, 8, 2, 6, 2, 8, 8, 6, 3, 1, 2, 2, 4, 1, 4, 2])[0]
            counts[kind] = counts.get(kind, 0) + 1
            mode = rng.choice(["on", "off", "toggle"])
            if kind in ("grid", "labels", "adjust"):
                remote.call(kind.capitalize(), "(s)", mode)
            elif kind == "size":
                remote.call("Size", "(dd)", rng.uniform(20, 400), rng.uniform(20, 400))
            elif kind == "badsize":
                reply = remote.call("Size", "(dd)", rng.choice([0, 5, 19.99, 400.01, 1e9, -80]), 80.0)
                if not isinstance(reply, str):
                    failures.append(f"a bad size was taken: {reply}")
            elif kind == "color":
                remote.call("Color", "(s)", rng.choice(COLORS).swapcase() if rng.random() < 0.3 else rng.choice(COLORS))
            elif kind == "badcolor":
                if not isinstance(remote.call("Color", "(s)", rng.choice(["mauve", "", "Red\n", "x" * 300])), str):
                    failures.append("a bad colour was taken")
            elif kind == "cell":
                remote.call("Cell", "(s)", rng.choice(["A1", "c4", "Q10", "ZZ99", "a0", "", "B" + str(rng.randint(1, 30))]))
            elif kind == "at":
                remote.call("At", "(xx)", rng.randint(-50, 1500), rng.randint(-50, 950))
            elif kind == "state":
                pass
            elif kind == "shotpng":
                reply = remote.call("ShotPng")
                if not isinstance(reply, str) and not bytes(reply[0]).startswith(b"\x89PNG"):
                    failures.append("ShotPng gave no PNG")
            elif kind == "shot":
                remote.call("Shot")
                for name in os.listdir(os.path.join(desktop.home, "Desktop")):
                    os.unlink(os.path.join(desktop.home, "Desktop", name))
            elif kind == "window" and len(xterms) < 4:
                xterms.append(desktop.start_xterm(rng.randint(0, 900), rng.randint(0, 500), cols=rng.randint(20, 80),
                                                  rows=rng.randint(5, 30), title=f"soak-{i}"))
            elif kind == "close" and xterms:
                end(xterms.pop(rng.randrange(len(xterms)))[0])
            elif kind == "follow" and xterms:
                remote.call("Follow", "(u)", rng.choice(xterms)[1])
            elif kind == "badfollow":
                if not isinstance(remote.call("Follow", "(u)", rng.choice([1, 0xFFFFFFFF, 0x7fffff])), str):
                    failures.append("following a window that is none")
            elif kind == "full":
                remote.call("FullScreen")
            elif kind == "pick":
                remote.call("Pick")
                if rng.random() < 0.5:
                    desktop.key("Escape")
                else:
                    desktop.click(rng.randint(0, 1439), rng.randint(0, 899))
                time.sleep(0.05)
            state = remote.state()
            if isinstance(state, str):
                failures.append(f"State refused: {state}")
                continue
            for broken in check(state):
                failures.append(f"after {kind} (#{i}): {broken}")
            if i % SAMPLE_EVERY == 0 or i == commands - 1:
                samples.append((i, rss_kib(tavelin.pid), x_resources(desktop, tavelin.pid), shm_segments(tavelin.pid)))
        elapsed = time.monotonic() - started
    finally:
        for p, _ in xterms:
            end(p)
        desktop.stop()

    print(f"{sum(counts.values())} commands in {elapsed:.0f} s (seed {seed}): "
          + ", ".join(f"{k} {v}" for k, v in sorted(counts.items())))
    print("command   RSS MiB   X resources (xrestop)                    shm segments")
    for i, rss, res, shm in samples:
        print(f"{i:7d}   {rss / 1024:7.1f}   {str(res):40s} {shm}")
    first, last = samples[1] if len(samples) > 1 else samples[0], samples[-1]
    print(f"RSS from command {first[0]} to {last[0]}: {first[1] / 1024:.1f} → {last[1] / 1024:.1f} MiB")
    for f in failures[:20]:
        print("BROKEN:", f)
    print(f"{len(failures)} invariant failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
