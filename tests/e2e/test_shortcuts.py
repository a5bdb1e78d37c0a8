"""Super+Shift+G/L/A on a real desktop: pressed while another application has the keyboard, they
reach Tavelin without taking the key from that application, follow the physical key whatever the
keymap, run once per press (also while Tavelin's own tray menu holds the keyboard), and adjust
mode's drag resizes the cells the way the lines on screen show."""

import os
import subprocess
import time
import unittest

import harness
from harness import DesktopTestCase, wait_until

# Full-screen grid geometry at launch: ruler bands, the inset for a menu bar, 80 pt cells.
LEFT_BAND = 26
GRID_TOP = 25 + 22
CELL = 80.0
RESIZE_GAIN = 0.025

# The first cell's centre, where its name "A1" is drawn when cell labels are on.
A1_BOX = (46, 80, 40, 15)
# Where the adjust-mode badge sits: centred, 40 pt below the overlay's top.
BADGE_BOX = (670, 50, 100, 35)
# The logging terminal stays in the lower right, clear of every place the tests read.
TERMINAL_AT = (1000, 640)


def box_pixels(desktop, box):
    x, y, w, h = box
    return desktop.root_pixels(x, y, w, h)


def left_band(desktop):
    """A strip of the row ruler: its look tells whether the grid is on screen."""
    return desktop.root_pixels(0, 300, LEFT_BAND - 2, 1)


def labels_drawn(desktop, without_labels):
    """Whether the first cell shows its name, compared with how it looks without one."""
    return differing(box_pixels(desktop, A1_BOX), without_labels) > 15


def differing(a, b):
    """How many pixels of two equal-sized boxes differ."""
    return sum(p != q for row_a, row_b in zip(a, b) for p, q in zip(row_a, row_b))


def dark_fraction(pixels):
    flat = [p for row in pixels for p in row]
    return sum(max(p) < 80 for p in flat) / len(flat)


def line_centres(strip, start):
    """Centres of the thin lines crossing a one-pixel strip: runs of pixels that differ from the
    strip's most common colour, weighted by how much they differ. start is the strip's first
    coordinate; a pixel's centre is at its coordinate + 0.5."""
    background = max(set(strip), key=strip.count)
    centres, run = [], []
    for i, p in enumerate(strip + [background]):
        weight = max(abs(a - b) for a, b in zip(p, background))
        if weight > 6:
            run.append((start + i + 0.5, weight))
        elif run:
            centres.append(sum(c * w for c, w in run) / sum(w for _, w in run))
            run = []
    return centres


