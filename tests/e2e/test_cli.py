"""Driving the running Tavelin from scripts: each subcommand's effect on the screen, cells, one instance, quit."""

import json
import os
import subprocess

from gridlines import C4_BOX
from harness import CELL, GRID_TOP, LEFT_BAND, SCREEN, TAVELIN, DesktopTestCase, wait_until
from pixels import ink, line_centres, warmth
from remote import ok, piped_shot, state, tavelin

SCAN_Y = GRID_TOP + 3 * CELL + 20            # through the middle of row 4


class CommandsTest(DesktopTestCase):
    desktop_options = {"tray_watcher": True}

    def c4_ink(self):
        return ink(self.desktop.root_pixels(*C4_BOX))

    def line_xs(self, y, x0, x1):
        return line_centres(self.desktop.root_pixels(x0, y, x1 - x0, 1)[0], start=x0)

    def line_ys(self, x, y0, y1):
        return line_centres([row[0] for row in self.desktop.root_pixels(x, y0, 1, y1 - y0)], start=y0)

    def drawn_cell_centre(self, x_near, y_near):
        """The centre of the cell drawn around a point, from the grid lines on the screen."""
        xs = self.line_xs(y_near, x_near - CELL, x_near + CELL)
        ys = self.line_ys(x_near, y_near - CELL, y_near + CELL)
        left = max(x for x in xs if x <= x_near)
        top = max(y for y in ys if y <= y_near)
        right = min(x for x in xs if x > x_near)
        bottom = min(y for y in ys if y > y_near)
        return (left + right) / 2, (top + bottom) / 2

    def test_grid_labels_adjust_color_and_size_change_what_the_screen_shows(self):
        ok(self.desktop, "grid", "off")
        wait_until(lambda: self.desktop.overlay_id() is None and not self.desktop.grid_drawn(), what="grid hidden")
        ok(self.desktop, "grid", "off")
        self.assertFalse(state(self.desktop)["visible"], "off twice stays off")
        ok(self.desktop, "grid", "toggle")
        wait_until(lambda: self.desktop.overlay_id() and self.desktop.grid_drawn(), what="grid shown again")
        ok(self.desktop, "grid", "on")
        self.assertTrue(state(self.desktop)["visible"])

        self.assertEqual(self.c4_ink(), 0)
        ok(self.desktop, "labels", "on")
        wait_until(lambda: self.c4_ink() > 10, what="the name drawn in C4")
        ok(self.desktop, "labels", "toggle")
        wait_until(lambda: self.c4_ink() == 0, what="cell names gone")

        ok(self.desktop, "adjust", "on")
        wait_until(self.desktop.takes_mouse, what="the overlay taking the mouse")
        line = (LEFT_BAND + 5 * CELL, SCAN_Y)
        wait_until(lambda: warmth(self.desktop.pixel(*line)) > 20, what="adjust mode's red lines")
        ok(self.desktop, "adjust", "off")
        wait_until(lambda: not self.desktop.takes_mouse() and warmth(self.desktop.pixel(*line)) == 0,
                   what="adjust mode ended")

        ok(self.desktop, "color", "ORANGE")
        wait_until(lambda: warmth(self.desktop.pixel(*line)) > 0, what="orange lines")
        self.assertEqual(state(self.desktop)["color"], "Orange")
        ok(self.desktop, "color", "white")

        ok(self.desktop, "size", "40")
        wait_until(lambda: len(self.line_xs(SCAN_Y, 30, 400)) == 9, what="lines every 40 pixels")
        ok(self.desktop, "size", "120", "60")
        wait_until(lambda: [round(x) for x in self.line_xs(SCAN_Y, 30, 400)] == [146, 266, 386],
                   what="lines every 120 pixels")
        s = state(self.desktop)
        self.assertEqual((s["cellWidth"], s["cellHeight"], s["columns"], s["rows"]),
                         (120, 60, (SCREEN[0] - LEFT_BAND) // 120, (SCREEN[1] - GRID_TOP) // 60))

    def test_state_cell_and_at_tell_the_grid_and_xdotool_can_point_at_c4(self):
        # The state, in plain text and JSON.
        self.assertEqual(state(self.desktop), {
            "visible": True, "labels": False, "adjusting": False, "picking": False, "target": {"screen": "screen"},
            "cellWidth": 80, "cellHeight": 80, "color": "White",
            "frame": {"x": 0, "y": 0, "width": SCREEN[0], "height": SCREEN[1]}, "scale": 1, "columns": 17, "rows": 10})
        self.assertEqual(ok(self.desktop, "state"), "".join(f"{k}: {v}\n" for k, v in (
            ("visible", "on"), ("labels", "off"), ("adjusting", "off"), ("picking", "off"), ("target", "screen screen"),
            ("cellWidth", 80), ("cellHeight", 80), ("color", "White"), ("frame", f"0 0 {SCREEN[0]} {SCREEN[1]}"),
            ("scale", 1), ("columns", 17), ("rows", 10))))
        self.assertEqual(ok(self.desktop, "screen"), f"* screen {SCREEN[0]}x{SCREEN[1]}+0+0 primary\n")

        # Cell C4 is where the grid draws it.
        self.assertEqual(ok(self.desktop, "cell", "C4"), "226 327\n")
        self.assertEqual(ok(self.desktop, "cell", "c4", "--rect"), "186 287 80 80\n")
        self.assertEqual(json.loads(ok(self.desktop, "cell", "C4", "--json")), {"cell": "C4", "x": 226, "y": 327})
        self.assertEqual(json.loads(ok(self.desktop, "cell", "C4", "--rect", "--json")),
                         {"cell": "C4", "x": 186, "y": 287, "width": 80, "height": 80})
        self.assertEqual(self.drawn_cell_centre(226, 327), (226, 327), "the lines around C4 on the screen")

        presses, _ = self.click_target(100, 100, 500, 400)
        subprocess.run(["sh", "-c", 'xdotool mousemove $(tavelin cell C4) click 1'], env=dict(
            self.desktop.env, PATH=f"{os.path.dirname(os.path.abspath(TAVELIN))}:{self.desktop.env['PATH']}"), check=True, timeout=20)
        self.assertEqual(presses.next_matching("press"), "press 226 327 1")

        # At names the cell under a pixel, and nothing elsewhere.
        for x, y, name in ((226, 327, "C4"), (186, 287, "C4"), (265, 366, "C4"), (266, 366, "D4"), (26, 47, "A1"),
                           (1385, 846, "Q10")):
            self.assertEqual(ok(self.desktop, "at", x, y), name + "\n", (x, y))
        self.assertEqual(json.loads(ok(self.desktop, "at", 230, 330, "--json")),
                         {"cell": "C4", "x": 230, "y": 330, "rect": {"x": 186, "y": 287, "width": 80, "height": 80}})
        for x, y, why in ((10, 300, "on a ruler band"), (300, 10, "outside the grid"), (-5, -5, "outside the grid"),
                          (1400, 300, "partial cell"), (300, 880, "partial cell")):
            done = tavelin(self.desktop, "at", x, y)
            self.assertEqual(done.returncode, 1, (x, y))
            self.assertIn(why, done.stderr, (x, y))
            self.assertEqual(done.stdout, "")

    def test_follow_puts_the_grid_on_a_window_and_cells_follow_it(self):
        _, window = self.xterm(300, 150, "follow-me", cols=80, rows=30)
        frame = self.desktop.frame(window)
        ok(self.desktop, "follow", hex(window))
        self.wait_overlay(frame, what="overlay over the window")
        s = state(self.desktop)
        self.assertEqual(s["target"], {"window": window})
        self.assertEqual(s["frame"], dict(zip(("x", "y", "width", "height"), frame)))

        # No strip for a menu bar over a window: the top band starts at the frame's top.
        centre = (frame[0] + LEFT_BAND + 2 * CELL + CELL // 2, frame[1] + 22 + 3 * CELL + CELL // 2)
        self.assertEqual(ok(self.desktop, "cell", "C4"), "%d %d\n" % centre)
        self.assertEqual(ok(self.desktop, "at", *centre), "C4\n")
        wait_until(lambda: self.drawn_cell_centre(*centre) == centre, what="C4's lines over the window")

        moved = self.desktop.move(window, 400, 200)
        self.wait_overlay(moved, what="overlay following the window")
        self.assertEqual(ok(self.desktop, "cell", "C4"),
                         "%d %d\n" % (centre[0] + moved[0] - frame[0], centre[1] + moved[1] - frame[1]))

        ok(self.desktop, "follow", str(window))   # decimal works too
        ok(self.desktop, "full-screen")
        self.wait_overlay((0, 0) + SCREEN, what="overlay back on the screen")
        self.assertEqual(state(self.desktop)["target"], {"screen": "screen"})
        self.assertEqual(ok(self.desktop, "cell", "C4"), "226 327\n")

    def test_pick_waits_for_a_click_on_a_window(self):
        _, window = self.xterm(500, 300, "pick-me")
        frame = self.desktop.frame(window)
        band = piped_shot(self.desktop).pixel(5, GRID_TOP + 20)
        ok(self.desktop, "pick")
        self.desktop.wait_selecting()
        self.assertTrue(state(self.desktop)["picking"])
        # Shown again while the pick waits, the grid stays off the screen, and a shot has it once.
        ok(self.desktop, "grid", "off")
        ok(self.desktop, "grid", "on")
        self.assertEqual(piped_shot(self.desktop).pixel(5, GRID_TOP + 20), band)
        self.assertIsNone(self.desktop.overlay_id())
        self.desktop.click(frame[0] + 60, frame[1] + 60)
        self.wait_overlay(frame, what="overlay over the picked window")
        self.assertEqual(state(self.desktop)["target"], {"window": window})

    def overlays(self):
        return self.desktop.run(["xdotool", "search", "--onlyvisible", "--name", "^Tavelin Overlay$"]).split()

    def test_a_second_start_says_so_and_quit_ends_the_first_with_status_zero(self):
        self.desktop.tray_item()
        second = subprocess.run([TAVELIN], env=self.desktop.env, capture_output=True, text=True, timeout=20)
        self.assertEqual(second.returncode, 0)
        self.assertEqual(second.stderr.splitlines(), [f"tavelin: Tavelin is already running in this session "
                                                      f"(process {self.tavelin.pid})"])
        self.assertEqual(len(self.overlays()), 1)
        self.assertEqual(len(self.desktop.panel.items()), 1)
        self.assertIsNone(self.tavelin.poll())
        # A start that cannot reach the session bus still finds the grid on its display.
        for display in (self.desktop.display, "unix" + self.desktop.display + ".0"):
            no_bus = dict(self.desktop.env, DBUS_SESSION_BUS_ADDRESS="unix:path=/nonexistent", DISPLAY=display)
            third = subprocess.run([TAVELIN], env=no_bus, capture_output=True, text=True, timeout=20)
            self.assertEqual((third.returncode, third.stderr.splitlines()),
                             (0, [f"tavelin: Tavelin is already running on the display {display}"]))
        self.assertEqual(len(self.overlays()), 1)
        self.assertEqual(ok(self.desktop, "grid", "off"), "", "the first one still answers")
        wait_until(lambda: not self.overlays(), what="its grid hidden")

        ok(self.desktop, "grid", "on")
        wait_until(self.overlays, what="its grid shown again")
        self.assertEqual(ok(self.desktop, "quit"), "")
        self.assertEqual(self.tavelin.wait(timeout=10), 0)
        self.assertEqual(self.overlays(), [])
        done = tavelin(self.desktop, "state")
        self.assertEqual((done.returncode, done.stderr),
                         (1, "tavelin: Tavelin is not running in this session (start it with: tavelin)\n"))
