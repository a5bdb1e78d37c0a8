"""`tavelin mcp` driven by the official MCP SDK's client: the handshake, every tool, and bad input."""

import base64
import json
import os
import subprocess
import threading
import types

from gridlines import C4_BOX
from harness import CELL, GRID_TOP, LEFT_BAND, SCREEN, TAVELIN, TOP_INSET, DesktopTestCase, LineReader, end, wait_until
from pixels import Image, band_shows, ink
from remote import ok, state, tavelin

HERE = os.path.dirname(os.path.abspath(__file__))
BRIDGE = os.path.join(HERE, "mcp", "bridge.mjs")


class McpTest(DesktopTestCase):
    # The server starts Tavelin itself when none runs.
    start_tavelin = False

    def setUp(self):
        super().setUp()
        if not os.path.isdir(os.path.join(HERE, "mcp", "node_modules", "@modelcontextprotocol")):
            self.fail("the MCP SDK is not installed: scripts/test runs npm ci in tests/e2e/mcp")
        self.client, self.answers, self.hello = self.connect(self.desktop.env, subprocess.DEVNULL)
        self.addCleanup(self.stop_everything)

    def connect(self, env, stderr):
        """An SDK client on a server of its own: (process, its answers, the handshake's)."""
        client = subprocess.Popen(["node", BRIDGE, TAVELIN], env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  stderr=stderr, text=True)
        self.addCleanup(end, client)
        answers = LineReader(client)
        return client, answers, json.loads(answers.next_matching("", timeout=30))

    def stop_everything(self):
        self.client.stdin.close()
        end(self.client)
        tavelin(self.desktop, "quit")
        wait_until(lambda: tavelin(self.desktop, "state").returncode != 0, timeout=10, what="Tavelin gone")

    def ask(self, peer=None, **request):
        """The answer to one request, of the setUp's client or of peer, a (client, answers) pair."""
        client, answers = peer or (self.client, self.answers)
        client.stdin.write(json.dumps(request) + "\n")
        client.stdin.flush()
        return json.loads(answers.next_matching("", timeout=30))

    def call(self, name, **arguments):
        return self.ask(op="call", name=name, arguments=arguments)

    def result(self, name, **arguments):
        """The structured result of a call that must succeed."""
        answer = self.call(name, **arguments)
        self.assertNotIn("protocolError", answer)
        self.assertFalse(answer.get("isError"), answer)
        self.know_tavelin()
        return answer["structuredContent"]

    def know_tavelin(self):
        """The harness finds our windows by pid: the one the server started, as the bus knows it."""
        reply = self.desktop.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                                  "/org/freedesktop/DBus", "org.freedesktop.DBus.GetConnectionUnixProcessID",
                                  "string:org.tavelin.Tavelin"])
        self.desktop.tavelin = types.SimpleNamespace(pid=int(reply.split()[-1]))

    def refused(self, name, **arguments):
        """The message of a call that must be a tool error."""
        answer = self.call(name, **arguments)
        self.assertNotIn("protocolError", answer, arguments)
        self.assertTrue(answer.get("isError"), (arguments, answer))
        return answer["content"][0]["text"]

    def test_handshake_lists_every_tool_the_first_call_starts_tavelin_and_shots_and_cells_agree(self):
        self.assertTrue(self.hello.get("ready"), self.hello)
        self.assertEqual(self.hello["server"]["name"], "tavelin")
        self.assertIn("tools", self.hello["capabilities"])
        tools = {t["name"]: t for t in self.ask(op="list")["tools"]}
        self.assertEqual(set(tools), {"screenshot", "cell_to_point", "point_to_cell", "get_grid", "set_grid"})
        # The SDK checks the schemas it is given; that each tool gives one for its output and a description, not.
        self.assertEqual([n for n, t in tools.items() if not (t.get("outputSchema") and t.get("description"))], [])
        self.assertIn("grid appears", tools["screenshot"]["description"])
        self.assertEqual(tools["cell_to_point"]["inputSchema"]["required"], ["cell"])

        self.assertNotEqual(tavelin(self.desktop, "state").returncode, 0, "nothing runs before the first call")
        grid = self.result("get_grid")
        self.assertTrue(grid["visible"])
        self.assertEqual(grid["frame"], {"x": 0, "y": 0, "width": SCREEN[0], "height": SCREEN[1]})
        self.desktop.overlay_window()
        wait_until(self.desktop.grid_drawn, timeout=10, what="the grid on the screen")
        self.assertEqual(grid, state(self.desktop), "as the command line reads it")

        # A screenshot is the screen with the grid, and its geometry.
        answer = self.call("screenshot")
        self.assertFalse(answer.get("isError"), answer)
        image_part = next(c for c in answer["content"] if c["type"] == "image")
        self.assertEqual(image_part["mimeType"], "image/png")
        image = Image.from_png(base64.b64decode(image_part["data"]))
        self.assertEqual((image.width, image.height), SCREEN)
        self.assertGreater(ink(image.rows(*C4_BOX)), 10, "cell names are drawn unless asked otherwise")
        self.assertTrue(band_shows(image.pixel, TOP_INSET), "the top band over the clear strip")
        geometry = answer["structuredContent"]
        self.assertEqual(geometry["frame"], {"x": 0, "y": 0, "width": SCREEN[0], "height": SCREEN[1]})
        self.assertEqual((geometry["cell"], geometry["columns"], geometry["rows"]),
                         ({"width": CELL, "height": CELL}, (SCREEN[0] - LEFT_BAND) // CELL, (SCREEN[1] - GRID_TOP) // CELL))
        self.assertEqual(geometry["first_cell"], {"x": LEFT_BAND, "y": GRID_TOP})
        self.assertEqual(geometry["bands"], {"left": LEFT_BAND, "top": GRID_TOP})
        self.assertEqual(geometry["image"], {"width": SCREEN[0], "height": SCREEN[1], "scale": 1})

        self.assertFalse(state(self.desktop)["labels"], "the user's grid keeps its own setting")
        self.assertEqual(os.listdir(os.path.join(self.desktop.home, "Desktop")), [], "no file on the Desktop")
        self.assertEqual(self.desktop.clipboard_png(), b"", "nothing on the clipboard")

        bare = self.call("screenshot", labels=False, max_width=720)
        image = Image.from_png(base64.b64decode(bare["content"][0]["data"]))
        self.assertEqual((image.width, image.height), (720, 450))
        self.assertEqual(bare["structuredContent"]["image"], {"width": 720, "height": 450, "scale": 0.5})
        self.assertEqual(ink(image.rows(*(v // 2 for v in C4_BOX))), 0, "no names when asked")
        wide = self.call("screenshot", max_width=2 ** 32)
        self.assertEqual(wide["structuredContent"]["image"], {"width": SCREEN[0], "height": SCREEN[1], "scale": 1})

        # Cells and points agree with the command line.
        c4 = self.result("cell_to_point", cell="c4")
        self.assertEqual((c4["x"], c4["y"]), tuple(int(v) for v in ok(self.desktop, "cell", "C4").split()))
        self.assertEqual((c4["cell"], c4["rect"]), ("C4", {"x": 186, "y": 287, "width": 80, "height": 80}))
        corner = self.result("cell_to_point", cell="C4", position="bottom-right")
        self.assertEqual((corner["x"], corner["y"]), (265, 366))
        self.assertEqual(self.result("point_to_cell", x=c4["x"], y=c4["y"])["cell"], "C4")
        self.assertEqual(self.result("point_to_cell", x=265, y=366)["cell"], "C4")
        self.assertIn("ruler band", self.refused("point_to_cell", x=10, y=300))
        self.assertIn("no cell ZZ99", self.refused("cell_to_point", cell="ZZ99"))

    def test_bad_arguments_are_tool_errors_an_unknown_tool_a_protocol_error_and_set_grid_works(self):
        self.assertIn("20 to 400", self.refused("set_grid", cell_width=5))
        # A refusal changes nothing, the good arguments beside the bad one included.
        self.assertIn("mauve", self.refused("set_grid", cell_width=40, color="mauve"))
        self.assertIn('no screen named "nowhere"', self.refused("set_grid", color="red", screen="nowhere"))
        self.assertIn("is not a viewable top-level window", self.refused("set_grid", window=0x7ffffff, cell_width=40, labels=True))
        self.assertEqual([state(self.desktop)[k] for k in ("cellWidth", "color", "labels")], [80, "White", False])
        self.assertIn("unknown argument", self.refused("get_grid", colour="red"))
        self.assertIn("position", self.refused("cell_to_point", cell="C4", position="middle"))
        self.assertIn("whole", self.refused("point_to_cell", x="ten", y=3))
        self.assertIn("max_width", self.refused("screenshot", max_width=2))
        self.assertIn("window id", self.refused("set_grid", window=-4))
        self.assertIn("not both", self.refused("set_grid", window=1, screen="screen"))
        unknown = self.call("draw_on_screen")
        self.assertEqual(unknown["protocolError"]["code"], -32602)
        self.assertTrue(self.result("get_grid")["visible"], "the server goes on")

        # Good arguments change the grid (what the screen shows of each change: test_cli).
        grid = self.result("set_grid", color="orange", cell_width=120)
        self.assertEqual((grid["color"], grid["cellWidth"], grid["cellHeight"]), ("Orange", 120, 120))
        self.assertEqual(self.result("set_grid", cell_height=60)["cellWidth"], 120, "the width stays")
        grid = self.result("set_grid", visible=False)
        self.assertFalse(grid["visible"])
        wait_until(lambda: self.desktop.overlay_id() is None, what="the grid hidden")
        self.result("set_grid", visible=True, labels=True)
        wait_until(lambda: self.desktop.overlay_id() is not None, what="the grid shown again")

    def test_the_tavelin_it_starts_keeps_none_of_its_pipes_and_one_that_cannot_start_says_why(self):
        # A client reading the server's stderr to its end gets that end once the server goes,
        # though the Tavelin it started runs on: Tavelin writes into a log of its own.
        client, answers, _ = self.connect(self.desktop.env, subprocess.PIPE)
        self.assertTrue(self.ask((client, answers), op="call", name="get_grid")["structuredContent"]["visible"])
        self.know_tavelin()
        client.stdin.close()
        reader = threading.Thread(target=client.stderr.read, daemon=True)
        reader.start()
        reader.join(timeout=10)
        self.assertFalse(reader.is_alive(), "the client's stderr still open after its server ended")
        client.stderr.close()   # not while the reader waits on it: the close would wait as well
        self.assertEqual(client.wait(timeout=10), 0)
        self.assertEqual(tavelin(self.desktop, "state").returncode, 0, "the grid runs on")
        self.assertTrue(os.path.isfile(os.path.join(self.desktop.home, ".local", "state", "tavelin", "tavelin.log")))
        self.stop_everything()

        # Without a display the Tavelin it starts ends at once, and the tool error gives its reason.
        env = {k: v for k, v in self.desktop.env.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        answer = self.ask(self.connect(env, subprocess.DEVNULL)[:2], op="call", name="get_grid")
        self.assertTrue(answer.get("isError"), answer)
        self.assertEqual(answer["content"][0]["text"],
                         "Tavelin could not start: tavelin: cannot start: no X display (DISPLAY is not set)")
