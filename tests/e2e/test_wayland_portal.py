"""The desktop's portals on headless sway (the real frontend, xdg-desktop-portal-wlr and a backend of
the test's own): shots through the Screenshot portal, the route where the compositor has no
screencopy (KWin), and the five shortcuts bound and fired through the GlobalShortcuts portal."""

import os

from gridlines import C4_BOX
from pixels import ink
from portal_harness import PortalTestCase

# Where xdg-desktop-portal-wlr 0.7 has grim write every shot.
WLR_SHOT = "/tmp/out.png"
# The five shortcuts and the keys Tavelin suggests for them.
EXPECTED = {
    "grid-toggle": "LOGO+SHIFT+g", "pick-window": "LOGO+SHIFT+w", "labels-toggle": "LOGO+SHIFT+l",
    "screenshot": "LOGO+SHIFT+s", "adjust-toggle": "LOGO+SHIFT+a",
}


class WaylandPortalScreenshot(PortalTestCase):
    tavelin_env = {"TAVELIN_WAYLAND_CAPTURE": "portal"}

    @classmethod
    def prepare_session(cls):
        cls.session.run(["mkdir", "-p", os.path.join(cls.session.home, "Desktop")], check=True)
        cls.session.ok("labels", "on")
        cls.wait(lambda: ink(cls.session.screen().rows(*C4_BOX)) > 10, "cell names on the screen")

    def test_file_equals_the_screen_with_its_grid_and_the_portal_file_goes(self):
        self.shoot("bug.png", self.session.grid_drawn)
        # The portal wrote it for this shot alone, as the session's user: read, then removed.
        self.assertFalse(os.path.exists(WLR_SHOT))

    def test_a_failing_portal_writes_nothing_and_says_why(self):
        session = self.session
        # grim cannot replace a folder: the backend's shot fails and the portal answers so.
        os.mkdir(WLR_SHOT)
        try:
            path = os.path.join(session.home, "never.png")
            status, _, err = session.cli("shot", path)
            self.assertEqual(status, 1)
            self.assertIn("could not be taken", err)
            self.assertFalse(os.path.exists(path))
            self.assertIn("failed in the desktop's portal", session.stderr())
            self.wait(session.grid_drawn, "the grid back after the failure")
        finally:
            os.rmdir(WLR_SHOT)


class WaylandPortalShortcuts(PortalTestCase):
    shortcuts = True

    def test_binds_the_five_and_an_activation_toggles_the_grid(self):
        session = self.session
        # The backend reports the bind once Tavelin's session asked for it; blocks until then.
        line = session.backend_line()
        self.assertTrue(line.startswith("bound "), line)
        bound = {sid: (description, trigger) for sid, description, trigger in
                 (entry.split("|") for entry in line[len("bound "):].split(","))}
        self.assertEqual({sid: trigger for sid, (_, trigger) in bound.items()}, EXPECTED)
        self.assertTrue(all(description for description, _ in bound.values()))

        session.activate("grid-toggle")
        self.wait(lambda: not session.grid_drawn(), "the grid hidden by the portal")
        session.activate("grid-toggle")
        self.wait(session.grid_drawn, "the grid back by the portal")
        self.assertNotIn("shortcuts portal", session.stderr())
