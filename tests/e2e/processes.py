"""Child processes of the end-to-end tests: waiting, ending them by pid, reading the lines they print."""

import os
import select
import subprocess
import time


def wait_until(predicate, timeout=5.0, interval=0.02, what="condition"):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout}s waiting for {what}")
        time.sleep(interval)


def end(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    for pipe in (process.stdin, process.stdout):
        if pipe:
            pipe.close()


def end_all(processes):
    """Ends processes, last started first, all asked at once."""
    for p in reversed(processes):
        if p.poll() is None:
            p.terminate()
    for p in reversed(processes):
        end(p)
    processes.clear()


class LineReader:
    """Lines a child process prints, read with a timeout."""

    def __init__(self, process):
        self.process, self.buffer = process, b""

    def next_matching(self, prefix, timeout=10.0):
        deadline = time.monotonic() + timeout
        while True:
            while b"\n" in self.buffer:
                line, self.buffer = self.buffer.split(b"\n", 1)
                if line.decode().startswith(prefix):
                    return line.decode()
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.process.stdout], [], [], left)[0]:
                raise AssertionError(f"no line starting with {prefix!r} within {timeout}s")
            chunk = os.read(self.process.stdout.fileno(), 4096)
            if not chunk:
                raise AssertionError(f"process ended before printing {prefix!r}")
            self.buffer += chunk

    def lines_so_far(self):
        """The whole lines printed until now, without waiting for more."""
        while select.select([self.process.stdout], [], [], 0)[0]:
            chunk = os.read(self.process.stdout.fileno(), 4096)
            if not chunk:
                break
            self.buffer += chunk
        *lines, self.buffer = self.buffer.split(b"\n")
        return [line.decode() for line in lines]


def watch_calls(spawn):
    """A dbus-monitor of the method calls to Tavelin's interface on the bus spawn's processes use,
    returned once it watches: its next_matching("method call") waits until the bus routed one."""
    calls = LineReader(spawn(["dbus-monitor", "type='method_call',interface='org.tavelin.Tavelin1'"], stdout=subprocess.PIPE))
    calls.next_matching("signal")   # the monitor's own NameAcquired
    return calls
