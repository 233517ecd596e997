"""Whole updates with the real program: nginx serves the release, the
application runs before and after, and the user answers with the keyboard."""

import os
import socket
import subprocess
import threading
import time
import unittest

import pyatspi

from desktop import DesktopTest, poll
from release import Nginx, app_script, make_zip, updater_bytes

NEW_UPDATER = b"\n-- the new updater --"
TITLE = "Downloading My Product. Tab for progress fields. - Brinwick 1.8"


class UpdateTest(DesktopTest):
    """An application directory with the application running, and a web
    server with its release 1.1."""

    executable = "my-app"

    def setUp(self):
        super().setUp()
        self.nginx = Nginx(self.path("web"))
        self.nginx.publish("version.txt", b"1.1\n")
        self.app = self.path("app")
        os.mkdir(self.app)
        self.put(self.executable, app_script("1.0"))
        self.put("updater.exe", updater_bytes())
        self.running_app = self.start_app()

    def tearDown(self):
        subprocess.run(["pkill", "-KILL", "-f", self.app + "/"], check=False)
        for path in (self.executable,):
            subprocess.run(["pkill", "-KILL", "-x", path[:15]], check=False)
        self.nginx.stop()
        super().tearDown()

    def put(self, name, content, mode=0o755):
        path = os.path.join(self.app, name)
        with open(path, "wb") as f:
            f.write(content)
        os.chmod(path, mode)

    def has(self, name):
        return os.path.lexists(os.path.join(self.app, name))

    def content(self, name):
        with open(os.path.join(self.app, name), "rb") as f:
            return f.read()

    def start_app(self):
        process = subprocess.Popen([os.path.join(self.app, self.executable)], cwd=self.app)
        self.processes.append(process)
        poll("the application to start", lambda: self.starts())
        return process

    def starts(self):
        try:
            with open(os.path.join(self.app, "starts.log")) as f:
                return f.read().split()
        except FileNotFoundError:
            return []

    def update(self, archive="release.zip", env=None):
        """Starts the updater and answers Yes; returns the run."""
        run = self.start("My Product", "1.0", self.nginx.url("version.txt"),
                         self.nginx.url(archive), self.executable, cwd=self.app, env=env)
        self.press(self.window("Update available"), "Return")
        return run

    def finish_update(self, run, box="Done"):
        """Waits for the closing box, reads it, answers it; the run's end."""
        window = self.window(box)
        text = self.labels(self.accessible_window(run, box))
        self.press(window, "Return")
        self.assertEqual(self.finish(run), 0)
        return text

    def assert_app_restarted(self, version):
        poll(f"the application {version} to start again",
             lambda: self.starts()[1:] == [version])
        self.assertIsNotNone(self.running_app.poll(), "the old application was stopped")


