"""The desktop's portals on headless sway: the real xdg-desktop-portal frontend, with
xdg-desktop-portal-wlr and a backend of the test's own. Screenshots through the Screenshot portal,
the route where the compositor offers no screencopy (KWin), Tavelin sent that way by
TAVELIN_WAYLAND_CAPTURE=portal: the file equals what grim reads off the screen with the grid (one
grid, not two), the clipboard holds the same PNG, the portal's own file is gone, and a portal that
fails leaves nothing written and says so. The five shortcuts through the GlobalShortcuts portal,
whose backend stands in for the desktop's key handling: Tavelin binds the five with their
descriptions and suggested keys; a shortcut the desktop fires toggles the grid on screen (grim)."""

import os
from pathlib import Path

from gridlines import C4_BOX
from pixels import Image, differing, ink
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
        session = self.session
        path = os.path.join(session.home, "bug.png")
        session.ok("shot", path)
        self.wait(session.grid_drawn, "the grid back after the shot")
        shot, screen = Image.from_png(path), session.screen()
        self.assertEqual((shot.width, shot.height), (screen.width, screen.height))
        self.assertEqual(differing(shot.rows(), screen.rows()), 0)
        # The portal wrote it for this shot alone, as the session's user: read, then removed.
        self.assertFalse(os.path.exists(WLR_SHOT))

    def test_menu_shot_goes_to_the_desktop_and_the_clipboard(self):
        session = self.session
        saved = Path(session.ok("shot").strip()).read_bytes()
        pasted = session.run(["wl-paste", "--no-newline", "-t", "image/png"])
        self.assertEqual(pasted.returncode, 0, pasted.stderr)
        self.assertEqual(pasted.stdout, saved)

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
