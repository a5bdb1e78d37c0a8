"""Screenshots on a layer-shell compositor (headless sway): the file equals what grim reads off the
screen with the grid (one grid, not two), the menu's shot lands on the Desktop and the same PNG comes
back from wl-paste though Tavelin never has the keyboard, and an existing file is never replaced."""

import os
import re
import unittest

from harness import CELL, GRID_TOP, LEFT_BAND, wait_until
from pixels import Image, differing, off_background
from wayland_harness import WaylandTestCase

C4 = (LEFT_BAND + 2 * CELL + 8, GRID_TOP + 3 * CELL + 8, CELL - 16, CELL - 16)


class WaylandScreenshot(WaylandTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.session.run(["mkdir", "-p", os.path.join(cls.session.home, "Desktop")], check=True)
        cls.session.cli("labels", "on")
        wait_until(lambda: len(off_background(sum(cls.session.screen().rows(*C4), []))) > 10, timeout=10,
                   interval=0.2, what="cell names on the screen")

    def test_file_equals_the_screen_with_its_grid_and_is_never_replaced(self):
        path = os.path.join(self.session.home, "bug.png")
        status, _, err = self.session.cli("shot", path)
        self.assertEqual(status, 0, err)
        wait_until(self.session.grid_drawn, timeout=10, interval=0.2, what="the grid back after the shot")
        shot, screen = Image.from_png(path), self.session.screen()
        self.assertEqual((shot.width, shot.height), (screen.width, screen.height))
        self.assertEqual(differing(shot.rows(), screen.rows()), 0)

        before = os.path.getmtime(path)
        status, _, err = self.session.cli("shot", path)
        self.assertEqual(status, 1)
        self.assertIn("exists", err)
        self.assertEqual(os.path.getmtime(path), before)

    def test_menu_shot_goes_to_the_desktop_and_the_clipboard(self):
        status, out, err = self.session.cli("shot")
        self.assertEqual(status, 0, err)
        path = out.strip()
        self.assertEqual(os.path.dirname(path), os.path.join(self.session.home, "Desktop"))
        self.assertRegex(os.path.basename(path), re.compile(r"^Tavelin_\d{4}-\d\d-\d\d_\d\d\.\d\d\.\d\d(-\d+)?\.png$"))
        with open(path, "rb") as f:
            saved = f.read()
        pasted = self.session.run(["wl-paste", "--no-newline", "-t", "image/png"])
        self.assertEqual(pasted.returncode, 0, pasted.stderr)
        self.assertEqual(pasted.stdout, saved)
        self.assertEqual(self.session.run(["wl-paste", "-l"]).stdout.split(), [b"image/png"])


if __name__ == "__main__":
    unittest.main()
