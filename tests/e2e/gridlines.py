"""What the screen shows of adjust mode on either display server: the badge, and the grid lines
where cells of a given size put them; read(x, y, w, h) gives rows of pixels off the screen."""

from harness import GRID_TOP, LEFT_BAND, SCREEN, wait_until
from pixels import line_centres

# Adjust mode: each drag step adds this much of the whole translation since the press to the cells;
# the badge sits centred, 40 pt below the overlay's top.
RESIZE_GAIN = 0.025
BADGE_BOX = (670, 50, 100, 35)


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
