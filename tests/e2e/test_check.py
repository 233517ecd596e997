"""The update check of the real program against a server on 127.0.0.1."""

import functools
import http.server
import os
import threading
import unittest

from desktop import DesktopTest


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


class ServedDesktopTest(DesktopTest):
    """A desktop test with a web server for the release files."""

    def setUp(self):
        super().setUp()
        self.site = os.path.join(self.dir, "site")
        os.mkdir(self.site)
        handler = functools.partial(QuietHandler, directory=self.site)
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()
        self.app = os.path.join(self.dir, "app")
        os.mkdir(self.app)

    def tearDown(self):
        self.server.shutdown()
        self.server.server_close()
        super().tearDown()

    def url(self, name):
        return f"http://127.0.0.1:{self.server.server_address[1]}/{name}"

    def publish(self, name, content):
        with open(os.path.join(self.site, name), "wb") as f:
            f.write(content)

    def start_update(self, installed):
        """Starts the updater in the application's directory."""
        return self.start("My Product", installed, self.url("version.txt"),
                          self.url("release.zip"), "my-app", cwd=self.app)

    def in_app(self, name):
        return os.path.exists(os.path.join(self.app, name))


class CheckTest(ServedDesktopTest):

    def test_the_question_shows_versions_and_size_and_no_ends_the_run(self):
        self.publish("version.txt", b"1.4.0\n")
        self.publish("release.zip", b"z" * (5 * 1024 * 1024 + 512 * 1024))
        run = self.start_update("1.3")
        window = self.window("Update available")
        box = self.accessible_window(run, "Update available")
        self.assertEqual(self.labels(box), [
            "There is an update available for My Product. Your version: 1.3.0. "
            "Latest version: 1.4.0\n. Size: 6 MB. Would you like To download this update?"])
        self.assertEqual(self.buttons(box), ["No", "Yes"])
        self.assertTrue(self.in_app("unzip.exe"))
        self.press(window, "alt+n")
        self.assertEqual(self.finish(run), 0)
        self.assertFalse(self.in_app("unzip.exe"))

    def test_a_missing_version_file_is_a_network_error(self):
        run = self.start_update("1.3")
        window = self.window("Error")
        self.assertEqual(self.labels(self.accessible_window(run, "Error")), ["Network error"])
        self.press(window, "Return")
        self.assertEqual(self.finish(run), 0)
        self.assertFalse(self.in_app("unzip.exe"))

    def test_the_same_version_ends_without_a_word(self):
        self.publish("version.txt", b"1.3")
        self.assertEqual(self.finish(self.start_update("1.3.0")), 0)
        self.assertEqual(os.listdir(self.app), [])


if __name__ == "__main__":
    unittest.main()
