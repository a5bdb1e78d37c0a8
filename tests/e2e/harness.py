"""A private X desktop for end-to-end tests: Xvfb, openbox, a compositor and a session bus,
the real tavelin binary, and readers for windows, pixels and the clipboard.

Everything started here is ended by pid when the desktop stops."""

import json
import os
import shutil
import signal
import struct
import subprocess
import tempfile
import time
import unittest

BUILD_DIR = os.environ.get("TAVELIN_BUILD_DIR", os.path.join(os.path.dirname(__file__), "..", "..", "build"))
TAVELIN = os.environ.get("TAVELIN_BIN", os.path.join(BUILD_DIR, "src", "app", "tavelin"))
PROBE = os.environ.get("TAVELIN_PROBE", os.path.join(BUILD_DIR, "tests", "e2e", "x11probe"))
TRAYBUS = os.environ.get("TAVELIN_TRAYBUS", os.path.join(BUILD_DIR, "tests", "e2e", "traybus"))


def wait_until(predicate, timeout=5.0, interval=0.02, what="condition"):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout}s waiting for {what}")
        time.sleep(interval)


def frame_rect(desktop, window):
    """What the user sees of a window: the root's child that holds it (the manager's frame,
    decorations included), found by walking up the window tree."""
    while True:
        tree = desktop.run(["xwininfo", "-tree", "-id", str(window)])
        root = int(tree.split("Root window id: ")[1].split()[0], 16)
        parent = int(tree.split("Parent window id: ")[1].split()[0], 16)
        if parent == root:
            break
        window = parent
    info = desktop.run(["xwininfo", "-id", str(window)])

    def field(name):
        return int(info.split(name + ":")[1].split()[0])
    # xwininfo's upper-left is the outer corner; its width and height leave the border out.
    border = field("Border width")
    return (field("Absolute upper-left X"), field("Absolute upper-left Y"),
            field("Width") + 2 * border, field("Height") + 2 * border)


class Image:
    """Pixels as rows of (r, g, b[, a]) bytes."""

    def __init__(self, width, height, data, channels):
        self.width, self.height, self.data, self.channels = width, height, data, channels

    def pixel(self, x, y):
        i = (y * self.width + x) * self.channels
        return tuple(self.data[i:i + 3])

    def alpha(self, x, y):
        return self.data[(y * self.width + x) * self.channels + 3] if self.channels == 4 else 255

    @staticmethod
    def from_png_bytes(png):
        size = subprocess.run(["identify", "-format", "%w %h", "png:-"], input=png,
                              capture_output=True, check=True).stdout.split()
        raw = subprocess.run(["convert", "png:-", "-depth", "8", "rgba:-"], input=png,
                             capture_output=True, check=True).stdout
        return Image(int(size[0]), int(size[1]), raw, 4)

    @staticmethod
    def from_png_file(path):
        with open(path, "rb") as f:
            return Image.from_png_bytes(f.read())

    @staticmethod
    def from_ppm(ppm):
        # The probe writes exactly "P6\n<w> <h>\n255\n" before the pixels.
        magic, size, maxval, rest = ppm.split(b"\n", 3)
        width, height = (int(v) for v in size.split())
        if magic != b"P6" or maxval != b"255" or len(rest) < width * height * 3:
            raise ValueError("not an 8-bit binary PPM")
        return Image(width, height, rest, 3)

    def save_png(self, path):
        mode = "rgb" if self.channels == 3 else "rgba"
        subprocess.run(["convert", "-size", f"{self.width}x{self.height}", "-depth", "8", f"{mode}:-", path],
                       input=self.data, check=True)

    @staticmethod
    def from_xwd(xwd):
        # XWD file header: 25 big-endian CARD32 fields, then the window name, then colours.
        fields = struct.unpack(">25I", xwd[:100])
        header_size, width, height = fields[0], fields[4], fields[5]
        byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
        ncolors = fields[19]
        if bits_per_pixel != 32:
            raise ValueError(f"unsupported XWD depth {bits_per_pixel}")
        offset = header_size + ncolors * 12
        rgb = bytearray(width * height * 3)
        fmt = "<" if byte_order == 0 else ">"
        for y in range(height):
            row = xwd[offset + y * bytes_per_line: offset + y * bytes_per_line + width * 4]
            for x, (value,) in enumerate(struct.iter_unpack(fmt + "I", row)):
                i = (y * width + x) * 3
                rgb[i], rgb[i + 1], rgb[i + 2] = (value >> 16) & 255, (value >> 8) & 255, value & 255
        return Image(width, height, bytes(rgb), 3)


