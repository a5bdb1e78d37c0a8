"""Following a window on sway: `tavelin follow` with a con_id lays the grid on the window's frame
(title bar included), and the grid keeps to it as swaymsg moves, resizes, floats, fullscreens, sends
it to another workspace and closes it. Read back with grim."""

import json
import shutil
import unittest

from harness import BAND_ALPHA, SCREEN, TOP_BAND, wait_until
from pixels import near, over
from wayland_harness import WaylandTestCase

GREY = (0x80, 0x80, 0x80)  # the terminals' background, so the bands show on them
DESKTOP = (0x5a, 0x6e, 0x82)


class FollowOnSway(WaylandTestCase):
    @classmethod
    def setUpClass(cls):
        if not shutil.which("foot"):
            raise unittest.SkipTest("not installed: foot")
        super().setUpClass()

    def setUp(self):
        before = {w["id"] for w in self.windows()}
        self.session._spawn(["foot", "-o", "colors.background=808080", "-o", "cursor.blink=no"])
        self.con = wait_until(lambda: next((w["id"] for w in self.windows() if w["id"] not in before), None),
                              timeout=20, what="the terminal in sway's tree")
        # foot maps at a size of its own and draws at the tiled size sway gave it a little later. Were
        # it made floating before that drawing, sway would size the floating window by it: wait until
        # its background reaches the far corner of its tiled place.
        wait_until(self.drawn_at_its_size, timeout=20, interval=0.05, what="the terminal at its tiled size")

    def drawn_at_its_size(self):
        node = next(w for w in self.windows() if w["id"] == self.con)
        rect, inner = node["rect"], node["window_rect"]
        corner = (rect["x"] + inner["x"] + inner["width"] - 4, rect["y"] + inner["y"] + inner["height"] - 4)
        return self.session.screen().pixel(*corner) == GREY

    def tearDown(self):
        self.session.run(["swaymsg", f"[con_id={self.con}] kill"])  # gone already when a test closed it
        wait_until(lambda: all(w["id"] != self.con for w in self.windows()), timeout=10, what="terminal gone")
        self.sway("workspace 1")
        self.session.cli("full-screen")

    def sway(self, command):
        result = self.session.run(["swaymsg", command])
        self.assertEqual(result.returncode, 0, result.stdout)

    def windows(self):
        tree = json.loads(self.session.run(["swaymsg", "-t", "get_tree", "-r"], check=True).stdout)
        found = []

        def walk(node):
            if node.get("pid"):
                found.append(node)
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                walk(child)
        walk(tree)
        return found

    def grid_frame(self):
        state = dict(line.split(": ", 1) for line in self.session.cli("state")[1].splitlines())
        return tuple(int(float(v)) for v in state["frame"].split())

    def laid_on(self, frame):
        """The grid's bands where a grid over frame puts them, and nowhere else."""
        x, y, w, h = frame
        image = self.session.screen()
        band = image.pixel(x + 3, y + h - 6)  # the left band over the terminal, at the frame's foot
        return (self.grid_frame() == frame
                and (near(band, over(GREY, BAND_ALPHA), 4) or near(band, over(over(GREY, BAND_ALPHA), BAND_ALPHA), 4))
                # the top band reaches the frame's right edge: its bottom line differs from below it
                and image.pixel(x + w - 3, y + TOP_BAND - 2) != image.pixel(x + w - 3, y + TOP_BAND + 2)
                and (x + w + 3 >= SCREEN[0] or image.pixel(x + w + 3, y + h - 6) in (DESKTOP, GREY)))

    def follow(self, frame):
        self.assertEqual(self.session.cli("follow", str(self.con))[0], 0)
        wait_until(lambda: self.laid_on(frame), timeout=10, interval=0.1, what=f"the grid on {frame}")

    def test_follows_moves_resizes_floating_and_fullscreen(self):
        self.sway(f"[con_id={self.con}] floating enable, resize set 600 400, move position 200 150")
        self.follow((200, 150, 600, 400))
        self.sway(f"[con_id={self.con}] move position 500 300")
        wait_until(lambda: self.laid_on((500, 300, 600, 400)), timeout=10, interval=0.1, what="moved")
        self.sway(f"[con_id={self.con}] resize set 720 480")  # about the window's centre
        wait_until(lambda: self.laid_on((440, 260, 720, 480)), timeout=10, interval=0.1, what="resized")
        self.sway(f"[con_id={self.con}] fullscreen enable")
        wait_until(lambda: self.laid_on((0, 0, *SCREEN)), timeout=10, interval=0.1, what="fullscreen")
        self.sway(f"[con_id={self.con}] fullscreen disable, floating disable")
        # Tiled alone on the workspace: the whole output, its title bar included.
        wait_until(lambda: self.laid_on((0, 0, *SCREEN)), timeout=10, interval=0.1, what="tiled")

    def test_hidden_with_its_workspace_and_full_screen_once_closed(self):
        self.sway(f"[con_id={self.con}] floating enable, resize set 600 400, move position 300 200")
        self.follow((300, 200, 600, 400))
        self.sway(f"[con_id={self.con}] move to workspace 2")
        # Workspace 1 shows, empty: no grid anywhere on it.
        wait_until(lambda: all(self.session.screen().pixel(x, y) == DESKTOP
                               for x, y in ((40, 30), (5, 300), (303, 450), (700, 222))),
                   timeout=10, interval=0.1, what="the grid gone with the window's workspace")
        self.assertIn("target: window", self.session.cli("state")[1])
        self.sway("workspace 2")
        wait_until(lambda: self.laid_on((300, 200, 600, 400)), timeout=10, interval=0.1, what="shown again")
        self.sway(f"[con_id={self.con}] kill")
        wait_until(lambda: "target: screen" in self.session.cli("state")[1], timeout=10, what="full screen")
        wait_until(self.session.grid_drawn, timeout=10, interval=0.1, what="the full-screen grid")

    def test_follow_refuses_an_id_sway_does_not_show(self):
        code, _, err = self.session.cli("follow", "999999")
        self.assertEqual(code, 1)
        self.assertIn("not a viewable", err)


if __name__ == "__main__":
    unittest.main()
