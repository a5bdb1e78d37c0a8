"""x11probe: reads what xprop and xwininfo do not show, and plays other X clients, for end-to-end tests.

usage: x11probe.py owner SELECTION | find-window PID TITLE | watch-window PID TITLE SECONDS [shape] |
  shape WIN input|bounding | wm-state WIN add|remove STATE_ATOM | hold-grab pointer|keyboard SECONDS |
  click-target X Y W H SECONDS | root-ppm [X Y W H] | desktop-window SECONDS RRGGBB... | panel-menu X Y W H"""

import functools
import select
import struct
import sys
import time

import xcffib
import xcffib.shape
import xcffib.xproto as xp

c = setup = screen = root = shape = None   # the connection, set up by main


def reply(cookie):
    """A cookie's reply, or None for an X error (a window gone meanwhile)."""
    try:
        return cookie.reply()
    except xcffib.Error:
        return None


@functools.cache
def atom(name):
    return c.core.InternAtom(False, len(name), name).reply().atom


def now_ms():
    # CLOCK_MONOTONIC, the clock of the tests' own time.monotonic().
    return time.monotonic() * 1000


def each_event(seconds, handle, idle=None):
    """Hands every event to handle for seconds: 0 then, or 1 once the connection breaks."""
    end = now_ms() + seconds * 1000
    while now_ms() < end:
        if idle:
            idle()
        # Replies read meanwhile may have queued events the socket no longer shows: a short wait.
        select.select([c.get_file_descriptor()], [], [], min(max(end - now_ms(), 1), 10) / 1000)
        try:
            while event := c.poll_for_event():
                handle(event)
        except xcffib.ConnectionException:
            return 1
        except xcffib.Error:
            pass   # an error for a request that had no reply: the window it named is gone
        sys.stdout.flush()
    return 0


def create_window(x, y, width, height, background, value, events, title, override_redirect=False):
    """A top-level window titled title; background is CW.BackPixel or CW.BackPixmap, with value."""
    w = c.generate_id()
    # The values go in the order of their mask bits.
    mask, values = background | xp.CW.EventMask, [value, events]
    if override_redirect:
        mask, values = mask | xp.CW.OverrideRedirect, [value, 1, events]
    c.core.CreateWindow(xcffib.CopyFromParent, w, root, x, y, width, height, 0, xp.WindowClass.InputOutput,
                        screen.root_visual, mask, values)
    c.core.ChangeProperty(xp.PropMode.Replace, w, xp.Atom.WM_NAME, xp.Atom.STRING, 8, len(title), title)
    return w


def all_windows():
    """Every window of the tree, a level's requests all sent before a reply is read: a few round trips
    a pass, so a window that lives a fraction of a second is still seen on a loaded machine."""
    found, level = [root], [root]
    while level:
        trees = [reply(t) for t in [c.core.QueryTree(w) for w in level]]
        level = [child for tree in trees if tree for child in tree.children]
        found += level
    return found


def ask_match(w):
    return (c.core.GetProperty(False, w, atom("_NET_WM_PID"), xp.Atom.CARDINAL, 0, 1),
            c.core.GetProperty(False, w, atom("_NET_WM_NAME"), xp.GetPropertyType.Any, 0, 1024),
            c.core.GetProperty(False, w, xp.Atom.WM_NAME, xp.GetPropertyType.Any, 0, 1024),
            c.core.GetWindowAttributes(w))


def matches(cookies, pid, title):
    """Whether the window is viewable, of process pid and titled title (_NET_WM_NAME, else WM_NAME)."""
    pid_reply, net_name, name, attributes = (reply(cookie) for cookie in cookies)
    if not pid_reply or pid_reply.format != 32 or pid_reply.value_len < 1 or pid_reply.value.to_atoms()[0] != pid:
        return False
    if not attributes or attributes.map_state != xp.MapState.Viewable:
        return False
    text = lambda r: r.value.to_string() if r and r.format == 8 else ""
    return (text(net_name) or text(name)) == title


def matching_windows(pid, title):
    windows = all_windows()
    cookies = [ask_match(w) for w in windows]
    return [w for w, asked in zip(windows, cookies) if matches(asked, pid, title)]


def shape_words(w, kind, limit):
    """[N, X, Y, W, H, ...] for up to limit rectangles of the window's shape, or None."""
    r = reply(shape.GetRectangles(w, kind))
    if r is None:
        return None
    return [r.rectangles_len] + [v for rect in r.rectangles[:limit] for v in (rect.x, rect.y, rect.width, rect.height)]


def find_window(pid, title):
    for w in matching_windows(pid, title):
        print(hex(w))


