"""What an X desktop tells of its windows and virtual desktops: a mixin for harness.Desktop (its run and probe)."""

import time

from processes import wait_until


class X11Windows:
    def find_window(self, title):
        out = self.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"]).split()
        return int(out[0]) if out else None

    def window_info(self, window):
        """xwininfo's numeric fields of a window ("Width", "Depth"...), or {} once it is gone."""
        fields = (line.split(":", 1) for line in self.run(["xwininfo", "-id", str(window)]).splitlines() if ":" in line)
        return {name.strip(): int(value) for name, value in fields if value.strip().lstrip("-").isdigit()}

    def geometry(self, window):
        """(x, y, width, height) of a window on the root, border included, or None once it is gone."""
        info = self.window_info(window)
        # xwininfo's upper-left is the outer corner; its width and height leave the border out.
        border = info.get("Border width", 0) * 2
        return (info["Absolute upper-left X"], info["Absolute upper-left Y"], info["Width"] + border,
                info["Height"] + border) if info else None

    def shape(self, window, kind="bounding"):
        """The rectangle count of a window's input or bounding shape, and its first 50 rectangles."""
        words = [int(v) for v in self.probe("shape", window, kind).split()]
        return words[0], [tuple(words[i:i + 4]) for i in range(1, len(words), 4)]

    def frame_window(self, window):
        """The root's child that holds a window: the window manager's frame, or the window itself;
        None once it is gone (a menu closing while it is read)."""
        while True:
            tree = self.run(["xwininfo", "-tree", "-id", str(window)])
            if "Root window id: " not in tree:
                return None
            root = int(tree.split("Root window id: ")[1].split()[0], 16)
            parent = int(tree.split("Parent window id: ")[1].split()[0], 16)
            if parent == root:
                return window
            window = parent

    def frame(self, window):
        """What the user sees of a window: its frame, decorations and border included."""
        return self.geometry(self.frame_window(window))

    def move(self, window, x, y):
        """Moves a window and waits until its frame has left where it was: the new frame."""
        before = self.frame(window)
        self.run(["xdotool", "windowmove", str(window), str(x), str(y)], check=True)
        return wait_until(lambda: self.frame(window)[:2] != before[:2] and self.frame(window), what="window moved")

    def switch_desktop(self, number, command=None):
        """Switches to virtual desktop number (from 0), by xdotool or the given command, and waits."""
        self.run(command or ["xdotool", "set_desktop", str(number)], check=True)
        wait_until(lambda: self.run(["xdotool", "get_desktop"]).strip() == str(number), what=f"desktop {number}")

    def set_desktop_count(self, count):
        """Asks for count virtual desktops until there are (a manager just started may miss a request)."""
        def done():
            if self.run(["xdotool", "get_num_desktops"]).strip() == str(count):
                return True
            self.run(["xdotool", "set_num_desktops", str(count)], check=True)
        wait_until(done, timeout=20, what=f"{count} desktops")

    def seen_frame(self, window):
        """What the user sees of a window: the client grown by the frame extents the window manager
        states, or else the root's child holding it (a manager's frame can have invisible edges)."""
        out = self.run(["xprop", "-id", str(window), "_NET_FRAME_EXTENTS"])
        if "=" not in out:
            return self.frame(window)
        left, right, top, bottom = (int(v) for v in out.split("=")[1].split(","))
        x, y, width, height = self.geometry(window)
        return (x - left, y - top, width + left + right, height + top + bottom)

    def settled_frame(self, window):
        """The frame once the window manager has framed and placed the window (two equal readings)."""
        def read():
            first = self.frame(window)
            time.sleep(0.1)
            return first if first == self.frame(window) else None
        return wait_until(read, what="window framed and placed")
