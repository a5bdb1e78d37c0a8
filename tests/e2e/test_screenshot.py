"""Screenshots with the grid on real desktops: the PNG on the Desktop, the same image on the
clipboard, the flash, the whole screen and one window alone, with and without a compositor."""

import glob
import os
import re
import shutil
import subprocess
import time
import unittest

from harness import PROBE, DesktopTestCase, Image, frame_rect, wait_until

SHOT_KEYS = "super+shift+s"
SHOT_MENU_ROW = "Screenshot with Grid (\u2318\u21E7S)"
KNOWN_TEXT = "TAVELIN KNOWN TEXT 0123456789"
DARK_BG = (0x20, 0x30, 0x40)
RED_BG = (0xc0, 0x20, 0x20)
# The top band is black at opacity 0.35 in full-screen mode, 25 px below the screen's top edge.
BAND_TOP, BAND_HEIGHT, BAND_OPACITY = 25, 22, 0.35
# Bounds only how long a broken build may hang; shots take a fraction of a second.
SHOT_TIMEOUT = 15.0


def client_top(desktop, window):
    return int(desktop.run(["xwininfo", "-id", str(window)]).split("Absolute upper-left Y:")[1].split()[0])


def close(a, b, tolerance=3):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def clear_of_headers(x):
    """Moves x into a grid column between its left line (at 26 + 80k) and its centred header letter."""
    return 26 + ((x - 26) // 80) * 80 + 12


class ShotCase(DesktopTestCase):
    """Shots by key or menu, read back from the Desktop folder, the clipboard and the screen."""

    def setUp(self):
        desktop_dir = self.desktop_dir()
        shutil.rmtree(desktop_dir, ignore_errors=True)
        os.makedirs(desktop_dir)
        self.xterms = []
        self.addCleanup(self.close_xterms)
        super().setUp()

    def close_xterms(self):
        for p in self.xterms:
            if p.poll() is None:
                p.terminate()
                p.wait(timeout=5)

    # --- the desktop's contents ---
    def xterm(self, x, y, title, bg, cols=60, rows=15, text=""):
        """An xterm that shows text and echoes nothing typed into it (the shortcut keys reach it)."""
        hex_bg = "#%02x%02x%02x" % bg
        p = self.desktop.spawn(["xterm", "-geometry", f"{cols}x{rows}+{x}+{y}", "-title", title, "-bg", hex_bg,
                                "-fg", "white", "-e", "sh", "-c", f"stty -echo; printf '{text}'; exec sleep 600"])
        self.xterms.append(p)
        window = wait_until(lambda: self.desktop.find_window(title), timeout=10, what=f"xterm {title}")

        def settled():
            first = frame_rect(self.desktop, window)
            time.sleep(0.15)
            return first if first == frame_rect(self.desktop, window) else None
        wait_until(settled, what=f"xterm {title} framed and placed")
        return window

    def desktop_dir(self):
        return os.path.join(self.desktop.home, "Desktop")

    def shots(self):
        return sorted(glob.glob(os.path.join(self.desktop_dir(), "Tavelin_*.png")))

    def wait_shots(self, count):
        return wait_until(lambda: len(self.shots()) >= count and self.shots(), timeout=SHOT_TIMEOUT,
                          what=f"{count} screenshot file(s)")

    def overlay_rect(self):
        out = self.desktop.probe("find-overlay", self.tavelin.pid).strip()
        if not out or out == "0x0":
            return None
        fields = self.desktop.probe("geometry", out).split()
        return tuple(int(v) for v in fields[:4]) if len(fields) >= 4 else None

    # --- taking shots while watching our windows ---
    def watch(self, title, seconds=3.0):
        return subprocess.Popen([PROBE, "watch-window", str(self.tavelin.pid), title, str(seconds)],
                                env=self.desktop.env, stdout=subprocess.PIPE, text=True)

    def shoot(self, trigger=None):
        """Takes one shot; returns the probe's record of the overlay and of the flash meanwhile."""
        overlay_watch, flash_watch = self.watch("Tavelin Overlay"), self.watch("Tavelin Flash")
        time.sleep(0.2)  # both watchers have looked once
        (trigger or (lambda: self.desktop.key(SHOT_KEYS)))()
        return ([line.split()[1:] for line in overlay_watch.communicate(timeout=20)[0].splitlines()],
                [line.split()[1:] for line in flash_watch.communicate(timeout=20)[0].splitlines()])

    # --- pixels ---
    def live_screen(self):
        """The screen as the compositor shows it, as PNG bytes."""
        ppm = subprocess.run([PROBE, "root-ppm"], env=self.desktop.env, capture_output=True, check=True).stdout
        return subprocess.run(["convert", "ppm:-", "png:-"], input=ppm, capture_output=True, check=True).stdout

    def differing_pixels(self, png_a, png_b, crop=None):
        """How many pixels of the two images (or of the crop (x, y, w, h) of each) differ by more
        than rounding."""
        paths = []
        for i, png in enumerate((png_a, png_b)):
            path = os.path.join(self.desktop.home, f"compare-{i}.png")
            with open(path, "wb") as f:
                f.write(png)
            if crop:
                x, y, w, h = crop
                subprocess.run(["convert", path, "-crop", f"{w}x{h}+{x}+{y}", "+repage", path], check=True)
            paths.append(path)
        result = subprocess.run(["compare", "-alpha", "off", "-metric", "AE", "-fuzz", "1%"] + paths + ["null:"],
                                capture_output=True, text=True)
        return float(result.stderr.split()[0])

    @staticmethod
    def read(path):
        with open(path, "rb") as f:
            return f.read()

    # --- shared checks ---
    def assert_flash_over(self, flashes, rect):
        self.assertGreaterEqual(len(flashes), 2, f"flash never shown and removed: {flashes}")
        self.assertEqual(flashes[0][0], "appeared")
        self.assertEqual(tuple(int(v) for v in flashes[0][2:6]), tuple(rect))
        self.assertEqual(flashes[-1], ["vanished"], "the flash stays on screen")

    def assert_window_shot_holds_target_alone(self):
        """A window covered in part by another is shot whole, the other one nowhere in the file,
        and the overlay stays on screen throughout."""
        target = self.xterm(100, 100, "target", DARK_BG, text=KNOWN_TEXT)
        cover = self.xterm(330, 200, "cover", RED_BG, cols=30, rows=8)
        target_frame, cover_frame = frame_rect(self.desktop, target), frame_rect(self.desktop, cover)
        self.desktop.key("super+shift+w")
        wait_until(lambda: self.overlay_rect() is None, what="overlay hidden for the selection")
        wait_until(lambda: subprocess.run([PROBE, "hold-grab", "0"], env=self.desktop.env).returncode != 0,
                   what="pointer taken for the selection")
        self.desktop.run(["xdotool", "mousemove", str(target_frame[0] + 30), str(target_frame[1] + 60),
                          "click", "1"], check=True)
        wait_until(lambda: self.overlay_rect() == target_frame, what="overlay over the target")

        overlays, flashes = self.shoot()
        self.assertEqual([o[0] for o in overlays], ["appeared"], f"overlay hidden during a window shot: {overlays}")
        self.assert_flash_over(flashes, target_frame)
        shot = Image.from_png_file(self.wait_shots(1)[0])
        self.assertEqual((shot.width, shot.height), target_frame[2:])

        # (The title bar's xterm icon is red too: only the client area counts.)
        client = client_top(self.desktop, target) - target_frame[1]
        reds = [(x, y) for y in range(client, shot.height, 2) for x in range(0, shot.width, 2)
                if close(shot.pixel(x, y), RED_BG, 40)]
        self.assertEqual(reds[:5], [], "the covering window shows in the file")
        # Where the cover lies, the file shows the target's own background.
        left, top = cover_frame[0] - target_frame[0], cover_frame[1] - target_frame[1]
        right, bottom = min(shot.width, left + cover_frame[2]), min(shot.height, top + cover_frame[3])
        hidden = [shot.pixel(x, y) for y in range(top, bottom, 3) for x in range(left, right, 3)]
        self.assertGreater(sum(close(p, DARK_BG, 2) for p in hidden) / len(hidden), 0.7)
        return target_frame, cover_frame, shot


class ScreenShotTest(ShotCase):
    """Whole-screen shots under openbox and xcompmgr, with a StatusNotifier tray."""

    desktop_options = {"tray_watcher": True}

    def test_file_and_clipboard_hold_the_screen_with_the_grid_as_seen(self):
        self.xterm(100, 160, "known", DARK_BG, text=KNOWN_TEXT)
        white = self.xterm(300, 0, "white", (255, 255, 255), cols=40, rows=8)
        overlays, flashes = self.shoot()

        path = self.wait_shots(1)[0]
        self.assertRegex(os.path.basename(path), r"^Tavelin_\d{4}-\d\d-\d\d_\d\d\.\d\d\.\d\d\.png$")
        png = self.read(path)
        shot = Image.from_png_bytes(png)
        self.assertEqual((shot.width, shot.height), (self.desktop.width, self.desktop.height))
        self.assertTrue(all(shot.alpha(x, y) == 255 for x, y in ((0, 0), (700, 450), (1439, 899))))
        # The overlay left the screen for the capture and came back; the flash covered the grid.
        self.assertEqual([o[0] for o in overlays], ["appeared", "vanished", "appeared"], overlays)
        self.assert_flash_over(flashes, (0, 0, self.desktop.width, self.desktop.height))

        # Pixel for pixel what the user sees: xterm, text, bands, lines and headers.
        self.assertEqual(self.differing_pixels(png, self.live_screen()), 0)
        known = [shot.pixel(x, y) for y in range(160, 200) for x in range(100, 300)]
        self.assertGreater(sum(close(p, DARK_BG, 2) for p in known), 1000, "no xterm background in the file")
        self.assertGreater(sum(min(p) > 200 for p in known), 50, "no text in the file")

        # The band over the white xterm is one layer of black at 0.35, not two (no overlay in the base).
        self.assertLess(client_top(self.desktop, white), BAND_TOP)
        x = clear_of_headers(frame_rect(self.desktop, white)[0] + 60)
        band = shot.pixel(x, BAND_TOP + BAND_HEIGHT // 2)
        below = shot.pixel(x, BAND_TOP + BAND_HEIGHT + 20)
        self.assertEqual(below, (255, 255, 255))
        self.assertTrue(close(band, [round(255 * (1 - BAND_OPACITY))] * 3, 4), band)

        # The clipboard holds the same image, as the very PNG written to the file (encoded once).
        self.assertEqual(self.desktop.clipboard_png(), png)

    def test_cell_labels_appear_in_the_file(self):
        self.xterm(600, 300, "known", DARK_BG, text=KNOWN_TEXT)
        self.shoot()
        without = self.read(self.wait_shots(1)[0])
        first_cell = (27, BAND_TOP + BAND_HEIGHT + 1, 78, 78)
        before = self.live_screen()
        self.desktop.key("super+shift+l")
        wait_until(lambda: self.differing_pixels(before, self.live_screen(), first_cell) > 0, what="labels shown")
        self.shoot()
        with_labels = self.read(self.wait_shots(2)[-1])
        self.assertGreater(self.differing_pixels(without, with_labels, first_cell), 20, "no label in cell A1")
        self.assertEqual(self.differing_pixels(with_labels, self.live_screen()), 0)

    def test_two_shots_in_one_second_make_two_files(self):
        for _ in range(3):
            for old in self.shots():
                os.remove(old)
            # Starting just after a second begins, both shots land in it.
            wait_until(lambda: time.time() % 1 < 0.05, interval=0.005, what="start of a second")
            self.desktop.key(SHOT_KEYS, SHOT_KEYS)
            names = [os.path.basename(p) for p in wait_until(lambda: len(self.shots()) == 2 and self.shots(),
                                                             timeout=SHOT_TIMEOUT, what="two files")]
            stems = sorted(re.sub(r"(-2)?\.png$", "", n) for n in names)
            if stems[0] == stems[1]:
                self.assertEqual(sorted(names), [stems[0] + "-2.png", stems[0] + ".png"])
                break
        else:
            self.fail(f"two shots never fell within one second: {names}")
        for path in self.shots():
            shot = Image.from_png_file(path)
            self.assertEqual((shot.width, shot.height), (self.desktop.width, self.desktop.height))

    def test_without_desktop_folder_only_the_clipboard_gets_the_shot(self):
        self.xterm(100, 160, "known", DARK_BG, text=KNOWN_TEXT)
        shutil.rmtree(self.desktop_dir())
        self.assertEqual(self.desktop.clipboard_png(), b"")

        _, flashes = self.shoot(lambda: self.desktop.menu_click(SHOT_MENU_ROW))
        self.assert_flash_over(flashes, (0, 0, self.desktop.width, self.desktop.height))
        png = wait_until(self.desktop.clipboard_png, timeout=SHOT_TIMEOUT, what="image on the clipboard")
        self.assertEqual(self.differing_pixels(png, self.live_screen()), 0)
        self.assertFalse(os.path.exists(self.desktop_dir()))
        self.assertEqual(glob.glob(os.path.join(self.desktop.home, "**", "Tavelin_*"), recursive=True), [])
        reasons = [line for line in self.desktop.tavelin_log().splitlines() if self.desktop_dir() in line]
        self.assertEqual(len(reasons), 1, self.desktop.tavelin_log())


class WindowShotTest(ShotCase):
    """Shots of one chosen window under openbox and xcompmgr."""

    def test_target_window_alone_at_its_own_size(self):
        target_frame, cover_frame, shot = self.assert_window_shot_holds_target_alone()
        # Where nothing covers the target the file is what the screen shows there.
        uncovered = (target_frame[0], target_frame[1], cover_frame[0] - target_frame[0], target_frame[3])
        file_png = self.read(self.shots()[0])
        live = subprocess.run(["convert", "png:-", "-crop", "%dx%d+%d+%d" % (target_frame[2], target_frame[3],
                              target_frame[0], target_frame[1]), "+repage", "png:-"],
                              input=self.live_screen(), capture_output=True, check=True).stdout
        self.assertEqual(self.differing_pixels(file_png, live, (0, 0) + uncovered[2:]), 0)
        self.assertEqual(self.differing_pixels(self.desktop.clipboard_png(), file_png), 0)


class NoCompositorShotTest(ShotCase):
    """Without a compositing manager: the grid shows unblended on screen, and nothing keeps
    covered windows' pixels but our own redirection."""

    desktop_options = {"compositor": None}

    def test_target_window_alone_without_compositor(self):
        self.assert_window_shot_holds_target_alone()

    def test_screen_shot_blends_one_band_over_the_screen(self):
        white = self.xterm(300, 0, "white", (255, 255, 255), cols=40, rows=8)
        self.xterm(100, 160, "known", DARK_BG, text=KNOWN_TEXT)
        self.shoot()
        shot = Image.from_png_file(self.wait_shots(1)[0])
        self.assertEqual((shot.width, shot.height), (self.desktop.width, self.desktop.height))
        x = clear_of_headers(frame_rect(self.desktop, white)[0] + 60)
        self.assertEqual(shot.pixel(x, BAND_TOP + BAND_HEIGHT + 20), (255, 255, 255))
        band = shot.pixel(x, BAND_TOP + BAND_HEIGHT // 2)
        self.assertTrue(close(band, [round(255 * (1 - BAND_OPACITY))] * 3, 4), band)
        known = [shot.pixel(x, y) for y in range(160, 200) for x in range(100, 300)]
        self.assertGreater(sum(close(p, DARK_BG, 2) for p in known), 1000, "no xterm background in the file")


if __name__ == "__main__":
    unittest.main()