def watch_window(pid, title, seconds, with_shape):
    """Prints the state found ("<ms> appeared <id> <x> <y> <w> <h>" [rectangle count, first rectangle]),
    "watching", then a line a map or unmap, for seconds. The windows watched are override-redirect children
    of the root, whose substructure events report each map and unmap in order: a window shown for a moment
    (the flash, the grid during a capture) is never missed, as looking at the tree now and then could."""
    start = now_ms()
    c.core.ChangeWindowAttributes(root, xp.CW.EventMask, [xp.EventMask.SubstructureNotify])
    found = matching_windows(pid, title)   # round trips: the mask is set before they are answered
    shown = [found[0] if found else None]

    def appeared(w):
        shown[0] = w
        g, t = reply(c.core.GetGeometry(w)), reply(c.core.TranslateCoordinates(w, root, 0, 0))
        words = [t.dst_x, t.dst_y] if t else [0, 0]
        words += [g.width, g.height] if g else [0, 0]
        if with_shape:
            words += shape_words(w, xcffib.shape.SK.Bounding, 1) or [0]
        print(f"{now_ms() - start:.0f} appeared {hex(w)}", *words)

    def handle(event):
        if isinstance(event, xp.MapNotifyEvent) and shown[0] is None:
            if matches(ask_match(event.window), pid, title):
                appeared(event.window)
        elif isinstance(event, (xp.UnmapNotifyEvent, xp.DestroyNotifyEvent)) and event.window == shown[0]:
            print(f"{now_ms() - start:.0f} vanished")
            shown[0] = None

    if shown[0] is not None:
        appeared(shown[0])
    print("watching", flush=True)
    return each_event(seconds - (now_ms() - start) / 1000, handle)


def change_wm_state(w, add, state):
    """EWMH _NET_WM_STATE on a mapped window, asked of the window manager (it ignores the property set)."""
    data = xp.ClientMessageData.synthetic([1 if add else 0, atom(state), 0, 1, 0], "I" * 5)   # 1: a normal application
    event = xp.ClientMessageEvent.synthetic(32, w, atom("_NET_WM_STATE"), data)
    c.core.SendEvent(False, root, xp.EventMask.SubstructureRedirect | xp.EventMask.SubstructureNotify, event.pack())
    c.core.GetInputFocus().reply()   # a round trip: the request is out


def hold_grab(device, seconds):
    """Holds the pointer or keyboard as another client's open menu does, printing "grabbed"; status 1
    when someone else holds it (with 0 seconds: whether the device is free)."""
    mode = xp.GrabMode.Async
    if device == "keyboard":
        r = reply(c.core.GrabKeyboard(False, root, xp.Time.CurrentTime, mode, mode))
    else:
        r = reply(c.core.GrabPointer(False, root, xp.EventMask.ButtonPress, mode, mode, 0, 0, xp.Time.CurrentTime))
    if not r or r.status != xp.GrabStatus.Success:
        return 1
    print("grabbed", flush=True)
    time.sleep(seconds)
    return 0


def click_target(x, y, width, height, seconds):
    """A teal window at X Y, W × H: prints "ready 0xID" once mapped, then "press X Y BUTTON" (root
    coordinates) for each press it gets."""
    w = create_window(x, y, width, height, xp.CW.BackPixel, 0x208080,
                      xp.EventMask.ButtonPress | xp.EventMask.StructureNotify, "e2e-click-target")
    # ICCCM WM_NORMAL_HINTS with a user-specified position and size, which window managers keep.
    hints = struct.pack("18I", 1 | 2, x, y, width, height, *[0] * 13)
    c.core.ChangeProperty(xp.PropMode.Replace, w, xp.Atom.WM_NORMAL_HINTS, xp.Atom.WM_SIZE_HINTS, 32, 18, hints)
    c.core.MapWindow(w)
    c.flush()

    def handle(event):
        if isinstance(event, xp.MapNotifyEvent):
            print("ready", hex(w))
        if isinstance(event, xp.ButtonPressEvent):
            print("press", event.root_x, event.root_y, event.detail)
    return each_event(seconds, handle)


def panel_menu(x, y, width, height):
    """A menu as a panel draws the tray's exported one: override-redirect, typed _NET_WM_WINDOW_TYPE_POPUP_MENU,
    magenta, at X Y, W × H. Prints "ready 0xID" once mapped; a line on stdin closes it 0.1 s later, as
    a panel's menu that fades out, and it prints "closed"; it ends with stdin."""
    w = create_window(x, y, width, height, xp.CW.BackPixel, 0xff00ff, xp.EventMask.StructureNotify, "e2e-panel-menu",
                      override_redirect=True)
    c.core.ChangeProperty(xp.PropMode.Replace, w, atom("_NET_WM_WINDOW_TYPE"), xp.Atom.ATOM, 32, 1,
                          struct.pack("I", atom("_NET_WM_WINDOW_TYPE_POPUP_MENU")))
    c.core.MapWindow(w)
    c.flush()
    state = {"close_at": None, "done": False}

    def handle(event):
        if isinstance(event, xp.MapNotifyEvent):
            print("ready", hex(w))
        if isinstance(event, xp.UnmapNotifyEvent):
            print("closed")

    def idle():
        if state["close_at"] is None and select.select([sys.stdin], [], [], 0)[0]:
            if not sys.stdin.readline():
                sys.exit(0)
            state["close_at"] = now_ms() + 100
        if state["close_at"] is not None and now_ms() >= state["close_at"] and not state["done"]:
            c.core.UnmapWindow(w)
            c.flush()
            state["done"] = True
    return each_event(3600, handle, idle)


