"""A private Wayland session for end-to-end tests: headless sway (or weston) with one 1440x900 output,
its own runtime folder and session bus, the real tavelin binary, grim and a virtual pointer. sway will
not run as root, so under root the session runs as an unprivileged user. Ended by pid."""

import json
import os
import pwd
import re
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

from harness import BUILD_DIR, SCREEN, TAVELIN, TOP_INSET
from processes import end_all, wait_until
from pixels import Image, band_shows, differing

TEST_USER = "tavelin-test"
WLPOINTER = os.path.join(BUILD_DIR, "tests", "e2e", "wlpointer")
# Focus moves on clicks only, so that a click that reaches a window shows in the tree; the five
# shortcuts are sway's bindings running the command line, as the README tells users to set them.
SWAY_CONFIG = f"""\
output HEADLESS-1 resolution {SCREEN[0]}x{SCREEN[1]} position 0 0
output * bg #5a6e82 solid_color
focus_follows_mouse no
default_border none
bindsym Mod4+Shift+g exec {TAVELIN} grid toggle
bindsym Mod4+Shift+w exec {TAVELIN} pick
bindsym Mod4+Shift+l exec {TAVELIN} labels toggle
bindsym Mod4+Shift+s exec {TAVELIN} shot
bindsym Mod4+Shift+a exec {TAVELIN} adjust toggle
"""


def _session_user():
    """None when we may run sway ourselves; else the unprivileged user (made if missing)."""
    if os.geteuid() != 0:
        return None
    try:
        pwd.getpwnam(TEST_USER)
    except KeyError:
        subprocess.run(["useradd", "-m", TEST_USER], check=True)
    return pwd.getpwnam(TEST_USER)


def walk(tree):
    """Every node of a sway tree, tiled and floating."""
    todo = [tree]
    while todo:
        node = todo.pop()
        yield node
        todo += node.get("nodes", []) + node.get("floating_nodes", [])


