"""The tavelin command line run the way a script runs it, and what the tests read from its answers."""

import json
import os
import subprocess

from harness import TAVELIN
from pixels import Image

# Bounds only how long a broken build may hang; every command answers in a fraction of a second.
COMMAND_TIMEOUT = 20.0


def tavelin(desktop, *args, env=None, binary=False):
    """Runs `tavelin ARGS` against the desktop's session: the completed process (stdout, stderr)."""
    return subprocess.run([TAVELIN] + [str(a) for a in args], env=env if env is not None else desktop.env,
                          capture_output=True, text=not binary, timeout=COMMAND_TIMEOUT)


def ok(desktop, *args):
    """The output of a command that must succeed."""
    done = tavelin(desktop, *args)
    if done.returncode != 0:
        raise AssertionError(f"tavelin {' '.join(map(str, args))} exited {done.returncode}: {done.stderr.strip()}")
    return done.stdout


def piped_shot(desktop):
    """The image `tavelin shot -` writes to its standard output."""
    done = tavelin(desktop, "shot", "-", binary=True)
    if done.returncode != 0:
        raise AssertionError(f"tavelin shot - exited {done.returncode}: {done.stderr.decode(errors='replace').strip()}")
    return Image.from_png(done.stdout)


def state(desktop):
    return json.loads(ok(desktop, "state", "--json"))


def bare_env(desktop):
    """The environment of a process that has neither a display nor a session bus."""
    env = {k: v for k, v in desktop.env.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS")}
    # No autolaunched bus either: it would need a display, and a runtime dir with no bus socket.
    env["XDG_RUNTIME_DIR"] = os.path.join(desktop.home, "no-bus")
    return env
