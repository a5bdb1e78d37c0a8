"""Wayland sessions Tavelin cannot draw on or loses (weston without layer-shell, with and without
XWayland; a display nobody answers at; sway ending under it), and a quit while a shot waits."""

import os
import platform
import shutil
import signal
import subprocess
import tempfile
import unittest
from pathlib import Path

from harness import SCREEN, TAVELIN, wait_until
from processes import end, watch_calls
from wayland_harness import WaylandSession, WestonSession


POLL_SYSCALL = 7   # x86-64


def tavelin_lines(text):
    return [line for line in text.splitlines() if line.startswith("tavelin:")]


@unittest.skipUnless(shutil.which("weston") and shutil.which("Xwayland"), "weston or Xwayland not installed")
class WithoutLayerShell(unittest.TestCase):
    def session(self, xwayland):
        session = WestonSession(xwayland)
        self.addCleanup(session.close)
        return session

    def test_with_no_x_server_it_exits_1_saying_why(self):
        session = self.session(xwayland=False)
        tavelin = session.start_tavelin()
        self.assertEqual(tavelin.wait(timeout=60), 1)
        self.assertEqual(tavelin_lines(session.stderr()),
                         ["tavelin: cannot start: the Wayland compositor offers no layer-shell and there is no X display"])

    def test_through_xwayland_it_runs_and_says_what_xwayland_cannot_do(self):
        session = self.session(xwayland=True)
        tavelin = session.start_tavelin()
        # The grid is an X11 window on XWayland's screen, the size of weston's output.
        def overlay():
            found = session.run(["xwininfo", "-name", "Tavelin Overlay"])
            return found.returncode == 0 and "IsViewable" in found.stdout.decode() and found.stdout.decode()
        info = wait_until(overlay, timeout=30, interval=0.2, what="the grid's window on XWayland")
        self.assertIn(f"Width: {SCREEN[0]}", info)
        self.assertIn(f"Height: {SCREEN[1]}", info)
        status, out, _ = session.cli("state")
        self.assertEqual(status, 0)
        self.assertIn("visible: on", out)
        self.assertIsNone(tavelin.poll())
        # weston has no tray either: that is told a few seconds on.
        lines = wait_until(lambda: len(tavelin_lines(session.stderr())) >= 2 and tavelin_lines(session.stderr()),
                           timeout=20, what="the line on the missing tray")
        self.assertEqual(len(lines), 2, lines)
        self.assertIn("running through XWayland", lines[0])
        self.assertIn("screenshots show X11 windows only", lines[0])
        self.assertIn("no tray on this desktop", lines[1])


def no_tray_aside(lines):
    # A session without a panel says so a few seconds on; that line may come first.
    return [line for line in lines if "no tray on this desktop" not in line]


class WithoutACompositor(unittest.TestCase):
    def test_a_wayland_display_nobody_answers_at_and_no_x_server_exit_1_saying_so(self):
        with tempfile.TemporaryDirectory() as runtime:
            os.chmod(runtime, 0o700)
            env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": runtime, "XDG_RUNTIME_DIR": runtime,
                   "WAYLAND_DISPLAY": "wayland-gone"}
            result = subprocess.run([TAVELIN], env=env, capture_output=True, text=True, timeout=60)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(tavelin_lines(result.stderr),
                         ["tavelin: cannot start: no Wayland compositor answers at WAYLAND_DISPLAY=wayland-gone "
                          "and there is no X display"])
        # Without a runtime folder the name leads nowhere, whatever socket there is.
        del env["XDG_RUNTIME_DIR"]
        result = subprocess.run([TAVELIN], env=dict(env, WAYLAND_DISPLAY="wayland-1"), capture_output=True, text=True, timeout=60)
        self.assertEqual((result.returncode, tavelin_lines(result.stderr)),
                         (1, ["tavelin: cannot start: no Wayland compositor answers at WAYLAND_DISPLAY=wayland-1 "
                              "(XDG_RUNTIME_DIR is not set) and there is no X display"]))

    @unittest.skipUnless(shutil.which("sway") and shutil.which("grim"), "sway or grim not installed")
    def test_the_compositor_ending_ends_tavelin_with_status_1_and_one_line(self):
        session = WaylandSession()
        self.addCleanup(session.close)
        tavelin = session.start_tavelin()
        wait_until(session.grid_drawn, timeout=20, interval=0.2, what="the grid on the Wayland screen")
        end(session.sway)
        self.assertEqual(tavelin.wait(timeout=30), 1)
        self.assertEqual(no_tray_aside(tavelin_lines(session.stderr())),
                         ["tavelin: the Wayland compositor closed the connection"])


def waits_for_one_fd(pid):
    """Whether the main thread sleeps in poll on one descriptor with a timeout: the capture's wait for
    the compositor's answer (the event loop polls several, the signal lands on the main thread)."""
    try:
        words = Path(f"/proc/{pid}/task/{pid}/syscall").read_text().split()
    except OSError:
        return False
    return words[0] == str(POLL_SYSCALL) and int(words[2], 16) == 1 and 0 < int(words[3], 16) <= 5000


@unittest.skipUnless(shutil.which("sway") and shutil.which("grim"), "sway or grim not installed")
@unittest.skipUnless(platform.machine() == "x86_64", "reads x86-64 system call numbers")
class QuitDuringAShot(unittest.TestCase):
    def test_sigterm_while_the_compositor_is_slow_to_capture_ends_tavelin_after_the_shot(self):
        session = WaylandSession()
        self.addCleanup(session.close)
        tavelin = session.start_tavelin()
        wait_until(session.grid_drawn, timeout=20, interval=0.2, what="the grid on the Wayland screen")
        calls = watch_calls(session._spawn)
        path = os.path.join(session.home, "bug.png")
        # sway stopped: the capture Tavelin asks for waits, and the signal lands in that wait.
        os.kill(session.sway.pid, signal.SIGSTOP)
        try:
            shot = session._spawn([TAVELIN, "shot", path], stderr=subprocess.PIPE)
            calls.next_matching("method call")
            wait_until(lambda: waits_for_one_fd(tavelin.pid), timeout=20, what="Tavelin waiting for the capture")
            tavelin.send_signal(signal.SIGTERM)
        finally:
            os.kill(session.sway.pid, signal.SIGCONT)
        self.assertEqual((shot.wait(timeout=30), shot.stderr.read()), (0, b""))
        shot.stderr.close()
        self.assertEqual(tavelin.wait(timeout=30), 0)
        self.assertTrue(os.path.getsize(path) > 0)
        self.assertEqual(no_tray_aside(tavelin_lines(session.stderr())), [])
