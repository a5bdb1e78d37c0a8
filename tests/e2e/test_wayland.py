"""Tavelin on a layer-shell compositor (headless sway, one session and one Tavelin for all): the grid's
pixels where the X11 tests expect them; clicks pass through the grid except in adjust mode, whose drag
resizes the cells; sway's bindings for the five shortcuts (pressed through wtype) run the command line;
a shot equals what grim reads (one grid, not two), lands on the Desktop and on the clipboard though
Tavelin never has the keyboard, and never replaces a file; a pick's press names the topmost window
under it and never reaches it. Pixels read with grim."""

import os
import re
from pathlib import Path

from gridlines import C4_BOX, RESIZE_GAIN, badge_shown, wait_for_cells
from harness import BAND_ALPHA, CELL, GRID_TOP, LEFT_BAND, SCREEN, TAVELIN, TOP_BAND, TOP_INSET, wait_until
from pixels import Image, differing, ink, near, over
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

    def test_a_click_through_the_grid_focuses_the_window_below(self):
        for app_id in ("tavelin-left", "tavelin-right"):
            self.addCleanup(self.session.close_window, self.session.open_foot(app_id), app_id)

        def left_half():
            # Read once both are tiled: the left one had the whole output until the right one came.
            rect = self.session.windows().get("tavelin-left")
            return rect if rect and rect[2] < SCREEN[0] else None

        left = self.wait(left_half, "the two foot windows side by side")
        # A new window takes the focus: the right one has it, the left one is under the grid.
        self.wait(lambda: self.session.focused_app() == "tavelin-right", "right foot focused")
        self.assertTrue(self.session.grid_drawn())
        x, y, width, height = left
        self.session.pointer("move", x + width // 2, y + height // 2, "click")
        self.wait(lambda: self.session.focused_app() == "tavelin-left", "the click reaching the left foot")
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
        self.wait(lambda: [n for n in os.listdir(desktop) if n.endswith(".png")], "a shot on the Desktop")
        # The file and the clipboard are two steps: the clipboard may follow the file.
        self.wait(lambda: session.run(["wl-paste", "-l"]).stdout.split() == [b"image/png"], "the shot on the clipboard")

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
        path = os.path.join(self.session.home, "bug.png")
        self.session.ok("shot", path)
        self.wait(self.session.grid_drawn, "the grid back after the shot")
        shot, screen = Image.from_png(path), self.session.screen()
        self.assertEqual((shot.width, shot.height), (screen.width, screen.height))
        self.assertEqual(differing(shot.rows(), screen.rows()), 0)

        before = os.path.getmtime(path)
        status, _, err = self.session.cli("shot", path)
        self.assertEqual(status, 1)
        self.assertIn("exists", err)
        self.assertEqual(os.path.getmtime(path), before)

    def test_shot_from_the_menu_goes_to_the_desktop_and_the_clipboard(self):
        self.session.run(["mkdir", "-p", os.path.join(self.session.home, "Desktop")], check=True)
        self.labels(True)
        self.addCleanup(self.labels, False)
        path = self.session.ok("shot").strip()
        self.assertEqual(os.path.dirname(path), os.path.join(self.session.home, "Desktop"))
        self.assertRegex(os.path.basename(path), re.compile(r"^Tavelin_\d{4}-\d\d-\d\d_\d\d\.\d\d\.\d\d(-\d+)?\.png$"))
        saved = Path(path).read_bytes()
        pasted = self.session.run(["wl-paste", "--no-newline", "-t", "image/png"])
        self.assertEqual(pasted.returncode, 0, pasted.stderr)
        self.assertEqual(pasted.stdout, saved)
        self.assertEqual(self.session.run(["wl-paste", "-l"]).stdout.split(), [b"image/png"])

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
