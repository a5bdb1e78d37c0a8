"""Screenshots with the grid: file, clipboard and flash, screen or one window, and failures told to the user."""

import html
import glob
import os
import shutil
import subprocess
import time
from pathlib import Path

from harness import (BAND_ALPHA, CELL, LEFT_BAND, PROBE, SCREENSHOT, TOP_BAND, TOP_INSET, DesktopTestCase, LineReader,
                     wait_until)
from pixels import Image, differing, near
from remote import tavelin

SHOT_KEYS = "super+shift+s"
# The first screenshot's file name in a second: the local time.
SHOT_NAME = r"^Tavelin_\d{4}-\d\d-\d\d_\d\d\.\d\d\.\d\d\.png$"
KNOWN_TEXT = "TAVELIN KNOWN TEXT 0123456789"
DARK_BG, RED_BG, WHITE = (0x20, 0x30, 0x40), (0xc0, 0x20, 0x20), (255, 255, 255)
# Bounds only how long a broken build may hang; shots take a fraction of a second.
SHOT_TIMEOUT = 15.0


def clear_of_headers(x):
    """Moves x into a grid column, between its left line and its centred header letter."""
    return LEFT_BAND + ((x - LEFT_BAND) // CELL) * CELL + 12


class ShotCase(DesktopTestCase):
    """Shots by key or menu, read back from the Desktop folder, the clipboard and the screen."""

    def setUp(self):
        if os.path.isfile(self.desktop_dir()):
            os.remove(self.desktop_dir())
        shutil.rmtree(self.desktop_dir(), ignore_errors=True)
        os.makedirs(self.desktop_dir())
        super().setUp()

    def desktop_dir(self):
        return os.path.join(self.desktop.home, "Desktop")

    def shots(self):
        """Oldest first, by when each was made: two shots in one second have names that sort the
        other way (the second one's name has a number added)."""
        return sorted(self.desktop.shots(), key=os.path.getmtime)

    def wait_shots(self, count):
        return wait_until(lambda: len(self.shots()) >= count and self.shots(), timeout=SHOT_TIMEOUT,
                          what=f"{count} screenshot file(s)")

    def shoot(self, trigger=None):
        """Takes one shot; returns the probe's record of the overlay and of the flash, read until the
        flash is gone and the overlay, if it left the screen, is back."""
        overlay, flash = (self.watch_window(title, 60) for title in ("Tavelin Overlay", "Tavelin Flash"))
        (trigger or (lambda: self.desktop.key(SHOT_KEYS)))()
        flashes = [flash.next_matching("", timeout=SHOT_TIMEOUT).split()[1:]]
        while flashes[-1][0] != "vanished":
            flashes.append(flash.next_matching("", timeout=SHOT_TIMEOUT).split()[1:])
        overlays = [line.split()[1:] for line in overlay.lines_so_far()]
        while overlays[-1][0] != "appeared":
            overlays.append(overlay.next_matching("", timeout=SHOT_TIMEOUT).split()[1:])
        return overlays, flashes

    def assert_file_shows_the_screen(self, shot):
        """Pixel for pixel what the user sees, once the screen has its grid back after the shot."""
        wait_until(lambda: self.differing_pixels(shot, self.desktop.root_image()) == 0, timeout=SHOT_TIMEOUT,
                   what="the screen to show what the file holds")

    @staticmethod
    def differing_pixels(a, b, box=None):
        """How many pixels of two images (or of the box (x, y, w, h) of each) differ by more than rounding."""
        if box is None and a.data == b.data:
            return 0
        box = box or (0, 0, a.width, a.height)
        return differing(a.rows(*box), b.rows(*box), tolerance=2)

    def assert_flash_over(self, flashes, rect):
        self.assertGreaterEqual(len(flashes), 2, f"flash never shown and removed: {flashes}")
        self.assertEqual(flashes[0][0], "appeared")
        self.assertEqual(tuple(int(v) for v in flashes[0][2:6]), tuple(rect))
        self.assertEqual(flashes[-1], ["vanished"], "the flash stays on screen")

    def assert_window_shot_holds_target_alone(self):
        """A window covered in part by another is shot whole, the other one nowhere in the file,
        and the overlay stays on screen throughout."""
        _, target = self.xterm(100, 100, "target", bg=DARK_BG, text=KNOWN_TEXT)
        _, cover = self.xterm(330, 200, "cover", bg=RED_BG, cols=30, rows=8)
        target_frame, cover_frame = self.desktop.frame(target), self.desktop.frame(cover)
        self.desktop.pick(target_frame[0] + 30, target_frame[1] + 60)
        wait_until(lambda: self.desktop.overlay_rect() == target_frame, what="overlay over the target")

        overlays, flashes = self.shoot()
        self.assertEqual([o[0] for o in overlays], ["appeared"], f"overlay hidden during a window shot: {overlays}")
        self.assert_flash_over(flashes, target_frame)
        shot = Image.from_png(self.wait_shots(1)[0])
        self.assertEqual((shot.width, shot.height), target_frame[2:])

        # (The title bar's xterm icon is red too: only the client area counts.)
        client = self.desktop.geometry(target)[1] - target_frame[1]
        reds = [(x, y) for y in range(client, shot.height, 2) for x in range(0, shot.width, 2)
                if near(shot.pixel(x, y), RED_BG, 40)]
        self.assertEqual(reds[:5], [], "the covering window shows in the file")
        # Where the cover lies, the file shows the target's own background.
        left, top = cover_frame[0] - target_frame[0], cover_frame[1] - target_frame[1]
        right, bottom = min(shot.width, left + cover_frame[2]), min(shot.height, top + cover_frame[3])
        hidden = [shot.pixel(x, y) for y in range(top, bottom, 3) for x in range(left, right, 3)]
        self.assertGreater(sum(near(p, DARK_BG, 2) for p in hidden) / len(hidden), 0.7)
        return target_frame, cover_frame


class ScreenShotTest(ShotCase):
    """Whole-screen shots under openbox and xcompmgr, with a StatusNotifier tray and a notification server."""

    desktop_options = {"tray_watcher": True}
    hear_notifications = True

    def test_file_and_clipboard_hold_the_screen_with_the_grid_as_seen_labels_too(self):
        self.xterm(100, 160, "known", bg=DARK_BG, text=KNOWN_TEXT)
        _, white = self.xterm(300, 0, "white", bg=WHITE, cols=40, rows=8)
        self.assertLess(self.desktop.geometry(white)[1], TOP_INSET, "reaching up under the top band")
        # The grid unchanged for a while: the compositing manager shows it as drawn, so the screen
        # is taken as it is, the grid never leaving it.
        time.sleep(0.6)
        overlays, flashes = self.shoot()
        path = self.wait_shots(1)[0]
        self.assertRegex(os.path.basename(path), SHOT_NAME)
        shot = Image.from_png(path)
        self.assertEqual((shot.width, shot.height), (self.desktop.width, self.desktop.height))
        opaque = subprocess.run(["identify", "-format", "%[opaque]", path], capture_output=True, text=True).stdout
        self.assertEqual(opaque.lower(), "true", "no transparent pixel")
        self.assertEqual([o[0] for o in overlays], ["appeared"], f"the grid left the screen: {overlays}")
        self.assert_flash_over(flashes, (0, 0, self.desktop.width, self.desktop.height))

        # Pixel for pixel what the user sees: xterm, text, bands, lines and headers.
        self.assert_file_shows_the_screen(shot)
        known = [p for row in shot.rows(100, 160, 200, 40) for p in row]
        self.assertGreater(sum(near(p, DARK_BG, 2) for p in known), 1000, "no xterm background in the file")
        self.assertGreater(sum(min(p) > 200 for p in known), 50, "no text in the file")
        # The top band over the white xterm is one layer of black at 0.35, not two (no overlay in the base).
        x = clear_of_headers(self.desktop.frame(white)[0] + 60)
        self.assertEqual(shot.pixel(x, TOP_INSET + TOP_BAND + 20), WHITE)
        band = shot.pixel(x, TOP_INSET + TOP_BAND // 2)
        self.assertTrue(near(band, [round(255 * (1 - BAND_ALPHA))] * 3, 4), band)
        # The clipboard holds the same image, as the very PNG written to the file (encoded once).
        self.assertEqual(self.desktop.clipboard_png(), Path(path).read_bytes())

        # Cell labels switched on just before the shot appear in it: the screen may not show them
        # yet, so the grid leaves it for the capture and comes back (the flash covers it).
        first_cell = (LEFT_BAND + 1, TOP_INSET + TOP_BAND + 1, CELL - 2, CELL - 2)
        overlays, _ = self.shoot(lambda: self.desktop.key("super+shift+l", SHOT_KEYS))
        self.assertEqual([o[0] for o in overlays], ["appeared", "vanished", "appeared"], overlays)
        with_labels = Image.from_png(self.wait_shots(2)[-1])
        self.assertGreater(self.differing_pixels(shot, with_labels, first_cell), 20, "no label in cell A1")
        self.assert_file_shows_the_screen(with_labels)

    def test_without_desktop_folder_only_the_clipboard_gets_the_shot(self):
        self.xterm(100, 160, "known", bg=DARK_BG, text=KNOWN_TEXT)
        shutil.rmtree(self.desktop_dir())
        self.assertEqual(self.desktop.clipboard_png(), b"")

        _, flashes = self.shoot(lambda: self.desktop.menu_click(SCREENSHOT))
        self.assert_flash_over(flashes, (0, 0, self.desktop.width, self.desktop.height))
        png = wait_until(self.desktop.clipboard_png, timeout=SHOT_TIMEOUT, what="image on the clipboard")
        self.assert_file_shows_the_screen(Image.from_png(png))
        self.assertFalse(os.path.exists(self.desktop_dir()))
        self.assertEqual(glob.glob(os.path.join(self.desktop.home, "**", "Tavelin_*"), recursive=True), [])
        reasons = [line for line in self.desktop.tavelin_log().splitlines() if self.desktop_dir() in line]
        self.assertEqual(len(reasons), 1, self.desktop.tavelin_log())
        self.assertIn("screenshot not saved", reasons[0])
        # The user is told where the image went and why not into a file.
        line = self.next_notification()
        self.assertTrue(line.startswith("notify Screenshot not saved\tCopied to the clipboard; not saved: "), line)
        self.assertIn(self.desktop_dir(), line)

    def test_the_desktop_folder_is_the_one_user_dirs_names(self):
        # A local name, as a German session has it.
        config = os.path.join(self.desktop.home, ".config")
        os.makedirs(config, exist_ok=True)
        Path(config, "user-dirs.dirs").write_text('# This file is written by xdg-user-dirs-update\nXDG_DESKTOP_DIR="$HOME/Schreibtisch"\n')
        self.addCleanup(os.remove, os.path.join(config, "user-dirs.dirs"))
        local = os.path.join(self.desktop.home, "Schreibtisch")
        os.makedirs(local)
        self.addCleanup(shutil.rmtree, local, True)

        self.shoot()
        shots = wait_until(lambda: self.desktop.shots(local), timeout=SHOT_TIMEOUT, what="the shot in Schreibtisch")
        self.assertRegex(os.path.basename(shots[0]), SHOT_NAME)
        self.assertEqual(len(shots), 1)
        self.assertEqual(self.shots(), [], "a shot in ~/Desktop too")
        self.assertEqual(Image.from_png(shots[0]).width, self.desktop.width)

    def test_a_desktop_that_is_no_folder_is_told_with_its_name_escaped(self):
        # Root writes into any folder whatever its mode: a file in the folder's place cannot be written
        # into. Its name, which the server would read as markup, reaches it escaped.
        odd = os.path.join(self.desktop.home, "R&D <shots>")
        Path(odd).write_text("not a folder either")
        self.addCleanup(os.remove, odd)
        config = os.path.join(self.desktop.home, ".config")
        os.makedirs(config, exist_ok=True)
        Path(config, "user-dirs.dirs").write_text('XDG_DESKTOP_DIR="$HOME/R&D <shots>"\n')
        self.addCleanup(os.remove, os.path.join(config, "user-dirs.dirs"))
        self.desktop.menu_click(SCREENSHOT)
        self.assertIn(f"cannot open folder {html.escape(odd)}", self.next_notification())

    def test_a_full_disk_loses_only_the_file_and_leaves_none_of_it(self):
        # The Desktop folder on a file system of one page: no screenshot fits.
        if os.geteuid() != 0:
            self.skipTest("mounting a tiny tmpfs for a full disk needs root")
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=4k", "tavelin-full", self.desktop_dir()],
                                 capture_output=True, text=True)
        if mounted.returncode != 0:
            self.skipTest(f"cannot mount a tmpfs here: {mounted.stderr.strip()}")
        self.addCleanup(subprocess.run, ["umount", self.desktop_dir()], check=True)
        self.desktop.menu_click(SCREENSHOT)
        self.assertEqual(self.next_notification(), "notify Screenshot not saved\tCopied to the clipboard; not saved: "
                         f"cannot write into {self.desktop_dir()}: No space left on device.")
        wait_until(lambda: self.desktop.clipboard_png().startswith(b"\x89PNG"), what="the shot on the clipboard")
        self.assertIn("screenshot not saved (copied to the clipboard): cannot write into", self.desktop.tavelin_log())
        self.assertEqual(os.listdir(self.desktop_dir()), [], "no partial file left behind")

        # A path of one's own on the full disk: refused in one line, nothing left there either.
        done = tavelin(self.desktop, "shot", os.path.join(self.desktop_dir(), "bug.png"))
        self.assertEqual(done.returncode, 1)
        self.assertEqual(done.stderr.count("\n"), 1, done.stderr)
        self.assertIn("No space left on device", done.stderr)
        self.assertEqual(os.listdir(self.desktop_dir()), [])


class MenuShotUnderAFadingCompositorTest(ShotCase):
    """Screenshot with Grid chosen in a menu, under a compositing manager that fades closing windows
    out (picom here, marco's alike): the shot is taken once the menu has left the screen."""

    desktop_options = {"tray_watcher": True, "compositor": False}

    @classmethod
    def prepare_desktop(cls):
        cls.desktop.start_compositor("picom", "--backend", "xrender", "-f", "--config", "/dev/null")

    def test_a_shot_chosen_in_our_menu_leaves_the_closing_menu_out(self):
        self.desktop.run(["xdotool", "mousemove", "700", "12"], check=True)
        self.assertTrue(self.desktop.panel.activate(*self.desktop.tray_item(), 700, 12))
        wait_until(self.desktop.menu_windows, what="the menu")
        self.desktop.key("Up", "Up", "Up", "Return")   # the third row from the end
        self.assert_file_shows_the_screen(Image.from_png(self.wait_shots(1)[0]))

    def test_a_shot_chosen_in_a_menu_the_panel_draws_leaves_that_menu_out(self):
        panel_menu = self.spawn([*PROBE, "panel-menu", 900, 30, 300, 400], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        lines = LineReader(panel_menu)
        lines.next_matching("ready")
        # The panel tells us of the click and closes its menu.
        self.desktop.menu_click(SCREENSHOT)
        panel_menu.stdin.write(b"close\n")
        panel_menu.stdin.flush()
        lines.next_matching("closed")
        self.assert_file_shows_the_screen(Image.from_png(self.wait_shots(1)[0]))


class WindowShotTest(ShotCase):
    """Shots of one chosen window under openbox and xcompmgr."""

    def test_target_window_alone_at_its_own_size(self):
        target_frame, cover_frame = self.assert_window_shot_holds_target_alone()
        # Where nothing covers the target the file is what the screen shows there.
        shot = Image.from_png(self.shots()[0])
        width, height = cover_frame[0] - target_frame[0], target_frame[3]
        self.assertEqual(differing(shot.rows(0, 0, width, height),
                                   self.desktop.root_image().rows(*target_frame[:2], width, height), tolerance=2), 0)
        self.assertEqual(self.differing_pixels(Image.from_png(self.desktop.clipboard_png()), shot), 0)


class NoSharedMemoryShotTest(ShotCase):
    """A server that shares no memory with its clients (a remote display): the grid's pixels and
    the captures go through requests and replies."""

    desktop_options = {"shared_memory": False}

    def test_grid_and_shot_without_shared_memory(self):
        self.xterm(100, 160, "known", bg=DARK_BG, text=KNOWN_TEXT)
        x = clear_of_headers(300)
        wait_until(lambda: self.desktop.pixel(x, TOP_INSET + TOP_BAND // 2) != self.desktop.pixel(x, TOP_INSET + TOP_BAND + 20),
                   what="the top band on the screen")
        self.shoot(lambda: self.desktop.key("super+shift+l", SHOT_KEYS))
        self.assert_file_shows_the_screen(Image.from_png(self.wait_shots(1)[0]))


class NoCompositorShotTest(ShotCase):
    """Without a compositing manager nothing keeps covered windows' pixels but our own redirection.
    (Screen shots without one: test_no_compositor.)"""

    desktop_options = {"compositor": False}

    def test_target_window_alone_without_compositor(self):
        self.assert_window_shot_holds_target_alone()
