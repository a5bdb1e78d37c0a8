"""The grid on a layer-shell compositor (headless sway): its pixels where the X11 tests expect them,
the grid and its cell names toggled through the command line."""

import unittest

from gridlines import C4_BOX
from harness import BAND_ALPHA, CELL, GRID_TOP, LEFT_BAND, TOP_BAND, TOP_INSET
from pixels import ink, near, over
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

    def test_grid_and_cell_names_toggle_from_the_command_line(self):
        self.session.ok("grid", "toggle")
        self.wait(lambda: not self.session.grid_drawn(), "grid hidden")
        self.session.ok("grid", "toggle")
        self.wait(self.session.grid_drawn, "grid shown again")

        def c4_ink():
            return ink(self.session.screen().rows(*C4_BOX))
        self.assertEqual(c4_ink(), 0)
        self.session.ok("labels", "on")
        self.wait(lambda: c4_ink() > 10, "the name drawn in C4")
        self.session.ok("labels", "toggle")
        self.wait(lambda: c4_ink() == 0, "cell names gone")


if __name__ == "__main__":
    unittest.main()
