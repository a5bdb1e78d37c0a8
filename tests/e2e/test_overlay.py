"""The overlay window on a real desktop: where it lies and how the window manager keeps it (also
after it was hidden), what it puts on the screen (bands, lines, headers), that clicks go through
it to the window beneath except in adjust mode, and that it rests while nothing changes."""

import os
import select
import subprocess
import time
import unittest

import harness
from harness import DesktopTestCase, wait_until

SCREEN = (1440, 900)
LEFT_BAND = 26
TOP_INSET = 25
TOP_BAND = 22
GRID_TOP = TOP_INSET + TOP_BAND
CELL = 80
COLS = (SCREEN[0] - LEFT_BAND) // CELL             # 17: headers A..Q
ROWS = (SCREEN[1] - GRID_TOP) // CELL               # 10: headers 1..10

BAND_ALPHA = round(0.35 * 255) / 255                # black over the desktop
# A 0.5 pt line centred on a pixel edge covers a quarter of each pixel beside it.
LINE_ALPHA = round(0.25 * 255 * 0.25) / 255         # white at 0.25, a quarter covered


def luma(pixel):
    return sum(pixel) / 3


def over(background, alpha, colour=0):
    """A grey level seen through a layer of colour at alpha."""
    return background * (1 - alpha) + colour * alpha


