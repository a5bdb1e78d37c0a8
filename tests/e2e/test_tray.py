"""The tray icon and its menu, used the way panels use them: over D-Bus from a StatusNotifier host
(the menu read and clicked through com.canonical.dbusmenu), and docked in an XEmbed tray (tint2)."""

import os
import statistics
import unittest

from harness import DesktopTestCase, wait_until

SEPARATOR = None
# The 26 rows: title, enabled, carries a check mark rule.
EXPECTED_ROWS = [
    ("Toggle Grid (\u2318\u21e7G)", True, False),
    SEPARATOR,
    ("Grid Size", False, False),
    ("  Large (160\u00d7160)", True, False),
    ("  Medium (80\u00d780)", True, False),
    ("  Small (40\u00d740)", True, False),
    SEPARATOR,
    ("Target", False, False),
    ("  Full Screen", True, True),
    ("  Select Window... (\u2318\u21e7W)", True, True),
    SEPARATOR,
    ("Grid Color", False, False),
    ("  White", True, True),
    ("  Blue", True, True),
    ("  Green", True, True),
    ("  Cyan", True, True),
    ("  Yellow", True, True),
    ("  Red", True, True),
    ("  Orange", True, True),
    ("  Pink", True, True),
    SEPARATOR,
    ("Show Cell Labels (\u2318\u21e7L)", True, True),
    ("Screenshot with Grid (\u2318\u21e7S)", True, False),
    ("Adjust Mode (\u2318\u21e7A)", True, False),
    SEPARATOR,
    ("Quit", True, False),
]
COLOURS = ["  White", "  Blue", "  Green", "  Cyan", "  Yellow", "  Red", "  Orange", "  Pink"]

# A scan line through the middle of cells at every preset size (cells start at y = 25 + 22).
SCAN_Y = 47 + 20 + 40 * 10
TOP_BAND = (25, 47)


def checked_labels(rows):
    return [r.label for r in rows if r.toggle_type == "checkmark" and r.checked]


def background(img, y, x0, x1):
    return statistics.mode(img.pixel(x, y) for x in range(x0, x1))


def vertical_line_columns(img, y=SCAN_Y):
    """x of the pixels on the scan line right of the left band that differ from the cell background."""
    bg = background(img, y, 30, img.width)
    return [x for x in range(30, img.width) if img.pixel(x, y) != bg]


def line_spacing(img):
    xs = vertical_line_columns(img)
    starts = [x for i, x in enumerate(xs) if i == 0 or xs[i - 1] != x - 1]
    return statistics.median(b - a for a, b in zip(starts, starts[1:]))


def warmth(pixel):
    r, g, b = pixel
    return r - b


def ink_in(img, x0, y0, x1, y1):
    """Pixels of a rectangle that differ from its most common colour."""
    bg = statistics.mode(img.pixel(x, y) for y in range(y0, y1) for x in range(x0, x1))
    return sum(1 for y in range(y0, y1) for x in range(x0, x1) if img.pixel(x, y) != bg)


