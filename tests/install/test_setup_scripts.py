"""The setup scripts' package step against a held apt lock: it waits for the other package manager,
then runs; it gives up after its limit; any other failure of apt-get ends it at once."""

import fcntl
import os
import threading
import time
import unittest
from pathlib import Path

from installed import run, temporary_folder

COMMON = Path(__file__).resolve().parents[2] / "scripts" / "lib" / "common.sh"


@unittest.skipUnless(os.geteuid() == 0, "apt-get's locks are root's")
class AptLockTest(unittest.TestCase):

    def setUp(self):
        # apt-get update on a sources list and state of its own: no network, the system's lists untouched.
        self.state = Path(temporary_folder(self.addCleanup))
        for name in ("lists", "cache", "parts"):
            (self.state / name).mkdir()
        (self.state / "sources.list").write_text("")
        self.update = ["update", "-qq", "-o", f"Dir::State::Lists={self.state}/lists", "-o",
                       f"Dir::Cache={self.state}/cache", "-o", f"Dir::Etc::sourcelist={self.state}/sources.list",
                       "-o", f"Dir::Etc::sourceparts={self.state}/parts"]

    def hold_lists_lock(self, seconds):
        """Holds the lists' lock as a running apt-get would (fcntl, as apt takes it) for seconds."""
        fd = os.open(self.state / "lists" / "lock", os.O_RDWR | os.O_CREAT, 0o640)
        fcntl.lockf(fd, fcntl.LOCK_EX)
        release = threading.Timer(seconds, os.close, [fd])
        release.start()
        self.addCleanup(release.join)

    def apt_get(self, args, wait_limit=60):
        script = 'source "$0"; apt_get "$@"'
        env = dict(os.environ, APT_LOCK_PAUSE_SECONDS="1", APT_LOCK_WAIT_SECONDS=str(wait_limit))
        start = time.monotonic()
        done = run(["bash", "-c", script, str(COMMON), *args], env=env, timeout=120)
        return done, time.monotonic() - start

    def test_update_waits_for_the_lock_then_runs_and_gives_up_after_its_limit(self):
        self.hold_lists_lock(3)
        done, took = self.apt_get(self.update)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertGreaterEqual(took, 3)
        self.assertIn("waiting for another package manager: Could not get lock", done.stderr)

        self.hold_lists_lock(6)
        done, took = self.apt_get(self.update, wait_limit=2)
        self.assertNotEqual(done.returncode, 0)
        self.assertIn("Could not get lock", done.stderr)
        self.assertLess(took, 6)

    def test_a_failure_other_than_the_lock_ends_it_at_once_with_apt_gets_words(self):
        done, took = self.apt_get(["install", "-y", "-qq", "tavelin-no-such-package"])
        self.assertNotEqual(done.returncode, 0)
        self.assertIn("Unable to locate package tavelin-no-such-package", done.stderr)
        self.assertNotIn("waiting", done.stderr)
        self.assertLess(took, 20)