class MenuRow:
    """One row of the tray menu as a StatusNotifier panel reads it over com.canonical.dbusmenu."""

    def __init__(self, node):
        self.id, props = node[0], node[1]
        self.separator = props.get("type") == "separator"
        self.label = props.get("label", "")
        self.enabled = props.get("enabled", True)
        self.visible = props.get("visible", True)
        self.toggle_type = props.get("toggle-type", "")
        self.checked = props.get("toggle-state", 0) == 1
        self.shortcut = props.get("shortcut", [])

    def __repr__(self):
        if self.separator:
            return "MenuRow(separator)"
        mark = {"checkmark": "[x]" if self.checked else "[ ]"}.get(self.toggle_type, "")
        return f"MenuRow({self.id} {self.label!r}{mark}{'' if self.enabled else ' disabled'})"


class Desktop:
    """One virtual X desktop with its own session bus."""

    def __init__(self, width=1440, height=900, compositor="xcompmgr", window_manager=True, tray_watcher=False):
        self.width, self.height = width, height
        self.tray_watcher = tray_watcher
        self.compositor_name = compositor
        self.window_manager = window_manager
        self.processes = []
        self.home = tempfile.mkdtemp(prefix="tavelin-home-")
        os.makedirs(os.path.join(self.home, "Desktop"))
        self.env = dict(os.environ)

    # --- lifetime ---
    def start(self):
        read_fd, write_fd = os.pipe()
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{self.width}x{self.height}x24",
             "-nolisten", "tcp", "+extension", "COMPOSITE", "+extension", "RANDR", "-noreset"],
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
                        HOME=self.home, QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=self.home,
                        NO_AT_BRIDGE="1")
        self.env.pop("WAYLAND_DISPLAY", None)
        if self.tray_watcher:
            self.start_tray_watcher()
        if self.window_manager:
            self.spawn(["openbox", "--sm-disable"])
            wait_until(lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in self.run(["xprop", "-root"]),
                       what="window manager")
        if self.compositor_name:
            self.start_compositor()
        return self

    def stop(self):
        for p in reversed(self.processes):
            if p.poll() is None:
                p.terminate()
        for p in reversed(self.processes):
            try:
                p.wait(timeout=3)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
        for p in self.processes:
            if p.stdout:
                p.stdout.close()
        self.processes.clear()
        shutil.rmtree(self.home, ignore_errors=True)

    def spawn(self, argv, **kwargs):
        p = subprocess.Popen(argv, env=self.env, stdout=kwargs.pop("stdout", subprocess.DEVNULL),
                             stderr=kwargs.pop("stderr", subprocess.DEVNULL), **kwargs)
        self.processes.append(p)
        return p

    def run(self, argv, check=False, **kwargs):
        return subprocess.run(argv, env=self.env, capture_output=True, text=kwargs.pop("text", True),
                              check=check, **kwargs).stdout

    def compositor_running(self):
        return self.probe("selection-owner", "_NET_WM_CM_S0").strip() not in ("", "0x0")

    def start_compositor(self, name=None):
        """Starts the desktop's compositor, or the one named ("xcompmgr" or "picom") on a desktop
        that started without one."""
        name = name or self.compositor_name
        argv = ["xcompmgr", "-n"] if name == "xcompmgr" else \
               ["picom", "--backend", "xrender", "--no-vsync"]
        self.compositor = self.spawn(argv)
        wait_until(self.compositor_running, what="compositor")

    def stop_compositor(self):
        self.compositor.terminate()
        self.compositor.wait(timeout=3)
        wait_until(lambda: not self.compositor_running(), what="compositor to stop")

    # --- programs ---
    def start_tavelin(self, extra_env=None):
        env = dict(self.env, **(extra_env or {}))
        with open(os.path.join(self.home, "tavelin.log"), "w") as log:
            p = subprocess.Popen([TAVELIN], env=env, stdout=log, stderr=log)
        self.processes.append(p)
        self.tavelin = p
        return p

    def tavelin_log(self):
        with open(os.path.join(self.home, "tavelin.log")) as f:
            return f.read()

    def start_xterm(self, x, y, cols=60, rows=15, title="e2e-xterm", command=None, timeout=15.0):
        argv = ["xterm", "-geometry", f"{cols}x{rows}+{x}+{y}", "-title", title, "-bg", "#203040",
                "-fg", "white"]
        if command:
            argv += ["-e"] + command
        self.spawn(argv)
        # Now and then, on a fresh desktop, xterm shows its window only after about 5 s: its
        # toolkit's wait for the window manager's answer runs out first.
        return wait_until(lambda: self.find_window(title), timeout=timeout, what=f"xterm {title}")

    def find_window(self, title):
        out = self.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"]).split()
        return int(out[0]) if out else None

    # --- tray over D-Bus ---
    def start_tray_watcher(self):
        """Serves org.kde.StatusNotifierWatcher with a host on this desktop's bus, as a panel does.
        Qt picks its tray kind once, at the first icon: start this before tavelin."""
        self.spawn([TRAYBUS, "watch"])
        wait_until(lambda: self.traybus_call("items") is not None, what="StatusNotifierWatcher")

    def traybus_call(self, *args):
        out = subprocess.run([TRAYBUS] + [str(a) for a in args], env=self.env, capture_output=True, text=True,
                             timeout=20)
        return out.stdout if out.returncode == 0 else None

    def tray_item(self, pid=None, timeout=10.0):
        """(bus name, object path) of the StatusNotifierItem that process pid (tavelin) registered."""
        pid = pid or self.tavelin.pid

        def find():
            for line in (self.traybus_call("items") or "").splitlines():
                service, path, owner = line.split()
                if int(owner) == pid:
                    return service, path
            return None
        return wait_until(find, timeout=timeout, what=f"tray item of pid {pid}")

    def tray_properties(self):
        """The item's org.kde.StatusNotifierItem properties (pixmap data shown as byte counts)."""
        return json.loads(self.traybus_call("props", *self.tray_item()))

    def menu_rows(self, timeout=10.0):
        """The top-level rows of tavelin's tray menu, read the way a panel opens it."""
        item = self.tray_item(timeout=timeout)

        def read():
            out = self.traybus_call("menu", *item)
            children = json.loads(out)["layout"][2] if out else []
            return [MenuRow(child) for child in children] or None
        return wait_until(read, timeout=timeout, what="tray menu rows")

    def menu_row(self, label):
        rows = [r for r in self.menu_rows() if r.label == label and not r.separator]
        if len(rows) != 1:
            raise AssertionError(f"expected one menu row {label!r}, found {len(rows)}")
        return rows[0]

    def menu_click(self, label):
        """Clicks a row of the tray menu by its exact title, as a panel does (Event "clicked")."""
        row = self.menu_row(label)
        if not row.enabled:
            raise AssertionError(f"menu row {label!r} is disabled")
        if self.traybus_call("click", *self.tray_item(), row.id) is None:
            raise AssertionError(f"clicking menu row {label!r} failed")

    # --- reading ---
    def probe(self, *args):
        return self.run([PROBE] + [str(a) for a in args])

    def root_image(self):
        """The whole screen as the compositor shows it (one GetImage of the root)."""
        ppm = subprocess.run([PROBE, "root-ppm"], env=self.env, capture_output=True, check=True).stdout
        return Image.from_ppm(ppm)

    def root_pixels(self, x, y, width, height):
        """A small part of the screen as rows of (r, g, b), read straight from the root window."""
        out = self.run([PROBE, "root-pixels", str(x), str(y), str(width), str(height)], check=True)
        return [[((v >> 16) & 255, (v >> 8) & 255, v & 255) for v in (int(h, 16) for h in line.split())]
                for line in out.splitlines()]

    def clipboard_png(self):
        return subprocess.run(["xclip", "-selection", "clipboard", "-t", "image/png", "-o"], env=self.env,
                              capture_output=True, timeout=10).stdout

    def key(self, *keys):
        self.run(["xdotool", "key", "--clearmodifiers"] + list(keys), check=True)

    def overlay_window(self, timeout=5.0):
        """The id of Tavelin's mapped overlay window (found by its WM_CLASS and size)."""
        def find():
            out = self.probe("find-overlay", self.tavelin.pid).strip()
            return int(out, 16) if out and out != "0x0" else None
        return wait_until(find, timeout=timeout, what="overlay window")


class DesktopTestCase(unittest.TestCase):
    """A test class with one desktop shared by its tests, and a fresh tavelin per test."""

    desktop_options = {}
    start_tavelin = True

    @classmethod
    def setUpClass(cls):
        cls.desktop = Desktop(**cls.desktop_options).start()

    @classmethod
    def tearDownClass(cls):
        cls.desktop.stop()

    def setUp(self):
        if self.start_tavelin:
            self.tavelin = self.desktop.start_tavelin()
            self.overlay = self.desktop.overlay_window()

    def tearDown(self):
        if self.start_tavelin and self.tavelin.poll() is None:
            self.tavelin.terminate()
            self.tavelin.wait(timeout=5)