class TrayMenuOverDBusTest(DesktopTestCase):
    """A StatusNotifier host is on the bus before tavelin starts, so the menu is exported."""

    desktop_options = {"tray_watcher": True}

    def rows(self):
        return self.desktop.menu_rows()

    def painted_grid(self):
        """The screen once the overlay has painted its grid lines."""
        def image_with_lines():
            img = self.desktop.root_image()
            return img if vertical_line_columns(img) else None
        return wait_until(image_with_lines, timeout=10, what="grid lines on the scan line")

    def wait_for_marks(self, expected):
        wait_until(lambda: checked_labels(self.rows()) == expected, timeout=10,
                   what=f"check marks {expected}")

    def test_item_and_menu_after_launch(self):
        props = self.desktop.tray_properties()
        self.assertEqual(props["Title"], "Tavelin")
        self.assertEqual(props["Id"], "Tavelin")
        self.assertEqual(props["Status"], "Active")
        self.assertEqual(props["IconName"], "", "the icon is shipped pixels, not a theme name")
        tooltip_icon, tooltip_pixmaps, tooltip_title, tooltip_text = props["ToolTip"]
        self.assertEqual((tooltip_title, tooltip_text), ("", ""))
        sizes = [(w, h) for w, h, data in props["IconPixmap"]]
        self.assertEqual(sizes, [(s, s) for s in (16, 22, 24, 32, 48, 64)])
        for w, h, data in props["IconPixmap"]:
            self.assertEqual(data["bytes"], w * h * 4)

        rows = self.rows()
        self.assertEqual(len(rows), len(EXPECTED_ROWS))
        for row, expected in zip(rows, EXPECTED_ROWS):
            with self.subTest(row=row):
                self.assertTrue(row.visible)
                if expected is SEPARATOR:
                    self.assertTrue(row.separator)
                    continue
                title, enabled, checkable = expected
                self.assertFalse(row.separator)
                self.assertEqual(row.label, title)
                self.assertEqual(row.enabled, enabled)
                self.assertEqual(row.toggle_type, "checkmark" if checkable else "")
                self.assertEqual(row.shortcut, [["Control", "Q"]] if title == "Quit" else [])
        self.assertEqual(checked_labels(rows), ["  Full Screen", "  White"])

    def test_orange_recolours_grid_and_moves_mark(self):
        before = self.painted_grid()
        line_xs = vertical_line_columns(before)
        self.assertTrue(all(warmth(before.pixel(x, SCAN_Y)) == 0 for x in line_xs), "white lines are grey")
        ids_before = [r.id for r in self.rows()]

        self.desktop.menu_click("  Orange")
        self.wait_for_marks(["  Full Screen", "  Orange"])
        self.assertTrue(set(ids_before).isdisjoint(r.id for r in self.rows()), "the menu is rebuilt, not edited")

        def orange():
            img = self.desktop.root_image()
            on_lines = [img.pixel(x, SCAN_Y) for x in line_xs]
            lines_orange = all(warmth(p) > 0 and p[0] >= p[1] >= p[2] for p in on_lines)
            headers = sum(1 for y in range(*TOP_BAND) for x in range(30, 600) if warmth(img.pixel(x, y)) >= 40)
            return lines_orange and headers >= 20
        wait_until(orange, timeout=10, what="grid lines and column letters turning orange")

        self.desktop.menu_click("  Pink")
        self.wait_for_marks(["  Full Screen", "  Pink"])

    def test_cell_labels_row_toggles_labels_and_its_mark(self):
        cell_b2 = (106 + 4, 127 + 4, 186 - 4, 207 - 4)
        self.assertEqual(ink_in(self.painted_grid(), *cell_b2), 0)
        label_row = "Show Cell Labels (\u2318\u21e7L)"

        self.desktop.menu_click(label_row)
        self.wait_for_marks(["  Full Screen", "  White", label_row])
        wait_until(lambda: ink_in(self.desktop.root_image(), *cell_b2) > 10, timeout=10, what="label in cell B2")

        self.desktop.menu_click(label_row)
        self.wait_for_marks(["  Full Screen", "  White"])
        wait_until(lambda: ink_in(self.desktop.root_image(), *cell_b2) == 0, timeout=10, what="labels gone")

    def test_rows_without_marks_run_their_commands_and_keep_the_menu(self):
        ids = [r.id for r in self.rows()]
        self.assertEqual(line_spacing(self.painted_grid()), 80)
        for title, spacing in (("  Large (160\u00d7160)", 160), ("  Small (40\u00d740)", 40),
                               ("  Medium (80\u00d780)", 80)):
            self.desktop.menu_click(title)
            wait_until(lambda: line_spacing(self.desktop.root_image()) == spacing, timeout=10,
                       what=f"cells of {spacing} after {title!r}")

        def overlay_shown():
            return self.desktop.probe("find-overlay", self.tavelin.pid).strip() not in ("", "0x0")
        self.desktop.menu_click("Toggle Grid (\u2318\u21e7G)")
        wait_until(lambda: not overlay_shown(), timeout=10, what="grid hidden")
        self.desktop.menu_click("Toggle Grid (\u2318\u21e7G)")
        wait_until(overlay_shown, timeout=10, what="grid shown again")
        overlay = self.desktop.overlay_window()

        def input_rectangles():
            return int(self.desktop.probe("input-shape", overlay).split()[0])
        self.desktop.menu_click("Adjust Mode (\u2318\u21e7A)")
        wait_until(lambda: input_rectangles() > 0, timeout=10, what="overlay taking the mouse")
        self.desktop.menu_click("Adjust Mode (\u2318\u21e7A)")
        wait_until(lambda: input_rectangles() == 0, timeout=10, what="overlay click-through again")

        rows = self.rows()
        self.assertEqual([r.id for r in rows], ids, "none of these commands rebuilds the menu")
        self.assertEqual(checked_labels(rows), ["  Full Screen", "  White"])

    def test_select_window_mark_moves_only_when_a_window_is_picked(self):
        xterm = self.desktop.start_xterm(400, 300, title="tray-pick-target")
        self.desktop.menu_click("  Select Window... (\u2318\u21e7W)")
        # While the pick is pending, the marks still show the current target.
        self.assertEqual(checked_labels(self.rows()), ["  Full Screen", "  White"])
        self.desktop.run(["xdotool", "mousemove", "--window", str(xterm), "100", "80", "click", "1"], check=True)
        self.wait_for_marks(["  Select Window... (\u2318\u21e7W)", "  White"])

        self.desktop.menu_click("  Full Screen")
        self.wait_for_marks(["  Full Screen", "  White"])
        # Choosing the current target again keeps its mark.
        self.desktop.menu_click("  Full Screen")
        self.wait_for_marks(["  Full Screen", "  White"])

    def test_quit_ends_the_process_with_status_zero(self):
        self.desktop.menu_click("Quit")
        self.assertEqual(self.tavelin.wait(timeout=10), 0)
        wait_until(lambda: str(self.tavelin.pid) not in (self.desktop.traybus_call("items") or ""),
                   timeout=10, what="item gone from the watcher")


