"""Driving the real updater.exe on a desktop, as a keyboard user would, and
reading what it shows through the accessibility bus, as a screen reader would.

Runs inside tests/e2e/session.sh, which provides DISPLAY, a window manager and
a session bus. Every process started here is ended by PID.
"""

import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest

import pyatspi

UPDATER = os.environ["UPDATER_EXE"]


def poll(what, probe, timeout=20.0, interval=0.1):
    """Returns the first true result of probe(), failing after `timeout` s."""
    deadline = time.monotonic() + timeout
    while True:
        result = probe()
        if result:
            return result
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


def xdotool(*args):
    done = subprocess.run(["xdotool", *args], capture_output=True, text=True, timeout=30)
    return done.stdout


class DesktopTest(unittest.TestCase):
    """A test that runs the updater in a fresh working directory."""

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="updater-e2e-")
        self.processes = []

    def tearDown(self):
        result = self._outcome.result
        if any(test is self for test, _ in result.failures + result.errors):
            self.keep_screenshot()
        for process in self.processes:
            if process.poll() is None:
                process.kill()
                process.wait()
        shutil.rmtree(self.dir, ignore_errors=True)

    def keep_screenshot(self):
        """Saves the screen as the test left it, for a failure's reader."""
        folder = os.environ.get("E2E_SCREENSHOTS", "/tmp/updater-e2e-screenshots")
        os.makedirs(folder, exist_ok=True)
        shot = os.path.join(folder, self.id() + ".png")
        subprocess.run(["import", "-window", "root", shot], capture_output=True, timeout=30)
        print(f"\nscreenshot of the failure: {shot}")

    def path(self, name):
        return os.path.join(self.dir, name)

    def exists(self, name):
        return os.path.lexists(self.path(name))

    def write_script(self, name, body):
        with open(self.path(name), "w") as f:
            f.write("#!/bin/sh\n" + body + "\n")
        os.chmod(self.path(name), 0o755)

    def start(self, *args, cwd=None, env=None):
        """Starts updater.exe with `args` as its argument list, in `cwd` or
        else the test's directory, with `env` or else ours."""
        # Output goes to a file: programs the run starts inherit it and may
        # hold a pipe open long after the run has ended.
        with open(self.path("updater-output.log"), "ab") as log:
            process = subprocess.Popen([UPDATER, *args], cwd=cwd or self.dir, env=env,
                                       stdout=log, stderr=log)
        self.processes.append(process)
        return process

    def finish(self, process, timeout=20):
        """Waits for the run to end; returns its exit code."""
        try:
            process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"updater still running after {timeout} s")
        return process.returncode

    # -- windows, through the window manager -------------------------------

    def window(self, title):
        """The X window whose whole title is `title`, once it is mapped."""
        pattern = "^" + re.escape(title) + "$"
        found = poll(f"a window titled {title!r}",
                     lambda: xdotool("search", "--onlyvisible", "--name", pattern).split())
        return found[-1]

    def press(self, window, *keys):
        """Focuses `window` and types `keys` there, as xdotool key names."""
        xdotool("windowactivate", "--sync", window)
        xdotool("windowfocus", "--sync", window)
        xdotool("key", "--clearmodifiers", *keys)

    # -- what a screen reader reads ----------------------------------------

    def application(self, process):
        """The accessible application of `process`."""
        def lookup():
            desktop = pyatspi.Registry.getDesktop(0)
            for i in range(desktop.childCount):
                app = desktop.getChildAtIndex(i)
                try:
                    if app is not None and app.get_process_id() == process.pid:
                        return app
                except Exception:  # an application going away mid-walk
                    continue
            return None
        return poll("the updater on the accessibility bus", lookup)

    def accessible_window(self, process, title):
        app = self.application(process)
        def lookup():
            for i in range(app.childCount):
                child = app.getChildAtIndex(i)
                if child is not None and child.name == title:
                    return child
            return None
        return poll(f"an accessible window named {title!r}", lookup)

    @staticmethod
    def descendants(node, role):
        """Showing descendants of `node` with `role`, in tree order."""
        found = []
        def walk(n):
            for i in range(n.childCount):
                child = n.getChildAtIndex(i)
                if child is None:
                    continue
                if child.getState().contains(pyatspi.STATE_SHOWING):
                    if child.getRole() == role:
                        found.append(child)
                    walk(child)
        walk(node)
        return found

    def labels(self, node):
        return [label.name for label in self.descendants(node, pyatspi.ROLE_LABEL) if label.name]

    def buttons(self, node):
        return [button.name for button in self.descendants(node, pyatspi.ROLE_PUSH_BUTTON)]

    @staticmethod
    def focused(node):
        """The descendant of `node` that has the keyboard focus, if any."""
        def walk(n):
            for i in range(n.childCount):
                child = n.getChildAtIndex(i)
                if child is None:
                    continue
                if child.getState().contains(pyatspi.STATE_FOCUSED):
                    return child
                hit = walk(child)
                if hit is not None:
                    return hit
            return None
        return walk(node)