def expected_lines(origin, size, first, last):
    """Grid line coordinates origin + k * size that fall inside [first, last)."""
    k = max(1, int((first - origin) // size))
    lines = []
    while origin + k * size < last:
        if origin + k * size >= first:
            lines.append(origin + k * size)
        k += 1
    return lines


def lines_match(found, expected, tolerance=0.8):
    return len(found) == len(expected) and all(abs(f - e) <= tolerance for f, e in zip(found, expected))


class ShortcutsTest(DesktopTestCase):
    """Shortcuts pressed while a terminal has the keyboard; the terminal logs every byte it gets."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.typed_path = os.path.join(cls.desktop.home, "typed")
        open(cls.typed_path, "wb").close()
        cls.terminal = cls.desktop.start_xterm(
            *TERMINAL_AT, cols=30, rows=6, title="e2e-keylog",
            command=["sh", "-c", f"stty raw -echo; exec cat >> '{cls.typed_path}'"])

    def setUp(self):
        super().setUp()
        self.desktop.run(["xdotool", "windowactivate", "--sync", str(self.terminal)], check=True)
        wait_until(lambda: self.desktop.run(["xdotool", "getactivewindow"]).strip() == str(self.terminal),
                   what="terminal focused")
        self.typed_offset = os.path.getsize(self.typed_path)

    def typed(self):
        with open(self.typed_path, "rb") as f:
            f.seek(self.typed_offset)
            return f.read()

    def wait_typed(self, expected):
        wait_until(lambda: self.typed() == expected, what=f"terminal to receive {expected!r}")

    # --- what the screen shows ---
    def grid_shown(self):
        return self.desktop.probe("find-overlay", self.tavelin.pid).strip() not in ("", "0x0")

    def takes_mouse(self):
        return int(self.desktop.probe("input-shape", self.overlay).split()[0]) > 0

    def badge_shown(self):
        return dark_fraction(box_pixels(self.desktop, BADGE_BOX)) > 0.5

    def wait_labels(self, shown, without_labels):
        wait_until(lambda: labels_drawn(self.desktop, without_labels) == shown,
                   what="cell labels " + ("drawn" if shown else "gone"))

    def wait_grid(self, shown, band):
        wait_until(lambda: self.grid_shown() == shown and (left_band(self.desktop) == band) == shown,
                   what="grid " + ("shown" if shown else "hidden"))

    # --- tests ---
    def test_grid_shortcut_hides_and_shows_and_the_focused_app_still_gets_the_keys(self):
        band = left_band(self.desktop)
        self.assertTrue(self.grid_shown())

        self.desktop.key("super+shift+g")
        self.wait_grid(False, band)
        self.desktop.key("super+shift+g")
        self.wait_grid(True, band)
        # Nothing was grabbed: the terminal got both presses as typed text.
        self.wait_typed(b"GG")

        # Extra modifiers do not matter.
        self.desktop.key("ctrl+super+shift+g")
        self.wait_grid(False, band)
        self.desktop.key("alt+super+shift+g")
        self.wait_grid(True, band)
        self.desktop.run(["xdotool", "key", "Caps_Lock"], check=True)
        try:
            # Without --clearmodifiers, so that Caps Lock stays on during the press.
            self.desktop.run(["xdotool", "key", "super+shift+g"], check=True)
            self.wait_grid(False, band)
        finally:
            self.desktop.run(["xdotool", "key", "Caps_Lock"], check=True)
        self.desktop.key("super+shift+g")
        self.wait_grid(True, band)

    def test_keys_without_both_modifiers_or_of_other_letters_do_nothing(self):
        without_labels = box_pixels(self.desktop, A1_BOX)
        band = left_band(self.desktop)
        for keys in ("shift+g", "super+g", "super+shift+h", "ctrl+shift+a", "super+a"):
            self.desktop.key(keys)
        # Shortcuts run in the order they are pressed: once the labels come, the keys before them
        # have been decided, and none of them touched the grid or adjust mode.
        self.desktop.key("super+shift+l")
        self.wait_labels(True, without_labels)
        self.assertTrue(self.grid_shown())
        self.assertEqual(left_band(self.desktop), band)
        self.assertFalse(self.takes_mouse())
        self.wait_typed(b"GgH\x01aL")

    def test_labels_shortcut_draws_and_removes_the_cell_names(self):
        without_labels = box_pixels(self.desktop, A1_BOX)
        self.desktop.key("super+shift+l")
        self.wait_labels(True, without_labels)
        self.desktop.key("super+shift+l")
        wait_until(lambda: box_pixels(self.desktop, A1_BOX) == without_labels, what="cell labels gone")
        # Labels do not depend on the grid being shown: switched on while hidden, they are there
        # when it comes back.
        band = left_band(self.desktop)
        self.desktop.key("super+shift+g")
        self.wait_grid(False, band)
        self.desktop.key("super+shift+l")
        self.desktop.key("super+shift+g")
        self.wait_grid(True, band)
        self.wait_labels(True, without_labels)

    def test_holding_a_shortcut_repeats_it_like_the_key_repeats_in_the_focused_app(self):
        without_labels = box_pixels(self.desktop, A1_BOX)
        self.desktop.run(["xdotool", "keydown", "--clearmodifiers", "super+shift+l"], check=True)
        changes, shown = 0, None
        try:
            deadline = time.monotonic() + 10
            while changes < 4 and time.monotonic() < deadline:
                now = labels_drawn(self.desktop, without_labels)
                changes += shown is not None and now != shown
                shown = now
        finally:
            self.desktop.run(["xdotool", "keyup", "l", "shift", "super"], check=True)
        self.assertGreaterEqual(changes, 4, "the labels kept flipping while the shortcut was held")
        wait_until(lambda: len(self.typed()) >= 3, what="repeated keys in the terminal")
        self.assertEqual(set(self.typed()), {ord("L")})

    def test_adjust_shortcut_takes_the_mouse_and_a_drag_resizes_the_cells(self):
        self.assertFalse(self.takes_mouse())
        self.assertFalse(self.badge_shown())
        self.desktop.key("super+shift+a")
        wait_until(lambda: self.takes_mouse() and self.badge_shown(), what="adjust mode")

        width = height = CELL
        start = (400, 600)
        self.desktop.run(["xdotool", "mousemove", *map(str, start), "mousedown", "1"], check=True)
        try:
            for step in range(1, 9):
                dx, dy = 12 * step, -6 * step
                self.desktop.run(["xdotool", "mousemove", str(start[0] + dx), str(start[1] + dy)], check=True)
                # Each move adds the whole translation since the press, width then height.
                width += RESIZE_GAIN * dx
                height += RESIZE_GAIN * dy
                self.wait_for_cells(width, height)
        finally:
            self.desktop.run(["xdotool", "mouseup", "1"], check=True)
        self.assertAlmostEqual(width, 90.8)
        self.assertAlmostEqual(height, 74.6)

        self.desktop.key("super+shift+a")
        wait_until(lambda: not self.takes_mouse() and not self.badge_shown(), what="click-through again")
        # Leaving adjust mode keeps the size the drag made.
        self.wait_for_cells(width, height)

    def wait_for_cells(self, width, height):
        """Waits until the vertical lines across the middle of the third row and the horizontal
        lines down the middle of the third column sit where cells of this size put them."""
        row_y = int(GRID_TOP + 2.5 * height)
        column_x = int(LEFT_BAND + 2.5 * width)
        x_range, y_range = (LEFT_BAND + 4, 1440), (GRID_TOP + 4, 900)
        want_x = expected_lines(LEFT_BAND, width, *x_range)
        want_y = expected_lines(GRID_TOP, height, *y_range)

        def placed():
            row = self.desktop.root_pixels(x_range[0], row_y, x_range[1] - x_range[0], 1)[0]
            column = [r[0] for r in self.desktop.root_pixels(column_x, y_range[0], 1, y_range[1] - y_range[0])]
            self.last_found = (line_centres(row, x_range[0]), line_centres(column, y_range[0]))
            return lines_match(self.last_found[0], want_x) and lines_match(self.last_found[1], want_y)

        try:
            wait_until(placed, what=f"grid lines of {width:.2f} x {height:.2f} cells")
        except AssertionError:
            self.fail(f"lines at {self.last_found}, expected {(want_x, want_y)}")

    def test_shortcuts_stay_on_their_physical_keys_under_another_keymap(self):
        self.addCleanup(self.desktop.run, ["setxkbmap", "-layout", "us"])
        # AZERTY: the key in the A position types q; the key typing a sits where Q is.
        self.desktop.run(["setxkbmap", "-layout", "fr"], check=True)
        self.desktop.key("super+shift+q")
        wait_until(self.takes_mouse, what="adjust mode from the A position")
        without_labels = box_pixels(self.desktop, A1_BOX)
        self.desktop.key("super+shift+a")
        self.desktop.key("super+shift+l")
        self.wait_labels(True, without_labels)
        self.assertTrue(self.takes_mouse(), "the key typing a is not in the A position")

        # A keymap whose keycodes differ: G and H trade keycodes, the keys keep their names.
        band = left_band(self.desktop)
        self.desktop.run(["setxkbmap", "-layout", "us"], check=True)
        dump = self.desktop.run(["xkbcomp", "-xkb", self.desktop.display, "-"], check=True)
        self.assertIn("<AC05> = 42;", dump)
        swapped = dump.replace("<AC05> = 42;", "<AC05> = 43;", 1).replace("<AC06> = 43;", "<AC06> = 42;", 1)
        path = os.path.join(self.desktop.home, "swapped.xkb")
        with open(path, "w") as f:
            f.write(swapped)
        self.desktop.run(["xkbcomp", "-w", "0", path, self.desktop.display], check=True)
        self.assertIn("<AC05> = 43;", self.desktop.run(["xkbcomp", "-xkb", self.desktop.display, "-"]))
        self.desktop.key("super+shift+g")
        self.wait_grid(False, band)


class TrayMenuShortcutsTest(DesktopTestCase):
    """Shortcuts pressed while Tavelin's own tray menu (XEmbed, in tint2) holds the keyboard."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.desktop.spawn(["tint2"])
        wait_until(lambda: cls.desktop.probe("selection-owner", "_NET_SYSTEM_TRAY_S0").strip() not in ("", "0x0"),
                   what="system tray")

    def setUp(self):
        super().setUp()
        self.icon = wait_until(lambda: self.desktop.probe("find-window", self.tavelin.pid, "Tavelin").split(),
                               timeout=10, what="tray icon")[0]
        x, y, w, h = map(int, self.desktop.probe("geometry", self.icon).split()[:4])
        # Two spots on the icon far enough apart that quick clicks on them are no double click.
        self.icon_spots = [(x + w // 4, y + h // 2), (x + 3 * w // 4, y + h // 2)]

    def menu_windows(self):
        """Tavelin's mapped windows besides the overlay and the tray icon: the open menu."""
        ids = self.desktop.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.tavelin.pid)]).split()
        return [w for w in ids if int(w) not in (self.overlay, int(self.icon, 16))]

    def open_menu(self, takes_keyboard=True):
        self.icon_spots.reverse()
        self.desktop.run(["xdotool", "mousemove", *map(str, self.icon_spots[0]), "click", "3"], check=True)
        wait_until(self.menu_windows, what="tray menu open")
        if takes_keyboard:
            wait_until(lambda: self.desktop.probe("keyboard-grab-state").strip() == "taken",
                       what="tray menu holding the keyboard")

    def close_menu(self):
        if self.menu_windows():
            self.desktop.key("Escape")
        wait_until(lambda: not self.menu_windows(), what="tray menu closed")

    def test_one_press_runs_once_while_the_menu_has_the_keyboard(self):
        without_labels = box_pixels(self.desktop, A1_BOX)
        band = left_band(self.desktop)
        # Each shortcut flips a state, so a press run twice would show as no change at all.
        self.open_menu()
        self.desktop.key("super+shift+l")
        wait_until(lambda: labels_drawn(self.desktop, without_labels), what="cell labels")
        self.close_menu()
        self.open_menu()
        self.desktop.key("super+shift+g")
        wait_until(lambda: left_band(self.desktop) != band, what="grid hidden")
        self.close_menu()
        # A second run would come late, if at all: give it time, then look again.
        time.sleep(1.0)
        self.assertNotEqual(left_band(self.desktop), band)
        self.desktop.key("super+shift+g")
        wait_until(lambda: left_band(self.desktop) == band, what="grid shown")
        self.assertTrue(labels_drawn(self.desktop, without_labels))

    def test_a_press_that_another_client_grabbed_still_runs_once(self):
        band = left_band(self.desktop)
        # Another client holds the keyboard, so the menu that opens now cannot take it: the key goes
        # to that client, and only the desktop-wide route sees it.
        grab = self.desktop.spawn([harness.PROBE, "hold-keyboard-grab", "30"], stdout=subprocess.PIPE, text=True)
        self.addCleanup(grab.terminate)
        self.assertEqual(grab.stdout.readline().strip(), "grabbed")
        self.open_menu(takes_keyboard=False)
        self.desktop.key("super+shift+g")
        wait_until(lambda: left_band(self.desktop) != band, what="grid hidden")
        time.sleep(1.0)
        self.assertNotEqual(left_band(self.desktop), band)
        self.assertTrue(self.menu_windows(), "the menu stayed open")

if __name__ == "__main__":
    unittest.main()