class InstallTest(UpdateTest):

    def test_an_archive_with_a_new_updater_replaces_it(self):
        self.nginx.publish("release.zip", make_zip({
            "my-app": app_script("1.1"), "updater.exe": updater_bytes(NEW_UPDATER)}))
        run = self.update()
        self.assertEqual(self.finish_update(run),
                         ["Update complete! Press OK to launch the updated application!"])
        self.assert_app_restarted("1.1")
        poll("the second run to clean up", lambda: not self.has("updater2.exe"))
        self.assertTrue(self.content("updater.exe").endswith(NEW_UPDATER))
        self.assertFalse(self.has("unzip.exe"))
        self.assertTrue(self.has("release.zip"), "the archive is kept")

    def test_an_archive_without_an_updater_keeps_the_old_one(self):
        old = self.content("updater.exe")
        self.nginx.publish("release.zip", make_zip({"my-app": app_script("1.1")}))
        self.finish_update(self.update())
        self.assert_app_restarted("1.1")
        poll("the second run to clean up", lambda: not self.has("unzip.exe"))
        self.assertEqual(self.content("updater.exe"), old)
        self.assertFalse(self.has("updater2.exe"))

    def test_an_earlier_updater2_is_cleaned_up(self):
        self.put("updater2.exe", b"left by an earlier run")
        self.nginx.publish("release.zip", make_zip({
            "my-app": app_script("1.1"), "updater.exe": updater_bytes(NEW_UPDATER)}))
        self.finish_update(self.update())
        self.assert_app_restarted("1.1")
        poll("the second run to clean up", lambda: not self.has("updater2.exe"))
        self.assertFalse(self.has("unzip.exe"))

    def test_entries_under_one_folder_land_in_that_folder(self):
        old = self.content("updater.exe")
        self.nginx.publish("release.zip", make_zip({
            "v1.1/my-app": app_script("1.1"), "v1.1/updater.exe": updater_bytes(NEW_UPDATER)}))
        self.finish_update(self.update())
        self.assert_app_restarted("1.0")
        self.assertEqual(self.content("updater.exe"), old)
        self.assertTrue(self.content("v1.1/updater.exe").endswith(NEW_UPDATER))
        poll("the second run to clean up", lambda: not self.has("updater2.exe"))

    def test_a_damaged_archive_is_reported_and_the_application_comes_back(self):
        old = self.content("updater.exe")
        self.nginx.publish("release.zip", b"PK\x03\x04 not really an archive" * 100)
        text = self.finish_update(self.update(), box="Error")
        self.assertEqual(text, ["The update could not be installed. "
                                "Press OK to launch the application."])
        self.assert_app_restarted("1.0")
        self.assertEqual(self.content("updater.exe"), old)
        poll("the second run to clean up", lambda: not self.has("unzip.exe"))


    def test_nothing_else_is_written(self):
        home, runtime = self.path("home"), self.path("runtime")
        os.mkdir(home)
        os.mkdir(runtime, 0o700)
        # A desktop session has a runtime directory; without one the
        # accessibility bridge puts its socket under ~/.cache instead.
        env = dict(os.environ, HOME=home, XDG_RUNTIME_DIR=runtime)
        self.nginx.publish("release.zip", make_zip({"my-app": app_script("1.1")}))
        self.finish_update(self.update(env=env))
        self.assert_app_restarted("1.1")
        poll("the second run to clean up", lambda: not self.has("unzip.exe"))
        self.assertEqual(sorted(os.listdir(self.app)),
                         ["my-app", "release.zip", "starts.log", "updater.exe"])
        written = [os.path.join(top, name) for top, dirs, files in os.walk(home)
                   for name in dirs + files]
        self.assertEqual(written, [])


class BlankNameTest(UpdateTest):
    executable = "My App"

    def test_an_executable_name_with_a_blank(self):
        self.nginx.publish("release.zip", make_zip({"My App": app_script("1.1")}))
        self.finish_update(self.update())
        self.assert_app_restarted("1.1")


class InterruptTest(UpdateTest):

    def setUp(self):
        super().setUp()
        # Two megabytes at 64 KiB/s: half a minute to act in.
        self.nginx.publish("slow/release.zip", os.urandom(2 << 20))

    def test_cancel_discards_everything(self):
        run = self.update("slow/release.zip")
        window = self.window(TITLE)
        poll("bytes to arrive", lambda: self.has("release.zip") and
             os.path.getsize(os.path.join(self.app, "release.zip")) > 0)
        self.press(window, "space")  # Cancel has the focus
        self.assertEqual(self.finish(run), 0)
        self.assertFalse(self.has("release.zip"))
        self.assertFalse(self.has("unzip.exe"))
        self.assertIsNotNone(self.running_app.poll(), "the application was stopped")
        time.sleep(1)
        self.assertEqual(self.starts(), ["1.0"], "and not started again")

    def test_a_close_request_keeps_the_partial_archive(self):
        run = self.update("slow/release.zip")
        window = self.window(TITLE)
        poll("bytes to arrive", lambda: self.has("release.zip") and
             os.path.getsize(os.path.join(self.app, "release.zip")) > 0)
        subprocess.run(["wmctrl", "-i", "-c", window], check=True)
        self.assertEqual(self.finish(run), 0)
        self.assertTrue(self.has("release.zip"))
        self.assertLess(os.path.getsize(os.path.join(self.app, "release.zip")), 2 << 20)
        self.assertFalse(self.has("unzip.exe"))


