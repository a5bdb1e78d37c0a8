"""What the screen shows of the grid on either display server; read(x, y, w, h) gives rows of its pixels."""

from harness import BAND_ALPHA, CELL, COLS, GRID_TOP, LEFT_BAND, ROWS, SCREEN, TOP_INSET, wait_until
from pixels import line_centres, luma, near, over

STORED_BAND_ALPHA = round(BAND_ALPHA * 255) / 255   # in 8 bits
# A 0.5 pt white line at 0.25, centred on a pixel edge, covers a quarter of each pixel beside it.
LINE_ALPHA = round(0.25 * 255 * 0.25) / 255

# Adjust mode: each drag step adds this much of the whole translation since the press to the cells;
# the badge sits centred, 40 pt below the overlay's top.
RESIZE_GAIN = 0.025
BADGE_BOX = (670, 50, 100, 35)
# Cell C4 of the launch grid inside its lines, where its name is drawn when cell labels are on.
C4_BOX = (LEFT_BAND + 2 * CELL + 8, GRID_TOP + 3 * CELL + 8, CELL - 16, CELL - 16)


def badge_shown(read):
    """Whether the adjust-mode badge is on screen; read(x, y, w, h) gives rows of pixels."""
    pixels = [p for row in read(*BADGE_BOX) for p in row]
    return sum(max(p) < 80 for p in pixels) / len(pixels) > 0.5


def wait_for_cells(read, width, height, timeout=5.0):
    """Waits until the vertical lines across the middle of the third row and the horizontal lines
    down the middle of the third column sit where cells of this size put them."""
    row_y, column_x = int(GRID_TOP + 2.5 * height), int(LEFT_BAND + 2.5 * width)
    (x0, x1), (y0, y1) = (LEFT_BAND + 4, SCREEN[0]), (GRID_TOP + 4, SCREEN[1])
    want = ([LEFT_BAND + k * width for k in range(1, 30) if x0 <= LEFT_BAND + k * width < x1],
            [GRID_TOP + k * height for k in range(1, 30) if y0 <= GRID_TOP + k * height < y1])
    found = []

    def placed():
        found[:] = (line_centres(read(x0, row_y, x1 - x0, 1)[0], x0),
                    line_centres([r[0] for r in read(column_x, y0, 1, y1 - y0)], y0))
        return all(len(f) == len(w) and all(abs(a - b) <= 0.8 for a, b in zip(f, w)) for f, w in zip(found, want))
    try:
        wait_until(placed, timeout=timeout, what=f"grid lines of {width:.2f} x {height:.2f} cells")
    except AssertionError:
        raise AssertionError(f"lines at {found}, expected {want}") from None


def assert_grid_pixels(test, image, bottom=SCREEN[1]):
    """The full-screen grid at launch as the screen shows it, composited over a desktop plain above
    bottom: clear strip, bands, lines and headers where they belong, nothing past the last whole cell."""
    def about(actual, expected, tolerance=2.5, what=""):
        test.assertTrue(near(actual, expected, tolerance), f"{what}: {actual} is not about {expected}")

    def px(x, y):
        return luma(image.pixel(x, y))
    desktop = px(700, 10)                           # the inset strip stays clear
    band = over(desktop, STORED_BAND_ALPHA)
    left_band = over(band, STORED_BAND_ALPHA)

    for x in (0, 400, SCREEN[0] - 1):
        about(px(x, 0), desktop, 0, "clear above the top band")
        about(px(x, TOP_INSET - 1), desktop, 0, "clear just above the top band")
    for y in range(TOP_INSET, GRID_TOP):
        about(px(3, y), band, what=f"corner square, one layer, at y={y}")
        if y < GRID_TOP - 1:  # the first horizontal line's upper half lies on the band's last row
            about(px(50, y), band, what=f"top band at y={y}")
    about(px(50, GRID_TOP + 1), desktop, what="below the top band")
    for y in range(GRID_TOP, bottom, 37):
        about(px(3, y), left_band, what=f"left band, laid on twice, at y={y}")
    about(px(LEFT_BAND + 1, 300), desktop, what="right of the left band")

    def beneath(x, y):
        """What the grid lines are drawn on at a pixel."""
        if y < TOP_INSET:
            return desktop
        return band if y < GRID_TOP else left_band if x < LEFT_BAND else desktop

    # Vertical lines at x = 26 + 80c, c = 0..17, from the top band down to the bottom edge.
    for c in range(COLS + 1):
        x = LEFT_BAND + c * CELL
        for y in (TOP_INSET, GRID_TOP + 30, bottom - 1):
            for column in (x - 1, x):
                about(px(column, y), over(beneath(column, y), LINE_ALPHA, 255), what=f"line {c} at ({column}, {y})")
            about(px(x - 3, y), beneath(x - 3, y), what=f"beside line {c} at y={y}")
        about(px(x, TOP_INSET - 1), desktop, 0, f"line {c} starts at the top band")
    for x in range(LEFT_BAND + COLS * CELL + 2, SCREEN[0]):
        about(px(x, 500), desktop, what=f"no closing line in the right strip at x={x}")

    # Horizontal lines at y = 47 + 80r, r = 0..10, from the left band's edge to the right edge.
    for r in (r for r in range(ROWS + 1) if GRID_TOP + r * CELL + 3 < bottom):
        y = GRID_TOP + r * CELL
        for x in (LEFT_BAND + 30, SCREEN[0] - 1):
            for row in (y - 1, y):
                about(px(x, row), over(beneath(x, row), LINE_ALPHA, 255), what=f"line {r} at ({x}, {row})")
            about(px(x, y + 3), desktop, what=f"below line {r}")
        about(px(3, y), left_band, what=f"line {r} does not cross the left band")
    for y in range(GRID_TOP + ROWS * CELL + 2, bottom):
        about(px(500, y), desktop, what=f"no closing line in the bottom strip at y={y}")

    # Headers: light text in the bands, centred in their column or row, only over whole cells.
    def brightest(cx, cy, half=7):
        return max(px(x, y) for x in range(cx - half, cx + half) for y in range(cy - half, cy + half))
    header_colour = over(band, 0.4, 255)
    for c in (0, 1, COLS - 1):
        centre = LEFT_BAND + c * CELL + CELL // 2
        test.assertGreater(brightest(centre, TOP_INSET + 11), (band + header_colour) / 2, f"column header {c}")
    about(brightest(LEFT_BAND + COLS * CELL + CELL // 2 - 20, TOP_INSET + 11, 5), band,
          what="no header past the last whole column")
    for r in (0, 1, ROWS - 1):
        centre = GRID_TOP + r * CELL + CELL // 2
        test.assertGreater(brightest(LEFT_BAND // 2, centre), (left_band + header_colour) / 2, f"row header {r}")
    if GRID_TOP + ROWS * CELL + 25 < bottom:
        about(brightest(LEFT_BAND // 2, GRID_TOP + ROWS * CELL + 20, 5), left_band,
              what="no header past the last whole row")
