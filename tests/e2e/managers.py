"""The X11 window managers the end-to-end tests can start, and what they need to know of each."""

from pathlib import Path

# Every test window floats under i3 too, so it can be placed and moved like anywhere else; the
# wallpaper window, tiled alone, covers the screen without a border.
I3_CONFIG = """\
# i3 config file (v4)
font pango:monospace 8
for_window [class="XTerm"] floating enable
for_window [title="^e2e-click-target$"] floating enable
for_window [title="^e2e-desktop$"] border none
"""

# name: (argv, composites itself)
MANAGERS = {
    "openbox": (["openbox", "--sm-disable"], False),
    "i3": (["i3", "-c", "{home}/i3config"], False),
    "fluxbox": (["fluxbox"], False),
    "xfwm4": (["xfwm4", "--replace"], True),
    "mutter": (["mutter", "--x11", "--replace"], True),
    "kwin_x11": (["kwin_x11", "--replace"], True),
}


def composites(name):
    return MANAGERS[name][1]


def command(name, home):
    """The argv that starts the manager, with its configuration written under home."""
    if name == "i3":
        Path(home, "i3config").write_text(I3_CONFIG)
    return [arg.format(home=home) for arg in MANAGERS[name][0]]


def switch_command(name, desktop):
    """The command that switches to desktop (from 0): i3's workspaces exist only while visited."""
    if name == "i3":
        return ["i3-msg", "-q", "workspace", str(desktop + 1)]
    return ["xdotool", "set_desktop", str(desktop)]