class WaylandSession:
    def __init__(self):
        self.user = _session_user()
        self.dir = tempfile.mkdtemp(prefix="tavelin-wl-")
        self.runtime = os.path.join(self.dir, "run")
        self.home = os.path.join(self.dir, "home")
        os.makedirs(self.runtime, mode=0o700)
        os.makedirs(self.home)
        os.chmod(self.dir, 0o755)
        if self.user:
            for path in (self.dir, self.runtime, self.home):
                os.chown(path, self.user.pw_uid, self.user.pw_gid)
        self.processes = []
        self.env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": self.home,
                    "XDG_RUNTIME_DIR": self.runtime, "LANG": "C.UTF-8"}
        # The sanitizer build's settings reach the programs of the session too.
        self.env.update({k: os.environ[k] for k in ("ASAN_OPTIONS", "UBSAN_OPTIONS") if k in os.environ})
        try:
            bus = self._spawn(["dbus-daemon", "--session", "--nofork", "--print-address=1",
                               f"--address=unix:path={self.runtime}/bus"], stdout=subprocess.PIPE)
            self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()
            self._start_compositor()
        except BaseException:
            self.close()
            raise
        self.tavelin = None

    def _start_compositor(self):
        config = os.path.join(self.dir, "sway.conf")
        Path(config).write_text(SWAY_CONFIG)
        self.sway = self._spawn(["sway", "-c", config], extra={
            "WLR_BACKENDS": "headless", "WLR_RENDERER": "pixman", "WLR_LIBINPUT_NO_DEVICES": "1"})
        self.wait_sockets("sway")
        # With no devices the seat has no pointer: one served for the whole session gives clients
        # their wl_pointer before any test moves it, so no motion lands before a client listens.
        # headless sway draws the cursor into the output, captures too: it waits in the bottom
        # right corner, inside a cell, where the grid adds nothing over it.
        self.pointer_device = self._spawn([WLPOINTER, *SCREEN, SCREEN[0] - 1, SCREEN[1] - 1],
                                          stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        wait_until(lambda: b"pointer" in self.run(["swaymsg", "-t", "get_inputs", "-r"]).stdout, timeout=20,
                   what="a pointer on sway's seat")

    def _command(self, argv, extra=None):
        env = dict(self.env, **(extra or {}))
        prefix = ["env", "-i"] + [f"{k}={v}" for k, v in env.items()]
        if self.user:
            return ["setpriv", f"--reuid={self.user.pw_uid}", f"--regid={self.user.pw_gid}",
                    "--init-groups", "--"] + prefix + argv
        return prefix + argv

    def _spawn(self, argv, extra=None, **kwargs):
        argv = [str(a) for a in argv]
        kwargs.setdefault("stdout", subprocess.DEVNULL)
        kwargs.setdefault("stderr", subprocess.DEVNULL)
        process = subprocess.Popen(self._command(argv, extra), cwd=self.dir, **kwargs)
        self.processes.append(process)
        return process

    def run(self, argv, extra=None, **kwargs):
        return subprocess.run(self._command(argv, extra), cwd=self.dir, capture_output=True, timeout=60, **kwargs)

    def _runtime_file(self, prefix, old=()):
        """The name of a file of the runtime folder starting with prefix, not a lock and not in old."""
        return next((n for n in os.listdir(self.runtime) if n.startswith(prefix) and not n.endswith(".lock")
                     and n not in old), None)

    def wait_sockets(self, whose, old=(), ipc=True):
        """Points the session at the Wayland (and sway IPC) sockets that a new compositor makes."""
        self.env["WAYLAND_DISPLAY"] = wait_until(lambda: self._runtime_file("wayland-", old), timeout=20,
                                                 what=f"{whose}'s Wayland socket")
        if ipc:
            self.env["SWAYSOCK"] = os.path.join(self.runtime, wait_until(
                lambda: self._runtime_file("sway-ipc.", old), timeout=20, what=f"{whose}'s IPC socket"))


    def pointer(self, *steps):
        """Runs wlpointer's steps (move X Y, press, release, click) in order on the session's pointer;
        back once the compositor has taken them."""
        self.pointer_device.stdin.write((" ".join(str(s) for s in steps) + "\n").encode())
        self.pointer_device.stdin.flush()
        answer = self.pointer_device.stdout.readline()
        if answer != b"ok\n":
            raise AssertionError(f"wlpointer refused {steps}: {answer!r}")

    def press(self, shortcut):
        """Super+Shift+key through a virtual keyboard, as the user presses it."""
        result = self.run(["wtype", "-M", "logo", "-M", "shift", "-k", shortcut, "-m", "shift", "-m", "logo"])
        if result.returncode != 0:
            raise AssertionError("wtype failed: " + result.stderr.decode())

    def tree(self):
        return json.loads(self.run(["swaymsg", "-t", "get_tree", "-r"], check=True).stdout)

    def start_tavelin(self, extra=None):
        self.log = os.path.join(self.dir, "tavelin.log")
        with open(self.log, "wb") as log:
            self.tavelin = self._spawn([TAVELIN], extra, stderr=log)
        return self.tavelin

    def stderr(self):
        return Path(self.log).read_text(errors="replace")

    def logs(self):
        """What the session's programs said, for a failure's message."""
        return self.stderr()

    def cli(self, *args):
        result = self.run([TAVELIN, *args])
        return result.returncode, result.stdout.decode(), result.stderr.decode()

    def ok(self, *args):
        """The output of a command that must succeed."""
        status, out, err = self.cli(*args)
        if status != 0:
            raise AssertionError(f"tavelin {' '.join(args)} exited {status}: {err}; its log: {self.logs()}")
        return out

    def screen(self, output=None):
        """The whole layout, or one output, as grim reads it."""
        where = ["-o", output] if output else []
        return Image.from_png(self.run(["grim", *where, "-t", "png", "-"], check=True).stdout)

    def grid_drawn(self, output=None):
        return band_shows(self.screen(output).pixel, TOP_INSET)

    def swaymsg(self, *command, extra=None):
        result = subprocess.run(self._command(["swaymsg", *command], extra), capture_output=True, timeout=60)
        if result.returncode != 0:
            raise AssertionError("swaymsg failed: " + result.stdout.decode() + result.stderr.decode())

    def close(self):
        end_all(self.processes)
        shutil.rmtree(self.dir, ignore_errors=True)


class NestedSwaySession(WaylandSession):
    """A sway running as a client of the headless one, its outputs windows there (WL-1, …), so that
    closing such a window unplugs an output for real; Tavelin and the session's tools talk to the
    inner sway, outer_swaymsg to the outer one."""

    def _start_compositor(self):
        super()._start_compositor()
        self.outer = {k: self.env[k] for k in ("WAYLAND_DISPLAY", "SWAYSOCK")}
        before = set(os.listdir(self.runtime))
        config = os.path.join(self.dir, "inner.conf")
        Path(config).write_text("output * bg #5a6e82 solid_color\nxwayland disable\n")
        self._spawn(["sway", "-c", config], extra={"WLR_BACKENDS": "wayland", "WLR_RENDERER": "pixman"})
        self.wait_sockets("the inner sway", before)

    def outer_swaymsg(self, *command):
        self.swaymsg(*command, extra=self.outer)


class WestonSession(WaylandSession):
    """headless weston instead of sway: a compositor without layer-shell, with XWayland or without."""

    def __init__(self, xwayland):
        self.xwayland = xwayland
        super().__init__()

    def _start_compositor(self):
        log = os.path.join(self.dir, "weston.log")
        self._spawn(["weston", "--backend=headless-backend.so", f"--width={SCREEN[0]}", f"--height={SCREEN[1]}",
                     "--socket=wayland-tavelin", f"--log={log}"] + (["--xwayland"] if self.xwayland else []))
        self.wait_sockets("weston", ipc=False)
        if self.xwayland:
            # weston names the display it listens on for XWayland, started at the first X client.
            def display():
                match = re.search(r"xserver listening on display (:\d+)", Path(log).read_text(errors="replace"))
                return match and match.group(1)
            self.env["DISPLAY"] = wait_until(display, timeout=20, what="weston's XWayland display")


class WaylandTestCase(unittest.TestCase):
    """One session per test class (headless sway unless make_session says otherwise), with tavelin
    started on it and its grid on screen."""

    tools = ()          # programs the tests need besides sway's session
    tavelin_env = None

    @classmethod
    def missing(cls):
        return [t for t in ("sway", "grim", "dbus-daemon", *cls.tools) if not shutil.which(t)]

    @classmethod
    def make_session(cls):
        return WaylandSession()

    @classmethod
    def setUpClass(cls):
        if cls.missing():
            raise unittest.SkipTest("not installed: " + ", ".join(cls.missing()))
        cls.session = cls.make_session()
        cls.addClassCleanup(cls.session.close)   # also after a failed setUpClass
        cls.tavelin = cls.session.start_tavelin(cls.tavelin_env)
        wait_until(cls.session.grid_drawn, timeout=20, interval=0.2, what="the grid on the Wayland screen")
        cls.prepare_session()

    @classmethod
    def prepare_session(cls):
        """What a test class adds to its session before its tests."""

    @staticmethod
    def wait(predicate, what, timeout=15):
        return wait_until(predicate, timeout=timeout, interval=0.2, what=what)

    def shoot(self, name, back, region=None):
        """`tavelin shot` to name in the home folder; once back() holds again, the file must be what grim
        reads of region (x, y, width, height; the whole layout by default): the grid once, not twice."""
        path = os.path.join(self.session.home, name)
        self.session.ok("shot", path)
        self.wait(back, "the grid back after the shot")
        where = ["-g", "{},{} {}x{}".format(*region)] if region else []
        seen = Image.from_png(self.session.run(["grim", *where, "-t", "png", "-"], check=True).stdout)
        shot = Image.from_png(path)
        self.assertEqual((shot.width, shot.height), (seen.width, seen.height))
        self.assertEqual(differing(shot.rows(), seen.rows()), 0)
        return path
