"""The pointer on a layer-shell compositor (headless sway, a virtual pointer): clicks pass through the
grid to the windows below it, except in adjust mode, where a drag resizes the cells as on X11."""

import unittest

from gridlines import RESIZE_GAIN, badge_shown, wait_for_cells
from harness import CELL, SCREEN
from wayland_harness import WaylandTestCase


class WaylandClicks(WaylandTestCase):
    def test_a_click_through_the_grid_focuses_the_window_below(self):
        for app_id in ("tavelin-left", "tavelin-right"):
            self.addCleanup(self.session.close_window, self.session.open_foot(app_id), app_id)

        def left_half():
            # Read once both are tiled: the left one had the whole output until the right one came.
            rect = self.session.windows().get("tavelin-left")
            return rect if rect and rect[2] < SCREEN[0] else None

        left = self.wait(left_half, "the two foot windows side by side")
        # A new window takes the focus: the right one has it, the left one is under the grid.
        self.wait(lambda: self.session.focused_app() == "tavelin-right", "right foot focused")
        self.assertTrue(self.session.grid_drawn())
        x, y, width, height = left
        self.session.pointer("move", x + width // 2, y + height // 2, "click")
        self.wait(lambda: self.session.focused_app() == "tavelin-left", "the click reaching the left foot")
        self.assertTrue(self.session.grid_drawn())

    def test_adjust_mode_takes_the_pointer_and_a_drag_resizes_the_cells(self):
        def read(*rect):
            return self.session.screen().rows(*rect)

        self.assertFalse(badge_shown(read))
        self.session.ok("adjust", "on")
        self.addCleanup(self.session.cli, "adjust", "off")
        self.wait(lambda: badge_shown(read), "the adjust mode badge")
        width = height = CELL
        start = (400, 600)
        self.session.pointer("move", *start, "press")
        try:
            for step in range(1, 7):
                dx, dy = 12 * step, -6 * step
                self.session.pointer("move", start[0] + dx, start[1] + dy)
                # Each move adds the whole translation since the press, width then height.
                width += RESIZE_GAIN * dx
                height += RESIZE_GAIN * dy
                wait_for_cells(read, width, height, timeout=10)
        finally:
            self.session.pointer("release")
        self.session.ok("adjust", "off")
        self.wait(lambda: not badge_shown(read), "the badge gone")
        wait_for_cells(read, width, height, timeout=10)
        self.session.ok("size", "80")
        wait_for_cells(read, CELL, CELL, timeout=10)


if __name__ == "__main__":
    unittest.main()
