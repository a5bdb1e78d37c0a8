"""The overlay window on a real desktop: where it lies, that no window manager takes it in (also
after it was hidden), what it puts on the screen (bands, lines, headers), that clicks go through
it to the window beneath except in adjust mode."""

import time
import unittest

from harness import (CELL, COLS, GRID_TOP, LEFT_BAND, LINE_ALPHA, ROWS, SCREEN, STORED_BAND_ALPHA, TOP_INSET,
                     DesktopTestCase, wait_until)
from pixels import luma, near, over


class OverlayTest(DesktopTestCase):

    def assertNear(self, actual, expected, tolerance=2.5, what=""):
        self.assertTrue(near(actual, expected, tolerance), f"{what}: {actual} is not about {expected}")

    def test_an_unmanaged_window_on_every_desktop_that_clicks_go_through_unless_adjust_mode_takes_them(self):
        self.assertEqual(self.desktop.geometry(self.overlay), (0, 0) + SCREEN, "screen-sized")
        self.assertEqual(self.desktop.window_info(self.overlay)["Depth"], 32, "ARGB")
        self.assertEqual(self.desktop.shape(self.overlay, "input"), (0, []), "an empty input shape")
        # Another virtual desktop still shows it: no window manager hides it there.
        self.desktop.switch_desktop(1)
        try:
            time.sleep(0.3)
            self.assertEqual(self.desktop.overlay_window(timeout=1), self.overlay, "viewable on desktop 1")
        finally:
            self.desktop.switch_desktop(0)
        self.assert_kept_by_the_window_manager(self.overlay)

        presses, window = self.click_target(300, 300, 400, 300)
        x, y, width, height = self.desktop.geometry(window)
        # The line crossing the window is drawn over it: the overlay lies above the window.
        line_x = next(LEFT_BAND + c * CELL for c in range(COLS + 1) if LEFT_BAND + c * CELL > x + 10)
        inside_y = y + height // 2
        wait_until(lambda: luma(self.desktop.pixel(line_x, inside_y)) > luma(self.desktop.pixel(line_x + 5, inside_y)) + 3,
                   what="the grid drawn over the window")
        self.assert_click_reaches(presses, line_x, inside_y)
        self.assert_click_reaches(presses, x + width // 2 + 7, y + 15)

        # Hidden and shown again: still unmanaged, and above the window.
        self.desktop.key("super+shift+g")
        wait_until(lambda: self.desktop.overlay_id() is None, what="the overlay hidden")
        self.desktop.key("super+shift+g")
        self.assert_kept_by_the_window_manager(self.desktop.overlay_window())
        self.assert_click_reaches(presses, x + 20, y + 20)

        # Adjust mode: the overlay takes the click; leaving it, clicks go through again.
        self.set_adjust_mode(True)
        self.desktop.click(x + 30, y + 30)
        self.set_adjust_mode(False)
        self.assert_click_reaches(presses, x + 40, y + 40, "the click in adjust mode stayed with the overlay")

    def assert_kept_by_the_window_manager(self, overlay):
        self.assertIn("Override Redirect State: yes", self.desktop.run(["xwininfo", "-id", str(overlay)]),
                      "no window manager places or hides it")
        self.assertNotIn("WM_STATE(WM_STATE)", self.desktop.run(["xprop", "-id", str(overlay)]), "not managed")
        self.assertNotIn(hex(overlay), self.desktop.run(["xprop", "-root", "_NET_CLIENT_LIST"]), "not listed")

    def test_screen_shows_bands_lines_and_headers_where_they_belong(self):
        image = self.desktop.root_image()
        px = lambda x, y: luma(image.pixel(x, y))
        desktop = px(700, 10)                           # the inset strip stays clear
        band = over(desktop, STORED_BAND_ALPHA)
        left_band = over(band, STORED_BAND_ALPHA)

        for x in (0, 400, SCREEN[0] - 1):
            self.assertNear(px(x, 0), desktop, 0, "clear above the top band")
            self.assertNear(px(x, TOP_INSET - 1), desktop, 0, "clear just above the top band")
        for y in range(TOP_INSET, GRID_TOP):
            self.assertNear(px(3, y), band, what=f"corner square, one layer, at y={y}")
            if y < GRID_TOP - 1:  # the first horizontal line's upper half lies on the band's last row
                self.assertNear(px(50, y), band, what=f"top band at y={y}")
        self.assertNear(px(50, GRID_TOP + 1), desktop, what="below the top band")
        for y in range(GRID_TOP, SCREEN[1], 37):
            self.assertNear(px(3, y), left_band, what=f"left band, laid on twice, at y={y}")
        self.assertNear(px(LEFT_BAND + 1, 300), desktop, what="right of the left band")

        def beneath(x, y):
            """What the grid lines are drawn on at a pixel."""
            if y < TOP_INSET:
                return desktop
            return band if y < GRID_TOP else left_band if x < LEFT_BAND else desktop

        # Vertical lines at x = 26 + 80c, c = 0..17, from the top band down to the bottom edge.
        for c in range(COLS + 1):
            x = LEFT_BAND + c * CELL
            for y in (TOP_INSET, GRID_TOP + 30, SCREEN[1] - 1):
                for column in (x - 1, x):
                    self.assertNear(px(column, y), over(beneath(column, y), LINE_ALPHA, 255),
                                    what=f"line {c} at ({column}, {y})")
                self.assertNear(px(x - 3, y), beneath(x - 3, y), what=f"beside line {c} at y={y}")
            self.assertNear(px(x, TOP_INSET - 1), desktop, 0, f"line {c} starts at the top band")
        for x in range(LEFT_BAND + COLS * CELL + 2, SCREEN[0]):
            self.assertNear(px(x, 500), desktop, what=f"no closing line in the right strip at x={x}")

        # Horizontal lines at y = 47 + 80r, r = 0..10, from the left band's edge to the right edge.
        for r in range(ROWS + 1):
            y = GRID_TOP + r * CELL
            for x in (LEFT_BAND + 30, SCREEN[0] - 1):
                for row in (y - 1, y):
                    self.assertNear(px(x, row), over(beneath(x, row), LINE_ALPHA, 255), what=f"line {r} at ({x}, {row})")
                self.assertNear(px(x, y + 3), desktop, what=f"below line {r}")
            self.assertNear(px(3, y), left_band, what=f"line {r} does not cross the left band")
        for y in range(GRID_TOP + ROWS * CELL + 2, SCREEN[1]):
            self.assertNear(px(500, y), desktop, what=f"no closing line in the bottom strip at y={y}")

        # Headers: light text in the bands, centred in their column or row, only over whole cells.
        def brightest(cx, cy, half=7):
            return max(px(x, y) for x in range(cx - half, cx + half) for y in range(cy - half, cy + half))
        header_colour = over(band, 0.4, 255)
        for c in (0, 1, COLS - 1):
            centre = LEFT_BAND + c * CELL + CELL // 2
            self.assertGreater(brightest(centre, TOP_INSET + 11), (band + header_colour) / 2, f"column header {c}")
        self.assertNear(brightest(LEFT_BAND + COLS * CELL + CELL // 2 - 20, TOP_INSET + 11, 5), band,
                        what="no header past the last whole column")
        for r in (0, 1, ROWS - 1):
            centre = GRID_TOP + r * CELL + CELL // 2
            self.assertGreater(brightest(LEFT_BAND // 2, centre), (left_band + header_colour) / 2, f"row header {r}")
        self.assertNear(brightest(LEFT_BAND // 2, GRID_TOP + ROWS * CELL + 20, 5), left_band,
                        what="no header past the last whole row")

if __name__ == "__main__":
    unittest.main()
