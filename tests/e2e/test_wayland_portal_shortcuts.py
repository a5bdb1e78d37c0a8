"""The five shortcuts through the GlobalShortcuts portal: the real xdg-desktop-portal frontend with a
backend of the test's own that stands in for the desktop's key handling. Tavelin binds the five with
their descriptions and suggested keys; a shortcut the desktop fires toggles the grid on screen (grim)."""

import unittest

from harness import wait_until
from portal_harness import PortalSession, missing_portals
from wayland_harness import missing_tools

EXPECTED = {
    "grid-toggle": "LOGO+SHIFT+g", "pick-window": "LOGO+SHIFT+w", "labels-toggle": "LOGO+SHIFT+l",
    "screenshot": "LOGO+SHIFT+s", "adjust-toggle": "LOGO+SHIFT+a",
}


class WaylandPortalShortcuts(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        missing = missing_tools() + missing_portals()
        if missing:
            raise unittest.SkipTest("not installed: " + ", ".join(missing))
        cls.session = PortalSession(shortcuts=True)
        cls.session.start_tavelin()
        wait_until(cls.session.grid_drawn, timeout=20, interval=0.2, what="the grid on the Wayland screen")

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

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
        wait_until(lambda: not session.grid_drawn(), timeout=10, interval=0.2, what="the grid hidden by the portal")
        session.activate("grid-toggle")
        wait_until(session.grid_drawn, timeout=10, interval=0.2, what="the grid back by the portal")
        self.assertNotIn("shortcuts portal", session.stderr())


if __name__ == "__main__":
    unittest.main()
