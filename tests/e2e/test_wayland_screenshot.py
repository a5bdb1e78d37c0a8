"""Screenshots on a layer-shell compositor (headless sway): the file equals what grim reads off the
screen with the grid (one grid, not two), the menu's shot lands on the Desktop and the same PNG comes
back from wl-paste though Tavelin never has the keyboard, and an existing file is never replaced."""

import os
import re
import unittest
from pathlib import Path

from gridlines import C4_BOX
from pixels import Image, differing, ink
from wayland_harness import WaylandTestCase


class WaylandScreenshot(WaylandTestCase):
    @classmethod
    def prepare_session(cls):
        cls.session.run(["mkdir", "-p", os.path.join(cls.session.home, "Desktop")], check=True)
        cls.session.ok("labels", "on")
        cls.wait(lambda: ink(cls.session.screen().rows(*C4_BOX)) > 10, "cell names on the screen")

    def test_file_equals_the_screen_with_its_grid_and_is_never_replaced(self):
        path = os.path.join(self.session.home, "bug.png")
        self.session.ok("shot", path)
        self.wait(self.session.grid_drawn, "the grid back after the shot")
        shot, screen = Image.from_png(path), self.session.screen()
        self.assertEqual((shot.width, shot.height), (screen.width, screen.height))
        self.assertEqual(differing(shot.rows(), screen.rows()), 0)

        before = os.path.getmtime(path)
        status, _, err = self.session.cli("shot", path)
        self.assertEqual(status, 1)
        self.assertIn("exists", err)
        self.assertEqual(os.path.getmtime(path), before)

    def test_menu_shot_goes_to_the_desktop_and_the_clipboard(self):
        path = self.session.ok("shot").strip()
        self.assertEqual(os.path.dirname(path), os.path.join(self.session.home, "Desktop"))
        self.assertRegex(os.path.basename(path), re.compile(r"^Tavelin_\d{4}-\d\d-\d\d_\d\d\.\d\d\.\d\d(-\d+)?\.png$"))
        saved = Path(path).read_bytes()
        pasted = self.session.run(["wl-paste", "--no-newline", "-t", "image/png"])
        self.assertEqual(pasted.returncode, 0, pasted.stderr)
        self.assertEqual(pasted.stdout, saved)
        self.assertEqual(self.session.run(["wl-paste", "-l"]).stdout.split(), [b"image/png"])


if __name__ == "__main__":
    unittest.main()
