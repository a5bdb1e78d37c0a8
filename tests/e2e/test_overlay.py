"""The overlay window as X sees it: screen-sized, ARGB, unmanaged even after hiding, letting clicks through."""

from harness import SCREEN, DesktopTestCase, wait_until


class OverlayTest(DesktopTestCase):

    def test_an_unmanaged_argb_window_that_stays_unmanaged_when_shown_again_and_lets_clicks_through(self):
        self.assertEqual(self.desktop.geometry(self.overlay), (0, 0) + SCREEN, "screen-sized")
        self.assertEqual(self.desktop.window_info(self.overlay)["Depth"], 32, "ARGB")
        self.assertEqual(self.desktop.shape(self.overlay, "input"), (0, []), "an empty input shape")
        self.assert_kept_by_the_window_manager(self.overlay)

        presses, window = self.click_target(300, 300, 400, 300)
        x, y, _, _ = self.desktop.geometry(window)
        self.desktop.key("super+shift+g")
        wait_until(lambda: self.desktop.overlay_id() is None, what="the overlay hidden")
        self.desktop.key("super+shift+g")
        self.assert_kept_by_the_window_manager(self.desktop.overlay_window())
        self.assert_click_reaches(presses, x + 20, y + 20)

    def assert_kept_by_the_window_manager(self, overlay):
        self.assertIn("Override Redirect State: yes", self.desktop.run(["xwininfo", "-id", str(overlay)]),
                      "no window manager places or hides it")
        self.assertNotIn("WM_STATE(WM_STATE)", self.desktop.run(["xprop", "-id", str(overlay)]), "not managed")
        self.assertNotIn(hex(overlay), self.desktop.run(["xprop", "-root", "_NET_CLIENT_LIST"]), "not listed")
