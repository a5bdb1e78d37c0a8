"""tavelin autostart on|off with neither a display nor a session bus: exactly one entry in the
configuration home's autostart folder, valid and naming this very executable, and gone again."""

import os
import shutil
import tempfile
import unittest
from pathlib import Path

from installed import APP_ID, BUILD_DIR, files_under, run, temporary_folder

TAVELIN = os.path.join(BUILD_DIR, "src", "app", "tavelin")
ENTRY = f"autostart/{APP_ID}.desktop"


class AutostartTest(unittest.TestCase):

    def setUp(self):
        self.home = temporary_folder(self.addCleanup)
        # Nothing to reach a display or a bus through, not even by autolaunch.
        self.env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": self.home,
                    "XDG_RUNTIME_DIR": os.path.join(self.home, "no-bus")}

    def tavelin(self, *args, binary=TAVELIN, env=None):
        return run([binary] + list(args), env=env or self.env, timeout=30)

    def assert_on_then_off(self, config_home, binary=TAVELIN, env=None):
        before = files_under(self.home)
        on = self.tavelin("autostart", "on", binary=binary, env=env)
        self.assertEqual((on.returncode, on.stderr), (0, ""))
        entry = os.path.join(config_home, ENTRY)
        self.assertEqual(on.stdout, entry + "\n")
        self.assertEqual(sorted(set(files_under(self.home)) - set(before)), [os.path.relpath(entry, self.home)])
        self.assertEqual(len(files_under(self.home)), len(before) + 1)
        valid = run(["desktop-file-validate", entry])
        self.assertEqual((valid.returncode, valid.stdout + valid.stderr), (0, ""))
        text = Path(entry).read_text()
        off = self.tavelin("autostart", "off", binary=binary, env=env)
        self.assertEqual((off.returncode, off.stdout, off.stderr), (0, "", ""))
        self.assertEqual(files_under(self.home), before)
        return text

    def test_on_then_off_in_the_default_config_home(self):
        text = self.assert_on_then_off(os.path.join(self.home, ".config"))
        self.assertIn(f"\nExec={os.path.realpath(TAVELIN)}\n", text)

    def test_xdg_config_home_is_honoured(self):
        config = os.path.join(self.home, "elsewhere")
        self.assert_on_then_off(config, env=dict(self.env, XDG_CONFIG_HOME=config))
        self.assertFalse(os.path.exists(os.path.join(self.home, ".config")))

    def test_an_executable_in_an_odd_folder_is_quoted(self):
        # /proc/self/exe names the file, not a symbolic link to it: a hard link keeps the odd folder.
        folder = os.path.join(tempfile.mkdtemp(prefix="tavelin-exe-", dir=BUILD_DIR), "my apps $HOME 100%")
        self.addCleanup(shutil.rmtree, os.path.dirname(folder), True)
        os.makedirs(folder)
        binary = os.path.join(folder, "tavelin")
        os.link(os.path.realpath(TAVELIN), binary)
        text = self.assert_on_then_off(os.path.join(self.home, ".config"), binary=binary)
        self.assertIn('\nExec="' + folder.replace("$", "\\\\$").replace("%", "%%") + '/tavelin"\n', text)

    def test_bad_words_and_no_home_are_refused_clearly(self):
        toggle = self.tavelin("autostart", "toggle")
        self.assertEqual(toggle.returncode, 2)
        self.assertIn("is not on or off", toggle.stderr)
        self.assertEqual(self.tavelin("autostart").returncode, 2)
        no_home = self.tavelin("autostart", "on", env={k: v for k, v in self.env.items() if k != "HOME"})
        self.assertEqual((no_home.returncode, no_home.stderr), (1, "tavelin: autostart: no home directory (HOME is not set)\n"))
        self.assertEqual(files_under(self.home), [])
