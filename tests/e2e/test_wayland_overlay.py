"""The grid on a layer-shell compositor (headless sway): its pixels where the X11 tests expect them.
(The grid and its cell names toggled through the command line: test_wayland_shortcuts, whose
bindings run it.)"""

import unittest

from harness import BAND_ALPHA, CELL, GRID_TOP, LEFT_BAND, TOP_BAND, TOP_INSET
from pixels import near, over
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


if __name__ == "__main__":
    unittest.main()
