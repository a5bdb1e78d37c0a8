"""Laying the grid over one window: picking it with a click, following it, and falling back to the
whole screen, on a real desktop with xterms at known places."""

import os
import select
import subprocess
import time
import unittest

from harness import PROBE, DesktopTestCase, frame_rect, wait_until

SELECT_WINDOW = "  Select Window... (\u2318\u21E7W)"
FULL_SCREEN = "  Full Screen"
# The tracking timer polls five times a second; these only bound how long a broken build may hang.
FOLLOW_TIMEOUT = 3.0
GRAB_GIVE_UP_TIMEOUT = 6.0


def settled_frame(desktop, window):
    """The frame once the window manager has framed and placed the window (two equal readings)."""
    def read():
        first = frame_rect(desktop, window)
        time.sleep(0.1)
        return first if first == frame_rect(desktop, window) else None
    return wait_until(read, what="window framed and placed")


def pointer_grabbed(desktop):
    """True while some client holds the pointer: a grab of our own is then refused."""
    return subprocess.run([PROBE, "hold-grab", "0"], env=desktop.env, capture_output=True).returncode != 0


class ButtonLog:
    """An xev window at a place, and the button events it has received so far."""

    def __init__(self, desktop, title, geometry):
        self.process = desktop.spawn(["stdbuf", "-oL", "xev", "-geometry", geometry, "-name", title,
                                      "-event", "button"], stdout=subprocess.PIPE, text=True)
        self.window = wait_until(lambda: desktop.find_window(title), what=f"xev window {title}")
        self.output = ""

    def buttons(self):
        # Raw reads: a buffered reader would hold lines back from select().
        fd = self.process.stdout.fileno()
        while select.select([fd], [], [], 0)[0]:
            chunk = os.read(fd, 65536)
            if not chunk:
                break
            self.output += chunk.decode(errors="replace")
        return [line.split()[0] for line in self.output.splitlines() if line.startswith("Button")]


class WindowTargetCase(DesktopTestCase):
    """Helpers shared by the classes below: xterms that end with the test, overlay geometry, clicks."""

    def setUp(self):
        super().setUp()
        self.xterms = []
        self.addCleanup(self.close_xterms)

    def close_xterms(self):
        for p in self.xterms:
            if p.poll() is None:
                p.terminate()
                p.wait(timeout=5)
            if p.stdout:
                p.stdout.close()

    def xterm(self, x, y, title, cols=60, rows=15):
        p = self.desktop.spawn(["xterm", "-geometry", f"{cols}x{rows}+{x}+{y}", "-title", title,
                                "-bg", "#203040", "-fg", "white"])
        self.xterms.append(p)
        window = wait_until(lambda: self.desktop.find_window(title), what=f"xterm {title}")
        settled_frame(self.desktop, window)
        return p, window

    def overlay_rect(self):
        """The mapped overlay's rectangle on the root, or None while it is not shown."""
        out = self.desktop.probe("find-overlay", self.tavelin.pid).strip()
        if not out or out == "0x0":
            return None
        fields = self.desktop.probe("geometry", out).split()
        return tuple(int(v) for v in fields[:4]) if len(fields) >= 4 else None

    def wait_overlay(self, rect, timeout=FOLLOW_TIMEOUT, what="overlay"):
        try:
            wait_until(lambda: self.overlay_rect() == tuple(rect), timeout=timeout, what=f"{what} at {rect}")
        except AssertionError as e:
            raise AssertionError(f"{e}; it is at {self.overlay_rect()}") from None

    def screen_brightness(self, x, y):
        """R+G+B of one pixel of what the screen shows, composited (maim reads what the compositor
        drew; xwd rebuilds the root from each window's own pixels and loses translucency)."""
        png = subprocess.run(["maim", "-u", "-g", f"1x1+{x}+{y}"], env=self.desktop.env,
                             capture_output=True, check=True).stdout
        rgb = subprocess.run(["convert", "png:-", "-depth", "8", "rgb:-"], input=png,
                             capture_output=True, check=True).stdout
        return sum(rgb[:3])

    def full_screen(self):
        return (0, 0, self.desktop.width, self.desktop.height)

    def start_selection(self):
        self.desktop.key("super+shift+w")
        self.wait_selecting()

    def wait_selecting(self):
        # The selection hides the grid and takes the pointer while it waits for the click.
        wait_until(lambda: self.overlay_rect() is None, what="overlay hidden for the selection")
        wait_until(lambda: pointer_grabbed(self.desktop), what="pointer taken for the selection")

    def click(self, x, y):
        self.desktop.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], check=True)

    def pick(self, x, y):
        self.start_selection()
        self.click(x, y)

    def assert_menu_target(self, window_checked):
        wait_until(lambda: self.desktop.menu_row(SELECT_WINDOW).checked == window_checked
                   and self.desktop.menu_row(FULL_SCREEN).checked != window_checked,
                   what=f"menu showing {'the window' if window_checked else 'full screen'} as target")


