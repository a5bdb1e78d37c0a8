"""Picking a window by a click on sway: `tavelin pick` hides the grid and puts a crosshair over the
screen, the next press (a virtual pointer's) names the window under it, floating above tiled, and the
grid lies on that window's frame, read with grim; the press never reaches the window. A press on no
window returns to the full screen. Where the compositor tells nothing of windows, pick says so in
one line and nothing changes."""

import unittest

from harness import wait_until
from sway_windows import close, crosshair_at, frame, nodes, open_grey_foot, wait_laid_on
from wayland_harness import WaylandTestCase


class PickOnSway(WaylandTestCase):
    tools = ("foot",)

    def sway(self, command):
        self.session.swaymsg(command)

    def pick(self, x, y):
        self.session.pointer("move", x, y)
        self.session.ok("pick")
        # The grid gone and the catcher up under the pointer: the crosshair shows where the press goes.
        wait_until(lambda: crosshair_at(self.session.screen(), x, y), timeout=10, interval=0.1,
                   what="the crosshair over the screen")
        self.session.pointer("click")
        wait_until(lambda: "picking: off" in self.session.cli("state")[1], timeout=10, what="the pick done")

    def focused(self):
        return next((n["id"] for n in nodes(self.session) if n.get("focused")), None)

    def test_a_press_picks_the_topmost_window_under_it_and_reaches_none(self):
        left, right, floating = (open_grey_foot(self.session) for _ in range(3))
        for con in (left, right, floating):
            self.addCleanup(close, self.session, con)
        self.sway(f"[con_id={floating}] floating enable, resize set 600 400, move position 200 200")
        self.sway(f"[con_id={right}] focus")
        wait_until(lambda: frame(self.session, left)[2] < 1440 and self.focused() == right, timeout=10,
                   what="two tiled side by side, the right one focused")

        # Over the left tiled one and the floating one: the floating one, which lies above.
        self.pick(250, 300)
        wait_laid_on(self.session, (200, 200, 600, 400), "the floating window picked")
        self.assertIn(f"target: window {floating:#x}", self.session.cli("state")[1])
        self.assertEqual(self.focused(), right, "the picking press reached a window")

        # Below the floating one: the tiled one, title bar and all.
        self.pick(100, 700)
        wait_laid_on(self.session, frame(self.session, left), "the tiled window picked")
        self.assertEqual(self.focused(), right, "the picking press reached a window")

        # On an empty workspace the press finds no window: the whole screen again.
        self.sway("workspace 3")
        self.addCleanup(self.sway, "workspace 1")
        self.pick(700, 500)
        self.assertIn("target: screen", self.session.cli("state")[1])
        wait_until(self.session.grid_drawn, timeout=10, interval=0.1, what="the full-screen grid")


class PickWithoutWindowList(WaylandTestCase):
    """Tavelin on sway without its IPC socket stands for a compositor with no window list (GNOME)."""

    tavelin_env = {"SWAYSOCK": ""}

    def test_pick_says_in_one_line_that_it_is_not_available(self):
        before = self.session.cli("state")[1]
        code, out, err = self.session.cli("pick")
        self.assertEqual(code, 1)
        self.assertEqual(err.strip().splitlines(), ["tavelin: picking a window is not available on this desktop"])
        self.assertEqual(self.session.cli("state")[1], before)
        self.assertTrue(self.session.grid_drawn())


if __name__ == "__main__":
    unittest.main()
