"""Fatal faults in the test build of the program: a real fault at a chosen
point ends in the report box, and Yes leaves the report on the clipboard."""

import os
import signal
import subprocess
import time
import unittest

import pyatspi

from desktop import DesktopTest, poll
from release import Nginx

FAULTY = os.environ.get("UPDATER_FAULTS_EXE", "")
TITLE = "Tessel Runtime Error"


def report_text(description):
    return ["A runtime error occured.\n\n" + description +
            "\nWould you like To copy this To the clipboard?"]


def clipboard():
    done = subprocess.run(["xclip", "-o", "-selection", "clipboard"],
                          capture_output=True, timeout=10)
    return done.stdout.decode() if done.returncode == 0 else None


def set_clipboard(text):
    # -loops 1: xclip serves one paste and then ends.
    process = subprocess.Popen(["xclip", "-i", "-selection", "clipboard", "-loops", "1", "-quiet"],
                               stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    process.stdin.write(text.encode())
    process.stdin.close()
    return process


@unittest.skipUnless(FAULTY, "UPDATER_FAULTS_EXE names the test build")
class FaultTest(DesktopTest):

    def tearDown(self):
        # A reporter still serving the clipboard ends with the test.
        subprocess.run(["pkill", "-KILL", "-f", FAULTY], check=False)
        super().tearDown()

    def start_faulty(self, fault, *args, cwd=None):
        env = dict(os.environ, UPDATER_TEST_FAULT=fault)
        with open(self.path("updater-output.log"), "ab") as log:
            process = subprocess.Popen([FAULTY, *args], cwd=cwd or self.dir, env=env,
                                       stdout=log, stderr=log)
        self.processes.append(process)
        return process

    def answer_report(self, run, description, key):
        window = self.window(TITLE)
        box = self.accessible_window_anywhere(TITLE)
        self.assertEqual(self.labels(box), report_text(description))
        self.assertEqual(self.buttons(box), ["No", "Yes"])
        self.press(window, key)
        self.assertEqual(self.finish(run), 0)

    def accessible_window_anywhere(self, title):
        """The report comes from the reporter process, not the run itself."""
        def lookup():
            desktop = pyatspi.Registry.getDesktop(0)
            for i in range(desktop.childCount):
                app = desktop.getChildAtIndex(i)
                if app is None:
                    continue
                for j in range(app.childCount):
                    child = app.getChildAtIndex(j)
                    if child is not None and child.name == title:
                        return child
            return None
        return poll(f"an accessible window named {title!r}", lookup)

    def test_faults_in_update_mode(self):
        cases = [("null", "Invalid memory access", "Return"),
                 ("div0", "Division by zero ", "Return"),
                 ("stack", "Stack overflow", "alt+y"),
                 ("abort", "Unknown error code", "Return")]
        for kind, description, key in cases:
            with self.subTest(kind):
                run = self.start_faulty("update:" + kind, "P", "1.0", "http://127.0.0.1:9/v",
                                        "http://127.0.0.1:9/a.zip", "app")
                self.answer_report(run, description, key)
                self.assertEqual(poll("the copied report", clipboard), "\n" + description)
                self.assertTrue(self.exists("unzip.exe"), "nothing is cleaned up")
                subprocess.run(["pkill", "-KILL", "-f", FAULTY], check=False)

    def test_no_leaves_the_clipboard_alone(self):
        keeper = set_clipboard("what the user had")
        run = self.start_faulty("update:null", "P", "1.0", "http://127.0.0.1:9/v",
                                "http://127.0.0.1:9/a.zip", "app")
        self.answer_report(run, "Invalid memory access", "Escape")
        self.assertEqual(clipboard(), "what the user had")
        keeper.wait(timeout=10)

    def test_a_fault_in_cleanup_mode(self):
        self.write_script("app.sh", f"touch '{self.path('started')}'")
        with open(self.path("updater2.exe"), "w") as f:
            f.write("old")
        run = self.start_faulty("cleanup:null", "cln", "app.sh")
        self.answer_report(run, "Invalid memory access", "alt+n")
        time.sleep(0.5)
        self.assertFalse(self.exists("started"))
        self.assertTrue(self.exists("updater2.exe"))
        self.assertTrue(self.exists("unzip.exe"))

    def test_a_fault_after_the_hook_is_removed_is_not_reported(self):
        run = self.start_faulty("end:null")
        self.press(self.window("Error"), "Return")
        run.wait(timeout=20)
        self.assertEqual(run.returncode, -signal.SIGSEGV)
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{TITLE}$"],
                               capture_output=True, text=True).stdout.split()
        self.assertEqual(found, [])

    def test_a_fault_in_the_download_worker(self):
        for kind, description in (("null", "Invalid memory access"), ("stack", "Stack overflow")):
            with self.subTest(kind):
                web = Nginx(self.path("web-" + kind))
                web.publish("version.txt", b"1.1")
                web.publish("slow/release.zip", os.urandom(1 << 20))
                app = self.path("app-" + kind)
                os.mkdir(app)
                self.write_script(os.path.join(app, "my-app"), "sleep 300")
                run = self.start_faulty("worker:" + kind, "P", "1.0", web.url("version.txt"),
                                        web.url("slow/release.zip"), "my-app", cwd=app)
                self.press(self.window("Update available"), "Return")
                download = self.accessible_window(
                    run, "Downloading P. Tab for progress fields. - Brinwick 1.8")
                report = self.window(TITLE)
                # The window goes on ticking behind the report.
                rate = [f for f in self.descendants(download, pyatspi.ROLE_TEXT)
                        if f.name == "Transfer Rate"][0]
                poll("a tick", lambda: rate.queryText().getText(0, -1) != "No data yet.")
                self.press(report, "alt+n")
                self.assertEqual(self.finish(run), 0)
                self.assertTrue(os.path.exists(os.path.join(app, "unzip.exe")))
                self.assertTrue(os.path.exists(os.path.join(app, "release.zip")))
                web.stop()


if __name__ == "__main__":
    unittest.main()
