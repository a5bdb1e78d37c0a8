"""Tavelin on a layer-shell compositor (headless sway, one Tavelin for all tests), read with grim:
the launch grid, click-through, adjust mode, sway's bindings running the command line, second
starts, shots and picks."""

import os
from pathlib import Path

from gridlines import C4_BOX, RESIZE_GAIN, assert_grid_pixels, badge_shown, wait_for_cells
from harness import CELL, SCREEN, TAVELIN, wait_until
from pixels import ink
from sway_windows import close, crosshair_at, frame, nodes, open_grey_foot, wait_laid_on
from wayland_harness import WaylandTestCase


class OnSway(WaylandTestCase):
    tools = ("foot",)

    def setUp(self):
        # The cursor is drawn into the output and the captures: between tests it waits in the bottom
        # right corner, inside a cell, where the grid adds nothing over it.
        self.addCleanup(self.session.pointer, "move", SCREEN[0] - 1, SCREEN[1] - 1)

    def read(self, *rect):
        return self.session.screen().rows(*rect)

    def labels(self, on):
        self.session.ok("labels", "on" if on else "off")
        self.wait(lambda: (ink(self.read(*C4_BOX)) > 10) == on, "cell names " + ("drawn" if on else "gone"))

    def test_the_launch_grid_is_where_x11_puts_it(self):
        assert_grid_pixels(self, self.session.screen())

    def test_a_click_through_the_grid_focuses_the_window_below(self):
        left, right = open_grey_foot(self.session), open_grey_foot(self.session)
        for con in (left, right):
            self.addCleanup(close, self.session, con)
        # A new window takes the focus: the right one has it, the left one is under the grid.
        self.wait(lambda: frame(self.session, left)[2] < SCREEN[0] and self.focused() == right,
                  "two side by side, the right one focused")
        x, y, width, height = frame(self.session, left)
        self.session.pointer("move", x + width // 2, y + height // 2, "click")
        self.wait(lambda: self.focused() == left, "the click reaching the left foot")
        self.assertTrue(self.session.grid_drawn())

    def test_adjust_mode_takes_the_pointer_and_a_drag_resizes_the_cells(self):
        self.assertFalse(badge_shown(self.read))
        self.session.ok("adjust", "on")
        self.addCleanup(self.session.cli, "adjust", "off")
        self.wait(lambda: badge_shown(self.read), "the adjust mode badge")
        width = height = CELL
        start = (400, 600)
        self.session.pointer("move", *start, "press")
        try:
            for step in range(1, 7):
                dx, dy = 12 * step, -6 * step
                self.session.pointer("move", start[0] + dx, start[1] + dy)
                # Each move adds the whole translation since the press, width then height.
                width += RESIZE_GAIN * dx
                height += RESIZE_GAIN * dy
                wait_for_cells(self.read, width, height, timeout=10)
        finally:
            self.session.pointer("release")
        self.session.ok("adjust", "off")
        self.wait(lambda: not badge_shown(self.read), "the badge gone")
        wait_for_cells(self.read, width, height, timeout=10)
        self.session.ok("size", "80")
        wait_for_cells(self.read, CELL, CELL, timeout=10)

    def test_each_shortcut_does_what_its_command_does(self):
        session = self.session
        session.press("g")
        self.wait(lambda: not session.grid_drawn(), "the grid hidden by Super+Shift+G")
        session.press("g")
        self.wait(session.grid_drawn, "the grid back with Super+Shift+G")

        session.press("l")
        self.wait(lambda: ink(self.read(*C4_BOX)) > 10, "cell names drawn by Super+Shift+L")
        session.press("l")
        self.wait(lambda: ink(self.read(*C4_BOX)) == 0, "cell names gone with Super+Shift+L")

        session.press("a")
        self.wait(lambda: badge_shown(self.read), "the adjust badge from Super+Shift+A")
        session.press("a")
        self.wait(lambda: not badge_shown(self.read), "adjust mode left with Super+Shift+A")

        desktop = os.path.join(session.home, "Desktop")
        session.run(["mkdir", "-p", desktop], check=True)
        session.press("s")
        name = self.wait(lambda: next((n for n in os.listdir(desktop) if n.endswith(".png")), None),
                         "a shot on the Desktop")
        self.assertRegex(name, r"^Tavelin_\d{4}-\d\d-\d\d_\d\d\.\d\d\.\d\d(-\d+)?\.png$")
        # The file and the clipboard are two steps: the clipboard may follow the file.
        saved = Path(desktop, name).read_bytes()
        self.wait(lambda: session.run(["wl-paste", "--no-newline", "-t", "image/png"]).stdout == saved,
                  "the shot on the clipboard")
        self.assertEqual(session.run(["wl-paste", "-l"]).stdout.split(), [b"image/png"])

        # A pick: the crosshair over the bare desktop, whose press returns to the whole screen.
        session.pointer("move", 700, 500)
        session.press("w")
        self.wait(lambda: crosshair_at(session.screen(), 700, 500), "the pick's crosshair from Super+Shift+W")
        session.pointer("click", "move", SCREEN[0] - 1, SCREEN[1] - 1)
        self.wait(session.grid_drawn, "the grid back after the pick")
        self.assertIn("target: screen", session.cli("state")[1])

    def test_a_second_start_finds_the_grid_on_its_socket_however_the_display_is_written(self):
        # Without the session bus only the display's lock tells; libwayland takes a name or a path.
        name = self.session.env["WAYLAND_DISPLAY"]
        for display in (name, os.path.join(self.session.runtime, name), os.path.join(self.session.runtime, ".", name)):
            with self.subTest(display=display):
                second = self.session.run([TAVELIN], {"WAYLAND_DISPLAY": display, "DBUS_SESSION_BUS_ADDRESS": "unix:path=/nonexistent"})
                self.assertEqual((second.returncode, second.stderr.decode().splitlines()),
                                 (0, [f"tavelin: Tavelin is already running on the display {name}"]))
        self.assertIsNone(self.session.tavelin.poll())

    def test_shot_file_equals_the_screen_with_its_grid_and_is_never_replaced(self):
        self.labels(True)
        self.addCleanup(self.labels, False)
        path = self.shoot("bug.png", self.session.grid_drawn)

        before = os.path.getmtime(path)
        status, _, err = self.session.cli("shot", path)
        self.assertEqual(status, 1)
        self.assertIn("exists", err)
        self.assertEqual(os.path.getmtime(path), before)

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

    def test_pick_takes_the_topmost_window_under_the_press_which_reaches_none(self):
        left, right, floating = (open_grey_foot(self.session) for _ in range(3))
        for con in (left, right, floating):
            self.addCleanup(close, self.session, con)
        self.session.swaymsg(f"[con_id={floating}] floating enable, resize set 600 400, move position 200 200")
        self.session.swaymsg(f"[con_id={right}] focus")
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
        self.session.swaymsg("workspace 3")
        self.addCleanup(self.session.swaymsg, "workspace 1")
        self.pick(700, 500)
        self.assertIn("target: screen", self.session.cli("state")[1])
        wait_until(self.session.grid_drawn, timeout=10, interval=0.1, what="the full-screen grid")
