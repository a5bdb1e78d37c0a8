"""Super+Shift+G/L/A on a real desktop: beside the focused app, on their physical keys, once a press."""

import os
import subprocess
import time
from pathlib import Path

from gridlines import RESIZE_GAIN, badge_shown, wait_for_cells
from harness import CELL, LEFT_BAND, PROBE, DesktopTestCase, wait_until
from pixels import differing

# The first cell's centre, where its name "A1" is drawn when cell labels are on.
A1_BOX = (46, 80, 40, 15)


class ShortcutCase(DesktopTestCase):
    """Reads the grid and the labels off the screen."""

    def left_band(self):
        """A strip of the row ruler: its look tells whether the grid is on screen."""
        return self.desktop.root_pixels(0, 300, LEFT_BAND - 2, 1)

    def a1(self):
        return self.desktop.root_pixels(*A1_BOX)

    def labels_drawn(self, without_labels):
        return differing(self.a1(), without_labels) > 15

    def wait_labels(self, shown, without_labels):
        wait_until(lambda: self.labels_drawn(without_labels) == shown, what="cell labels " + ("drawn" if shown else "gone"))

    def wait_grid(self, shown, band):
        wait_until(lambda: bool(self.desktop.overlay_id()) == shown and (self.left_band() == band) == shown,
                   what="grid " + ("shown" if shown else "hidden"))


class ShortcutsTest(ShortcutCase):
    """Shortcuts pressed while a terminal has the keyboard; the terminal logs every byte it gets."""

    @classmethod
    def prepare_desktop(cls):
        cls.typed_path = os.path.join(cls.desktop.home, "typed")
        open(cls.typed_path, "wb").close()
        # In the lower right, clear of every place the tests read.
        _, cls.terminal = cls.desktop.start_xterm(1000, 640, cols=30, rows=6, title="e2e-keylog",
                                                  command=["sh", "-c", f"stty raw -echo; exec cat >> '{cls.typed_path}'"])

    def setUp(self):
        super().setUp()
        self.desktop.run(["xdotool", "windowactivate", "--sync", str(self.terminal)], check=True)
        wait_until(lambda: self.desktop.run(["xdotool", "getactivewindow"]).strip() == str(self.terminal),
                   what="terminal focused")
        self.typed_offset = os.path.getsize(self.typed_path)

    def typed(self):
        return Path(self.typed_path).read_bytes()[self.typed_offset:]

    def wait_typed(self, expected):
        wait_until(lambda: self.typed() == expected, what=f"terminal to receive {expected!r}")

    def test_grid_shortcut_hides_and_shows_and_the_focused_app_still_gets_the_keys(self):
        band = self.left_band()
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

    def test_other_keys_do_nothing_and_the_labels_shortcut_draws_and_removes_the_cell_names(self):
        without_labels, band = self.a1(), self.left_band()
        for keys in ("shift+g", "super+g", "super+shift+h", "ctrl+shift+a", "super+a"):
            self.desktop.key(keys)
        # Shortcuts run in the order they are pressed: once the labels come, the keys before them
        # have been decided, and none of them touched the grid or adjust mode.
        self.desktop.key("super+shift+l")
        self.wait_labels(True, without_labels)
        self.assertTrue(self.desktop.overlay_id())
        self.assertEqual(self.left_band(), band)
        self.assertFalse(self.desktop.takes_mouse())
        self.wait_typed(b"GgH\x01aL")

        # The labels shortcut removes the cell names again; switched on while the grid is hidden,
        # they are there when it comes back.
        self.desktop.key("super+shift+l")
        wait_until(lambda: self.a1() == without_labels, what="cell labels gone")
        self.desktop.key("super+shift+g")
        self.wait_grid(False, band)
        self.desktop.key("super+shift+l")
        self.desktop.key("super+shift+g")
        self.wait_grid(True, band)
        self.wait_labels(True, without_labels)

    def test_holding_a_shortcut_repeats_it_like_the_key_repeats_in_the_focused_app(self):
        without_labels = self.a1()
        self.desktop.run(["xdotool", "keydown", "--clearmodifiers", "super+shift+l"], check=True)
        changes, shown = 0, None
        try:
            deadline = time.monotonic() + 10
            while changes < 4 and time.monotonic() < deadline:
                now = self.labels_drawn(without_labels)
                changes += shown is not None and now != shown
                shown = now
        finally:
            self.desktop.run(["xdotool", "keyup", "l", "shift", "super"], check=True)
        self.assertGreaterEqual(changes, 4, "the labels kept flipping while the shortcut was held")
        wait_until(lambda: len(self.typed()) >= 3, what="repeated keys in the terminal")
        self.assertEqual(set(self.typed()), {ord("L")})

    def test_adjust_shortcut_takes_the_mouse_and_a_drag_resizes_the_cells(self):
        self.assertFalse(badge_shown(self.desktop.root_pixels))
        self.set_adjust_mode(True)
        wait_until(lambda: badge_shown(self.desktop.root_pixels), what="the adjust mode badge")
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
                wait_for_cells(self.desktop.root_pixels, width, height)
        finally:
            self.desktop.run(["xdotool", "mouseup", "1"], check=True)

        self.set_adjust_mode(False)
        wait_until(lambda: not badge_shown(self.desktop.root_pixels), what="the badge gone")
        wait_for_cells(self.desktop.root_pixels, width, height)   # leaving adjust mode keeps the size the drag made

    def test_shortcuts_stay_on_their_physical_keys_under_another_keymap(self):
        self.addCleanup(self.desktop.run, ["setxkbmap", "-layout", "us"])
        # AZERTY: the key in the A position types q; the key typing a sits where Q is.
        self.desktop.run(["setxkbmap", "-layout", "fr"], check=True)
        self.desktop.key("super+shift+q")
        wait_until(self.desktop.takes_mouse, what="adjust mode from the A position")
        without_labels = self.a1()
        self.desktop.key("super+shift+a")
        self.desktop.key("super+shift+l")
        self.wait_labels(True, without_labels)
        self.assertTrue(self.desktop.takes_mouse(), "the key typing a is not in the A position")

        # A keymap whose keycodes differ: G and H trade keycodes, the keys keep their names.
        band = self.left_band()
        self.desktop.run(["setxkbmap", "-layout", "us"], check=True)
        dump = self.desktop.run(["xkbcomp", "-xkb", self.desktop.display, "-"], check=True)
        self.assertIn("<AC05> = 42;", dump)
        swapped = dump.replace("<AC05> = 42;", "<AC05> = 43;", 1).replace("<AC06> = 43;", "<AC06> = 42;", 1)
        path = os.path.join(self.desktop.home, "swapped.xkb")
        Path(path).write_text(swapped)
        self.desktop.run(["xkbcomp", "-w", "0", path, self.desktop.display], check=True)
        self.assertIn("<AC05> = 43;", self.desktop.run(["xkbcomp", "-xkb", self.desktop.display, "-"]))
        self.desktop.key("super+shift+g")
        self.wait_grid(False, band)