def root_ppm(x, y, width, height):
    """A rectangle of the root as a binary PPM: what the screen shows, composited (xwd rebuilds it from
    each window's own pixels, losing the compositor's blend). 32 bits per pixel only."""
    if width <= 0 or height <= 0:
        return 2
    image = reply(c.core.GetImage(xp.ImageFormat.ZPixmap, root, x, y, width, height, 0xffffffff))
    data = image.data.buf() if image else b""
    if len(data) < width * height * 4:
        return 1
    stride = len(data) // height
    pixels = b"".join(data[r * stride:r * stride + width * 4] for r in range(height))
    lsb_first = setup.image_byte_order == xp.ImageOrder.LSBFirst
    rgb = bytearray(width * height * 3)
    for i, channel in enumerate((2, 1, 0) if lsb_first else (1, 2, 3)):
        rgb[i::3] = pixels[channel::4]
    sys.stdout.buffer.write(b"P6\n%d %d\n255\n" % (width, height) + rgb)
    return 0


def desktop_window(seconds, colours):
    """A screen-sized desktop-type window (managers keep it below all) in equal vertical stripes, one a
    colour; prints "ready 0xID" once mapped. Its background pixmap repaints it with or without a compositor."""
    width, height = screen.width_in_pixels, screen.height_in_pixels
    pixmap, gc = c.generate_id(), c.generate_id()
    c.core.CreatePixmap(screen.root_depth, pixmap, root, width, height)
    c.core.CreateGC(gc, pixmap, 0, [])
    for i, colour in enumerate(colours):
        c.core.ChangeGC(gc, xp.GC.Foreground, [colour])
        left, right = width * i // len(colours), width * (i + 1) // len(colours)
        c.core.PolyFillRectangle(pixmap, gc, 1, [xp.RECTANGLE.synthetic(left, 0, right - left, height)])
    w = create_window(0, 0, width, height, xp.CW.BackPixmap, pixmap, xp.EventMask.StructureNotify, "e2e-desktop")
    c.core.ChangeProperty(xp.PropMode.Replace, w, atom("_NET_WM_WINDOW_TYPE"), xp.Atom.ATOM, 32, 1,
                          struct.pack("I", atom("_NET_WM_WINDOW_TYPE_DESKTOP")))
    # A window manager just started now and then lets a first map request go unanswered: ask again
    # every half second until the window is up.
    state = {"mapped": False, "next": 0}

    def handle(event):
        if isinstance(event, xp.MapNotifyEvent) and not state["mapped"]:
            state["mapped"] = True
            print("ready", hex(w))

    def idle():
        if not state["mapped"] and now_ms() > state["next"]:
            c.core.MapWindow(w)
            c.flush()
            state["next"] = now_ms() + 500
    return each_event(seconds, handle, idle)


def run(command, args):
    """The command's exit status: 0 done, 1 failed, 2 a usage error."""
    kinds = {"input": xcffib.shape.SK.Input, "bounding": xcffib.shape.SK.Bounding}
    if command == "owner" and len(args) == 1:
        r = reply(c.core.GetSelectionOwner(atom(args[0])))
        print(hex(r.owner if r else 0))
        return 0 if r else 1
    if command == "find-window" and len(args) == 2:
        return find_window(int(args[0]), args[1])
    if command == "watch-window" and (len(args) == 3 or args[3:] == ["shape"]):
        return watch_window(int(args[0]), args[1], float(args[2]), len(args) == 4)
    if command == "shape" and len(args) == 2 and args[1] in kinds:
        words = shape_words(int(args[0], 0), kinds[args[1]], 50)
        if words is not None:
            print(*words)
        return 0 if words is not None else 1
    if command == "wm-state" and len(args) == 3:
        return change_wm_state(int(args[0], 0), args[1] == "add", args[2])
    if command == "hold-grab" and len(args) == 2:
        return hold_grab(args[0], float(args[1]))
    if command == "click-target" and len(args) == 5:
        return click_target(*map(int, args[:4]), float(args[4]))
    if command == "root-ppm" and len(args) in (0, 4):
        return root_ppm(*(map(int, args) if args else (0, 0, screen.width_in_pixels, screen.height_in_pixels)))
    if command == "desktop-window" and len(args) >= 2:
        return desktop_window(float(args[0]), [int(colour, 16) for colour in args[1:]])
    if command == "panel-menu" and len(args) == 4:
        return panel_menu(*map(int, args))
    print(__doc__.split("\n\n")[1], file=sys.stderr)
    return 2


def main():
    global c, setup, screen, root, shape
    if len(sys.argv) < 2:
        return run("", [])
    try:
        c = xcffib.connect()
    except xcffib.ConnectionException as e:
        print(f"x11probe: cannot connect to the X server: {e}", file=sys.stderr)
        return 1
    setup = c.get_setup()
    screen = setup.roots[c.pref_screen]
    root = screen.root
    shape = c(xcffib.shape.key)
    return run(sys.argv[1], sys.argv[2:]) or 0


if __name__ == "__main__":
    sys.exit(main())
