"""Target windows that misreport themselves or are off screen: grid and shot keep to what is seen."""

import os

import remote
import test_window_target as targets
from harness import NOT_SHOWN, wait_until
from pixels import Image


class OddTargetTest(targets.WindowTargetCase):
    desktop_options = {"tray_watcher": True}
    hear_notifications = True

    def follow(self, window, expected):
        remote.ok(self.desktop, "follow", window)
        self.wait_overlay(expected, what="the grid")

    def shot_size(self, name):
        path = os.path.join(self.desktop.home, name)
        remote.ok(self.desktop, "shot", path)
        shot = Image.from_png(path)
        return shot.width, shot.height

    def set_frame_extents(self, window, extent):
        value = ",".join([str(extent)] * 4)
        self.desktop.run(["xprop", "-id", str(window), "-f", "_NET_FRAME_EXTENTS", "32c", "-set",
                          "_NET_FRAME_EXTENTS", value], check=True)
        wait_until(lambda: f"= {extent}, {extent}" in self.desktop.run(
            ["xprop", "-id", str(window), "_NET_FRAME_EXTENTS"]), what="frame extents set")

    def test_frame_extents_and_a_window_past_the_screen_keep_grid_and_shot_to_what_is_seen(self):
        # Frame extents anyone may set reach no further than the frame window.
        _, window = self.xterm(100, 80, "extents")
        frame = self.desktop.frame(window)
        for extent in (3000, 32767):
            with self.subTest(extent=extent):
                self.set_frame_extents(window, extent)
                self.follow(window, frame)
                self.assertEqual(self.shot_size(f"extents-{extent}.png"), frame[2:])
                remote.ok(self.desktop, "full-screen")
        self.assertNotIn("QPainter", self.desktop.tavelin_log())

        # A window reaching past the screen's edge: grid and shot stay on the screen.
        _, window = self.xterm(100, 80, "past-the-edge", cols=120, rows=40)
        self.desktop.run(["xdotool", "windowmove", str(window), "900", "-150"], check=True)
        wait_until(lambda: self.desktop.frame(window)[0] >= 850, what="window moved")
        x, y, w, h = self.desktop.settled_frame(window)
        self.assertGreater(x + w, self.desktop.width, "the window should reach past the right edge")
        visible = (x, max(y, 0), self.desktop.width - x, min(y + h, self.desktop.height) - max(y, 0))
        self.follow(window, visible)
        self.assertEqual(self.shot_size("past-the-edge.png"), visible[2:])
        self.assertEqual(remote.state(self.desktop)["target"], {"window": window})


    def follow_xterm(self, title, x, y):
        _, window = self.xterm(x, y, title)
        frame = self.desktop.frame(window)
        self.follow(window, frame)
        return window, frame

    def wait_grid_gone(self, what):
        wait_until(lambda: self.desktop.overlay_id() is None, timeout=10, what=what)

    def assert_shot_refused(self, shot_by_key):
        desktop_dir = os.path.join(self.desktop.home, "Desktop")
        if shot_by_key:
            self.desktop.key("super+shift+s")
        else:
            done = remote.tavelin(self.desktop, "shot")
            self.assertEqual(done.returncode, 1, done.stderr)
            self.assertEqual(done.stderr, f"tavelin: the screenshot could not be taken: {NOT_SHOWN}\n")
        self.assertEqual(self.next_notification(), f"notify Screenshot failed\tNothing was saved or copied: {NOT_SHOWN}.")
        self.assertEqual(os.listdir(desktop_dir), [])
        self.assertIn(f"screenshot failed: {NOT_SHOWN}", self.desktop.tavelin_log())

    def test_a_minimized_target_takes_the_grid_along_and_brings_it_back(self):
        window, frame = self.follow_xterm("minimized", 200, 150)
        self.desktop.run(["xdotool", "windowminimize", str(window)], check=True)
        self.wait_grid_gone("the grid gone with the minimized window")
        self.assertEqual(remote.state(self.desktop)["target"], {"window": window}, "still the target")
        self.assert_shot_refused(shot_by_key=False)

        self.desktop.run(["xdotool", "windowactivate", str(window)], check=True)
        self.wait_overlay(frame, what="the grid back over the restored window")

    def test_a_target_on_another_desktop_has_its_grid_there_only(self):
        self.addCleanup(self.desktop.set_desktop_count, 1)
        self.addCleanup(self.desktop.run, ["xdotool", "set_desktop", "0"])
        self.desktop.set_desktop_count(2)
        window, frame = self.follow_xterm("elsewhere", 300, 200)

        self.desktop.run(["xdotool", "set_desktop_for_window", str(window), "1"], check=True)
        self.wait_grid_gone("the grid gone with the window to the other desktop")
        self.assert_shot_refused(shot_by_key=True)

        self.desktop.switch_desktop(1)
        self.wait_overlay(frame, what="the grid over the window on the desktop it went to")
        self.desktop.switch_desktop(0)
        self.wait_grid_gone("the grid gone again from the desktop the window left")