class StallServer:
    """Announces `size` bytes, sends `sent` of them, then stalls."""

    def __init__(self, size, sent):
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(8)
        self.port = self.listener.getsockname()[1]
        self.size, self.sent = size, sent
        self.stop = threading.Event()
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        connections = []
        self.listener.settimeout(0.2)
        while not self.stop.is_set():
            try:
                connection, _ = self.listener.accept()
            except socket.timeout:
                continue
            connections.append(connection)
            request = connection.recv(65536)
            head = f"HTTP/1.1 200 OK\r\nContent-Length: {self.size}\r\n\r\n".encode()
            if request.startswith(b"HEAD"):
                connection.sendall(head)
                connection.close()
            else:
                connection.sendall(head + b"x" * self.sent)
        for connection in connections:
            connection.close()

    def close(self):
        self.stop.set()
        self.thread.join()
        self.listener.close()


class WindowTest(UpdateTest):
    """The download window as a keyboard and screen-reader user meets it."""

    def setUp(self):
        super().setUp()
        self.stall = StallServer(3000000, 1234567)
        self.run_ = self.start("My Product", "1.0", self.nginx.url("version.txt"),
                               f"http://127.0.0.1:{self.stall.port}/release.zip",
                               self.executable, cwd=self.app)
        self.press(self.window("Update available"), "Return")
        self.xwindow = self.window(TITLE)
        self.frame = self.accessible_window(self.run_, TITLE)

    def tearDown(self):
        if self.run_.poll() is None:
            subprocess.run(["wmctrl", "-i", "-c", self.xwindow], check=False)
            self.finish(self.run_)
        self.stall.close()
        super().tearDown()

    def fields(self):
        return {field.name: field.queryText().getText(0, -1)
                for field in self.descendants(self.frame, pyatspi.ROLE_TEXT)}

    def test_the_figures_against_a_known_size(self):
        # Every byte has arrived by the second tick, so it shows no growth.
        poll("two ticks", lambda: self.fields()["Transfer Rate"] == "0 KBPS", timeout=10)
        self.assertEqual(self.fields(), {
            "Percent": "41%", "Total transfered": "1 MB", "Size": "3 MB",
            "Remaining": "2 MB", "Transfer Rate": "0 KBPS"})
        bar = self.descendants(self.frame, pyatspi.ROLE_PROGRESS_BAR)[0]
        self.assertAlmostEqual(bar.queryValue().currentValue, 0.41, places=2)

    def focused_name(self):
        focused = self.focused(self.frame)
        return None if focused is None else (focused.name, focused.getRole())

    def test_tab_and_shift_tab_cycle_through_the_figures(self):
        order = ["Cancel", "Percent", "Total transfered", "Size", "Remaining", "Transfer Rate"]
        self.assertEqual(self.focused_name(), ("Cancel", pyatspi.ROLE_PUSH_BUTTON))
        seen = []
        for _ in range(len(order)):
            self.press(self.xwindow, "Tab")
            seen.append(poll("the focus", self.focused_name)[0])
        self.assertEqual(seen, order[1:] + order[:1])
        seen = []
        for _ in range(len(order)):
            self.press(self.xwindow, "shift+Tab")
            seen.append(poll("the focus", self.focused_name)[0])
        self.assertEqual(seen, list(reversed(order)))
        # Fields are read-only text that a screen reader names by its label.
        self.press(self.xwindow, "Tab")
        field = self.focused(self.frame)
        self.assertEqual(field.getRole(), pyatspi.ROLE_TEXT)
        self.assertFalse(field.getState().contains(pyatspi.STATE_EDITABLE))
        relation = [r for r in field.getRelationSet()
                    if r.getRelationType() == pyatspi.RELATION_LABELLED_BY]
        self.assertEqual(relation[0].getTarget(0).name, "Percent")
        # Keys without a binding change nothing.
        for key in ("Escape", "Return", "ctrl+Tab", "a"):
            self.press(self.xwindow, key)
            time.sleep(0.3)
            self.assertEqual(self.focused_name(), ("Percent", pyatspi.ROLE_TEXT), key)
            self.assertIsNone(self.run_.poll(), key)


if __name__ == "__main__":
    unittest.main()
