"""Picking where the compositor tells nothing of windows (sway without its IPC socket stands for GNOME):
pick says so in one line and nothing changes. (Picking on sway itself: test_wayland.)"""


from wayland_harness import WaylandTestCase


class PickWithoutWindowList(WaylandTestCase):
    tavelin_env = {"SWAYSOCK": ""}

    def test_pick_says_in_one_line_that_it_is_not_available(self):
        before = self.session.cli("state")[1]
        code, out, err = self.session.cli("pick")
        self.assertEqual(code, 1)
        self.assertEqual(err.strip().splitlines(), ["tavelin: picking a window is not available on this desktop"])
        self.assertEqual(self.session.cli("state")[1], before)
        self.assertTrue(self.session.grid_drawn())
