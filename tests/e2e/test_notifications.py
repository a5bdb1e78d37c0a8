"""Screenshot failures told where a tray application's user looks: a desktop notification saying
what happened and where the image went, read from a notification server on the test's bus; and a
full disk, which loses the file alone and leaves no part of it behind."""

import os
import shutil
import subprocess
import unittest

import remote
from pathlib import Path
from harness import SCREENSHOT, DesktopTestCase, wait_until


class NotificationTest(DesktopTestCase):
    desktop_options = {"tray_watcher": True}
    hear_notifications = True

    def setUp(self):
        super().setUp()
        self.desktop_dir = os.path.join(self.desktop.home, "Desktop")
        self.addCleanup(self.restore_desktop)

    def restore_desktop(self):
        if os.path.isfile(self.desktop_dir):
            os.remove(self.desktop_dir)
        shutil.rmtree(self.desktop_dir, ignore_errors=True)
        os.makedirs(self.desktop_dir)

    def shot_notification(self):
        self.desktop.menu_click(SCREENSHOT)
        return self.next_notification()

    def test_a_desktop_that_is_no_folder_is_told(self):
        # Root writes into any folder whatever its mode: a file in the folder's place cannot be written into.
        shutil.rmtree(self.desktop_dir)
        Path(self.desktop_dir).write_text("not a folder")
        line = self.shot_notification()
        self.assertIn("not saved: cannot open folder", line)

    def fill_desktop_folder(self):
        """The Desktop folder on a file system of one page: no screenshot fits."""
        if os.geteuid() != 0:
            self.skipTest("mounting a tiny tmpfs for a full disk needs root")
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=4k", "tavelin-full", self.desktop_dir],
                                 capture_output=True, text=True)
        if mounted.returncode != 0:
            self.skipTest(f"cannot mount a tmpfs here: {mounted.stderr.strip()}")
        self.addCleanup(subprocess.run, ["umount", self.desktop_dir], check=True)

    def test_a_full_disk_loses_only_the_file_and_leaves_none_of_it(self):
        self.fill_desktop_folder()
        line = self.shot_notification()
        self.assertEqual(line, "notify Screenshot not saved\tCopied to the clipboard; not saved: cannot write into "
                         f"{self.desktop_dir}: No space left on device.")
        wait_until(lambda: self.desktop.clipboard_png().startswith(b"\x89PNG"), what="the shot on the clipboard")
        self.assertIn("screenshot not saved (copied to the clipboard): cannot write into", self.desktop.tavelin_log())
        self.assertEqual(os.listdir(self.desktop_dir), [], "no partial file left behind")

        # A path of one's own on the full disk: refused in one line, nothing left there either.
        done = remote.tavelin(self.desktop, "shot", os.path.join(self.desktop_dir, "bug.png"))
        self.assertEqual(done.returncode, 1)
        self.assertEqual(done.stderr.count("\n"), 1, done.stderr)
        self.assertIn("No space left on device", done.stderr)
        self.assertEqual(os.listdir(self.desktop_dir), [])


if __name__ == "__main__":
    unittest.main()
