"""Laying the grid over one window: picking it with a click, following it, and falling back to the screen."""

import subprocess
import time

from harness import FULL_SCREEN, PROBE, SELECT_WINDOW, DesktopTestCase, LineReader, end, wait_until
from pixels import luma

# Far beyond any test's length: what follows a window here is the desktop's word, never the poll.
NO_POLL = {"TAVELIN_FOLLOW_POLL_SECONDS": "3600"}
GRAB_GIVE_UP_TIMEOUT = 6.0


class WindowTargetCase(DesktopTestCase):

    def full_screen(self):
        return (0, 0, self.desktop.width, self.desktop.height)

    def picked_xterm(self, x, y, title):
        """An xterm picked by a press inside it, the grid laid on its frame: (process, window, frame)."""
        p, window = self.xterm(x, y, title)
        frame = self.desktop.frame(window)
        self.desktop.pick(frame[0] + 30, frame[1] + 30)
        self.wait_overlay(frame, what=f"overlay over the xterm {title}")
        return p, window, frame

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
        first_frame = self.desktop.frame(first_window)
        band_spot = (first_frame[0] + 8, first_frame[1] + 60)   # where the row ruler will lie
        before = luma(self.desktop.pixel(*band_spot))

        # A click on the title bar picks the window: decorations belong to it.
        self.desktop.pick(first_frame[0] + 40, first_frame[1] + 8)
        self.wait_overlay(first_frame, what="overlay over the first xterm's frame")
        self.assert_menu_target(window_checked=True)
        wait_until(lambda: luma(self.desktop.pixel(*band_spot)) < before - 3,
                   what="the translucent ruler band drawn over the window's left edge")

        self.wait_overlay(self.desktop.move(first_window, 300, 250), what="overlay following the move")
        self.desktop.run(["xdotool", "windowsize", str(first_window), "500", "320"], check=True)
        wait_until(lambda: self.desktop.frame(first_window)[2:] != first_frame[2:], what="xterm resized")
        resized = self.desktop.frame(first_window)
        self.wait_overlay(resized, what="overlay following the resize")
        self.desktop.move(second_window, 20, 500)
        self.wait_overlay(resized, what="overlay staying when another window moves")

        end(first)
        wait_until(lambda: not self.desktop.find_window("first"), what="xterm gone")
        self.wait_overlay(self.full_screen(), what="overlay back on the whole screen")
        self.assert_menu_target(window_checked=False)

    def test_window_kept_above_is_passed_over_for_the_one_beneath_and_the_tray_marks_the_target(self):
        _, below_window = self.xterm(100, 100, "below")
        _, above_window = self.xterm(250, 200, "above", cols=40, rows=10)
        self.desktop.probe("wm-state", above_window, "add", "_NET_WM_STATE_ABOVE")
        wait_until(lambda: "_NET_WM_STATE_ABOVE" in self.desktop.run(
            ["xprop", "-id", str(above_window), "_NET_WM_STATE"]), what="window kept above")
        below, above = self.desktop.frame(below_window), self.desktop.frame(above_window)
        # A point inside both: the kept-above window is in front there.
        x, y = above[0] + 30, above[1] + 40
        self.assertTrue(below[0] <= x < below[0] + below[2] and below[1] <= y < below[1] + below[3])

        # Started from the tray menu this time: its mark moves once a window is picked.
        self.desktop.menu_click(SELECT_WINDOW)
        self.desktop.wait_selecting()
        self.assertFalse(self.desktop.menu_row(SELECT_WINDOW).checked, "checked while the pick waits")
        self.desktop.click(x, y)
        self.wait_overlay(below, what="overlay over the window beneath")
        self.assert_menu_target(window_checked=True)
        self.desktop.menu_click(FULL_SCREEN)
        self.wait_overlay(self.full_screen(), what="overlay back on the screen by the menu")
        self.assert_menu_target(window_checked=False)

        # Where only the kept-above window is, nothing ordinary is hit: the whole screen.
        self.desktop.pick(above[0] + above[2] - 5, above[1] + above[3] - 5)
        self.wait_overlay(self.full_screen())
        self.desktop.menu_click(FULL_SCREEN)   # choosing the current target again keeps its mark
        self.assert_menu_target(window_checked=False)

    def test_the_press_picks_a_window_without_a_pid_and_never_reaches_it(self):
        # xev sets no _NET_WM_PID, as many older and remote X clients do.
        xev = LineReader(self.spawn(["stdbuf", "-oL", "xev", "-geometry", "300x200+500+300", "-name", "xev-target",
                                     "-event", "button"], stdout=subprocess.PIPE))
        window = wait_until(lambda: self.desktop.find_window("xev-target"), what="xev")
        frame = self.desktop.settled_frame(window)
        self.assertIn("not found", self.desktop.run(["xprop", "-id", str(window), "_NET_WM_PID"]))
        inside = (frame[0] + 150, frame[1] + 120)

        # Pressed on the window, released far from it: the press decides.
        self.desktop.key("super+shift+w")
        self.desktop.wait_selecting()
        self.desktop.drag(inside, (5, 880))
        self.wait_overlay(frame, what="overlay over the window the button went down on")
        with self.assertRaises(AssertionError, msg="the picking click went through to the window"):
            xev.next_matching("Button", timeout=0.3)

        self.desktop.click(*inside)
        self.assertEqual([xev.next_matching("Button").split()[0] for _ in range(2)], ["ButtonPress", "ButtonRelease"])

    def test_pointer_held_by_another_client_and_a_click_on_the_empty_desktop(self):
        _, window = self.xterm(200, 150, "target")
        frame = self.desktop.frame(window)
        centre = (frame[0] + frame[2] // 2, frame[1] + frame[3] // 2)

        # A short grab (a menu closing) only delays the selection.
        holder = self.hold_pointer(0.5)
        self.desktop.key("super+shift+w")
        holder.wait(timeout=5)
        self.desktop.wait_selecting()
        self.desktop.click(*centre)
        self.wait_overlay(frame, what="overlay over the xterm after the grab was released")

        # A grab that is never released ends the selection and shows the grid again.
        holder = self.hold_pointer(8)
        self.desktop.key("super+shift+w")
        wait_until(lambda: self.desktop.overlay_id() is None, what="overlay hidden for the selection")
        self.wait_overlay(frame, timeout=GRAB_GIVE_UP_TIMEOUT, what="overlay shown again")
        end(holder)
        # No selection is left pending: the next click picks nothing, and a new selection works.
        self.assertFalse(self.desktop.grabbed())
        self.desktop.click(100, 850)
        time.sleep(0.5)
        self.assertEqual(self.desktop.overlay_rect(), frame)
        self.desktop.pick(100, 850)   # on the empty desktop
        self.wait_overlay(self.full_screen())
        self.assert_menu_target(window_checked=False)
        self.desktop.move(window, 400, 300)
        self.wait_overlay(self.full_screen(), what="overlay no longer following the xterm")

    def hold_pointer(self, seconds):
        holder = self.spawn([*PROBE, "hold-grab", "pointer", str(seconds)], stdout=subprocess.PIPE, text=True)
        self.assertEqual(holder.stdout.readline().strip(), "grabbed")
        return holder


class FollowedWithoutPollTest(WindowTargetCase):
    """With the poll that follows a window an hour apart, the window's own events alone move the grid."""

    desktop_options = {"tray_watcher": True}
    tavelin_env = NO_POLL

    def test_moves_resizes_unmapping_and_closing_are_followed_at_once(self):
        _, window, frame = self.picked_xterm(100, 80, "watched")
        for x, y in ((300, 250), (310, 250), (40, 400)):
            self.wait_overlay(self.desktop.move(window, x, y), what=f"overlay following the move to {x},{y}")
        self.desktop.run(["xdotool", "windowsize", str(window), "500", "320"], check=True)
        wait_until(lambda: self.desktop.frame(window)[2:] != frame[2:], what="xterm resized")
        self.wait_overlay(self.desktop.frame(window), what="overlay following the resize")

        # Withdrawn by its application: the window manager drops it, the grid returns to the screen.
        self.desktop.run(["xdotool", "windowunmap", str(window)], check=True)
        self.wait_overlay(self.full_screen(), what="overlay back on the screen after the unmap")
        self.desktop.run(["xdotool", "windowmap", str(window)], check=True)
        wait_until(lambda: self.desktop.find_window("watched"), what="xterm mapped again")

        second, _, _ = self.picked_xterm(600, 300, "closed")
        end(second)
        self.wait_overlay(self.full_screen(), what="overlay back on the screen after the close")
        self.assert_menu_target(window_checked=False)


class WindowTargetWithoutManagerTest(WindowTargetCase):
    """A bare X server: no window manager lists the windows, the root's children stand in; the
    window's own events move the grid (no poll runs)."""

    desktop_options = {"window_manager": False, "compositor": False}
    tavelin_env = NO_POLL

    def test_picked_window_is_covered_and_followed(self):
        p, window, _ = self.picked_xterm(150, 120, "bare")
        self.wait_overlay(self.desktop.move(window, 400, 300), what="overlay following the move")
        end(p)
        self.wait_overlay(self.full_screen(), what="overlay back on the whole screen")
