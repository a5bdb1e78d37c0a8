"""The five shortcuts on a layer-shell compositor, where no client sees keys meant for others: sway's
bindings run the command line, pressed here through a virtual keyboard (wtype), each with its effect
on screen, on the Desktop or in the log."""

import os
import unittest

from gridlines import C4_BOX, badge_shown
from harness import SCREEN
from pixels import ink
from sway_windows import crosshair_at
from wayland_harness import WaylandTestCase


class WaylandShortcuts(WaylandTestCase):
    def read(self, *rect):
        return self.session.screen().rows(*rect)

    def test_each_shortcut_does_what_its_command_does(self):
        session = self.session
        session.press("g")
        self.wait(lambda: not session.grid_drawn(), "the grid hidden by Super+Shift+G")
        session.press("g")
        self.wait(session.grid_drawn, "the grid back with Super+Shift+G")

        session.press("l")
        self.wait(lambda: ink(self.read(*C4_BOX)) > 10, "cell names drawn by Super+Shift+L")
        session.press("l")
        self.wait(lambda: ink(self.read(*C4_BOX)) == 0, "cell names gone with Super+Shift+L")

        session.press("a")
        self.wait(lambda: badge_shown(self.read), "the adjust badge from Super+Shift+A")
        session.press("a")
        self.wait(lambda: not badge_shown(self.read), "adjust mode left with Super+Shift+A")

        desktop = os.path.join(session.home, "Desktop")
        session.run(["mkdir", "-p", desktop], check=True)
        session.press("s")
        self.wait(lambda: [n for n in os.listdir(desktop) if n.endswith(".png")], "a shot on the Desktop")
        # The file and the clipboard are two steps: the clipboard may follow the file.
        self.wait(lambda: session.run(["wl-paste", "-l"]).stdout.split() == [b"image/png"], "the shot on the clipboard")

        # A pick: the crosshair over the bare desktop, whose press returns to the whole screen.
        session.pointer("move", 700, 500)
        session.press("w")
        self.wait(lambda: crosshair_at(session.screen(), 700, 500), "the pick's crosshair from Super+Shift+W")
        session.pointer("click", "move", SCREEN[0] - 1, SCREEN[1] - 1)
        self.wait(session.grid_drawn, "the grid back after the pick")
        self.assertIn("target: screen", session.cli("state")[1])


if __name__ == "__main__":
    unittest.main()
