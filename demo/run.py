#!/usr/bin/python3
"""One whole update with updater.exe: the application "Demo" goes from 1.0
to 1.1, served by a web server on 127.0.0.1.

scripts/demo builds updater.exe, chooses the display and starts this:

  run.py --updater PATH
      on the user's own display; the user answers the updater's boxes
  run.py --updater PATH --drive --screenshots DIR
      on a private display (inside scripts/desktop-session); xdotool answers
      the boxes and ImageMagick saves a screenshot of every step in DIR

Everything else lives in a fresh temporary folder that is removed at the
end: the application's folder, the release and nginx's configuration. Every
process started here, and the Demo 1.1 that the update starts, is ended by
PID. Exits 0 once the update is complete, 1 with a message otherwise.
"""

import argparse
import hashlib
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts"))
from local_web import NGINX, LocalWeb, WebServerError  # noqa: E402

PRODUCT = "Demo"
OLD, NEW = "1.0", "1.1"
EXECUTABLE = "demo-app"
ARCHIVE = f"demo-{NEW}.zip"
# Appended to the updater.exe in the archive (an ELF file runs all the same),
# so that the folder shows which copy it holds after the update.
MARKER = f"\n# updater.exe from the {PRODUCT} {NEW} archive\n".encode()
# The archive carries this much data besides the programs, and is served
# slowly enough to watch its download for a few seconds.
DATA_FILE, DATA_BYTES = "demo-data.bin", 3 << 20
DOWNLOAD_SECONDS = 8
WAIT = 60  # seconds, for anything the program does by itself
USER_WAIT = 15 * 60  # seconds, for a user to answer the boxes
DOWNLOAD_TITLE = rf"^Downloading {PRODUCT}\. Tab for progress fields\. - "
# Debian puts nginx in /usr/sbin, which is not on a user's PATH.


class Failure(Exception):
    pass


def say(text=""):
    print(text, flush=True)


def poll(what, probe, timeout=WAIT, interval=0.2):
    """The first true result of probe(); Failure after `timeout` seconds."""
    deadline = time.monotonic() + timeout
    while True:
        result = probe()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


def run_tool(*command):
    """Runs a desktop tool; its output, or a Failure naming the command."""
    try:
        done = subprocess.run(command, capture_output=True, text=True, timeout=30)
    except (OSError, subprocess.TimeoutExpired) as error:
        raise Failure(f"{' '.join(command)}: {error}")
    return done.stdout


def app_script(version):
    """The demo application: a window saying which version runs, open until
    it is closed. updater.exe stops the script by its name; setpriv makes the
    window's process (zenity) end with it."""
    return f"""#!/bin/sh
# {PRODUCT} {version}: shows its version until the window is closed.
setpriv --pdeathsig TERM -- zenity --info --title "{PRODUCT}" --width 360 \\
  --text "{PRODUCT} {version} is running" 2>/dev/null &
window=$!
# For scripts/demo, which ends what it started: version, script, window.
if [ -n "${{DEMO_STARTS:-}}" ]; then echo "{version} $$ $window" >> "$DEMO_STARTS"; fi
wait "$window"
""".encode()


def make_zip(path, entries):
    """Writes the ZIP `path` holding `entries` (name -> bytes), mode 0755."""
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
        for name, content in entries.items():
            info = zipfile.ZipInfo(name, date_time=time.localtime()[:6])
            info.external_attr = 0o100755 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, content)


