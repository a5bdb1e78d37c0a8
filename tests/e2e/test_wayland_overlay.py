"""The grid on a layer-shell compositor (headless sway): its pixels where the X11 tests expect them,
the grid and its cell names toggled through the command line."""

import unittest

from harness import BAND_ALPHA, CELL, GRID_TOP, LEFT_BAND, TOP_BAND, TOP_INSET, wait_until
from pixels import near, off_background, over
from wayland_harness import WaylandTestCase


class WaylandGrid(WaylandTestCase):
    def test_bands_and_cells_where_x11_puts_them(self):
        image = self.session.screen()
        background = image.pixel(40, TOP_INSET - 1)
        # The top band, the left band (laid on twice) and the clear strip above them.
        self.assertTrue(near(image.pixel(40, TOP_INSET + 5), over(background, BAND_ALPHA), 4))
        self.assertTrue(near(image.pixel(5, GRID_TOP + 200), over(over(background, BAND_ALPHA), BAND_ALPHA), 4))
        self.assertTrue(near(image.pixel(40, TOP_INSET + TOP_BAND + 5), background, 0))
        # Cell lines one cell from the bands' edges, plain pixels between them.
        inside = GRID_TOP + CELL // 2
        self.assertNotEqual(image.pixel(LEFT_BAND + CELL, inside), background)
        self.assertEqual(image.pixel(LEFT_BAND + CELL - 5, inside), background)
        self.assertNotEqual(image.pixel(LEFT_BAND + CELL // 2, GRID_TOP + CELL), background)

    def test_grid_toggles_from_the_command_line(self):
        self.assertEqual(self.session.cli("grid", "toggle")[0], 0)
        wait_until(lambda: not self.session.grid_drawn(), timeout=10, interval=0.2, what="grid hidden")
        self.assertEqual(self.session.cli("grid", "toggle")[0], 0)
        wait_until(self.session.grid_drawn, timeout=10, interval=0.2, what="grid shown again")

    def test_cell_names_come_and_go_with_the_command_line(self):
        c4 = (LEFT_BAND + 2 * CELL + 8, GRID_TOP + 3 * CELL + 8, CELL - 16, CELL - 16)

        def ink():
            return len(off_background(sum(self.session.screen().rows(*c4), [])))

        self.assertEqual(ink(), 0)
        self.assertEqual(self.session.cli("labels", "on")[0], 0)
        wait_until(lambda: ink() > 10, timeout=10, interval=0.2, what="the name drawn in C4")
        self.assertEqual(self.session.cli("labels", "toggle")[0], 0)
        wait_until(lambda: ink() == 0, timeout=10, interval=0.2, what="cell names gone")


if __name__ == "__main__":
    unittest.main()
