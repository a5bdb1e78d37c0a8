"""The five shortcuts through the GlobalShortcuts portal: the real xdg-desktop-portal frontend with a
backend of the test's own that stands in for the desktop's key handling. Tavelin binds the five with
their descriptions and suggested keys; a shortcut the desktop fires toggles the grid on screen (grim)."""

import unittest

from portal_harness import PortalTestCase

EXPECTED = {
    "grid-toggle": "LOGO+SHIFT+g", "pick-window": "LOGO+SHIFT+w", "labels-toggle": "LOGO+SHIFT+l",
    "screenshot": "LOGO+SHIFT+s", "adjust-toggle": "LOGO+SHIFT+a",
}


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


if __name__ == "__main__":
    unittest.main()