def start_web(root, slow, rate):
    """The release server; `slow` is served at `rate` bytes a second."""
    try:
        return LocalWeb(root, {f"= /{slow}": rate})
    except WebServerError as error:
        raise Failure(str(error))


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def alive(pid, names):
    """Whether `pid` runs and is one of the processes called `names`."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            stat = f.read()
    except OSError:
        return False
    name = stat[stat.find("(") + 1:stat.rfind(")")]
    state = stat[stat.rfind(")") + 2:][:1]
    return name in names and state not in ("Z", "X")


class Demo:
    def __init__(self, updater, screenshots):
        self.updater = updater
        self.screenshots = screenshots
        self.shots = []
        self.root = tempfile.mkdtemp(prefix="updater-demo-")
        self.app = os.path.join(self.root, PRODUCT)
        self.starts_log = os.path.join(self.root, "starts.log")
        self.output = os.path.join(self.root, "output.log")
        self.env = dict(os.environ, DEMO_STARTS=self.starts_log)
        self.processes = []
        self.nginx = None
        self.first_app = None
        self.run = None

    # -- setting up --------------------------------------------------------

    def set_up(self):
        os.mkdir(self.app)
        self.put(EXECUTABLE, app_script(OLD))
        try:
            shutil.copyfile(self.updater, self.path("updater.exe"))
        except OSError as error:
            raise Failure(f"copying {self.updater} to {self.app}: {error}")
        os.chmod(self.path("updater.exe"), 0o755)
        self.old_updater = digest(self.path("updater.exe"))

        web = os.path.join(self.root, "web")
        os.mkdir(web)
        release = os.path.join(web, ARCHIVE)
        with open(self.updater, "rb") as f:
            self.new_updater = f.read() + MARKER
        make_zip(release, {EXECUTABLE: app_script(NEW), "updater.exe": self.new_updater,
                           DATA_FILE: os.urandom(DATA_BYTES)})
        self.archive_size = os.path.getsize(release)
        rate = max(16, self.archive_size // 1024 // DOWNLOAD_SECONDS)
        self.nginx = start_web(web, ARCHIVE, f"{rate}k")
        shutil.move(release, self.nginx.path(ARCHIVE))
        with open(self.nginx.path("version.txt"), "w") as f:
            f.write(NEW)

        say(f"Application folder: {self.app}")
        say(f"  {EXECUTABLE} ({PRODUCT} {OLD}) and updater.exe (a copy of {self.updater})")
        say(f"Web server: nginx on 127.0.0.1:{self.nginx.port}")
        say(f"  {self.nginx.url('version.txt')}  says {NEW}")
        say(f"  {self.nginx.url(ARCHIVE)}  {self.archive_size // 1024} KiB at {rate} KiB/s,"
            f" holding {EXECUTABLE} {NEW}, a new updater.exe and {DATA_FILE}")

    def path(self, name):
        return os.path.join(self.app, name)

    def put(self, name, content):
        with open(self.path(name), "wb") as f:
            f.write(content)
        os.chmod(self.path(name), 0o755)

    def start(self, *command):
        """Starts `command` in the application folder; output to a log,
        which programs started from it inherit."""
        with open(self.output, "ab") as log:
            try:
                process = subprocess.Popen(command, cwd=self.app, env=self.env,
                                           stdout=log, stderr=log, stdin=subprocess.DEVNULL)
            except OSError as error:
                raise Failure(f"starting {' '.join(command)} in {self.app}: {error}")
        self.processes.append(process)
        return process

    def starts(self):
        """(version, script pid, window pid) of each start of the app."""
        try:
            with open(self.starts_log) as f:
                lines = [line.split() for line in f]
        except FileNotFoundError:
            return []
        return [(v, int(p), int(w)) for v, p, w in (line for line in lines if len(line) == 3)]

    def started(self, version):
        return next((start for start in self.starts() if start[0] == version), None)

    def start_app(self):
        say(f"\nStarting {PRODUCT} {OLD}: ./{EXECUTABLE}")
        self.first_app = self.start(f"./{EXECUTABLE}")
        return poll(f"{PRODUCT} {OLD} to start", lambda: self.started(OLD))

    def start_updater(self):
        args = [PRODUCT, OLD, self.nginx.url("version.txt"), self.nginx.url(ARCHIVE), EXECUTABLE]
        say(f"Starting the updater in {self.app}:\n  ./updater.exe {' '.join(args)}")
        self.run = self.start("./updater.exe", *args)

    # -- on a private display, driven --------------------------------------

    def screenshot(self, name, what):
        shot = os.path.join(self.screenshots, name + ".png")
        time.sleep(0.5)  # a window just mapped may not be drawn yet
        run_tool("import", "-window", "root", shot)
        if not os.path.exists(shot):
            raise Failure(f"import -window root {shot} saved nothing")
        self.shots.append(shot)
        say(f"  screenshot: {shot} ({what})")

    def window(self, what, *criteria):
        """The visible X window matching `criteria` (xdotool search), once
        there. Fails early when the updater shows an error or has ended."""
        def probe():
            if run_tool("xdotool", "search", "--onlyvisible", "--name", "^Error$").split():
                self.screenshot("error", "the updater's Error box")
                raise Failure(f'updater.exe shows an "Error" box instead of {what}')
            found = run_tool("xdotool", "search", "--onlyvisible", *criteria).split()
            if not found and self.run is not None and self.run.poll() is not None:
                raise Failure(f"updater.exe ended (exit code {self.run.returncode})"
                              f" before showing {what}")
            return found[-1] if found else None
        return poll(what, probe)

    def press(self, window, key):
        run_tool("xdotool", "windowactivate", "--sync", window)
        run_tool("xdotool", "windowfocus", "--sync", window)
        run_tool("xdotool", "key", "--clearmodifiers", key)

    def drive(self):
        _, _, window = self.start_app()
        self.window(f"{PRODUCT} {OLD}'s window", "--pid", str(window))
        self.screenshot("1-demo-1.0-running", f"{PRODUCT} {OLD} is running")

        self.start_updater()
        question = self.window('the "Update available" question', "--name", "^Update available$")
        self.screenshot("2-update-available", "the question, with the archive's size")
        say('  pressing Return on "Update available" (Yes)')
        self.press(question, "Return")

        download = self.window("the download window", "--name", DOWNLOAD_TITLE)
        poll("the archive to start arriving",
             lambda: os.path.exists(self.path(ARCHIVE)) and os.path.getsize(self.path(ARCHIVE)))
        time.sleep(2.5)  # the figures change once a second
        say("  pressing Tab in the download window (the focus goes to the first figure)")
        self.press(download, "Tab")
        time.sleep(0.5)
        self.screenshot("3-downloading", "the download window, bar and figures")

        done = self.window('the "Done" box', "--name", "^Done$")
        self.screenshot("4-done", "the Done box")
        say('  pressing Return on "Done" (OK)')
        self.press(done, "Return")
        self.wait_for_updater(WAIT)

        _, _, window = self.wait_for_new_app()
        self.window(f"{PRODUCT} {NEW}'s window", "--pid", str(window))
        self.screenshot("5-demo-1.1-running", f"{PRODUCT} {NEW} is running")

    # -- on the user's display ---------------------------------------------

    def attend(self):
        self.start_app()
        say(f'A window says "{PRODUCT} {OLD} is running"; leave it open.\n')
        self.start_updater()
        say(f"""
