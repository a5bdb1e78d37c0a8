"""Target windows that misreport themselves or are not on screen: frame extents anyone may set, a
window reaching past the screen, and (below) windows minimized or on another desktop."""

import os
import unittest

from harness import DesktopTestCase, wait_until
from pixels import Image
from remote import ok, state


class OddWindowTest(DesktopTestCase):
    desktop_options = {"tray_watcher": True}

    def follow(self, window, expected):
        ok(self.desktop, "follow", window)
        self.wait_overlay(expected, what="the grid")

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

    def test_frame_extents_and_a_window_past_the_screen_keep_grid_and_shot_to_what_is_seen(self):
        # Frame extents anyone may set reach no further than the frame window.
        _, window = self.xterm(100, 80, "extents")
        frame = self.desktop.frame(window)
        for extent in (3000, 32767):
            with self.subTest(extent=extent):
                self.set_frame_extents(window, extent)
                self.follow(window, frame)
                self.assertEqual(self.shot_size(f"extents-{extent}.png"), frame[2:])
                ok(self.desktop, "full-screen")
        self.assertNotIn("QPainter", self.desktop.tavelin_log())

        # A window reaching past the screen's edge: grid and shot stay on the screen.
        _, window = self.xterm(100, 80, "past-the-edge", cols=120, rows=40)
        self.desktop.run(["xdotool", "windowmove", str(window), "900", "-150"], check=True)
        wait_until(lambda: self.desktop.frame(window)[0] >= 850, what="window moved")
        x, y, w, h = self.desktop.settled_frame(window)
        self.assertGreater(x + w, self.desktop.width, "the window should reach past the right edge")
        visible = (x, max(y, 0), self.desktop.width - x, min(y + h, self.desktop.height) - max(y, 0))
        self.follow(window, visible)
        self.assertEqual(self.shot_size("past-the-edge.png"), visible[2:])
        self.assertEqual(state(self.desktop)["target"], {"window": window})


if __name__ == "__main__":
    unittest.main()
