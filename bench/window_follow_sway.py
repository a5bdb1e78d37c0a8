"""How far the grid trails a window it follows on sway: the real binary on a private headless sway,
a foot terminal moved by swaymsg. Per move, two lags from swaymsg's reply (sway has moved the
window by then): until Tavelin sent the grid's new place to the compositor (its trace line, on the
same monotonic clock), and until grim reads the grid's band at the new place (an upper bound: each
look is a grim run of its own). Measured with the compositor's window events (the 0.2 s poll as the
safety net, as shipped) and with the poll alone; the X11 figures come from window_follow.py.

Run: TAVELIN_BUILD_DIR=<build dir> /usr/bin/python3 bench/window_follow_sway.py [MOVES]
Prints figures only; it passes or fails nothing."""

import os
import random
import re
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from harness import TAVELIN, wait_until  # noqa: E402
from sway_windows import close, open_grey_foot, wait_laid_on  # noqa: E402
from wayland_harness import WaylandSession  # noqa: E402
from window_follow import summary  # noqa: E402

MOVES = 40
SIZE = (600, 400)
PLACED = re.compile(r"tavelin: trace: placed (\S+) (\S+) \S+ \S+ at (\S+) ms")


def band_at(session, x, y):
    """The grid's left band over the terminal at (x + 3, y): darker than the terminal's grey."""
    out = session.run(["grim", "-g", f"{x + 3},{y} 1x1", "-t", "ppm", "-"], check=True).stdout
    return out[-3] < 0x70


def placements(session):
    """(x, y, monotonic ms) of every place the grid was sent to."""
    return [(int(m[1]), int(m[2]), float(m[3])) for m in PLACED.finditer(session.stderr())]


def measure(session, title, extra_env):
    session.log = os.path.join(session.dir, f"tavelin-{len(session.processes)}.log")
    tavelin = session._spawn([TAVELIN], extra=dict({"TAVELIN_TRACE": "1"}, **extra_env),
                             stderr=open(session.log, "wb"))
    wait_until(session.grid_drawn, timeout=20, interval=0.2, what="the grid")
    con = open_grey_foot(session)
    session.run(["swaymsg", f"[con_id={con}] floating enable, resize set {SIZE[0]} {SIZE[1]}, move position 300 300"])
    session.cli("follow", str(con))
    wait_laid_on(session, (300, 300, *SIZE), "followed")

    rng = random.Random(7)
    sent, seen = [], []
    for i in range(MOVES):
        x, y = 100 + (i % 2) * 40, 100 + i * 3
        done = len(placements(session))
        session.run(["swaymsg", f"[con_id={con}] move position {x} {y}"], check=True)
        replied = time.monotonic() * 1000
        wait_until(lambda: band_at(session, x, y + 200), timeout=10, interval=0, what="the grid moved")
        seen.append(time.monotonic() * 1000 - replied)
        placed = wait_until(lambda: next((p for p in placements(session)[done:] if p[:2] == (x, y)), None),
                            timeout=10, what="the trace line")
        sent.append(placed[2] - replied)
        time.sleep(rng.uniform(0.25, 0.45))  # so the moves land all over the poll's period
    print(f"{title}:")
    summary("  swaymsg's reply to the grid's place sent", sent, " ms")
    summary("  swaymsg's reply to the grid seen there by grim", seen, " ms")
    close(session, con)
    tavelin.terminate()
    tavelin.wait(timeout=10)


def main():
    session = WaylandSession()
    try:
        measure(session, "sway's window events, the poll as safety net (as shipped)", {})
        measure(session, "the 0.2 s poll alone", {"TAVELIN_FOLLOW_POLL_ONLY": "1"})
    finally:
        session.close()


if __name__ == "__main__":
    if len(sys.argv) > 1:
        MOVES = int(sys.argv[1])
    main()