Now, on your screen:
  1. "Update available" asks whether to download {PRODUCT} {NEW}: press Return
     (or click Yes). The updater closes {PRODUCT} {OLD}.
  2. The download window fills the screen for about {DOWNLOAD_SECONDS} s; Tab moves
     through its figures.
  3. "Done": press Return (or click OK); {PRODUCT} {NEW} starts.
""")
        self.wait_for_updater(USER_WAIT)
        if self.first_app.poll() is None:
            raise Failure(f"updater.exe ended and {PRODUCT} {OLD} still runs: the update was"
                          " declined (No), or the check failed")
        if not os.path.exists(self.path(ARCHIVE)):
            raise Failure("updater.exe ended without the archive: the download was cancelled")
        self.wait_for_new_app()

    def wait_for_user(self, window):
        """Until the user closes the window `window` or presses Enter."""
        interactive = sys.stdin.isatty()
        say(f"Close the {PRODUCT} {NEW} window" +
            (" or press Enter here" if interactive else "") + " to end the demo.")
        while alive(window, ("zenity",)):
            if not interactive:
                time.sleep(0.5)
                continue
            ready, _, _ = select.select([sys.stdin], [], [], 0.5)
            if ready:
                sys.stdin.readline()
                return

    # -- both --------------------------------------------------------------

    def wait_for_updater(self, timeout):
        try:
            self.run.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"updater.exe still running after {timeout} s")
        say(f"updater.exe ended with exit code {self.run.returncode}")
        if self.run.returncode != 0:
            raise Failure(f"updater.exe ended with exit code {self.run.returncode}")

    def wait_for_new_app(self):
        start = poll(f"{PRODUCT} {NEW} to start (up to 30 s)", lambda: self.started(NEW), 30)
        say(f"{PRODUCT} {NEW} started (pid {start[1]})")
        return start

    def check(self):
        """Checks and describes the folder after the update."""
        failures = []
        with open(self.path(EXECUTABLE), "rb") as f:
            if f"{PRODUCT} {NEW} is running".encode() not in f.read():
                failures.append(f"{EXECUTABLE} is not version {NEW}")
        replaced = digest(self.path("updater.exe")) != self.old_updater
        with open(self.path("updater.exe"), "rb") as f:
            if f.read() != self.new_updater:
                failures.append("updater.exe is not the archive's copy")
        for gone in ("updater2.exe", "unzip.exe"):
            if os.path.lexists(self.path(gone)):
                failures.append(f"{gone} is still there")
        if not os.path.exists(self.path(ARCHIVE)):
            failures.append(f"{ARCHIVE} is not there")
        elif os.path.getsize(self.path(ARCHIVE)) != self.archive_size:
            failures.append(f"{ARCHIVE} is {os.path.getsize(self.path(ARCHIVE))} bytes,"
                            f" not {self.archive_size}")
        _, _, old_window = self.started(OLD)
        if self.first_app.poll() is None or alive(old_window, ("zenity",)):
            failures.append(f"{PRODUCT} {OLD} still runs")

        notes = {
            EXECUTABLE: f"{PRODUCT} {NEW}, from the archive (was {OLD})",
            "updater.exe": ("replaced by the archive's copy, which ends with"
                            f" {MARKER.strip().decode()!r}" if replaced else "NOT replaced"),
            ARCHIVE: "the downloaded archive, kept",
            DATA_FILE: f"new with {NEW}: random bytes that give the download some size",
        }
        say(f"\nThe application folder {self.app} now holds:")
        for name in sorted(os.listdir(self.app)):
            size = os.path.getsize(self.path(name))
            say(f"  {name:14} {size:>9} bytes  {notes.get(name, '')}")
        say("  updater2.exe and unzip.exe, there during the update, are gone"
            if not any(os.path.lexists(self.path(n)) for n in ("updater2.exe", "unzip.exe"))
            else "  updater2.exe or unzip.exe is still there")
        code = self.first_app.returncode
        how = f"killed by signal {-code}" if code is not None and code < 0 else f"exit code {code}"
        say(f"{PRODUCT} {OLD} was stopped by the updater ({how}), its window with it;"
            f' {PRODUCT} {NEW} was started by "updater.exe cln {EXECUTABLE}".')
        if failures:
            raise Failure("the update is not complete: " + "; ".join(failures))

    def report_failure(self):
        """What a reader of a failure needs: the folder and the output."""
        if os.path.isdir(self.app):
            say(f"The application folder {self.app} holds: {' '.join(sorted(os.listdir(self.app)))}")
        if os.path.exists(self.output) and os.path.getsize(self.output):
            with open(self.output, errors="replace") as f:
                say("Output of updater.exe and the application:\n" + f.read()[-4000:])
        if self.screenshots and os.path.isdir(self.screenshots):
            try:
                self.screenshot("failure", "the screen at the failure")
            except Failure:
                pass

    def tear_down(self):
        # The applications the update started are not our children.
        for _, script, window in self.starts():
            for pid, names in ((window, ("zenity", "setpriv")), (script, (EXECUTABLE,))):
                if alive(pid, names):
                    os.kill(pid, signal.SIGTERM)
        for process in self.processes:
            if process.poll() is None:
                process.kill()
            process.wait()
        if self.nginx is not None:
            self.nginx.stop()
        shutil.rmtree(self.root, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--updater", required=True, help="the built updater.exe")
    parser.add_argument("--drive", action="store_true",
                        help="answer the boxes with xdotool and take screenshots")
    parser.add_argument("--screenshots", help="folder for the screenshots (with --drive)")
    args = parser.parse_args()
    if args.drive and not args.screenshots:
        parser.error("--drive needs --screenshots")
    # Tool -> its Debian package.
    tools = {"zenity": "zenity", "setpriv": "util-linux"}
    if args.drive:
        tools.update({"xdotool": "xdotool", "import": "imagemagick"})
    missing = [package for tool, package in tools.items() if shutil.which(tool) is None]
    if NGINX is None:
        missing.append("nginx")
    if missing:
        say(f"demo: missing programs; install them with: apt-get install {' '.join(missing)}")
        return 1
    if args.screenshots:
        os.makedirs(args.screenshots, exist_ok=True)
        for old in os.listdir(args.screenshots):
            if old.endswith(".png"):
                os.remove(os.path.join(args.screenshots, old))

    # A stop request ends the demo through its clean-up too.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    demo = Demo(os.path.realpath(args.updater), args.screenshots)
    try:
        demo.set_up()
        if args.drive:
            say(f"No display of yours: on a private one, answered by xdotool;"
                f" screenshots go to {args.screenshots}")
            demo.drive()
        else:
            demo.attend()
        demo.check()
        say(f"\nThe update from {PRODUCT} {OLD} to {PRODUCT} {NEW} is complete.")
        if args.drive:
            say(f"Screenshots of every step, kept in {args.screenshots}:")
            for shot in demo.shots:
                say(f"  {shot}")
        else:
            demo.wait_for_user(demo.started(NEW)[2])
        return 0
    except Failure as failure:
        say(f"\ndemo: FAILED: {failure}")
        demo.report_failure()
        return 1
    except KeyboardInterrupt:
        say("\ndemo: interrupted")
        return 130
    finally:
        say("Ending the web server and the demo's programs; removing " + demo.root)
        demo.tear_down()


if __name__ == "__main__":
    sys.exit(main())
