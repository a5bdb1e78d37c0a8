"""Outputs resized, added, turned, scaled and unplugged (on a sway nested in the headless one) under
the grid on headless sway, as grim shows it."""

import json

from harness import BAND_ALPHA, CELL, GRID_TOP, LEFT_BAND, SCREEN, TOP_INSET
from pixels import luma, near, over
from wayland_harness import NestedSwaySession, WaylandTestCase


class OutputReading:
    def state(self):
        return json.loads(self.session.ok("state", "--json"))

    def state_frame(self):
        return self.state()["frame"]

    def bands_reach(self, width, height, output=None):
        """The top band runs to the right edge and the left band to the bottom edge of a
        width x height output."""
        image = self.session.screen(output)
        if (image.width, image.height) != (width, height):
            return False
        background = image.pixel(width // 2, TOP_INSET - 1)
        band = over(background, BAND_ALPHA)
        return (near(image.pixel(width - 3, TOP_INSET + 5), band, 4)
                and near(image.pixel(5, height - 3), over(band, BAND_ALPHA), 4))


class WaylandOutputs(OutputReading, WaylandTestCase):
    def test_a_resized_output_refits_the_grid(self):
        self.addCleanup(self.session.swaymsg, "output", "HEADLESS-1", "resolution", f"{SCREEN[0]}x{SCREEN[1]}")
        self.session.swaymsg("output", "HEADLESS-1", "resolution", "1600x1000")
        self.wait(lambda: self.bands_reach(1600, 1000), "the grid over the grown output")
        self.assertEqual(self.state_frame(), {"x": 0, "y": 0, "width": 1600, "height": 1000})
        self.session.swaymsg("output", "HEADLESS-1", "resolution", "1024x768")
        self.wait(lambda: self.bands_reach(1024, 768), "the grid over the shrunk output")
        self.assertEqual(self.state_frame(), {"x": 0, "y": 0, "width": 1024, "height": 768})

    def test_an_added_output_takes_the_grid_where_it_sits_in_the_layout(self):
        self.session.swaymsg("create_output")
        self.session.swaymsg("output", "HEADLESS-2", "resolution", "800x600", "position", f"{SCREEN[0]} 0")
        self.wait(lambda: f"HEADLESS-2 800x600+{SCREEN[0]}+0" in self.session.cli("screen")[1],
                  "the new output listed where the layout has it")
        self.session.ok("screen", "HEADLESS-2")
        self.wait(lambda: self.bands_reach(800, 600, "HEADLESS-2"), "the grid on the added output")
        self.wait(lambda: not self.session.grid_drawn("HEADLESS-1"), "the grid gone from the first output")
        self.assertEqual(self.state_frame(), {"x": SCREEN[0], "y": 0, "width": 800, "height": 600})

        self.session.swaymsg("output", "HEADLESS-2", "resolution", "640x480")
        self.wait(lambda: self.bands_reach(640, 480, "HEADLESS-2"), "the grid over the resized second output")
        self.session.ok("screen", "HEADLESS-1")
        self.wait(lambda: self.bands_reach(*SCREEN, "HEADLESS-1"), "the grid back on the first output")
        self.assertEqual(self.state_frame(), {"x": 0, "y": 0, "width": SCREEN[0], "height": SCREEN[1]})

    def test_a_turned_output_is_shot_upright(self):
        self.addCleanup(self.session.swaymsg, "output", "HEADLESS-1", "transform", "normal")
        # The compositor copies an output's pixels as the device holds them: a quarter turn, and one
        # flipped as well.
        for transform in ("90", "flipped-270"):
            self.session.swaymsg("output", "HEADLESS-1", "transform", transform)
            self.wait(lambda: self.bands_reach(SCREEN[1], SCREEN[0]), f"the grid over the output turned {transform}")
            # The cursor, drawn into captures, in the bottom right corner where the grid adds nothing.
            self.session.pointer("move", SCREEN[0] - 1, SCREEN[1] - 1)
            with self.subTest(transform=transform):
                self.shoot(f"turned-{transform}.png", self.session.grid_drawn)

    def test_positions_are_the_outputs_pixels_at_a_fractional_scale(self):
        self.addCleanup(self.session.swaymsg, "output", "HEADLESS-1", "resolution", f"{SCREEN[0]}x{SCREEN[1]}", "scale", "1")
        # 960 x 600 points on 1440 x 900 pixels, where wl_output announces a scale of 2.
        self.session.swaymsg("output", "HEADLESS-1", "scale", "1.5")
        self.wait(lambda: self.state()["scale"] == 1.5, "the scale taken")
        self.assertEqual(self.state_frame(), {"x": 0, "y": 0, "width": SCREEN[0], "height": SCREEN[1]})
        c4 = json.loads(self.session.ok("cell", "C4", "--rect", "--json"))
        self.assertEqual(c4, {"cell": "C4", "x": (LEFT_BAND + 2 * CELL) * 3 // 2, "y": (GRID_TOP + 3 * CELL) * 3 // 2,
                              "width": CELL * 3 // 2, "height": CELL * 3 // 2})
        centre = self.session.ok("cell", "C4").split()
        self.assertEqual(self.session.ok("at", *centre), "C4\n")
        # C4's left line is where grim sees it.
        row = self.session.screen().rows(c4["x"] - 8, int(centre[1]), 17, 1)[0]
        brightest = max(range(17), key=lambda i: luma(row[i]))
        self.assertLessEqual(abs(brightest - 8), 1, row)

        # sway rounds 800 / 3 down to 266 points; the 200 points of 600 pixels tell the scale.
        self.session.swaymsg("output", "HEADLESS-1", "resolution", "800x600", "scale", "3")
        self.wait(lambda: self.state()["scale"] == 3, "the scale of 3 taken")
        self.assertEqual(self.state_frame(), {"x": 0, "y": 0, "width": 798, "height": 600})


class UnpluggedOutput(OutputReading, WaylandTestCase):
    @classmethod
    def make_session(cls):
        return NestedSwaySession()

    def test_the_grid_leaves_an_unplugged_output_for_the_one_left(self):
        self.session.swaymsg("create_output")
        # The outer sway tiles the two output windows side by side.
        self.wait(lambda: "WL-2 720x900+720+0" in self.session.cli("screen")[1], "WL-2 listed beside WL-1")
        self.session.ok("screen", "WL-2")
        self.wait(lambda: self.bands_reach(720, 900, "WL-2"), "the grid on WL-2")

        self.session.outer_swaymsg('[title="wlroots - WL-2"] kill')
        self.wait(lambda: "WL-2" not in self.session.cli("screen")[1], "WL-2 gone")
        self.wait(lambda: self.state_frame() == {"x": 0, "y": 0, "width": SCREEN[0], "height": SCREEN[1]},
                  "the grid's frame on WL-1, whole again")
        self.wait(lambda: self.bands_reach(*SCREEN, "WL-1"), "the grid drawn over WL-1")
        self.assertIsNone(self.tavelin.poll())
