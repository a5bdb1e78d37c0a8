"""Screens changing while Tavelin runs (RandR on Xvfb), and the grid put on a screen by name."""

from harness import CELL, GRID_TOP, LEFT_BAND, TOP_INSET, DesktopTestCase, wait_until
from pixels import band_shows
from remote import ok, piped_shot, state, tavelin

# Xvfb cannot grow past the size it starts with: start it large, then run it at smaller modes.
LARGEST = (2400, 1200)
MODES = {"1440x900": (1440, 900), "1920x1080": (1920, 1080)}


class ScreensTest(DesktopTestCase):
    desktop_options = {"width": LARGEST[0], "height": LARGEST[1]}
    start_tavelin = False

    @classmethod
    def prepare_desktop(cls):
        for name, (w, h) in MODES.items():
            cls.xrandr("--newmode", name, "0", w, "0", "0", "0", h, "0", "0", "0")
            cls.xrandr("--addmode", "screen", name)

    @classmethod
    def xrandr(cls, *args):
        cls.desktop.run(["xrandr"] + [str(a) for a in args], check=True)

    def setUp(self):
        for monitor in self.monitor_names():
            if monitor != "screen":
                self.xrandr("--delmonitor", monitor)
        self.xrandr("--output", "screen", "--mode", "1440x900", "--fb", "1440x900")
        self.tavelin = self.desktop.start_tavelin()
        self.overlay = self.desktop.overlay_window()
        self.wait_overlay((0, 0, 1440, 900))

    def tearDown(self):
        ok(self.desktop, "quit")
        self.tavelin.wait(timeout=10)

    def monitor_names(self):
        lines = self.desktop.run(["xrandr", "--listmonitors"]).splitlines()[1:]
        return [line.split()[1].lstrip("+*") for line in lines]

    def test_a_mode_change_refits_the_grid_and_the_shots(self):
        self.xrandr("--output", "screen", "--mode", "1920x1080", "--fb", "1920x1080")
        self.wait_overlay((0, 0, 1920, 1080))
        s = state(self.desktop)
        self.assertEqual((s["frame"]["width"], s["frame"]["height"], s["columns"], s["rows"]),
                         (1920, 1080, (1920 - LEFT_BAND) // CELL, (1080 - GRID_TOP) // CELL))
        wait_until(lambda: band_shows(self.desktop.pixel, TOP_INSET, 1900), what="the band drawn out to the new right edge")
        # W12 is the last whole cell: column 22, row 11.
        self.assertEqual(ok(self.desktop, "cell", "W12"), "%d %d\n" % (LEFT_BAND + 22 * CELL + 40, GRID_TOP + 11 * CELL + 40))

        image = piped_shot(self.desktop)
        self.assertEqual((image.width, image.height), (1920, 1080), "the whole new screen, not the start size")
        self.assertTrue(band_shows(image.pixel, TOP_INSET, 1900), "the grid in the shot reaches the new edge")

        self.xrandr("--output", "screen", "--mode", "1440x900", "--fb", "1440x900")
        self.wait_overlay((0, 0, 1440, 900))

    def test_monitors_added_and_removed_while_running(self):
        # The output keeps 1440x900 at the left of a wider root; a second monitor fills the rest.
        self.xrandr("--output", "screen", "--mode", "1440x900", "--fb", "2400x900")
        self.xrandr("--setmonitor", "side", "960/254x900/238+1440+0", "none")
        wait_until(lambda: "side" in ok(self.desktop, "screen"), what="the new monitor listed")
        self.assertEqual(ok(self.desktop, "screen"), "* screen 1440x900+0+0 primary\n  side 960x900+1440+0\n")
        self.wait_overlay((0, 0, 1440, 900))   # a screen added elsewhere leaves the grid where it is

        ok(self.desktop, "screen", "side")
        self.wait_overlay((1440, 0, 960, 900))
        self.assertEqual(ok(self.desktop, "screen"), "  screen 1440x900+0+0 primary\n* side 960x900+1440+0\n")
        self.assertEqual(state(self.desktop)["target"], {"screen": "side"})
        wait_until(lambda: [band_shows(self.desktop.pixel, TOP_INSET, x) for x in (1480, 1400)] == [True, False],
                   what="the grid on the side")
        a1 = (1440 + LEFT_BAND + 40, GRID_TOP + 40)
        self.assertEqual(ok(self.desktop, "cell", "A1"), "%d %d\n" % a1)
        self.assertEqual(ok(self.desktop, "at", *a1), "A1\n")
        shot = piped_shot(self.desktop)
        self.assertEqual((shot.width, shot.height), (960, 900), "the shot is of the grid's screen")

        self.xrandr("--delmonitor", "side")
        self.wait_overlay((0, 0, 1440, 900))
        self.assertEqual(state(self.desktop)["target"], {"screen": "screen"}, "back on the primary screen")
        refused = tavelin(self.desktop, "screen", "side")
        self.assertEqual((refused.returncode, refused.stderr),
                         (1, 'tavelin: no screen named "side" (screens: screen)\n'))

        # Any client can name a monitor: an escape sequence in the name is spelled out, never sent to the terminal.
        self.xrandr("--setmonitor", "odd\x1b[2J", "960/254x900/238+1440+0", "none")
        self.addCleanup(self.xrandr, "--delmonitor", "odd\x1b[2J")
        wait_until(lambda: "odd" in ok(self.desktop, "screen"), what="the odd monitor listed")
        self.assertEqual(ok(self.desktop, "screen"), "* screen 1440x900+0+0 primary\n  odd\\x1b[2J 960x900+1440+0\n")
        refused = tavelin(self.desktop, "screen", "side\x1b]0;title\x07")
        self.assertEqual((refused.returncode, refused.stderr), (1, 'tavelin: no screen named "side\\x1b]0;title\\x07" '
                                                                   '(screens: screen, odd\\x1b[2J)\n'))
