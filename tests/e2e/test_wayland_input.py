"""The pointer on a layer-shell compositor (headless sway, a virtual pointer): clicks pass through the
grid to the windows below it."""

import unittest

from harness import SCREEN, wait_until
from wayland_harness import WaylandTestCase


class WaylandClicks(WaylandTestCase):
    def test_a_click_through_the_grid_focuses_the_window_below(self):
        self.session.open_foot("tavelin-left")
        self.session.open_foot("tavelin-right")

        def left_half():
            # Read once both are tiled: the left one had the whole output until the right one came.
            rect = self.session.windows().get("tavelin-left")
            return rect if rect and rect[2] < SCREEN[0] else None

        left = wait_until(left_half, timeout=10, what="the two foot windows side by side")
        # A new window takes the focus: the right one has it, the left one is under the grid.
        wait_until(lambda: self.session.focused_app() == "tavelin-right", timeout=10, what="right foot focused")
        self.assertTrue(self.session.grid_drawn())
        x, y, width, height = left
        self.session.pointer("move", x + width // 2, y + height // 2, "click")
        wait_until(lambda: self.session.focused_app() == "tavelin-left", timeout=10,
                   what="the click reaching the left foot")
        self.assertTrue(self.session.grid_drawn())


if __name__ == "__main__":
    unittest.main()
