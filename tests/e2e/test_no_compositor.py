"""The grid without a compositing manager: a window shaped to opaque drawing, clicks, adjust mode and shots."""

from harness import BAND_ALPHA, CELL, COLS, GRID_TOP, LEFT_BAND, ROWS, SCREEN, TOP_INSET, DesktopTestCase, wait_until
from pixels import Image, luma, near, over

# The desktop beneath: a light stripe on the left half, a dark one on the right.
LIGHT, DARK = (0xe8, 0xe4, 0xd8), (0x20, 0x30, 0x40)
SPLIT = SCREEN[0] // 2
# Points of the top band between headers and lines, over the light and the dark half.
BAND_PROBES = (LEFT_BAND + 3 * CELL + 10, LEFT_BAND + 11 * CELL + 10)
WHITE, BLACK, RED, TEAL = (255, 255, 255), (0, 0, 0), (255, 0, 0), (0x20, 0x80, 0x80)
WHOLE_WINDOW = (0, 0, SCREEN[0], SCREEN[1])


def wallpaper(x):
    return LIGHT if x < SPLIT else DARK


class NoCompositorTest(DesktopTestCase):
    desktop_options = {"compositor": False}
    tavelin_env = {"TAVELIN_TRACE": "1"}

    @classmethod
    def prepare_desktop(cls):
        cls.desktop.wallpaper(LIGHT, DARK)

    def setUp(self):
        self.assertFalse(self.desktop.has_owner("_NET_WM_CM_S0"))
        super().setUp()
        self.wait_for_solid()

    def band_pixels(self):
        return [self.desktop.pixel(x, TOP_INSET + 5) for x in BAND_PROBES]

    def is_solid(self):
        """Rulers opaque: the same dark grey over the light and the dark half, and the desktop above
        them. Right after a compositor stops, the translucent drawing shows unblended, as black over
        the whole window, until Tavelin has drawn and shaped it afresh."""
        left, right = self.band_pixels()
        above = BAND_PROBES[0], 3
        return left == right and 10 < luma(left) < 100 and self.desktop.pixel(*above) == wallpaper(above[0])

    def wait_for_solid(self):
        wait_until(self.is_solid, timeout=10, what="the grid drawn solid")

    def assert_cut_to_the_drawing(self):
        count, rectangles = self.desktop.shape(self.overlay)
        self.assertGreater(count, 2 * (COLS + ROWS))
        self.assertNotIn(WHOLE_WINDOW, rectangles)

    def test_desktop_shows_around_opaque_lines_rulers_and_headers(self):
        px = self.desktop.root_image().pixel

        # Away from what is drawn the desktop itself shows, on both halves: never black.
        for x in range(0, SCREEN[0], 7):
            self.assertEqual(px(x, 3), wallpaper(x), f"the strip above the rulers at x={x}")
        for c in range(COLS):
            for r in range(ROWS):
                x, y = LEFT_BAND + c * CELL + 12, GRID_TOP + r * CELL + 12
                self.assertEqual(px(x, y), wallpaper(x), f"inside cell {c},{r}")
        for x in range(LEFT_BAND + COLS * CELL + 2, SCREEN[0]):
            self.assertEqual(px(x, 500), DARK, f"right strip, no closing line, at x={x}")

        # Lines: one opaque pixel in the grid colour with a black one beside it, on light and dark alike.
        for c in range(COLS + 1):
            x = LEFT_BAND + c * CELL
            for y in (GRID_TOP + 30, SCREEN[1] - 1):
                self.assertEqual((px(x - 1, y), px(x, y)), (WHITE, BLACK), f"vertical line {c} at y={y}")
                self.assertEqual(px(x + 1, y), wallpaper(x + 1), f"right of vertical line {c}")
                self.assertEqual(px(x - 2, y), wallpaper(x - 2) if x > LEFT_BAND else px(3, y),
                                 f"left of vertical line {c}")
        for r in range(ROWS + 1):
            y = GRID_TOP + r * CELL
            for x in (LEFT_BAND + 30, SPLIT + 30, SCREEN[0] - 1):
                self.assertEqual((px(x, y - 1), px(x, y)), (WHITE, BLACK), f"horizontal line {r} at x={x}")
                self.assertEqual(px(x, y + 1), wallpaper(x), f"below horizontal line {r}")

        # Rulers: an opaque dark band across the top, the left one darker (laid on twice), the
        # same over both halves of the desktop.
        top = px(BAND_PROBES[0], TOP_INSET + 5)
        self.assertLess(luma(top), 100)
        for x in range(3, SCREEN[0], 37):
            if (x - LEFT_BAND) % CELL not in (CELL - 1, 0, 1):
                self.assertEqual(px(x, TOP_INSET + 3), top, f"top band at x={x}")
        left = px(2, 300)
        self.assertLess(luma(left), luma(top))
        for y in range(GRID_TOP, SCREEN[1], 29):
            self.assertEqual(px(2, y), left, f"left band at y={y}")

        # Headers: bright text on the bands over each whole column and row, nothing past them.
        def brightest(cx, cy, half=6):
            return max(luma(px(x, y)) for x in range(cx - half, cx + half) for y in range(cy - half, cy + half))
        for c in (0, 8, 9, COLS - 1):
            self.assertGreater(brightest(LEFT_BAND + c * CELL + CELL // 2, TOP_INSET + 11), 200, f"column header {c}")
        self.assertEqual(brightest(LEFT_BAND + COLS * CELL + 20, TOP_INSET + 11), luma(top), "past the last column")
        for r in (0, ROWS - 1):
            self.assertGreater(brightest(LEFT_BAND // 2, GRID_TOP + r * CELL + CELL // 2), 200, f"row header {r}")
        self.assert_cut_to_the_drawing()

        # Cell labels stand on small dark chips in the middle of their cells, on light and dark
        # halves; switched off, the desktop shows there again.
        self.desktop.key("super+shift+l")
        centres = [(LEFT_BAND + c * CELL + CELL // 2, GRID_TOP + r * CELL + CELL // 2) for c, r in ((0, 0), (16, 9))]
        wait_until(lambda: all(self.desktop.pixel(x - 9, y) != wallpaper(x) for x, y in centres), what="cell labels")
        image = self.desktop.root_image()
        for x, y in centres:
            chip = [image.pixel(cx, cy) for cx in range(x - 8, x + 8) for cy in range(y - 6, y + 6)]
            self.assertIn(WHITE, chip, f"label text at {x},{y}")
            self.assertLess(min(luma(p) for p in chip), 100, f"label chip at {x},{y}")
            self.assertNotIn(wallpaper(x), chip, f"the chip covers the label's middle at {x},{y}")
            self.assertEqual(image.pixel(x - 30, y), wallpaper(x), f"desktop beside the label at {x},{y}")
        self.desktop.key("super+shift+l")
        wait_until(lambda: all(self.desktop.pixel(x - 9, y) == wallpaper(x) for x, y in centres), what="labels gone")

    def test_a_compositor_starting_and_stopping_switches_the_drawing(self):
        self.desktop.start_compositor()
        try:
            wait_until(lambda: all(near(p, over(wallpaper(x), BAND_ALPHA)) for p, x in zip(self.band_pixels(), BAND_PROBES)),
                       timeout=10, what="translucent rulers with the compositor")
            # A compositing manager may keep drawing a window through the shape it had: a new one.
            self.overlay = self.desktop.overlay_window()
            self.assertEqual(self.desktop.shape(self.overlay), (1, [WHOLE_WINDOW]), "no shape cut")
            image = self.desktop.root_image()
            for x in BAND_PROBES:
                self.assertTrue(near(image.pixel(x, 3), wallpaper(x)), "above the rulers, with the compositor")
                self.assertTrue(near(image.pixel(x, GRID_TOP + 12), wallpaper(x)), "inside a cell, with the compositor")
            line_x = LEFT_BAND + 4 * CELL
            self.assertNotEqual(image.pixel(line_x, 300), BLACK, "no shadow beside translucent lines")
            self.assertNotEqual(image.pixel(line_x - 1, 300), WHITE, "translucent lines are faint")
            # Adjust mode on while composited, then the compositor goes.
            self.set_adjust_mode(True)
        finally:
            self.desktop.stop_compositor()
        self.wait_for_solid()
        self.assert_cut_to_the_drawing()
        image = self.desktop.root_image()
        for x in BAND_PROBES:
            self.assertEqual(image.pixel(x, 3), wallpaper(x), "above the rulers, solid again")
            self.assertEqual(image.pixel(x + 40, GRID_TOP + 130), wallpaper(x + 40), "inside a cell, solid again")

        # The overlay still takes the mouse everywhere, the undrawn middle of a cell included.
        x, y = LEFT_BAND + 2 * CELL + 40, GRID_TOP + 3 * CELL + 40
        presses, _ = self.click_target(x - 50, y - 50, 100, 100)
        wait_until(lambda: self.desktop.pixel(x, y) == TEAL, what="the click target on screen")
        self.desktop.click(x, y)
        self.set_adjust_mode(False)
        self.assert_click_reaches(presses, x + 1, y, "the click in adjust mode stayed with the overlay")

    def test_clicks_pass_through_and_adjust_mode_takes_and_drags_everywhere(self):
        presses, window = self.click_target(300, 300, 400, 300)
        left, top, _, _ = self.desktop.geometry(window)
        line_x = LEFT_BAND + 4 * CELL                   # 346: its pixel column is 345
        wait_until(lambda: self.desktop.pixel(line_x - 1, 450) == WHITE and self.desktop.pixel(line_x + 20, 450) == TEAL,
                   what="the grid drawn over the click target")

        # On a drawn pixel and between them alike, clicks reach the window beneath.
        self.assert_click_reaches(presses, line_x - 1, 450)
        self.assert_click_reaches(presses, line_x + 20, 450)

        # Adjust mode: a press in the undrawn middle of a cell stays with the overlay, and a
        # drag from there widens the cells.
        self.set_adjust_mode(True)
        start = (line_x + 30, 460)
        wait_until(lambda: self.desktop.pixel(line_x - 1, 520) == RED, what="red lines in adjust mode")
        self.assertEqual(self.desktop.pixel(*start), TEAL, "nothing drawn where the drag starts")
        self.desktop.drag(start, *((start[0] + 5 * step, start[1]) for step in range(1, 21)))
        # The window manager's frame takes each new shape a moment after us: pixels painted in
        # between fall outside its old shape and come back with the repaint its Expose asks for.
        wait_until(lambda: self.desktop.pixel(line_x - 1, 520) != RED
                   and RED in self.desktop.root_pixels(line_x, 520, 199, 1)[0], what="the line further right")

        # Off again: clicks reach the window beneath, and the press in adjust mode never did.
        self.set_adjust_mode(False)
        self.assert_click_reaches(presses, left + 10, top + 10, "the drag in adjust mode stayed with the overlay")

    def test_screenshot_holds_what_the_screen_shows(self):
        seen = self.desktop.root_image()
        flash = self.watch_window("Tavelin Flash", 8, shape=True)
        self.desktop.key("super+shift+s")
        png = wait_until(self.desktop.shots, timeout=10, what="the PNG")[0]

        # The flash: over the whole screen, white rows a few pixels apart, gone again soon.
        appeared = flash.next_matching("", timeout=10).split()
        self.assertEqual(appeared[1], "appeared")
        self.assertEqual([int(v) for v in appeared[3:7]], list(WHOLE_WINDOW))
        count, first = int(appeared[7]), [int(v) for v in appeared[8:]]
        self.assertEqual(first, [0, 0, SCREEN[0], 1], "whole rows")
        self.assertTrue(SCREEN[1] // 4 <= count <= SCREEN[1] // 2, f"{count} rows: some, not all")
        self.assertEqual(flash.next_matching("").split()[1], "vanished")

        # The overlay left the screen before the capture (seen, not timed out) and came back.
        wait_until(lambda: "overlay-gone wait" in self.desktop.tavelin_log(), what="the removal trace")
        self.assertIn("left the screen after", self.desktop.tavelin_log())
        self.wait_for_solid()

        # The picture (complete once it has its name): the desktop with the solid grid, as the
        # screen showed it before the shot.
        image = Image.from_png(png)
        self.assertEqual((image.width, image.height), SCREEN)
        differ = sum(image.data[i:i + 3] != seen.data[i:i + 3] for i in range(0, len(image.data), 3))
        self.assertLess(differ, SCREEN[0] * SCREEN[1] // 1000, "the file differs from the screen")
        for x in BAND_PROBES:
            self.assertEqual(image.pixel(x, 3), wallpaper(x), "desktop above the rulers")
            self.assertLess(luma(image.pixel(x, TOP_INSET + 5)), 80, "solid dark ruler")
