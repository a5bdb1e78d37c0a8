"""How far the grid trails a window it follows: the real binary on a private desktop, an xterm
moved by xdotool, both rectangles read every millisecond by bench/x11watch. Measured twice in the same
run: following the window's own events (with the 0.2 s poll as the safety net, as shipped), and the
poll alone (TAVELIN_FOLLOW_POLL_ONLY).

Run: TAVELIN_BUILD_DIR=<build dir> /usr/bin/python3 bench/window_follow.py [STEPS]
Prints figures only; it passes or fails nothing."""

import os
import random
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from harness import BUILD_DIR, Desktop, end, wait_until  # noqa: E402

WATCH = os.path.join(BUILD_DIR, "bench", "x11watch")

STEPS = 40
DRAG_SECONDS = 3.0
DRAG_FRAME_MS = 16
DRAG_SPEED = 500  # pixels per second


def parse_watch(lines, frame, overlay):
    """Per window, the list of (ms, (x, y, w, h)) the watcher saw, in time order."""
    seen = {frame: [], overlay: []}
    for line in lines:
        fields = line.split()
        if len(fields) == 6:
            seen[int(fields[1], 16)].append((float(fields[0]), tuple(int(v) for v in fields[2:])))
    return seen[frame], seen[overlay]


def lags(frame_track, overlay_track):
    """For each place the overlay took, how long after the frame got there it followed (ms)."""
    result = []
    for at, rect in overlay_track:
        arrivals = [t for t, r in frame_track if r == rect and t <= at]
        if arrivals:
            result.append(at - arrivals[-1])
    return result


def distances(frame_track, overlay_track, start, end, step=1.0):
    """Distance between the two top-left corners, sampled every step ms between start and end."""
    def at(track, t):
        current = None
        for when, rect in track:
            if when > t:
                break
            current = rect
        return current
    samples = []
    t = start
    while t < end:
        f, o = at(frame_track, t), at(overlay_track, t)
        if f and o:
            samples.append(((f[0] - o[0]) ** 2 + (f[1] - o[1]) ** 2) ** 0.5)
        t += step
    return samples


def bounce(travelled, low, high):
    """A position going back and forth between low and high, after travelling that far."""
    span = high - low
    phase = travelled % (2 * span)
    return int(low + (phase if phase < span else 2 * span - phase))


def summary(name, values, unit):
    if not values:
        print(f"{name}: no samples")
        return
    values = sorted(values)
    p95 = values[min(len(values) - 1, int(len(values) * 0.95))]
    print(f"{name}: n={len(values)} mean={statistics.mean(values):.1f}{unit} "
          f"median={statistics.median(values):.1f}{unit} p95={p95:.1f}{unit} max={values[-1]:.1f}{unit}")


def measure(desktop, title, extra_env):
    """Single moves at random moments, then a steady drag; prints the lag figures."""
    _, xterm = desktop.start_xterm(100, 100, title="followed")
    tavelin = desktop.start_tavelin(extra_env)
    desktop.overlay_window()
    frame = desktop.frame_window(xterm)
    desktop.pick(200, 150)
    wait_until(lambda: desktop.overlay_rect() == desktop.geometry(frame), what="overlay on the xterm")
    overlay = desktop.overlay_window()

    drag_moves = int(DRAG_SECONDS * 1000 / DRAG_FRAME_MS)
    watch_seconds = STEPS * 0.45 + DRAG_SECONDS + 3
    watcher = subprocess.Popen([WATCH, "geometry", str(watch_seconds), str(frame), str(overlay)],
                               env=desktop.env, stdout=subprocess.PIPE, text=True)
    time.sleep(0.3)

    # Single moves at random moments, so they land all over the tracking timer's period.
    rng = random.Random(7)
    for i in range(STEPS):
        desktop.run(["xdotool", "windowmove", str(xterm), str(100 + (i % 2) * 40), str(100 + i * 3)])
        time.sleep(rng.uniform(0.25, 0.45))
    steps_end = time.monotonic()

    # A steady drag, one step per display frame (xdotool sends its requests only when it exits,
    # so each step is a run of its own, paced by deadline).
    step_px = DRAG_SPEED * DRAG_FRAME_MS / 1000
    drag_start = time.monotonic()
    for i in range(drag_moves):
        desktop.run(["xdotool", "windowmove", str(xterm), str(bounce(i * step_px, 100, 900)), "400"])
        time.sleep(max(0.0, drag_start + (i + 1) * DRAG_FRAME_MS / 1000 - time.monotonic()))
    drag_end = time.monotonic()
    lines = watcher.communicate(timeout=watch_seconds + 10)[0].splitlines()

    frame_track, overlay_track = parse_watch(lines, frame, overlay)
    # The watcher's clock is CLOCK_MONOTONIC in ms, the same clock as time.monotonic().
    split = steps_end * 1000
    step_lags = lags([e for e in frame_track if e[0] < split], [e for e in overlay_track if e[0] < split])
    drag_distance = distances(frame_track, overlay_track, drag_start * 1000 + 300, drag_end * 1000)
    print(f"{title}:")
    print(f"  single moves ({STEPS}, at random moments):")
    summary("    lag from window move to overlay on it", step_lags, " ms")
    print(f"  steady drag at {DRAG_SPEED} px/s ({DRAG_FRAME_MS} ms steps, {drag_end - drag_start:.1f} s):")
    summary("    distance between window and overlay corners", drag_distance, " px")
    summary("    the same as time behind the window", [d * 1000 / DRAG_SPEED for d in drag_distance], " ms")
    end(tavelin)
    desktop.run(["xdotool", "windowclose", str(xterm)])
    wait_until(lambda: not desktop.find_window("followed"), what="xterm closed")


def main():
    desktop = Desktop()
    try:
        desktop.start()
        measure(desktop, "the window's own events, the poll as safety net (as shipped)", {})
        measure(desktop, "the 0.2 s poll alone", {"TAVELIN_FOLLOW_POLL_ONLY": "1"})
    finally:
        desktop.stop()


if __name__ == "__main__":
    if len(sys.argv) > 1:
        STEPS = int(sys.argv[1])
    main()
