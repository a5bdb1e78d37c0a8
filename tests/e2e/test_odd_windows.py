"""Target windows that misreport themselves or are not on screen: frame extents anyone may set, a
window reaching past the screen, and (below) windows minimized or on another desktop."""

import os
import subprocess
import unittest

from harness import DesktopTestCase, wait_until
from pixels import Image
from remote import ok, state

# Bounds only how long a broken build may hang; the tracking timer polls five times a second.
FOLLOW_TIMEOUT = 5.0


class OddWindowCase(DesktopTestCase):
    desktop_options = {"tray_watcher": True}

    def follow(self, window, expected):
        ok(self.desktop, "follow", window)
        try:
            wait_until(lambda: self.desktop.overlay_rect() == tuple(expected), timeout=FOLLOW_TIMEOUT,
                       what=f"the grid at {expected}")
        except AssertionError as e:
            raise AssertionError(f"{e}; it is at {self.desktop.overlay_rect()}") from None

    def shot_size(self, name):
        path = os.path.join(self.desktop.home, name)
        ok(self.desktop, "shot", path)
        shot = Image.from_png(path)
        return shot.width, shot.height

    def set_frame_extents(self, window, extent):
        value = ",".join([str(extent)] * 4)
        self.desktop.run(["xprop", "-id", str(window), "-f", "_NET_FRAME_EXTENTS", "32c", "-set",
                          "_NET_FRAME_EXTENTS", value], check=True)
        wait_until(lambda: f"= {extent}, {extent}" in self.desktop.run(
            ["xprop", "-id", str(window), "_NET_FRAME_EXTENTS"]), what="frame extents set")


class FrameBoundsTest(OddWindowCase):

    def test_frame_extents_reach_no_further_than_the_frame_window(self):
        _, window = self.xterm(100, 80, "extents")
        frame = self.desktop.frame(window)
        for extent in (3000, 32767):
            with self.subTest(extent=extent):
                self.set_frame_extents(window, extent)
                self.follow(window, frame)
                self.assertEqual(self.shot_size(f"extents-{extent}.png"), frame[2:])
                ok(self.desktop, "full-screen")
        self.assertNotIn("QPainter", self.desktop.tavelin_log())

    def test_grid_and_shot_stay_on_the_screen_a_window_reaches_past(self):
        _, window = self.xterm(100, 80, "past-the-edge", cols=120, rows=40)
        self.desktop.run(["xdotool", "windowmove", str(window), "900", "-150"], check=True)
        wait_until(lambda: self.desktop.frame(window)[0] >= 850, what="window moved")
        frame = self.desktop.settled_frame(window)
        x, y, w, h = frame
        self.assertGreater(x + w, self.desktop.width, "the window should reach past the right edge")
        visible = (x, max(y, 0), self.desktop.width - x, min(y + h, self.desktop.height) - max(y, 0))
        self.follow(window, visible)
        self.assertEqual(self.shot_size("past-the-edge.png"), visible[2:])
        self.assertEqual(state(self.desktop)["target"], {"window": window})


if __name__ == "__main__":
    unittest.main()
