"""The tray icon and its menu as StatusNotifier and XEmbed panels use them, every way to quit, and no tray."""

import signal
import sys
import time

from harness import (ADJUST_MODE, CELL_LABELS, FULL_SCREEN, GRID_TOP, SCREENSHOT, TAVELIN, TOGGLE_GRID, TRAYBUS,
                     DesktopTestCase, end, wait_until)
from pixels import off_background, warmth
from remote import state

# How long Tavelin waits for a tray before it tells the user there is none.
NO_TRAY_GRACE = 5

# A scan line through the middle of cells at every preset size.
SCAN_Y = GRID_TOP + 20 + 40 * 10


def checked_labels(rows):
    return [r.label for r in rows if r.checked]


def line_columns(img):
    """x of the pixels on the scan line, right of the left band, that differ from the cells' background."""
    return [30 + i for i in off_background(img.rows(30, SCAN_Y, img.width - 30, 1)[0])]


class TrayCase(DesktopTestCase):

    def shoot_and_wait_for_the_flash(self):
        """Takes a screenshot and returns once its flash is on screen (it stays for 0.15 s). Asked
        over the bus: a Tavelin just restarted answers it at once, before its key watch is set up."""
        flash = self.watch_window("Tavelin Flash", 20)
        self.spawn([TAVELIN, "shot"])
        self.assertEqual(flash.next_matching("", timeout=20).split()[1], "appeared")

    def assert_clean_exit(self):
        self.assertEqual(self.tavelin.wait(timeout=20), 0, self.desktop.tavelin_log())


class TrayMenuOverDBusTest(TrayCase):
    """A StatusNotifier host is on the bus before tavelin starts, so the menu is exported."""

    desktop_options = {"tray_watcher": True}

    def painted_grid(self):
        def image_with_lines():
            img = self.desktop.root_image()
            return img if line_columns(img) else None
        return wait_until(image_with_lines, timeout=10, what="grid lines on the scan line")

    def wait_for_marks(self, expected):
        wait_until(lambda: checked_labels(self.desktop.menu_rows()) == expected, timeout=10,
                   what=f"check marks {expected}")

    def test_item_and_menu_after_launch_marks_moving_with_the_colour_and_rows_that_change_the_grid(self):
        props = self.desktop.panel.properties(*self.desktop.tray_item())
        self.assertEqual((props["Title"], props["Id"], props["Status"]), ("Tavelin", "Tavelin", "Active"))
        self.assertEqual(props["IconName"], "", "the icon is shipped pixels, not a theme name")
        self.assertEqual(tuple(props["ToolTip"][2:]), ("", ""), "no tooltip title or text")
        self.assertEqual([(w, h, len(data)) for w, h, data in props["IconPixmap"]],
                         [(s, s, s * s * 4) for s in (16, 22, 24, 32, 48, 64)])

        self.assertEqual(checked_labels(self.desktop.menu_rows()), [FULL_SCREEN, "  White"])

        # A colour row recolours the grid and moves the mark.
        before = self.painted_grid()
        line_xs = line_columns(before)
        self.assertTrue(all(warmth(before.pixel(x, SCAN_Y)) == 0 for x in line_xs), "white lines are grey")
        ids_before = [r.id for r in self.desktop.menu_rows()]

        self.desktop.menu_click("  Orange")
        self.wait_for_marks([FULL_SCREEN, "  Orange"])
        self.assertTrue(set(ids_before).isdisjoint(r.id for r in self.desktop.menu_rows()), "rebuilt, not edited")

        def orange():
            img = self.desktop.root_image()
            lines_orange = all(warmth(p) > 0 and p[0] >= p[1] >= p[2] for p in (img.pixel(x, SCAN_Y) for x in line_xs))
            letters = sum(warmth(p) >= 40 for row in img.rows(30, 25, 570, 22) for p in row)
            return lines_orange and letters >= 20
        wait_until(orange, timeout=10, what="grid lines and column letters turning orange")

        self.desktop.menu_click("  Pink")
        self.wait_for_marks([FULL_SCREEN, "  Pink"])

        # Rows that change the grid, as the command line then reads it (the target's: test_window_target).
        for label, key, value in (("  Small (40\u00d740)", "cellWidth", 40), (CELL_LABELS, "labels", True),
                                  (ADJUST_MODE, "adjusting", True), (TOGGLE_GRID, "visible", False)):
            self.desktop.menu_click(label)
            wait_until(lambda: state(self.desktop)[key] == value, what=f"{label.strip()} clicked in the menu")

    def test_a_left_click_the_host_passes_on_opens_the_menu_at_the_pointer(self):
        # Xfce's and KDE's panels call Activate on a left click and show no menu of their own.
        self.desktop.run(["xdotool", "mousemove", "700", "12"], check=True)
        self.assertTrue(self.desktop.panel.activate(*self.desktop.tray_item(), 700, 12))
        menu = wait_until(self.desktop.menu_windows, what="the menu")[0]
        x, y, _, height = self.desktop.geometry(menu)
        self.assertGreater(height, 400, "26 rows")
        self.assertLessEqual(max(abs(x - 700), abs(y - 12)), 2, "at the pointer")
        self.desktop.key("Escape")
        wait_until(lambda: not self.desktop.menu_windows(), what="the menu closed by Escape")

    def test_sigterm_sigint_and_the_menus_quit_with_the_flash_up(self):
        for way in (signal.SIGTERM, signal.SIGINT, "menu"):
            with self.subTest(way=str(way)):
                item, quit_row = self.desktop.tray_item(), self.desktop.menu_row("Quit")
                self.shoot_and_wait_for_the_flash()
                if way == "menu":
                    self.assertTrue(self.desktop.panel.click(*item, quit_row.id))
                else:
                    self.tavelin.send_signal(way)
                self.assert_clean_exit()
                self.tavelin = self.desktop.start_tavelin()
                self.desktop.overlay_window()


