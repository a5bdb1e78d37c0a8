"""A headless sway session with the desktop's portals on its bus: the real xdg-desktop-portal and
xdg-desktop-portal-wlr (which needs PipeWire), and the test's own backend (portal_backend.py) for
Access and, when asked, GlobalShortcuts."""

import os
import select
import shutil
import subprocess
import sys
from pathlib import Path

from harness import wait_until
from wayland_harness import WaylandSession, WaylandTestCase

FRONTEND = "/usr/libexec/xdg-desktop-portal"
WLR_BACKEND = "/usr/libexec/xdg-desktop-portal-wlr"
TEST_BACKEND = os.path.join(os.path.dirname(os.path.abspath(__file__)), "portal_backend.py")
TEST_BUS_NAME = "org.tavelin.test.Portal"
# The frontend chooses backends by the desktop's name among the .portal files of its folder.
TEST_DESKTOP = "tavelin-test"




class PortalSession(WaylandSession):
    def __init__(self, shortcuts=False):
        self.with_shortcuts = shortcuts
        super().__init__()

    def _start_compositor(self):
        super()._start_compositor()
        portals = os.path.join(self.dir, "portals")
        os.makedirs(portals)
        shutil.copy("/usr/share/xdg-desktop-portal/portals/wlr.portal", portals)
        interfaces = "org.freedesktop.impl.portal.Access;"
        if self.with_shortcuts:
            interfaces += "org.freedesktop.impl.portal.GlobalShortcuts;"
        Path(portals, "tavelin-test.portal").write_text(
            f"[portal]\nDBusName={TEST_BUS_NAME}\nInterfaces={interfaces}\nUseIn={TEST_DESKTOP}\n")
        self.portal_log = os.path.join(self.dir, "portal.log")
        with open(self.portal_log, "wb") as log:   # the children keep their own copies
            # xdg-desktop-portal-wlr will not start without PipeWire, which its screen casts use.
            self._spawn(["pipewire"], stderr=log)
            wait_until(lambda: os.path.exists(os.path.join(self.runtime, "pipewire-0")), timeout=20,
                       what="PipeWire's socket")
            # Each started here, not by the bus, whose environment knows neither sway nor the folder.
            self._spawn([WLR_BACKEND], stderr=log)
            self.wait_for_name("org.freedesktop.impl.portal.desktop.wlr")
            self.backend = self._spawn([sys.executable, TEST_BACKEND, TEST_BUS_NAME],
                                       stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=log)
            if self.backend.stdout.readline() != b"ready\n":
                raise AssertionError("the test's portal backend did not start")
            self._spawn([FRONTEND, "--replace", "-v"], stderr=log, extra={
                "XDG_DESKTOP_PORTAL_DIR": portals, "XDG_CURRENT_DESKTOP": f"{TEST_DESKTOP}:sway"})
            self.wait_for_name("org.freedesktop.portal.Desktop")

    def wait_for_name(self, name):
        def owned():
            result = self.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                               "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", f"string:{name}"])
            return b"boolean true" in result.stdout
        try:
            wait_until(owned, timeout=20, interval=0.1, what=f"{name} on the session bus")
        except AssertionError as e:
            raise AssertionError(f"{e}; the portals said: {self.portal_stderr()}") from None

    def backend_line(self, timeout=20):
        """The next line the test's backend reports (bound shortcuts, activations)."""
        if not select.select([self.backend.stdout], [], [], timeout)[0]:
            raise AssertionError(f"the test's portal backend said nothing in {timeout}s; Tavelin said: "
                                 f"{self.stderr()}; the portals said: {self.portal_stderr()}")
        return self.backend.stdout.readline().decode().rstrip("\n")

    def activate(self, shortcut_id):
        self.backend.stdin.write(f"activate {shortcut_id}\n".encode())
        self.backend.stdin.flush()
        answer = self.backend_line()
        if answer != f"activated {shortcut_id}":
            raise AssertionError(f"the shortcuts backend did not activate {shortcut_id}: {answer!r}")

    def logs(self):
        return f"{self.stderr()}; the portals said: {self.portal_stderr()}"

    def portal_stderr(self):
        return Path(self.portal_log).read_text(errors="replace")


class PortalTestCase(WaylandTestCase):
    """A WaylandTestCase on a PortalSession, with the shortcuts backend when shortcuts is set."""

    tools = ("pipewire",)
    shortcuts = False

    @classmethod
    def missing(cls):
        return super().missing() + [p for p in (FRONTEND, WLR_BACKEND) if not os.path.exists(p)]

    @classmethod
    def make_session(cls):
        return PortalSession(shortcuts=cls.shortcuts)
