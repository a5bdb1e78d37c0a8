"""Desktop notifications as a test reads them: a notification server (traybus.py) on the test
desktop's session bus, started for each test, with the lines it prints one per Notify call."""

import os
import subprocess
import sys

from harness import LineReader

# Bounds only how long a broken build may hang.
NOTICE_TIMEOUT = 15.0


class NotificationsHeard:
    """A mixin for DesktopTestCase: self.notifications holds the server's lines from setUp on."""

    def setUp(self):
        super().setUp()
        self.notifications = LineReader(self.spawn(
            [sys.executable, os.path.join(os.path.dirname(__file__), "traybus.py"), "notifications"],
            stdout=subprocess.PIPE))
        self.notifications.next_matching("ready")

    def next_notification(self):
        """The next notification as "notify SUMMARY\\tBODY"."""
        return self.notifications.next_matching("notify", timeout=NOTICE_TIMEOUT)
