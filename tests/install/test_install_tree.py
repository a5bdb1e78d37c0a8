"""cmake --install into a temporary DESTDIR: every file in its place, icons at their sizes, the
desktop entry, metainfo and manual page accepted by their validators, one version everywhere."""

import configparser
import gzip
import os
import re
import unittest
from pathlib import Path

from installed import APP_ID, BUILD_DIR, FILES, ICON_SIZES, VERSION, assert_validators_accept, files_under, png_size, run, \
    temporary_folder


class InstallTreeTest(unittest.TestCase):

    def install(self, prefix):
        destdir = temporary_folder(self.addCleanup)
        done = run(["cmake", "--install", BUILD_DIR, "--prefix", prefix], env=dict(os.environ, DESTDIR=destdir))
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        return destdir + prefix

    def test_every_file_in_place_and_accepted(self):
        root = self.install("/usr")
        self.assertEqual(files_under(root), FILES)
        self.assertTrue(os.access(os.path.join(root, "bin/tavelin"), os.X_OK))
        for size in ICON_SIZES:
            self.assertEqual(png_size(os.path.join(root, f"share/icons/hicolor/{size}x{size}/apps/{APP_ID}.png")),
                             (size, size))
        man = assert_validators_accept(self, root)

        # One version: the binary's, the metainfo's release, the manual page's footer, the changelog's.
        self.assertRegex(VERSION, r"^\d+\.\d+")
        self.assertEqual(run([os.path.join(root, "bin/tavelin"), "--version"]).stdout, f"tavelin {VERSION}\n")
        metainfo = Path(root, f"share/metainfo/{APP_ID}.metainfo.xml").read_text()
        self.assertEqual(re.findall(r'<release version="([^"]+)"', metainfo), [VERSION])
        self.assertIn(f"Tavelin {VERSION}", man)
        with gzip.open(os.path.join(root, "share/doc/tavelin/changelog.gz"), "rt") as f:
            self.assertTrue(f.readline().startswith(f"tavelin ({VERSION})"))

    def test_desktop_entry_actions_run_the_command_line(self):
        root = self.install("/usr")
        entry = configparser.ConfigParser(interpolation=None)
        entry.optionxform = str
        entry.read(os.path.join(root, f"share/applications/{APP_ID}.desktop"))
        main = entry["Desktop Entry"]
        self.assertEqual(main["Exec"], "tavelin")
        self.assertEqual(main["StartupNotify"], "false")
        self.assertEqual(main["Icon"], APP_ID)
        self.assertIn("Utility", main["Categories"].split(";"))
        actions = [a for a in main["Actions"].split(";") if a]
        commands = [entry[f"Desktop Action {a}"]["Exec"] for a in actions]
        self.assertEqual(commands, ["tavelin grid toggle", "tavelin shot"])

    def test_a_prefix_of_choice_holds_the_same_tree(self):
        root = self.install("/opt/tavelin")
        self.assertEqual(files_under(root), FILES)
