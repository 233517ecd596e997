"""Start-up, the parameter check and cleanup mode of the real program."""

import os
import unittest

from desktop import DesktopTest, poll

EMPTY_ERROR = "Invalid perametors. Name: . Version: . Check URL: . ZIP URL: . EXE: "


class ErrorBoxTest(DesktopTest):

    def test_no_parameters_show_the_error_box_and_ok_ends_the_run(self):
        run = self.start()
        window = self.window("Error")
        box = self.accessible_window(run, "Error")
        self.assertEqual(self.labels(box), [EMPTY_ERROR])
        self.assertEqual(self.buttons(box), ["OK"])
        self.assertEqual(self.focused(box).name, "OK")
        self.assertTrue(self.exists("unzip.exe"), "the tool is written before the check")
        self.press(window, "Return")
        self.assertEqual(self.finish(run), 0)
        self.assertFalse(self.exists("unzip.exe"))

    def test_escape_closes_the_box_and_ends_the_run(self):
        run = self.start("My Product", "1.0", "", "http://127.0.0.1:9/a.zip", "app")
        window = self.window("Error")
        box = self.accessible_window(run, "Error")
        self.assertEqual(self.labels(box), [
            "Invalid perametors. Name: My Product. Version: 1.0. Check URL: . "
            "ZIP URL: http://127.0.0.1:9/a.zip. EXE: app"])
        self.press(window, "Escape")
        self.assertEqual(self.finish(run), 0)
        self.assertFalse(self.exists("unzip.exe"))


class CleanupModeTest(DesktopTest):

    def marker_script(self, name, marker):
        self.write_script(name, f"echo \"$0\" > '{self.path(marker)}'")

    def test_removes_leftovers_and_starts_the_target(self):
        with open(self.path("updater2.exe"), "w") as f:
            f.write("the previous updater")
        os.chmod(self.path("updater2.exe"), 0o555)
        self.marker_script("app.sh", "started")
        self.assertEqual(self.finish(self.start("cln", "app.sh")), 0)
        poll("the target to start", lambda: self.exists("started"))
        self.assertFalse(self.exists("updater2.exe"))
        self.assertFalse(self.exists("unzip.exe"))

    def test_without_a_target_only_removes(self):
        with open(self.path("updater2.exe"), "w") as f:
            f.write("the previous updater")
        self.assertEqual(self.finish(self.start("cln")), 0)
        self.assertFalse(self.exists("updater2.exe"))
        self.assertFalse(self.exists("unzip.exe"))
        self.assertEqual(sorted(os.listdir(self.dir)), ["updater-output.log"])

    def test_target_is_one_parameter(self):
        self.marker_script("My", "started-My")
        self.marker_script("My App.sh", "started-My-App")
        # Separate elements: the target is cut at the blank.
        self.assertEqual(self.finish(self.start("cln", "My", "App.sh")), 0)
        poll("My to start", lambda: self.exists("started-My"))
        # One element with a blank stays whole.
        self.assertEqual(self.finish(self.start("cln", "My App.sh")), 0)
        poll("My App.sh to start", lambda: self.exists("started-My-App"))


if __name__ == "__main__":
    unittest.main()
