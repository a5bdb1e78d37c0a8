"""sway's windows for the follow and pick tests: foot terminals on a grey background known by con_id,
sway's tree, the pick's crosshair, and whether the grid lies on a window's frame as grim sees it."""

from harness import BAND_ALPHA, SCREEN, TOP_BAND, wait_until
from pixels import near, over
from wayland_harness import walk

GREY = (0x80, 0x80, 0x80)  # the terminals' background, so the bands show on them
DESKTOP = (0x5a, 0x6e, 0x82)


def nodes(session):
    """Every window in sway's tree, tiled and floating, on every workspace."""
    return [n for n in walk(session.tree()) if n.get("pid")]


def node(session, con):
    return next((n for n in nodes(session) if n["id"] == con), None)


def frame(session, con):
    r = node(session, con)["rect"]
    return r["x"], r["y"], r["width"], r["height"]


def open_grey_foot(session):
    """A foot terminal, tiled, drawn at the size sway gave it: its con_id."""
    before = {n["id"] for n in nodes(session)}
    session._spawn(["foot", "-o", "colors.background=808080", "-o", "cursor.blink=no"])
    con = wait_until(lambda: next((n["id"] for n in nodes(session) if n["id"] not in before), None),
                     timeout=20, what="the terminal in sway's tree")
    # foot maps at a size of its own and draws at the tiled size sway gave it a little later. Were
    # it made floating before that drawing, sway would size the floating window by it: wait until
    # its background reaches the far corners of its tiled place.
    wait_until(lambda: drawn_at_its_size(session, con), timeout=20, interval=0.05, what="the terminal at its size")
    return con


def drawn_at_its_size(session, con):
    """foot's grey (under the grid's bands, maybe) at the top right and bottom left of its place, away
    from the pointer waiting in the bottom right corner."""
    n = node(session, con)
    rect, inner = n["rect"], n["window_rect"]
    left, top = rect["x"] + inner["x"], rect["y"] + inner["y"]
    image = session.screen()
    corners = (image.pixel(left + inner["width"] - 4, top + 4), image.pixel(left + 4, top + inner["height"] - 4))
    return all(p[0] == p[1] == p[2] and p[0] >= 0x30 for p in corners)


def crosshair_at(image, x, y):
    """A pick's crosshair cursor at (x, y): its four arms, each unlike the corner between them."""
    corner = image.pixel(x + 7, y + 7)
    return all(image.pixel(x + dx, y + dy) != corner for dx, dy in ((-7, 0), (7, 0), (0, -7), (0, 7)))


def close(session, con):
    session.run(["swaymsg", f"[con_id={con}] kill"])  # gone already when a test closed it
    wait_until(lambda: node(session, con) is None, timeout=10, what="terminal gone")


def grid_frame(session):
    state = dict(line.split(": ", 1) for line in session.cli("state")[1].splitlines())
    return tuple(int(float(v)) for v in state["frame"].split())


def laid_on(session, frame):
    """The grid's bands where a grid over frame puts them, and nowhere else."""
    x, y, w, h = frame
    image = session.screen()
    band = image.pixel(x + 3, y + h - 6)  # the left band over the terminal, at the frame's foot
    return (grid_frame(session) == frame
            and (near(band, over(GREY, BAND_ALPHA), 4) or near(band, over(over(GREY, BAND_ALPHA), BAND_ALPHA), 4))
            # the top band reaches the frame's right edge: its bottom line differs from below it
            and image.pixel(x + w - 3, y + TOP_BAND - 2) != image.pixel(x + w - 3, y + TOP_BAND + 2)
            and (x + w + 3 >= SCREEN[0] or image.pixel(x + w + 3, y + h - 6) in (DESKTOP, GREY)))


def wait_laid_on(session, frame, what):
    wait_until(lambda: laid_on(session, frame), timeout=10, interval=0.1, what=f"the grid on {frame}: {what}")