class OverlayTest(DesktopTestCase):

    def setUp(self):
        super().setUp()
        # The first paint has reached the screen once the top band darkens the desktop.
        wait_until(lambda: self.desktop.root_pixels(40, 30, 1, 1)[0][0] != self.desktop.root_pixels(40, 10, 1, 1)[0][0],
                   what="the grid on screen")

    def xprop(self, window):
        return self.desktop.run(["xprop", "-id", str(window)])

    def assertNear(self, actual, expected, tolerance=2.5, what=""):
        self.assertLessEqual(abs(actual - expected), tolerance, f"{what}: {actual} is not about {expected}")

    def test_window_covers_the_screen_above_others_on_every_desktop_untouchable(self):
        overlay = self.overlay
        self.assertEqual(self.desktop.probe("geometry", overlay).split(),
                         ["0", "0", str(SCREEN[0]), str(SCREEN[1]), "32"], "screen-sized, 32-bit ARGB")
        self.assertEqual(self.desktop.probe("input-shape", overlay).split()[0], "0", "an empty input shape")

        # Another virtual desktop still shows it: the window manager keeps it on all of them.
        self.desktop.run(["xdotool", "set_desktop", "1"], check=True)
        try:
            wait_until(lambda: self.desktop.run(["xdotool", "get_desktop"]).strip() == "1", what="desktop 1")
            time.sleep(0.3)
            self.assertEqual(self.desktop.overlay_window(timeout=1), overlay, "the overlay is viewable on desktop 1")
        finally:
            self.desktop.run(["xdotool", "set_desktop", "0"], check=True)

        props = {line.split(" = ")[0]: line.split(" = ", 1)[1]
                 for line in self.xprop(overlay).splitlines() if " = " in line and not line.startswith("\t")}
        for wanted in ("_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"):
            self.assertIn(wanted, props["_NET_WM_STATE(ATOM)"])
        self.assertEqual(props["_NET_WM_DESKTOP(CARDINAL)"], "4294967295", "on all desktops")
        self.assertIn("Client accepts input or input focus: False", self.xprop(overlay), "never focused")

    def test_screen_shows_bands_lines_and_headers_where_they_belong(self):
        image = self.desktop.root_image()
        px = lambda x, y: luma(image.pixel(x, y))
        desktop = px(700, 10)                           # the inset strip stays clear
        band, left_band = over(desktop, BAND_ALPHA), over(over(desktop, BAND_ALPHA), BAND_ALPHA)

        for x in (0, 400, SCREEN[0] - 1):
            self.assertNear(px(x, 0), desktop, 0, "clear above the top band")
            self.assertNear(px(x, TOP_INSET - 1), desktop, 0, "clear just above the top band")
        for y in range(TOP_INSET, GRID_TOP):
            self.assertNear(px(3, y), band, what=f"corner square, one layer, at y={y}")
            if y < GRID_TOP - 1:  # the first horizontal line's upper half lies on the band's last row
                self.assertNear(px(50, y), band, what=f"top band at y={y}")
        self.assertNear(px(50, GRID_TOP + 1), desktop, what="below the top band")
        for y in range(GRID_TOP, SCREEN[1], 37):
            self.assertNear(px(3, y), left_band, what=f"left band, laid on twice, at y={y}")
        self.assertNear(px(LEFT_BAND + 1, 300), desktop, what="right of the left band")

        def beneath(x, y):
            """What the grid lines are drawn on at a pixel."""
            if y < TOP_INSET:
                return desktop
            if y < GRID_TOP:
                return band
            return left_band if x < LEFT_BAND else desktop

        # Vertical lines at x = 26 + 80c, c = 0..17, from the top band down to the bottom edge.
        for c in range(COLS + 1):
            x = LEFT_BAND + c * CELL
            for y in (TOP_INSET, GRID_TOP + 30, SCREEN[1] - 1):
                for column in (x - 1, x):
                    self.assertNear(px(column, y), over(beneath(column, y), LINE_ALPHA, 255),
                                    what=f"line {c} at ({column}, {y})")
                self.assertNear(px(x - 3, y), beneath(x - 3, y), what=f"beside line {c} at y={y}")
            self.assertNear(px(x, TOP_INSET - 1), desktop, 0, f"line {c} starts at the top band")
        for x in range(LEFT_BAND + COLS * CELL + 2, SCREEN[0]):
            self.assertNear(px(x, 500), desktop, what=f"no closing line in the right strip at x={x}")

        # Horizontal lines at y = 47 + 80r, r = 0..10, from the left band's edge to the right edge.
        for r in range(ROWS + 1):
            y = GRID_TOP + r * CELL
            for x in (LEFT_BAND + 30, SCREEN[0] - 1):
                for row in (y - 1, y):
                    self.assertNear(px(x, row), over(beneath(x, row), LINE_ALPHA, 255), what=f"line {r} at ({x}, {row})")
                self.assertNear(px(x, y + 3), desktop, what=f"below line {r}")
            self.assertNear(px(3, y), left_band, what=f"line {r} does not cross the left band")
        for y in range(GRID_TOP + ROWS * CELL + 2, SCREEN[1]):
            self.assertNear(px(500, y), desktop, what=f"no closing line in the bottom strip at y={y}")

        # Headers: light text in the bands, centred in their column or row, and only as many as
        # there are whole cells.
        def brightest(cx, cy, half=7):
            return max(px(x, y) for x in range(cx - half, cx + half) for y in range(cy - half, cy + half))
        header_colour = over(band, 0.4, 255)
        for c in (0, 1, COLS - 1):
            centre = LEFT_BAND + c * CELL + CELL // 2
            self.assertGreater(brightest(centre, TOP_INSET + 11), (band + header_colour) / 2, f"column header {c}")
        self.assertNear(brightest(LEFT_BAND + COLS * CELL + CELL // 2 - 20, TOP_INSET + 11, 5), band,
                        what="no header past the last whole column")
        for r in (0, 1, ROWS - 1):
            centre = GRID_TOP + r * CELL + CELL // 2
            self.assertGreater(brightest(LEFT_BAND // 2, centre), (left_band + header_colour) / 2, f"row header {r}")
        self.assertNear(brightest(LEFT_BAND // 2, GRID_TOP + ROWS * CELL + 20, 5), left_band,
                        what="no header past the last whole row")

    def test_clicks_go_through_to_the_window_beneath_unless_adjust_mode_takes_them(self):
        target = self.desktop.spawn([harness.PROBE, "click-target", "300", "300", "400", "300", "60"],
                                    stdout=subprocess.PIPE)
        presses = LineReader(target)
        try:
            window = int(presses.next_matching("ready").split()[1], 16)
            x, y, width, height, _ = (int(v) for v in self.desktop.probe("geometry", window).split())
            # The line crossing the window is drawn over it: the overlay lies above the window.
            line_x = next(LEFT_BAND + c * CELL for c in range(COLS + 1) if LEFT_BAND + c * CELL > x + 10)
            inside_y = y + height // 2
            wait_until(lambda: luma(self.desktop.root_pixels(line_x, inside_y, 1, 1)[0][0])
                       > luma(self.desktop.root_pixels(line_x + 5, inside_y, 1, 1)[0][0]) + 3,
                       what="the grid drawn over the window")

            def click(px, py):
                self.desktop.run(["xdotool", "mousemove", str(px), str(py), "click", "1"], check=True)

            for point in ((line_x, inside_y), (x + width // 2 + 7, y + 15)):
                click(*point)
                self.assertEqual(presses.next_matching("press"), f"press {point[0]} {point[1]} 1")

            # Hidden and shown again: the window manager has forgotten the window, and is told again.
            self.desktop.key("super+shift+g")
            wait_until(lambda: self.desktop.probe("find-overlay", self.tavelin.pid).strip() == "0x0",
                       what="the overlay hidden")
            self.desktop.key("super+shift+g")
            overlay = self.desktop.overlay_window()
            props = self.xprop(overlay)
            self.assertIn("_NET_WM_DESKTOP(CARDINAL) = 4294967295", props)
            self.assertIn("_NET_WM_STATE_SKIP_TASKBAR", props)
            click(x + 20, y + 20)
            self.assertEqual(presses.next_matching("press"), f"press {x + 20} {y + 20} 1")

            # Adjust mode: the overlay takes the click; leaving it, clicks go through again.
            self.desktop.key("super+shift+a")
            wait_until(lambda: self.desktop.probe("input-shape", overlay).split()[0] != "0", what="adjust mode")
            click(x + 30, y + 30)
            self.desktop.key("super+shift+a")
            wait_until(lambda: self.desktop.probe("input-shape", overlay).split()[0] == "0", what="adjust mode off")
            click(x + 40, y + 40)
            self.assertEqual(presses.next_matching("press"), f"press {x + 40} {y + 40} 1",
                             "the click in adjust mode stayed with the overlay")
        finally:
            target.terminate()
            target.wait(timeout=5)

    def test_rests_while_nothing_changes(self):
        time.sleep(1.0)  # launch and first paint are over
        before = cpu_ticks(self.tavelin.pid)
        time.sleep(2.0)
        used = cpu_ticks(self.tavelin.pid) - before
        ticks_per_second = os.sysconf("SC_CLK_TCK")
        self.assertLessEqual(used / ticks_per_second / 2.0, 0.02, f"{used} ticks of CPU in 2 s of rest")


def cpu_ticks(pid):
    """User plus system time of a process so far, in clock ticks (/proc/PID/stat fields 14 and 15)."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


class LineReader:
    """Lines a child process prints, read with a timeout."""

    def __init__(self, process):
        self.process, self.buffer = process, b""

    def next_matching(self, prefix, timeout=10.0):
        deadline = time.monotonic() + timeout
        while True:
            while b"\n" in self.buffer:
                line, self.buffer = self.buffer.split(b"\n", 1)
                if line.decode().startswith(prefix):
                    return line.decode()
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.process.stdout], [], [], left)[0]:
                raise AssertionError(f"no line starting with {prefix!r} within {timeout}s")
            chunk = os.read(self.process.stdout.fileno(), 4096)
            if not chunk:
                raise AssertionError(f"process ended before printing {prefix!r}")
            self.buffer += chunk


if __name__ == "__main__":
    unittest.main()
