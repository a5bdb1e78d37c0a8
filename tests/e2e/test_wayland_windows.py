"""Following a window on sway as swaymsg moves, resizes, floats, fullscreens, hides and closes it,
and shots of the followed window, read back with grim."""

import os

from harness import NOT_SHOWN, SCREEN, wait_until
from sway_windows import DESKTOP, close, frame, laid_on, open_grey_foot, wait_laid_on
from wayland_harness import WaylandTestCase


class FollowOnSway(WaylandTestCase):
    tools = ("foot",)

    def setUp(self):
        self.con = open_grey_foot(self.session)

    def tearDown(self):
        close(self.session, self.con)
        self.sway("workspace 1")
        self.session.cli("full-screen")

    def sway(self, command):
        self.session.swaymsg(command)

    def follow(self, frame):
        self.session.ok("follow", str(self.con))
        wait_laid_on(self.session, frame, "followed")

    def test_follows_moves_resizes_floating_and_fullscreen(self):
        self.sway(f"[con_id={self.con}] floating enable, resize set 600 400, move position 200 150")
        self.follow((200, 150, 600, 400))
        self.sway(f"[con_id={self.con}] move position 500 300")
        wait_laid_on(self.session, (500, 300, 600, 400), "moved")
        self.sway(f"[con_id={self.con}] resize set 720 480")  # about the window's centre
        wait_laid_on(self.session, (440, 260, 720, 480), "resized")
        self.sway(f"[con_id={self.con}] fullscreen enable")
        wait_laid_on(self.session, (0, 0, *SCREEN), "fullscreen")
        self.sway(f"[con_id={self.con}] fullscreen disable, floating disable")
        # Tiled alone on the workspace: the whole output.
        wait_laid_on(self.session, (0, 0, *SCREEN), "tiled")

    def test_hidden_with_its_workspace_and_full_screen_once_closed(self):
        self.sway(f"[con_id={self.con}] floating enable, resize set 600 400, move position 300 200")
        self.follow((300, 200, 600, 400))
        self.sway(f"[con_id={self.con}] move to workspace 2")
        # Workspace 1 shows, empty: no grid anywhere on it.
        self.wait_grid_gone("with the window's workspace")
        self.sway("workspace 2")
        wait_laid_on(self.session, (300, 200, 600, 400), "shown again")
        self.sway(f"[con_id={self.con}] kill")
        wait_until(lambda: "target: screen" in self.session.cli("state")[1], timeout=10, what="full screen")
        wait_until(self.session.grid_drawn, timeout=10, interval=0.1, what="the full-screen grid")

    def test_hidden_in_the_scratchpad_with_shots_refused_and_back_when_shown(self):
        self.sway(f"[con_id={self.con}] floating enable, resize set 600 400, move position 300 200")
        self.follow((300, 200, 600, 400))
        self.sway(f"[con_id={self.con}] move scratchpad")
        self.wait_grid_gone("with the window into the scratchpad")
        code, _, err = self.session.cli("shot", os.path.join(self.session.home, "hidden.png"))
        self.assertEqual((code, err.strip()), (1, f"tavelin: the screenshot could not be taken: {NOT_SHOWN}"))
        self.sway("scratchpad show")
        wait_until(lambda: laid_on(self.session, frame(self.session, self.con)), timeout=10, interval=0.1,
                   what="the grid on the window shown again")

    def wait_grid_gone(self, what):
        wait_until(lambda: all(self.session.screen().pixel(x, y) == DESKTOP
                               for x, y in ((40, 30), (5, 300), (303, 450), (700, 222))),
                   timeout=10, interval=0.1, what="the grid gone " + what)
        self.assertIn("target: window", self.session.cli("state")[1])

    def test_a_shot_is_the_windows_part_of_the_screen_with_its_grid(self):
        self.addCleanup(self.sway, "output HEADLESS-1 transform normal")
        # Upright on a turned output too, whose pixels the compositor copies as the device holds them;
        # of a window past the output's edge, the part that shows.
        for transform, x in (("normal", 300), ("270", 200), ("normal", 1100)):
            with self.subTest(transform=transform, x=x):
                self.sway(f"output HEADLESS-1 transform {transform}")
                self.sway(f"[con_id={self.con}] floating enable, resize set 600 400, move position {x} 200")
                shown = (x, 200, min(600, SCREEN[0] - x), 400)
                self.follow(shown)
                self.shoot(f"window-{transform}-{x}.png",
                           lambda: laid_on(self.session, shown), region=shown)

    def test_follow_refuses_an_id_sway_does_not_show(self):
        code, _, err = self.session.cli("follow", "999999")
        self.assertEqual(code, 1)
        self.assertIn("not a viewable", err)
