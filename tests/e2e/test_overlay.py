"""The overlay window on a real desktop: where it lies, that no window manager takes it in (also
after it was hidden), what it puts on the screen (bands, lines, headers), that clicks go through
it to the window beneath except in adjust mode."""

import time

from gridlines import assert_grid_pixels
from harness import CELL, COLS, LEFT_BAND, SCREEN, DesktopTestCase, wait_until
from pixels import luma


class OverlayTest(DesktopTestCase):

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
        assert_grid_pixels(self, self.desktop.root_image())
