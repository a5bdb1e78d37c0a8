"""What the installed Tavelin must hold, and running the tools that judge it."""

import os
import shutil
import struct
import subprocess
import tempfile

BUILD_DIR = os.environ.get("TAVELIN_BUILD_DIR", os.path.join(os.path.dirname(__file__), "..", "..", "build"))
VERSION = os.environ.get("TAVELIN_VERSION", "")
APP_ID = "org.tavelin.Tavelin"
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)

# Every file under the prefix, as a relative path.
FILES = sorted(
    ["bin/tavelin",
     f"share/applications/{APP_ID}.desktop",
     f"share/metainfo/{APP_ID}.metainfo.xml",
     "share/man/man1/tavelin.1.gz",
     f"share/icons/hicolor/scalable/apps/{APP_ID}.svg",
     "share/doc/tavelin/copyright",
     "share/doc/tavelin/changelog.gz"]
    + [f"share/icons/hicolor/{n}x{n}/apps/{APP_ID}.png" for n in ICON_SIZES])


def files_under(root):
    return sorted(os.path.relpath(os.path.join(folder, name), root)
                  for folder, _, names in os.walk(root) for name in names)


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n", f"{path} is not a PNG"
    return struct.unpack(">II", head[16:24])


def run(argv, **kwargs):
    """The completed process, its output as text."""
    return subprocess.run(argv, capture_output=True, text=True, timeout=kwargs.pop("timeout", 300), **kwargs)


def temporary_folder(add_cleanup):
    """A new folder, removed by the cleanup function given (a test's addCleanup or addClassCleanup)."""
    folder = tempfile.mkdtemp(prefix="tavelin-install-")
    add_cleanup(shutil.rmtree, folder, True)
    return folder


def assert_validators_accept(test, prefix):
    """desktop-file-validate, appstreamcli and man find nothing to say about the installed files."""
    desktop = run(["desktop-file-validate", os.path.join(prefix, f"share/applications/{APP_ID}.desktop")])
    test.assertEqual((desktop.returncode, desktop.stdout + desktop.stderr), (0, ""))
    metainfo = run(["appstreamcli", "validate", "--no-net", "--no-color",
                    os.path.join(prefix, f"share/metainfo/{APP_ID}.metainfo.xml")])
    test.assertEqual(metainfo.returncode, 0, metainfo.stdout + metainfo.stderr)
    man = run(["man", "--warnings", "-l", os.path.join(prefix, "share/man/man1/tavelin.1.gz")],
              env=dict(os.environ, MANWIDTH="80", MAN_KEEP_FORMATTING="", PAGER="cat"))
    test.assertEqual((man.returncode, man.stderr), (0, ""))
    for heading in ("SHORTCUTS", "MENU", "COMMANDS", "FILES", "autostart on|off", "Super+Shift+S"):
        test.assertIn(heading, man.stdout)
    return man.stdout
