"""The .deb built by CPack from the built tree: its control fields and dependencies, its files, what
lintian says, and its binary unpacked into a temporary root starting on a private desktop."""

import glob
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))

from harness import DesktopTestCase, end, wait_until  # noqa: E402
from installed import BUILD_DIR, FILES, VERSION, assert_validators_accept, files_under, run, temporary_folder  # noqa: E402


class DebTest(DesktopTestCase):
    start_tavelin = False

    @classmethod
    def setUpClass(cls):
        cls.out = temporary_folder(cls.addClassCleanup)
        built = run(["cpack", "-G", "DEB", "-B", cls.out, "--config", os.path.join(BUILD_DIR, "CPackConfig.cmake")],
                    cwd=BUILD_DIR, timeout=600)
        debs = glob.glob(os.path.join(cls.out, "*.deb"))
        if built.returncode != 0 or len(debs) != 1:
            raise AssertionError(f"cpack failed ({built.returncode}): {built.stdout}{built.stderr}")
        cls.deb = debs[0]
        cls.root = temporary_folder(cls.addClassCleanup)
        subprocess.run(["dpkg-deb", "-x", cls.deb, cls.root], check=True)
        super().setUpClass()

    def control(self):
        info = run(["dpkg-deb", "--field", self.deb]).stdout
        fields, name = {}, None
        for line in info.splitlines():
            if line.startswith(" ") and name:
                fields[name] += "\n" + line
            elif ":" in line:
                name, value = line.split(":", 1)
                fields[name] = value.strip()
        return fields

    def test_control_fields_and_dependencies_read_off_the_binary(self):
        fields = self.control()
        self.assertEqual((fields["Package"], fields["Version"], fields["Section"]), ("tavelin", VERSION, "utils"))
        self.assertRegex(fields["Maintainer"], r"^[^<>]+ <[^@<>]+@[^@<>]+>$")
        self.assertIn("spreadsheet-style grid", fields["Description"])
        depends = [d.strip().split()[0] for d in fields["Depends"].split(",")]
        for library in ("libqt6core6", "libqt6gui6", "libqt6widgets6", "libqt6dbus6", "libqt6svg6", "libxcb1", "libc6"):
            self.assertTrue(any(d.startswith(library) for d in depends), f"{library} missing from {depends}")
        self.assertIn("Depends: ", run(["dpkg-deb", "--info", self.deb]).stdout)

    def test_files_are_the_install_tree_under_usr_and_pass_lintian(self):
        self.assertEqual(files_under(os.path.join(self.root, "usr")), FILES)
        self.assertEqual(files_under(self.root), ["usr/" + f for f in FILES])
        assert_validators_accept(self, os.path.join(self.root, "usr"))
        findings = run(["lintian", "--no-cfg", "--tag-display-limit", "0", self.deb], timeout=600).stdout.splitlines()
        print("lintian:", *findings, sep="\n  ")
        self.assertEqual([f for f in findings if f.startswith("E:")], [])

    def test_the_unpacked_binary_starts_and_shows_the_grid(self):
        binary = os.path.join(self.root, "usr", "bin", "tavelin")
        self.assertEqual(run([binary, "--version"]).stdout, f"tavelin {VERSION}\n")
        self.tavelin = self.desktop.start_tavelin(binary=binary)
        self.addCleanup(end, self.tavelin)
        self.desktop.overlay_window()
        wait_until(self.desktop.grid_drawn, timeout=10, what="the grid on screen")
        self.assertIsNone(self.tavelin.poll())
