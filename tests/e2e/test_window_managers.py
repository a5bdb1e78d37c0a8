"""The grid under every common X11 window manager: on every desktop, above later windows, picks and restarts."""

import managers
from gridlines import assert_grid_pixels
from harness import CELL, COLS, LEFT_BAND, SCREEN, DesktopTestCase, wait_until
from pixels import luma, warmth
from remote import ok

# Some managers paint the root black: a desktop window of one known grey lies beneath everything.
WALL = (0x90, 0x90, 0x90)
LINES_X = [LEFT_BAND + c * CELL for c in range(COLS + 1)]


class ManagerCase(DesktopTestCase):
    manager = None

    @classmethod
    def setUpClass(cls):
        cls.desktop_options = {"window_manager": cls.manager}
        super().setUpClass()

    @classmethod
    def prepare_desktop(cls):
        if cls.manager != "i3":   # i3 makes its workspaces itself
            cls.desktop.set_desktop_count(3)
        cls.desktop.wallpaper(WALL)

    def switch_desktop(self, number):
        self.desktop.switch_desktop(number, managers.switch_command(self.manager, number))

    def line_drawn_over(self, x, y):
        """A vertical grid line at x shows lighter than the pixels beside it at height y."""
        line = next(lx for lx in LINES_X if lx > x + 6)
        row = self.desktop.root_pixels(line - 4, y, 6, 1)[0]
        return luma(row[3]) > luma(row[0]) + 3 and luma(row[4]) > luma(row[0]) + 3

    def assert_grid_over(self, window, what):
        x, y, width, height = self.desktop.frame(window)
        wait_until(lambda: self.line_drawn_over(x + 10, y + height // 2), what=f"the grid drawn over {what}")


class ManagerTest(ManagerCase):

    def test_grid_lies_exactly_on_the_screen_on_every_desktop_above_later_windows_and_lets_clicks_through(self):
        self.assertEqual(self.desktop.geometry(self.overlay), (0, 0) + SCREEN)
        toolbar = CELL if self.manager == "fluxbox" else 0   # fluxbox's lies along the bottom
        assert_grid_pixels(self, self.desktop.root_image(), bottom=SCREEN[1] - toolbar)

        self.switch_desktop(1)
        try:
            wait_until(lambda: self.desktop.overlay_rect() == (0, 0) + SCREEN, what="the grid on desktop 1")
            wait_until(lambda: self.line_drawn_over(100, 400), what="the grid drawn on desktop 1")
        finally:
            self.switch_desktop(0)
        wait_until(lambda: self.desktop.pixel(LINES_X[2] + 3, 400) == WALL and self.line_drawn_over(100, 400),
                   what="the grid back on desktop 0")

        # It stays above windows opened or raised after it, and lets clicks through.
        presses, target = self.click_target(300, 300, 400, 300)
        self.desktop.settled_frame(target)
        self.assert_grid_over(target, "the window opened after it")
        x, y, width, height = self.desktop.geometry(target)
        self.assert_click_reaches(presses, x + width // 2, y + height // 2)

        _, xterm = self.xterm(350, 350, "wm-later")
        self.assert_grid_over(xterm, "the xterm opened after it")
        self.desktop.run(["xdotool", "windowactivate", "--sync", str(target)], check=True)
        self.assert_grid_over(target, "the window raised again")
        self.assert_click_reaches(presses, x + 20, y + height - 20)

        # A full-screen window, activated: the grid lies over it too, and the restacking settles.
        fullscreen = self.spawn(["xterm", "-fullscreen", "-title", "wm-fullscreen", "-bg", "#203040"])
        window = wait_until(lambda: self.desktop.find_window("wm-fullscreen"), timeout=15, what="full-screen xterm")
        wait_until(lambda: self.desktop.frame(window) == (0, 0) + SCREEN, what="the xterm full screen")
        self.desktop.run(["xdotool", "windowactivate", "--sync", str(window)], check=True)
        self.assert_grid_over(window, "the full-screen window")
        self.assertIsNone(fullscreen.poll())

    def test_a_shot_adjust_mode_and_a_pick_that_follows_the_frame(self):
        self.desktop.key("super+shift+s")
        wait_until(self.desktop.shots, timeout=10, what="the screenshot's file")

        presses, target = self.click_target(500, 300, 300, 200)
        self.desktop.settled_frame(target)
        x, y, width, height = self.desktop.geometry(target)
        self.set_adjust_mode(True)
        before = self.desktop.root_pixels(LEFT_BAND, 600, CELL * 4, 1)[0]
        self.desktop.drag((x + 50, y + 50), (x + 90, y + 60), (x + 130, y + 70))
        wait_until(lambda: self.desktop.root_pixels(LEFT_BAND, 600, CELL * 4, 1)[0] != before,
                   what="the cells resized by the drag")
        self.set_adjust_mode(False)
        self.assert_click_reaches(presses, x + 20, y + 20, "the drag in adjust mode stayed with the grid")

        # A pick lays the grid exactly on the window's frame, and it follows the window.
        _, xterm = self.xterm(200, 150, "wm-picked")
        self.desktop.settled_frame(xterm)
        frame = self.desktop.seen_frame(xterm)
        self.desktop.pick(frame[0] + frame[2] // 2, frame[1] + frame[3] // 2)
        self.wait_overlay(frame, what="the grid over the xterm's frame")

        self.desktop.run(["xdotool", "windowmove", str(xterm), "500", "350"], check=True)
        wait_until(lambda: self.desktop.seen_frame(xterm)[:2] != frame[:2] and self.desktop.settled_frame(xterm),
                   what="the xterm moved")
        moved = self.desktop.seen_frame(xterm)
        self.wait_overlay(moved, what="the grid following the xterm")


class RestartTest(ManagerCase):
    """A desktop of its own: a manager started over a running one need not set windows up as the first did."""

    def test_a_compositing_manager_restarted_under_the_grid_draws_it_and_its_changes(self):
        owner = self.desktop.probe("owner", "_NET_WM_CM_S0").strip()
        # Its command replaces the running manager; it lives on with the desktop, which is this test's alone.
        self.desktop.spawn(managers.command(self.manager, self.desktop.home))
        wait_until(lambda: self.desktop.probe("owner", "_NET_WM_CM_S0").strip() not in ("0x0", owner), timeout=60,
                   what=f"{self.manager} compositing again")
        self.prepare_desktop()

        def line_warmth():
            return max(warmth(p) for p in self.desktop.root_pixels(LINES_X[3] - 3, 400, 6, 1)[0])
        for colour, warm in (("red", True), ("white", False)):
            ok(self.desktop, "color", colour)
            wait_until(lambda: (line_warmth() > 8) == warm, timeout=10, what=f"{colour} lines on the screen")
        wait_until(lambda: self.line_drawn_over(100, 400), what="the grid drawn again")


for _name in managers.MANAGERS:
    globals()[f"{_name.capitalize()}Test"] = type(f"{_name.capitalize()}Test", (ManagerTest,),
                                                   {"manager": _name, "__doc__": f"Under {_name}."})
    if managers.composites(_name):
        globals()[f"{_name.capitalize()}RestartTest"] = type(f"{_name.capitalize()}RestartTest", (RestartTest,),
                                                              {"manager": _name, "__doc__": f"{_name} restarted."})
del _name, ManagerCase, ManagerTest, RestartTest   # the bases alone have no manager to test
