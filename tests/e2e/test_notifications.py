"""Screenshot failures told where a tray application's user looks: a desktop notification saying
what happened and where the image went, read from a notification server on the test's bus."""

import os
import shutil
import subprocess
import sys
import unittest

from harness import SCREENSHOT, DesktopTestCase, LineReader, wait_until

SHOT_TIMEOUT = 15.0


class NotificationTest(DesktopTestCase):
    desktop_options = {"tray_watcher": True}

    def setUp(self):
        super().setUp()
        self.notifications = LineReader(self.spawn(
            [sys.executable, os.path.join(os.path.dirname(__file__), "traybus.py"), "notifications"],
            stdout=subprocess.PIPE))
        self.notifications.next_matching("ready")
        self.desktop_dir = os.path.join(self.desktop.home, "Desktop")
        self.addCleanup(self.restore_desktop)

    def restore_desktop(self):
        if os.path.isfile(self.desktop_dir):
            os.remove(self.desktop_dir)
        shutil.rmtree(self.desktop_dir, ignore_errors=True)
        os.makedirs(self.desktop_dir)

    def shot_notification(self):
        self.desktop.menu_click(SCREENSHOT)
        return self.notifications.next_matching("notify", timeout=SHOT_TIMEOUT)

    def test_a_missing_desktop_folder_is_told_with_the_clipboard_holding_the_shot(self):
        shutil.rmtree(self.desktop_dir)
        line = self.shot_notification()
        self.assertTrue(line.startswith("notify Screenshot not saved\tCopied to the clipboard; not saved: "), line)
        self.assertIn(self.desktop_dir, line)
        wait_until(lambda: self.desktop.clipboard_png().startswith(b"\x89PNG"), what="the shot on the clipboard")
        self.assertIn("screenshot not saved", self.desktop.tavelin_log())

    def test_a_desktop_that_is_no_folder_is_told(self):
        # Root writes into any folder whatever its mode: a file in the folder's place cannot be written into.
        shutil.rmtree(self.desktop_dir)
        with open(self.desktop_dir, "w") as f:
            f.write("not a folder")
        line = self.shot_notification()
        self.assertIn("not saved: cannot open folder", line)


if __name__ == "__main__":
    unittest.main()