class TrayXEmbedTest(TrayCase):
    """No StatusNotifier host, but tint2's XEmbed system tray along the top: the icon docks there."""

    desktop_options = {"xembed_tray": True}

    def test_icon_docks_shows_its_picture_and_opens_the_menu_where_ctrl_q_quits_with_the_flash_up(self):
        x, y, w, h = self.desktop.docked_icon_rect()
        self.assertEqual((w, h), (20, 20))
        pixels = [p for row in self.desktop.root_pixels(x, y, w, h) for p in row]
        self.assertGreater(sum(min(p) > 200 for p in pixels), 30, "light frame and lines of the icon")
        self.assertGreater(sum(max(p) < 60 for p in pixels), 30, "dark cells of the icon")
        # A left click through the grid over the panel opens the menu; Ctrl+Q in it quits.
        self.assertGreater(self.desktop.geometry(self.desktop.open_docked_menu(1))[3], 400, "26 rows")
        self.shoot_and_wait_for_the_flash()
        self.desktop.run(["xdotool", "key", "ctrl+q"], check=True)
        self.assert_clean_exit()


class NoTrayTest(TrayCase):
    """No tray at all when Tavelin starts, as on a desktop without one or before the session's panel is up."""

    hear_notifications = True

    def test_the_user_is_told_what_still_works_and_a_tray_that_comes_later_gets_the_icon(self):
        told = self.next_notification()
        self.assertTrue(told.startswith("notify Tavelin has no tray icon\t"), told)
        self.assertIn("tavelin quit ends Tavelin", told)
        self.assertIn("tavelin: no tray on this desktop shows Tavelin's icon", self.desktop.tavelin_log())

        self.addCleanup(end, self.desktop.start_xembed_tray())
        self.assertEqual(self.desktop.docked_icon_rect()[2:], (20, 20))
        self.desktop.open_docked_menu(3)

    def test_a_status_notifier_host_that_comes_later_gets_the_item_and_nothing_is_told(self):
        self.spawn([sys.executable, TRAYBUS, "watch"])
        self.assertIn(SCREENSHOT, [row.label for row in self.desktop.menu_rows()])
        time.sleep(NO_TRAY_GRACE + 1)
        self.assertEqual(self.notifications.lines_so_far(), [], "a notice though the tray came in time")
        self.assertNotIn("no tray", self.desktop.tavelin_log())
