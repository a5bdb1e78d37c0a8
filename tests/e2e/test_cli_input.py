"""The command line's edges (shots to files and pipes, bad input, no Tavelin, no display) and the D-Bus interface."""

import glob
import os
import signal
import subprocess
import xml.etree.ElementTree as ElementTree
from pathlib import Path

from gi.repository import Gio, GLib

from harness import SCREEN, TAVELIN, TOP_INSET, DesktopTestCase, wait_until
from processes import watch_calls
from pixels import Image, band_shows
from remote import bare_env, ok, piped_shot, state, tavelin

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
BUS_NAME, BUS_PATH, BUS_INTERFACE = "org.tavelin.Tavelin", "/org/tavelin/Tavelin", "org.tavelin.Tavelin1"


class CommandLineEdgesTest(DesktopTestCase):
    """One desktop, a fresh Tavelin for each test."""

    def desktop_files(self):
        return glob.glob(os.path.join(self.desktop.home, "Desktop", "*"))

    def test_shot_to_a_path_writes_there_only_to_stdout_pipes_and_alone_to_the_desktop_and_clipboard(self):
        self.folder = os.path.join(self.desktop.home, "shots")
        os.makedirs(self.folder)
        path = os.path.join(self.folder, "grid.png")
        before = self.desktop_files()
        self.assertEqual(ok(self.desktop, "shot", path), "")
        image = Image.from_png(path)
        self.assertEqual((image.width, image.height), SCREEN)
        self.assertTrue(band_shows(image.pixel, TOP_INSET))
        self.assertEqual(self.desktop_files(), before, "nothing on the Desktop")
        self.assertEqual(self.desktop.clipboard_png(), b"", "nothing on the clipboard")
        self.assertEqual(os.listdir(self.folder), ["grid.png"], "no temporary file left")

        relative = subprocess.run([TAVELIN, "shot", "relative.png"], env=self.desktop.env, cwd=self.folder,
                                  capture_output=True, text=True, timeout=20)
        self.assertEqual(relative.returncode, 0, relative.stderr)
        self.assertTrue(os.path.exists(os.path.join(self.folder, "relative.png")), "relative to the caller's folder")

        self.assertTrue(band_shows(piped_shot(self.desktop).pixel, TOP_INSET), "the PNG piped to stdout")

        printed = ok(self.desktop, "shot").strip()
        self.assertRegex(printed, r"/Desktop/Tavelin_\d{4}-\d\d-\d\d_\d\d\.\d\d\.\d\d(-\d+)?\.png$")
        self.assertEqual(self.desktop_files(), [printed])
        self.assertEqual(self.desktop.clipboard_png(), Path(printed).read_bytes(), "the same PNG on the clipboard")

        # Without the Desktop folder the caller is told where the image went instead.
        os.rename(os.path.join(self.desktop.home, "Desktop"), os.path.join(self.desktop.home, "Desk"))
        self.addCleanup(os.rename, os.path.join(self.desktop.home, "Desk"), os.path.join(self.desktop.home, "Desktop"))
        subprocess.run(["xclip", "-selection", "clipboard"], input=b"text", env=self.desktop.env, check=True)
        wait_until(lambda: not self.desktop.clipboard_png().startswith(PNG_SIGNATURE), what="text alone on the clipboard")
        unsaved = tavelin(self.desktop, "shot")
        self.assertEqual(unsaved.returncode, 1, unsaved.stderr)
        self.assertIn("screenshot not saved (copied to the clipboard): ", unsaved.stderr)
        self.assertFalse(os.path.exists(os.path.join(self.desktop.home, "Desktop")), "no folder made in its place")
        self.assertTrue(band_shows(Image.from_png(self.desktop.clipboard_png()).pixel, TOP_INSET), "the image on the clipboard")

    def test_every_bad_argument_is_one_line_a_status_and_no_change_and_a_hidden_grid_refuses_more(self):
        existing = os.path.join(self.desktop.home, "existing.png")
        Path(existing).write_bytes(b"keep me")
        missing_folder = os.path.join(self.desktop.home, "no-such-folder", "shot.png")
        # One row per way through the parser and the commands; the unit tests check the other messages.
        cases = [
            (["frobnicate"], 2, 'unknown command "frobnicate"'),
            (["--version", "extra"], 2, "--version takes no arguments"),
            (["grid", "maybe"], 2, "is not on, off or toggle"),
            (["labels", "on", "now"], 2, "too many arguments"),
            (["follow", "window"], 2, "is not a window id"),
            (["state", "--verbose"], 2, "unknown option --verbose"),
            (["shot", ""], 2, "the path is empty"),
            (["follow", "0x1"], 1, "not a viewable top-level window"),
            (["color", "m" * 100000], 2, 'no colour "' + "m" * 60 + '\u2026"; the colours are'),
            (["cell", "4C"], 2, "is not a cell name"),
            (["cell", "R1"], 1, "no cell R1"),   # R is a partial column
            (["cell", "zzzzzzzz999999999"], 1, "no cell ZZZZZZZZ999999999 on the grid (columns A to Q, rows 1 to 10)"),
            (["shot", missing_folder], 1, "there is no folder"),
            (["shot", existing], 1, "already exists"),
            (["shot", self.desktop.home], 1, "is a folder"),
        ]
        before, overlay = state(self.desktop), self.desktop.overlay_rect()
        for args, status, message in cases:
            with self.subTest(args=args):
                done = tavelin(self.desktop, *args)
                self.assertEqual(done.returncode, status, done.stderr)
                lines = done.stderr.splitlines()
                self.assertEqual(len(lines), 1, lines)
                self.assertTrue(lines[0].startswith("tavelin: "), lines)
                self.assertIn(message, lines[0])
                self.assertEqual(done.stdout, "")
        # An answer that could not be printed is a failure: a script must not go on without it.
        for redirect in (">/dev/full", ">&-"):
            with self.subTest(redirect=redirect):
                done = subprocess.run(["sh", "-c", f'"$0" cell C4 {redirect}', TAVELIN], env=self.desktop.env,
                                      capture_output=True, text=True, timeout=20)
                self.assertEqual(done.returncode, 1)
                self.assertRegex(done.stderr, r"^tavelin: could not write to standard output: .+\n$")
        self.assertEqual(state(self.desktop), before)
        self.assertEqual(self.desktop.overlay_rect(), overlay)
        self.assertEqual(Path(existing).read_bytes(), b"keep me")
        self.assertFalse(os.path.exists(os.path.dirname(missing_folder)))

        # Commands that need the grid shown are refused while it is hidden.
        ok(self.desktop, "grid", "off")
        for args in (["adjust", "on"], ["pick"], ["shot"], ["shot", "-"]):
            with self.subTest(args=args):
                done = tavelin(self.desktop, *args, binary=True)
                self.assertEqual(done.returncode, 1)
                self.assertIn(b"the grid is hidden", done.stderr)
                self.assertEqual(done.stdout, b"")
        self.assertEqual(self.desktop.overlay_id(), None)
        self.assertFalse(state(self.desktop)["adjusting"])

    def test_subcommands_say_tavelin_is_stopped_or_not_running_and_a_start_without_a_display_says_why(self):
        # A stopped Tavelin keeps the call queued: the caller is told it may still take effect, and it does.
        os.kill(self.tavelin.pid, signal.SIGSTOP)
        try:
            done = tavelin(self.desktop, "grid", "off", env=dict(self.desktop.env, TAVELIN_CALL_TIMEOUT_SECONDS="1"))
        finally:
            os.kill(self.tavelin.pid, signal.SIGCONT)
        self.assertEqual((done.returncode, done.stderr), (1, "tavelin: Tavelin did not answer within 1 s (stopped or "
                                                              "stuck?): the command may still take effect\n"))
        self.assertFalse(state(self.desktop)["visible"])

        # One that ends with the call unanswered is said to have ended, at once.
        calls = watch_calls(self.spawn)
        os.kill(self.tavelin.pid, signal.SIGSTOP)
        pending = self.spawn([TAVELIN, "grid", "on"], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        calls.next_matching("method call")
        os.kill(self.tavelin.pid, signal.SIGKILL)
        self.assertEqual((pending.wait(timeout=20), pending.stderr.read()),
                         (1, b"tavelin: Tavelin ended before it answered (it quit or crashed)\n"))
        pending.stderr.close()
        for args in (["state"], ["grid", "on"], ["pick"], ["shot"], ["cell", "C4"], ["quit"]):
            with self.subTest(args=args):
                done = tavelin(self.desktop, *args)
                self.assertEqual((done.returncode, done.stdout), (1, ""))
                self.assertEqual(done.stderr, "tavelin: Tavelin is not running in this session (start it with: tavelin)\n")
        self.assertEqual(self.desktop.run(["xdotool", "search", "--name", "^Tavelin Overlay$"]).split(), [],
                         "no grid started by surprise")

        # Help and version need no display; the start without one says why it cannot.
        env = bare_env(self.desktop)
        for args in (["--help"], ["state", "--help"]):
            done = tavelin(self.desktop, *args, env=env)
            self.assertEqual(done.returncode, 0, done.stderr)
            self.assertIn("Usage: tavelin [COMMAND]", done.stdout)
            self.assertIn("cell NAME [--rect]", done.stdout)
        version = tavelin(self.desktop, "--version", env=env)
        self.assertEqual(version.returncode, 0)
        self.assertRegex(version.stdout, r"^tavelin \d+\.\d+")

        start = tavelin(self.desktop, env=env)
        self.assertEqual(start.returncode, 1, "an ordinary failure, not an abort (-6) or a crash")
        self.assertEqual(start.stderr, "tavelin: cannot start: no X display (DISPLAY is not set)\n")
        elsewhere = tavelin(self.desktop, env=dict(env, DISPLAY=":4242"))
        self.assertEqual(elsewhere.returncode, 1)
        self.assertEqual(elsewhere.stderr, "tavelin: cannot start: cannot open the X display :4242\n")
        remote = tavelin(self.desktop, "state", env=env)
        self.assertEqual(remote.returncode, 1)
        self.assertEqual(len(remote.stderr.splitlines()), 1)
        self.assertIn("cannot reach Tavelin: there is no session bus", remote.stderr)

    def bus(self):
        return self.desktop.panel.bus

    def call(self, method, signature="()", *args):
        return self.bus().call_sync(BUS_NAME, BUS_PATH, BUS_INTERFACE, method, GLib.Variant(signature, args), None,
                                    Gio.DBusCallFlags.NONE, 10000, None).unpack()

    def test_the_interface_introspects_with_every_command_and_its_calls_answer_and_signal(self):
        xml = self.bus().call_sync(BUS_NAME, BUS_PATH, "org.freedesktop.DBus.Introspectable", "Introspect", None,
                                   None, Gio.DBusCallFlags.NONE, 10000, None).unpack()[0]
        node = ElementTree.fromstring(xml)
        interface = node.find(f"interface[@name='{BUS_INTERFACE}']")
        self.assertIsNotNone(interface, xml)

        def signature(element, direction):
            return "".join(a.get("type") for a in element.findall("arg") if a.get("direction", "out") == direction)
        methods = {m.get("name"): (signature(m, "in"), signature(m, "out")) for m in interface.findall("method")}
        self.assertEqual(methods, {
            "Grid": ("s", ""), "Labels": ("s", ""), "Adjust": ("s", ""), "Pick": ("", ""), "Follow": ("u", ""),
            "FullScreen": ("", ""), "Size": ("dd", ""), "Color": ("s", ""), "Screens": ("", "aa{sv}"),
            "Screen": ("s", ""), "Shot": ("", "s"), "ShotPng": ("", "ay"), "Cell": ("s", "a{sv}"),
            "At": ("xx", "a{sv}"), "State": ("", "a{sv}"), "Quit": ("", "")})
        signals = {s.get("name"): "".join(a.get("type") for a in s.findall("arg")) for s in interface.findall("signal")}
        self.assertEqual(signals, {"StateChanged": "a{sv}"})

        # Calls answer, a refusal is an error that says what the command line says, changes are signalled.
        self.assertEqual(self.call("Cell", "(s)", "b2")[0]["centerX"], 146)
        with self.assertRaises(GLib.Error) as refused:
            self.call("Size", "(dd)", 5.0, 5.0)
        self.assertEqual(Gio.DBusError.get_remote_error(refused.exception), "org.tavelin.Tavelin1.Error.BadArgument")
        said = refused.exception.message.split(": ", 1)[1]   # after "GDBus.Error:NAME: "
        self.assertIn(f": {said} (usage:", tavelin(self.desktop, "size", "5").stderr)

        heard = []
        subscription = self.bus().signal_subscribe(None, BUS_INTERFACE, "StateChanged", BUS_PATH, None,
                                                   Gio.DBusSignalFlags.NONE,
                                                   lambda *signal: heard.append(signal[5].unpack()[0]))
        self.addCleanup(self.bus().signal_unsubscribe, subscription)
        ok(self.desktop, "labels", "on")

        def told():
            GLib.MainContext.default().iteration(False)
            return any(s["labels"] for s in heard)
        wait_until(told, what="StateChanged with labels on")
        self.assertEqual(heard[-1], self.call("State")[0])