TINT2_CONFIG = """\
panel_items = S
panel_size = 100% 24
panel_position = top center horizontal
panel_layer = top
systray_padding = 2 2 2
systray_icon_size = 20
"""


class TrayXEmbedTest(DesktopTestCase):
    """No StatusNotifier host, but tint2's XEmbed system tray: the icon docks there. The panel runs
    along the top, in the strip the full-screen grid leaves clear, as a menu bar would."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        config = os.path.join(cls.desktop.home, "tint2rc")
        with open(config, "w") as f:
            f.write(TINT2_CONFIG)
        cls.desktop.spawn(["tint2", "-c", config])
        wait_until(lambda: cls.desktop.probe("selection-owner", "_NET_SYSTEM_TRAY_S0").strip() not in ("", "0x0"),
                   what="tint2 system tray")

    def tavelin_windows(self):
        out = self.desktop.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.tavelin.pid)])
        return [int(w) for w in out.split()]

    def ancestors(self, window):
        chain = []
        while window:
            out = self.desktop.run(["xwininfo", "-children", "-id", str(window)])
            parent = next((line.split()[3] for line in out.splitlines() if "Parent window id:" in line), "0x0")
            window = int(parent, 16)
            chain.append(window)
        return chain

    def docked_icon(self):
        panels = {int(w) for w in self.desktop.run(["xdotool", "search", "--class", "tint2"]).split()}
        docked = [w for w in self.tavelin_windows() if panels & set(self.ancestors(w))]
        return docked[0] if docked else None

    def geometry(self, window):
        x, y, w, h, depth = self.desktop.probe("geometry", window).split()
        return int(x), int(y), int(w), int(h)

    def open_menu(self, button):
        """Clicks the docked icon for real; the click reaches it through whatever covers the panel."""
        icon = wait_until(self.docked_icon, timeout=10, what="icon docked in tint2")
        x, y, w, h = self.geometry(icon)
        known = set(self.tavelin_windows())
        self.desktop.run(["xdotool", "mousemove", str(x + w // 2), str(y + h // 2), "click", str(button)], check=True)

        def menu():
            new = [win for win in self.tavelin_windows() if win not in known]
            return new[0] if new else None
        return wait_until(menu, timeout=10, what="tray menu on screen after a click on the icon")

    def test_icon_docks_in_the_tray_and_shows_its_picture(self):
        icon = wait_until(self.docked_icon, timeout=10, what="icon docked in tint2")
        x, y, w, h = self.geometry(icon)
        self.assertEqual((w, h), (20, 20))
        img = self.desktop.root_image()
        pixels = [img.pixel(px, py) for py in range(y, y + h) for px in range(x, x + w)]
        self.assertGreater(sum(1 for p in pixels if min(p) > 200), 30, "light frame and lines of the icon")
        self.assertGreater(sum(1 for p in pixels if max(p) < 60), 30, "dark cells of the icon")

    def hide_grid(self):
        self.desktop.key("super+shift+g")
        wait_until(lambda: self.desktop.probe("find-overlay", self.tavelin.pid).strip() in ("", "0x0"),
                   timeout=10, what="grid hidden")

    def test_left_click_opens_menu_and_ctrl_q_quits(self):
        self.hide_grid()
        menu = self.open_menu(1)
        x, y, w, h = self.geometry(menu)
        self.assertGreater(h, 400, "26 rows")
        self.desktop.run(["xdotool", "key", "ctrl+q"], check=True)
        self.assertEqual(self.tavelin.wait(timeout=10), 0)

    # Under openbox the overlay sits in a window-manager frame: clicks must pass through that too.
    def test_click_on_the_icon_passes_through_the_grid(self):
        self.assertTrue(self.overlay)
        menu = self.open_menu(1)
        self.desktop.run(["xdotool", "key", "Escape"], check=True)
        wait_until(lambda: menu not in self.tavelin_windows(), timeout=10, what="menu closed")

    def test_right_click_opens_menu_and_escape_closes_it(self):
        self.hide_grid()
        menu = self.open_menu(3)
        self.desktop.run(["xdotool", "key", "Escape"], check=True)
        wait_until(lambda: menu not in self.tavelin_windows(), timeout=10, what="menu closed")
        self.assertIsNone(self.tavelin.poll())


if __name__ == "__main__":
    unittest.main()
