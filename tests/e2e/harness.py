"""A private X desktop (Xvfb, window manager, compositor, session bus, panels) for end-to-end tests of tavelin."""

import glob
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import managers
from pathlib import Path
from pixels import Image, band_shows
from processes import LineReader, end, end_all, wait_until
from traybus import Panel
from x11windows import X11Windows

BUILD_DIR = os.environ.get("TAVELIN_BUILD_DIR", os.path.join(os.path.dirname(__file__), "..", "..", "build"))
TAVELIN = os.environ.get("TAVELIN_BIN", os.path.join(BUILD_DIR, "src", "app", "tavelin"))
PROBE = [sys.executable, os.path.join(os.path.dirname(__file__), "x11probe.py")]
TRAYBUS = os.path.join(os.path.dirname(__file__), "traybus.py")

# The full-screen grid at launch on the default screen: a clear strip for a menu bar, the top ruler
# band, the left one (laid on twice), both black at 0.35, and 80 px cells from their edges.
SCREEN = (1440, 900)
TOP_INSET, TOP_BAND, LEFT_BAND, CELL = 25, 22, 26, 80
GRID_TOP = TOP_INSET + TOP_BAND
COLS, ROWS = (SCREEN[0] - LEFT_BAND) // CELL, (SCREEN[1] - GRID_TOP) // CELL   # 17 (A..Q) and 10
BAND_ALPHA = 0.35
# Why a shot is refused while the window the grid follows is hidden.
NOT_SHOWN = "the window the grid follows is not on screen (minimized, shaded, on another desktop or in a scratchpad)"

# Tray menu rows the tests click.
TOGGLE_GRID = "Toggle Grid (\u2318\u21e7G)"
FULL_SCREEN = "  Full Screen"
SELECT_WINDOW = "  Select Window... (\u2318\u21e7W)"
CELL_LABELS = "Show Cell Labels (\u2318\u21e7L)"
SCREENSHOT = "Screenshot with Grid (\u2318\u21e7S)"
ADJUST_MODE = "Adjust Mode (\u2318\u21e7A)"

# A panel along the top, in the strip the full-screen grid leaves clear, as a menu bar would be.
TINT2_CONFIG = """\
panel_items = S
panel_size = 100% 24
panel_position = top center horizontal
panel_layer = top
systray_padding = 2 2 2
systray_icon_size = 20
"""