class TrayMenuShortcutsTest(ShortcutCase):
    """Shortcuts pressed while Tavelin's own tray menu (XEmbed, in tint2) holds the keyboard."""

    desktop_options = {"xembed_tray": True}
    across = 0.75   # flips between two spots on the icon, far enough apart that two clicks are no double click

    def open_menu(self, takes_keyboard=True):
        self.across = 1 - self.across
        self.desktop.open_docked_menu(3, self.across)
        if takes_keyboard:
            wait_until(lambda: self.desktop.grabbed("keyboard"), what="tray menu holding the keyboard")

    def close_menu(self):
        if self.desktop.menu_windows():
            self.desktop.key("Escape")
        wait_until(lambda: not self.desktop.menu_windows(), what="tray menu closed")

    def test_one_press_runs_once_while_the_menu_has_the_keyboard(self):
        without_labels, band = self.a1(), self.left_band()
        # Each shortcut flips a state, so a press run twice would show as no change at all.
        self.open_menu()
        self.desktop.key("super+shift+l")
        self.wait_labels(True, without_labels)
        self.close_menu()
        self.open_menu()
        self.desktop.key("super+shift+g")
        wait_until(lambda: self.left_band() != band, what="grid hidden")
        self.close_menu()
        # A second run would come late, if at all: give it time, then look again.
        time.sleep(1.0)
        self.assertNotEqual(self.left_band(), band)
        self.desktop.key("super+shift+g")
        wait_until(lambda: self.left_band() == band, what="grid shown")
        self.assertTrue(self.labels_drawn(without_labels))

    def test_a_press_that_another_client_grabbed_still_runs_once(self):
        band = self.left_band()
        # Another client holds the keyboard, so the menu that opens now cannot take it: the key goes
        # to that client, and only the desktop-wide route sees it.
        grab = self.spawn([*PROBE, "hold-grab", "keyboard", 30], stdout=subprocess.PIPE, text=True)
        self.assertEqual(grab.stdout.readline().strip(), "grabbed")
        self.open_menu(takes_keyboard=False)
        self.desktop.key("super+shift+g")
        wait_until(lambda: self.left_band() != band, what="grid hidden")
        time.sleep(1.0)
        self.assertNotEqual(self.left_band(), band)
        self.assertTrue(self.desktop.menu_windows(), "the menu stayed open")