class WindowTargetTest(WindowTargetCase):
    """Under openbox (EWMH) with a compositor and a StatusNotifier tray."""

    desktop_options = {"tray_watcher": True}

    def test_picked_window_is_covered_and_followed_until_it_closes(self):
        first, first_window = self.xterm(100, 80, "first")
        _, second_window = self.xterm(700, 400, "second")
        self.assert_menu_target(window_checked=False)
        first_frame = frame_rect(self.desktop, first_window)

        # Where the row-number band will lie once the grid is on the window.
        band_spot = (first_frame[0] + 8, first_frame[1] + 60)
        before = self.screen_brightness(*band_spot)

        # A click on the title bar picks the window: decorations belong to it.
        self.pick(first_frame[0] + 40, first_frame[1] + 8)
        self.wait_overlay(first_frame, what="overlay over the first xterm's frame")
        self.assert_menu_target(window_checked=True)
        wait_until(lambda: self.screen_brightness(*band_spot) < before - 10,
                   what="the translucent ruler band drawn over the window's left edge")

        self.desktop.run(["xdotool", "windowmove", str(first_window), "300", "250"], check=True)
        wait_until(lambda: frame_rect(self.desktop, first_window)[:2] != first_frame[:2], what="xterm moved")
        self.wait_overlay(frame_rect(self.desktop, first_window), what="overlay following the move")

        self.desktop.run(["xdotool", "windowsize", str(first_window), "500", "320"], check=True)
        wait_until(lambda: frame_rect(self.desktop, first_window)[2:] != first_frame[2:], what="xterm resized")
        self.wait_overlay(frame_rect(self.desktop, first_window), what="overlay following the resize")

        # The other window moving changes nothing.
        moved = frame_rect(self.desktop, first_window)
        self.desktop.run(["xdotool", "windowmove", str(second_window), "20", "500"], check=True)
        self.wait_overlay(moved)

        first.kill()
        first.wait(timeout=5)
        wait_until(lambda: not self.desktop.find_window("first"), what="xterm gone")
        self.wait_overlay(self.full_screen(), what="overlay back on the whole screen")
        self.assert_menu_target(window_checked=False)

    def test_click_on_empty_desktop_returns_to_full_screen(self):
        _, window = self.xterm(200, 150, "target")
        frame = frame_rect(self.desktop, window)
        self.pick(frame[0] + frame[2] // 2, frame[1] + frame[3] // 2)
        self.wait_overlay(frame)

        self.pick(1300, 850)
        self.wait_overlay(self.full_screen(), what="overlay back on the whole screen")
        self.assert_menu_target(window_checked=False)
        # Nothing follows the xterm any more.
        self.desktop.run(["xdotool", "windowmove", str(window), "400", "300"], check=True)
        wait_until(lambda: frame_rect(self.desktop, window)[:2] != frame[:2], what="xterm moved")
        self.wait_overlay(self.full_screen())

    def test_window_kept_above_is_passed_over_for_the_one_beneath(self):
        _, below_window = self.xterm(100, 100, "below")
        _, above_window = self.xterm(250, 200, "above", cols=40, rows=10)
        self.desktop.probe("wm-state", above_window, "add", "_NET_WM_STATE_ABOVE")
        wait_until(lambda: "_NET_WM_STATE_ABOVE" in self.desktop.run(
            ["xprop", "-id", str(above_window), "_NET_WM_STATE"]), what="window kept above")
        below, above = frame_rect(self.desktop, below_window), frame_rect(self.desktop, above_window)
        # A point inside both: the kept-above window is in front there.
        x, y = above[0] + 30, above[1] + 40
        self.assertTrue(below[0] <= x < below[0] + below[2] and below[1] <= y < below[1] + below[3])

        # Started from the tray menu this time.
        self.desktop.menu_click(SELECT_WINDOW)
        self.wait_selecting()
        self.click(x, y)
        self.wait_overlay(below, what="overlay over the window beneath")
        self.assert_menu_target(window_checked=True)

        # Where only the kept-above window is, nothing ordinary is hit: the whole screen.
        self.pick(above[0] + above[2] - 5, above[1] + above[3] - 5)
        self.wait_overlay(self.full_screen())

    def test_picking_click_never_reaches_the_application(self):
        # xev prints the button events its window gets; it sets no _NET_WM_PID, so it is never picked.
        xev = ButtonLog(self.desktop, "xev-target", "300x200+500+300")
        self.xterms.append(xev.process)
        frame = settled_frame(self.desktop, xev.window)
        inside = (frame[0] + 150, frame[1] + 120)

        self.pick(*inside)
        self.wait_overlay(self.full_screen())
        time.sleep(0.3)
        self.assertEqual(xev.buttons(), [], "the picking click went through to the window")

        # With the selection over, clicks pass through the grid to the window again.
        self.click(*inside)
        wait_until(lambda: len(xev.buttons()) >= 2, what="the window getting a click through the grid")
        self.assertEqual(xev.buttons(), ["ButtonPress", "ButtonRelease"])

    def test_pointer_held_by_another_client(self):
        _, window = self.xterm(200, 150, "target")
        frame = frame_rect(self.desktop, window)
        centre = (frame[0] + frame[2] // 2, frame[1] + frame[3] // 2)

        # A short grab (a menu closing) only delays the selection.
        holder = self.hold_pointer(0.5)
        self.desktop.key("super+shift+w")
        holder.wait(timeout=5)
        self.wait_selecting()
        self.click(*centre)
        self.wait_overlay(frame, what="overlay over the xterm after the grab was released")

        # A grab that is never released ends the selection and shows the grid again.
        holder = self.hold_pointer(8)
        self.desktop.key("super+shift+w")
        wait_until(lambda: self.overlay_rect() is None, what="overlay hidden for the selection")
        self.wait_overlay(frame, timeout=GRAB_GIVE_UP_TIMEOUT, what="overlay shown again")
        holder.terminate()
        holder.wait(timeout=5)
        # No selection is left pending: the next click picks nothing...
        self.assertFalse(pointer_grabbed(self.desktop))
        self.click(100, 850)
        time.sleep(0.5)
        self.assertEqual(self.overlay_rect(), frame)
        # ...and a new selection works.
        self.pick(100, 850)
        self.wait_overlay(self.full_screen())

    def hold_pointer(self, seconds):
        holder = self.desktop.spawn([PROBE, "hold-grab", str(seconds)], stdout=subprocess.PIPE, text=True)
        self.xterms.append(holder)
        self.assertEqual(holder.stdout.readline().strip(), "grabbed")
        return holder


class WindowTargetWithoutManagerTest(WindowTargetCase):
    """A bare X server: no window manager lists the windows, the root's children stand in."""

    desktop_options = {"window_manager": False, "compositor": None}

    def test_picked_window_is_covered_and_followed(self):
        p, window = self.xterm(150, 120, "bare")
        frame = frame_rect(self.desktop, window)
        self.pick(frame[0] + 20, frame[1] + 20)
        self.wait_overlay(frame, what="overlay over the xterm")

        self.desktop.run(["xdotool", "windowmove", str(window), "400", "300"], check=True)
        self.wait_overlay(frame_rect(self.desktop, window), what="overlay following the move")

        p.kill()
        p.wait(timeout=5)
        self.wait_overlay(self.full_screen(), what="overlay back on the whole screen")


if __name__ == "__main__":
    unittest.main()