class Desktop(X11Windows):
    """One virtual X desktop with its own session bus, a window manager (openbox unless named, or none), a
    compositor unless the manager composites, and a StatusNotifier host or tint2's XEmbed tray if asked."""

    def __init__(self, width=SCREEN[0], height=SCREEN[1], compositor=True, window_manager=True,
                 tray_watcher=False, xembed_tray=False, shared_memory=True):
        self.width, self.height = width, height
        self.shared_memory = shared_memory  # False: a server without MIT-SHM, as over ssh -X
        self.window_manager = "openbox" if window_manager is True else window_manager or None
        self.with_compositor = compositor and not (self.window_manager and managers.composites(self.window_manager))
        self.tray_watcher, self.xembed_tray = tray_watcher, xembed_tray
        self.processes = []
        self.home = tempfile.mkdtemp(prefix="tavelin-home-")
        os.makedirs(os.path.join(self.home, "Desktop"))
        self.env = dict(os.environ)

    # --- lifetime ---
    def start(self):
        read_fd, write_fd = os.pipe()
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{self.width}x{self.height}x24",
             "-nolisten", "tcp", "+extension", "COMPOSITE", "+extension", "RANDR", "-noreset"]
            + ([] if self.shared_memory else ["-extension", "MIT-SHM"]),
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(xvfb)
        os.close(write_fd)
        with os.fdopen(read_fd) as f:
            number = f.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number
        bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.processes.append(bus)
        self.bus_address = bus.stdout.readline().strip()
        self.env.update(DISPLAY=self.display, DBUS_SESSION_BUS_ADDRESS=self.bus_address,
                        HOME=self.home, XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                        QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=self.home, NO_AT_BRIDGE="1")
        self.env.pop("WAYLAND_DISPLAY", None)
        self.panel = Panel(self.bus_address)
        if self.tray_watcher:
            # Qt picks its tray kind once, at the first icon: the host is there before tavelin.
            self.spawn([sys.executable, TRAYBUS, "watch"])
            wait_until(lambda: self.panel.items() is not None, what="StatusNotifierWatcher")
        if self.window_manager:
            with open(os.path.join(self.home, "wm.log"), "w") as log:
                self.spawn(managers.command(self.window_manager, self.home), stdout=log, stderr=log)
            # KWin takes seconds to start, the others well under one.
            wait_until(lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in self.run(["xprop", "-root"]),
                       timeout=60, what=f"window manager {self.window_manager}")
        if self.with_compositor:
            self.start_compositor()
        if self.xembed_tray:
            self.start_xembed_tray()
        return self

    def start_xembed_tray(self):
        config = os.path.join(self.home, "tint2rc")
        Path(config).write_text(TINT2_CONFIG)
        tray = self.spawn(["tint2", "-c", config])
        wait_until(lambda: self.has_owner("_NET_SYSTEM_TRAY_S0"), what="tint2 system tray")
        return tray

    def stop(self):
        end_all(self.processes)
        shutil.rmtree(self.home, ignore_errors=True)

    def spawn(self, argv, **kwargs):
        p = subprocess.Popen([str(a) for a in argv], env=self.env, stdout=kwargs.pop("stdout", subprocess.DEVNULL),
                             stderr=kwargs.pop("stderr", subprocess.DEVNULL), **kwargs)
        self.processes.append(p)
        return p

    def run(self, argv, check=False, **kwargs):
        return subprocess.run(argv, env=self.env, capture_output=True, text=kwargs.pop("text", True),
                              check=check, **kwargs).stdout

    def has_owner(self, selection):
        return self.probe("owner", selection).strip() not in ("", "0x0")

    def start_compositor(self, *command):
        self.compositor = self.spawn(list(command or ["xcompmgr", "-n"]))
        wait_until(lambda: self.has_owner("_NET_WM_CM_S0"), what="compositor")

    def stop_compositor(self):
        end(self.compositor)
        wait_until(lambda: not self.has_owner("_NET_WM_CM_S0"), what="compositor to stop")

    # --- programs ---
    def start_tavelin(self, extra_env=None, binary=TAVELIN):
        with open(os.path.join(self.home, "tavelin.log"), "w") as log:
            self.tavelin = subprocess.Popen([binary], env=dict(self.env, **(extra_env or {})), stdout=log, stderr=log)
        self.processes.append(self.tavelin)
        return self.tavelin

    def tavelin_log(self):
        return Path(self.home, "tavelin.log").read_text()

    def start_xterm(self, x, y, cols=60, rows=15, title="e2e-xterm", bg=(0x20, 0x30, 0x40), text=None,
                    command=None, timeout=15.0):
        """(process, window) of an xterm framed and placed by the window manager. With text, it shows
        that and echoes nothing typed into it."""
        if text is not None:
            command = ["sh", "-c", f"stty -echo; printf '{text}'; exec sleep 600"]
        p = self.spawn(["xterm", "-geometry", f"{cols}x{rows}+{x}+{y}", "-title", title,
                        "-bg", "#%02x%02x%02x" % bg, "-fg", "white"] + (["-e"] + command if command else []))
        # Now and then, on a fresh desktop, xterm shows its window only after about 5 s: its
        # toolkit's wait for the window manager's answer runs out first.
        window = wait_until(lambda: self.find_window(title), timeout=timeout, what=f"xterm {title}")
        self.settled_frame(window)
        return p, window

    # --- windows (the readers: x11windows.X11Windows) ---
    def probe(self, *args):
        return self.run(PROBE + [str(a) for a in args])

    def wallpaper(self, *colours):
        """A desktop window in vertical stripes of these colours beneath every window, for an hour,
        once it shows along the top row."""
        wall = self.spawn([*PROBE, "desktop-window", "3600"] + ["%02x%02x%02x" % c for c in colours], stdout=subprocess.PIPE)
        LineReader(wall).next_matching("ready")
        stripes = [colours[x * len(colours) // self.width] for x in range(self.width)]
        wait_until(lambda: self.root_pixels(0, 0, self.width, 1)[0] == stripes, timeout=10, what="the wallpaper")

    def overlay_id(self):
        """Tavelin's mapped overlay window, or None."""
        out = self.probe("find-window", self.tavelin.pid, "Tavelin Overlay").split()
        return int(out[0], 16) if out else None

    def overlay_window(self, timeout=5.0):
        return wait_until(self.overlay_id, timeout=timeout, what="overlay window")

    def grid_drawn(self):
        """The full-screen grid's paint has reached the screen (below a panel along the top, if any)."""
        return band_shows(self.pixel, TOP_INSET)

    def overlay_rect(self):
        """The mapped overlay's rectangle on the root, or None while it is not shown."""
        overlay = self.overlay_id()
        return self.geometry(overlay) if overlay else None

    def takes_mouse(self):
        """Whether the overlay has an input shape (adjust mode) rather than an empty one."""
        overlay = self.overlay_id()
        return bool(overlay) and self.shape(overlay, "input")[0] > 0

    def docked_icon(self):
        """Tavelin's tray icon window if it is docked in tint2's panel (held in the panel's frame)."""
        panels, icons = self.run(["xdotool", "search", "--class", "tint2"]).split(), self.probe(
            "find-window", self.tavelin.pid, "Tavelin").split()
        icon = int(icons[0], 16) if icons else None
        return icon if icon and panels and self.frame_window(icon) == self.frame_window(panels[0]) else None

    def docked_icon_rect(self):
        return self.geometry(wait_until(self.docked_icon, timeout=10, what="the icon docked in tint2"))

    def open_docked_menu(self, button, across=0.5):
        """Clicks the docked icon (through the grid over the panel) a fraction across it; the menu's window."""
        x, y, w, h = self.docked_icon_rect()
        self.click(x + int(w * across), y + h // 2, button)
        return wait_until(self.menu_windows, timeout=10, what="tray menu on screen")[0]

    def menu_windows(self):
        """Tavelin's mapped windows besides the overlay and the tray icon: an open menu."""
        ours = self.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.tavelin.pid)]).split()
        return [int(w) for w in ours if int(w) not in (self.overlay_id(), self.docked_icon())]

    # --- input ---
    def key(self, *keys):
        self.run(["xdotool", "key", "--clearmodifiers"] + list(keys), check=True)

    def click(self, x, y, button=1):
        self.run(["xdotool", "mousemove", str(x), str(y), "click", str(button)], check=True)

    def drag(self, *points):
        """Presses the left button at the first point, moves through the others, lets go at the last."""
        moves = [arg for point in points[1:] for arg in ("mousemove", *map(str, point))]
        self.run(["xdotool", "mousemove", *map(str, points[0]), "mousedown", "1", *moves, "mouseup", "1"], check=True)

    def grabbed(self, device="pointer"):
        """True while some client holds the pointer (or keyboard): a grab of our own is refused."""
        return subprocess.run([*PROBE, "hold-grab", device, "0"], env=self.env, capture_output=True).returncode != 0

    def wait_selecting(self):
        # The selection hides the grid and takes the pointer while it waits for the click.
        wait_until(lambda: self.overlay_id() is None, what="overlay hidden for the selection")
        wait_until(self.grabbed, what="pointer taken for the selection")

    def pick(self, x, y):
        """Picks the window at x, y with Super+Shift+W and a click."""
        self.key("super+shift+w")
        self.wait_selecting()
        self.click(x, y)

    # --- tray over D-Bus ---
    def tray_item(self, timeout=10.0):
        """(bus name, object path) of the StatusNotifierItem that tavelin registered."""
        return wait_until(lambda: self.panel.item_of(self.tavelin.pid), timeout=timeout, what="tavelin's tray item")

    def menu_rows(self, timeout=10.0):
        """The top-level rows of tavelin's tray menu, read the way a panel opens it."""
        item = self.tray_item(timeout=timeout)
        return wait_until(lambda: self.panel.rows(*item), timeout=timeout, what="tray menu rows")

    def menu_row(self, label):
        rows = [r for r in self.menu_rows() if r.label == label and not r.separator]
        if len(rows) != 1:
            raise AssertionError(f"expected one menu row {label!r}, found {len(rows)}")
        return rows[0]

    def menu_click(self, label):
        """Clicks an enabled row of the tray menu by its exact title, as a panel does."""
        row = self.menu_row(label)
        if not row.enabled or not self.panel.click(*self.tray_item(), row.id):
            raise AssertionError(f"clicking menu row {label!r} failed")

    # --- pixels and the clipboard ---
    def root_image(self, *rect):
        """The screen, or the rectangle x, y, w, h of it, as the compositor shows it (one GetImage of the root)."""
        return Image.from_ppm(self.run([*PROBE, "root-ppm", *map(str, rect)], check=True, text=False))

    def root_pixels(self, x, y, width, height):
        """A part of the screen as rows of (r, g, b)."""
        return self.root_image(x, y, width, height).rows()

    def pixel(self, x, y):
        return self.root_pixels(x, y, 1, 1)[0][0]

    def shots(self, folder=None):
        """The screenshot files in folder (the Desktop folder unless given)."""
        return glob.glob(os.path.join(folder or os.path.join(self.home, "Desktop"), "Tavelin_*.png"))

    def clipboard_png(self):
        return subprocess.run(["xclip", "-selection", "clipboard", "-t", "image/png", "-o"], env=self.env,
                              capture_output=True, timeout=10).stdout


