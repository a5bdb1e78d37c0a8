"""Desktop parts that come and go while Tavelin runs: tray host, window manager, X server, a stale Wayland."""

import sys
import unittest

from harness import SCREEN, TRAYBUS, DesktopTestCase, Desktop, end, wait_until


def above(desktop, upper, lower):
    """Whether upper lies above lower among the root's children (xwininfo lists the topmost first)."""
    out = desktop.run(["xwininfo", "-root", "-children"])
    ids = [int(line.split()[0], 16) for line in out.splitlines() if line.strip().startswith("0x")]
    return upper in ids and lower in ids and ids.index(upper) < ids.index(lower)


class DesktopPartsTest(DesktopTestCase):
    desktop_options = {"tray_watcher": True}

    def test_the_icon_comes_back_when_the_tray_host_does(self):
        self.desktop.tray_item()
        watcher = next(p for p in self.desktop.processes if p.args[1:] == [TRAYBUS, "watch"])
        end(watcher)
        wait_until(lambda: self.desktop.panel.items() is None, what="the StatusNotifierWatcher gone")
        self.desktop.spawn([sys.executable, TRAYBUS, "watch"])
        item = self.desktop.tray_item(timeout=15)
        self.assertTrue(self.desktop.panel.rows(*item), "the menu is there again")

    def test_the_grid_keeps_above_on_every_desktop_without_a_taskbar_entry(self):
        def check_window():
            return self.desktop.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]).strip().split()[-1]
        before = check_window()
        old = next(p for p in self.desktop.processes if p.args[0] == "openbox")
        self.desktop.spawn(["openbox", "--replace", "--sm-disable"])
        self.assertEqual(old.wait(timeout=30), 0, "the old manager gave way")
        # The old manager's property outlives it: the new one is there once it names its own window.
        wait_until(lambda: check_window() not in (before, "found."), timeout=30, what="the new window manager")

        _, window = self.xterm(300, 200, "after-replace")
        frame = self.desktop.frame_window(window)
        overlay = self.desktop.overlay_window()
        wait_until(lambda: above(self.desktop, overlay, frame), what="the grid above the window opened under the new manager")
        self.desktop.run(["xdotool", "windowactivate", "--sync", str(window)], check=True)
        wait_until(lambda: above(self.desktop, overlay, frame), what="the grid above the window activated")
        clients = self.desktop.run(["xprop", "-root", "_NET_CLIENT_LIST"])
        self.assertNotIn(hex(overlay), clients, "no taskbar entry")

        self.addCleanup(self.desktop.set_desktop_count, 1)
        self.desktop.set_desktop_count(2)
        self.addCleanup(self.desktop.switch_desktop, 0)
        self.desktop.switch_desktop(1)
        wait_until(lambda: self.desktop.overlay_rect() == (0, 0) + SCREEN, what="the grid on the other desktop too")


class XServerGoneTest(unittest.TestCase):

    def test_tavelin_ends_with_status_1_and_one_line(self):
        desktop = Desktop(tray_watcher=True).start()   # a tray: no line saying there is none
        self.addCleanup(desktop.stop)
        tavelin = desktop.start_tavelin()
        desktop.overlay_window()
        xvfb = desktop.processes[0]
        end(xvfb)
        self.assertEqual(tavelin.wait(timeout=30), 1)
        lines = desktop.tavelin_log().splitlines()
        self.assertEqual(len(lines), 1, lines)
        self.assertIn("X11 connection broke", lines[0])

    def test_a_wayland_display_nobody_answers_at_leaves_tavelin_on_x_saying_so(self):
        desktop = Desktop(window_manager=False, compositor=False, tray_watcher=True).start()
        self.addCleanup(desktop.stop)
        desktop.start_tavelin({"WAYLAND_DISPLAY": "wayland-gone"})
        desktop.overlay_window()
        self.assertEqual(desktop.tavelin_log().splitlines(), [
            f"tavelin: no Wayland compositor answers at WAYLAND_DISPLAY=wayland-gone: running on the X display {desktop.display}"])
