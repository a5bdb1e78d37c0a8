"""A followed window that is not shown (minimized, or on another desktop): the grid leaves the screen
while it is away and comes back over it when it is shown again, and a screenshot meanwhile is
refused where the user learns of it (a notification, stderr, the command's exit status)."""

import os
import unittest

import remote
import test_window_target as targets
from harness import wait_until

NOT_SHOWN = "the window the grid follows is not on screen (minimized, or on another desktop)"


class HiddenTargetTest(targets.WindowTargetCase):
    desktop_options = {"tray_watcher": True}
    hear_notifications = True

    def follow(self, title, x, y):
        _, window = self.xterm(x, y, title)
        remote.ok(self.desktop, "follow", window)
        frame = self.desktop.frame(window)
        self.wait_overlay(frame, what="the grid over the followed window")
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
        window, frame = self.follow("minimized", 200, 150)
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
        window, frame = self.follow("elsewhere", 300, 200)

        self.desktop.run(["xdotool", "set_desktop_for_window", str(window), "1"], check=True)
        self.wait_grid_gone("the grid gone with the window to the other desktop")
        self.assert_shot_refused(shot_by_key=True)

        self.desktop.switch_desktop(1)
        self.wait_overlay(frame, what="the grid over the window on the desktop it went to")
        self.desktop.switch_desktop(0)
        self.wait_grid_gone("the grid gone again from the desktop the window left")


if __name__ == "__main__":
    unittest.main()