class DesktopTestCase(unittest.TestCase):
    """A test class with one desktop shared by its tests, and a fresh tavelin per test."""

    desktop_options = {}
    start_tavelin = True
    tavelin_env = {}
    hear_notifications = False   # a notification server (traybus.py) for each test: self.next_notification()

    @classmethod
    def setUpClass(cls):
        cls.desktop = Desktop(**cls.desktop_options).start()
        cls.addClassCleanup(cls.desktop.stop)   # also after a failed setUpClass
        cls.prepare_desktop()

    @classmethod
    def prepare_desktop(cls):
        """What a test class adds to its desktop before its tests."""

    def setUp(self):
        if self.hear_notifications:
            self.notifications = LineReader(self.spawn([sys.executable, TRAYBUS, "notifications"], stdout=subprocess.PIPE))
            self.notifications.next_matching("ready")
        if self.start_tavelin:
            self.tavelin = self.desktop.start_tavelin(self.tavelin_env)
            self.overlay = self.desktop.overlay_window()
            # Mapped is not yet painted: a test reading the screen first would read the bare desktop.
            wait_until(self.desktop.grid_drawn, timeout=10, what="the grid on screen")

    def tearDown(self):
        if self.start_tavelin:
            end(self.tavelin)

    def next_notification(self):
        """The next desktop notification as "notify SUMMARY\tBODY" (the timeout bounds a broken build)."""
        return self.notifications.next_matching("notify", timeout=15)

    def spawn(self, argv, **kwargs):
        """A process that ends with the test."""
        p = self.desktop.spawn(argv, **kwargs)
        self.addCleanup(end, p)
        return p

    def watch_window(self, title, seconds, shape=False):
        """The probe's lines on Tavelin's window of that title appearing and vanishing, from the state it
        found first; returned once it watches, so nothing shown after this call is missed."""
        reader = LineReader(self.spawn([*PROBE, "watch-window", self.tavelin.pid, title, seconds] + (["shape"] if shape else []),
                                       stdout=subprocess.PIPE))
        found = []
        while (line := reader.next_matching("", timeout=20)) != "watching":
            found.append(line)
        reader.buffer = b"".join(f"{line}\n".encode() for line in found) + reader.buffer
        return reader

    def xterm(self, x, y, title, **options):
        """An xterm that closes with the test: (process, window)."""
        p, window = self.desktop.start_xterm(x, y, title=title, **options)
        self.addCleanup(end, p)
        return p, window

    def click_target(self, x, y, width, height):
        """A window at x, y that logs the presses it gets: (LineReader of "press X Y BUTTON", id)."""
        presses = LineReader(self.spawn([*PROBE, "click-target", x, y, width, height, 60], stdout=subprocess.PIPE))
        return presses, int(presses.next_matching("ready").split()[1], 16)

    def assert_click_reaches(self, presses, x, y, msg=None):
        """Clicks at x, y: the click target's next press is that click (not one taken before)."""
        self.desktop.click(x, y)
        self.assertEqual(presses.next_matching("press"), f"press {x} {y} 1", msg)

    def wait_overlay(self, rect, timeout=10.0, what="overlay"):
        """Waits until the overlay lies at rect; a failure says where it is instead."""
        try:
            wait_until(lambda: self.desktop.overlay_rect() == tuple(rect), timeout=timeout, what=f"{what} at {tuple(rect)}")
        except AssertionError as e:
            raise AssertionError(f"{e}; it is at {self.desktop.overlay_rect()}") from None

    def set_adjust_mode(self, on):
        self.desktop.key("super+shift+a")
        wait_until(lambda: self.desktop.takes_mouse() == on, what="adjust mode " + ("on" if on else "off"))
