#!/usr/bin/python3
"""Randomized fault trials of the real updater.exe on a private desktop.

Each trial lays out a fresh application folder (the application running, a
copy of updater.exe), starts a web server of our own on 127.0.0.1, drives a
run of the updater with xdotool and applies one fault, chosen at random, at a
random moment. Then it compares the folder with what that way of ending must
leave there, checks the exit codes of every updater run (the second, "cln"
run too: this process is their subreaper), and ends every process of the
trial before the next one.

Runs inside scripts/desktop-session (see tests/stress/run). Every wait is
bounded; a run that does not end HANG_SECONDS after the last input counts as
a hang. Exits non-zero when any trial found a mismatch, a crash or a hang.
"""

import argparse
import collections
import ctypes
import hashlib
import json
import os
import random
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))

PRODUCT = "My Product"
# A name of its own: the updater stops every process of this name (and of
# this user), so it must not be the one other tests use.
EXECUTABLE = "stress-app"
QUESTION = "Update available"
TITLE = f"Downloading {PRODUCT}. Tab for progress fields. - Brinwick 1.8"
DONE = "Done"
ERROR = "Error"
REPORT = "Tessel Runtime Error"
TOOL = "unzip.exe"
NOBODY = 65534

WINDOW_SECONDS = 20    # for a window to appear
HANG_SECONDS = 60      # for a run to end after the last input
SETTLE_SECONDS = 20    # for the second run to leave the folder as it should
HOLD_SECONDS = 30      # longest a server holds a response back

NEW_MARK = b"\n-- stress: the updater of the release --"
FRESH_MARK = b"\n-- stress: the updater of the fresh release --"


class Mismatch(Exception):
    pass


class Crash(Exception):
    pass


class Hang(Exception):
    pass


# -- processes ---------------------------------------------------------------

class Reaper:
    """Makes this process the subreaper of everything it starts, so that the
    second run ("updater.exe cln ...") and the application it starts come
    back to us when their parent ends, and reaps them: their exit codes are
    recorded. Processes started through popen() are waited for by their
    Popen object instead."""

    def __init__(self):
        libc = ctypes.CDLL(None, use_errno=True)
        if libc.prctl(36, 1, 0, 0, 0) != 0:  # PR_SET_CHILD_SUBREAPER
            raise OSError(ctypes.get_errno(), "prctl(PR_SET_CHILD_SUBREAPER)")
        self.lock = threading.Lock()
        self.owned = set()
        self.ignored = set()      # pids we killed on purpose
        self.cmdlines = {}
        self.exits = []           # (pid, comm, cmdline, exit code)
        self.stopping = threading.Event()
        self.thread = threading.Thread(target=self.loop, daemon=True)
        self.thread.start()

    def popen(self, argv, **kwargs):
        with self.lock:
            process = subprocess.Popen(argv, **kwargs)
            self.owned.add(process.pid)
        return process

    def release(self, process):
        """Once `process` has been waited for, its pid is no longer ours."""
        if process.returncode is not None:
            with self.lock:
                self.owned.discard(process.pid)

    def run(self, argv, timeout=15):
        """Runs a tool; returns its exit code and output (None: timed out)."""
        process = self.popen(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                             stdin=subprocess.DEVNULL)
        try:
            out, _ = process.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            out, _ = process.communicate()
            self.release(process)
            return None, out.decode(errors="replace")
        self.release(process)
        return process.returncode, out.decode(errors="replace")

    def loop(self):
        while not self.stopping.wait(0.02):
            self.scan()

    def scan(self):
        me = os.getpid()
        with self.lock:
            for pid, ppid, state, comm in processes():
                if ppid != me or pid in self.owned:
                    continue
                if state != "Z":
                    if pid not in self.cmdlines:
                        self.cmdlines[pid] = read_cmdline(pid)
                    continue
                try:
                    waited, status = os.waitpid(pid, os.WNOHANG)
                except ChildProcessError:
                    continue
                if waited == pid:
                    self.exits.append((pid, comm, self.cmdlines.pop(pid, ""),
                                       os.waitstatus_to_exitcode(status)))

    def take_exits(self):
        with self.lock:
            exits, self.exits = self.exits, []
            ignored = set(self.ignored)
        return [e for e in exits if e[0] not in ignored]

    def stop(self):
        self.stopping.set()
        self.thread.join(timeout=5)


def processes():
    """(pid, ppid, state, comm) of every process."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                stat = f.read()
        except OSError:
            continue
        close = stat.rfind(")")
        comm = stat[stat.find("(") + 1:close]
        fields = stat[close + 2:].split()
        found.append((int(entry), int(fields[1]), fields[0], comm))
    return found


def read_cmdline(pid):
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            return f.read().replace(b"\0", b" ").decode(errors="replace").strip()
    except OSError:
        return ""


def link(pid, name):
    try:
        return os.readlink(f"/proc/{pid}/{name}")
    except OSError:
        return ""


def processes_of(folder):
    """Pids of live processes that run from, in or with `folder`."""
    me = os.getpid()
    found = []
    for pid, _, state, _ in processes():
        if pid == me or state == "Z":
            continue
        where = (link(pid, "exe"), link(pid, "cwd"))
        if any(p == folder or p.startswith(folder + "/") for p in where) or \
                folder + "/" in read_cmdline(pid):
            found.append(pid)
    return found


# -- the web server ----------------------------------------------------------

class Server:
    """HTTP/1.1 on a free port of 127.0.0.1: version.txt holds "1.1", and
    the archive is sent as `mode` says:

    fast      all at once
    slow      at `rate` bytes/s; the last `tail` bytes wait for release()
    hold      the head, then nothing until release() (then the connection ends)
    truncate  the head announcing every byte, `cut` of them, then the
              connection ends (with a reset when `reset`)
    stall     the head, `cut` bytes, then nothing until release()
    """

    def __init__(self, name, archive, mode="fast", rate=128 * 1024, tail=16 * 1024,
                 cut=0, reset=False):
        self.name, self.archive, self.mode = name, archive, mode
        self.rate, self.tail, self.cut, self.reset = rate, tail, cut, reset
        self.released = threading.Event()
        self.stopping = threading.Event()
        self.gets = 0
        self.connections = []
        self.threads = []
        self.lock = threading.Lock()
        self.listener = socket.socket()
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(16)
        self.listener.settimeout(0.1)
        self.port = self.listener.getsockname()[1]
        self.thread = threading.Thread(target=self.accept, daemon=True)
        self.thread.start()

    def url(self, name):
        return f"http://127.0.0.1:{self.port}/{name}"

    def accept(self):
        while not self.stopping.is_set():
            try:
                connection, _ = self.listener.accept()
            except (socket.timeout, OSError):
                continue
            with self.lock:
                self.connections.append(connection)
            thread = threading.Thread(target=self.serve, args=(connection,), daemon=True)
            self.threads.append(thread)
            thread.start()

    def serve(self, connection):
        try:
            connection.settimeout(10)
            request = b""
            while b"\r\n\r\n" not in request and len(request) < 65536:
                piece = connection.recv(4096)
                if not piece:
                    return
                request += piece
            method, path = request.split(b" ", 2)[:2]
            path = path.decode(errors="replace")
            if path == "/version.txt":
                self.respond(connection, method, b"1.1\n")
            elif path == "/" + self.name:
                self.send_archive(connection, method)
            else:
                connection.sendall(b"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n"
                                   b"Connection: close\r\n\r\n")
        except OSError:
            pass
        finally:
            self.end(connection)

    @staticmethod
    def head(size, kind):
        return (f"HTTP/1.1 200 OK\r\nContent-Type: {kind}\r\nContent-Length: {size}\r\n"
                f"Connection: close\r\n\r\n").encode()

    def respond(self, connection, method, body):
        connection.sendall(self.head(len(body), "text/plain") +
                           (b"" if method == b"HEAD" else body))

    def wait_release(self):
        deadline = time.monotonic() + HOLD_SECONDS
        while not self.released.wait(0.05):
            if self.stopping.is_set() or time.monotonic() > deadline:
                return

    def send_paced(self, connection, data):
        start = time.monotonic()
        sent = 0
        while sent < len(data) and not self.stopping.is_set():
            piece = data[sent:sent + 4096]
            connection.sendall(piece)
            sent += len(piece)
            ahead = start + sent / self.rate - time.monotonic()
            if ahead > 0:
                time.sleep(ahead)

    def send_archive(self, connection, method):
        data = self.archive
        connection.sendall(self.head(len(data), "application/zip"))
        if method == b"HEAD":
            return
        with self.lock:
            self.gets += 1
        if self.mode == "fast":
            connection.sendall(data)
        elif self.mode == "slow":
            self.send_paced(connection, data[:len(data) - self.tail])
            self.wait_release()
            connection.sendall(data[len(data) - self.tail:])
        elif self.mode == "hold":
            self.wait_release()
        elif self.mode == "truncate":
            if self.cut:
                connection.sendall(data[:self.cut])
            if self.reset:
                connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                      b"\x01\x00\x00\x00\x00\x00\x00\x00")
        elif self.mode == "stall":
            if self.cut:
                connection.sendall(data[:self.cut])
            self.wait_release()

    def end(self, connection):
        try:
            connection.close()
        except OSError:
            pass

    def stop(self):
        self.released.set()
        self.stopping.set()
        self.thread.join(timeout=5)
        self.listener.close()
        with self.lock:
            for connection in self.connections:
                try:
                    connection.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
                self.end(connection)
        for thread in self.threads:
            thread.join(timeout=5)


# -- the desktop -------------------------------------------------------------

class Desktop:
    def __init__(self, reaper, accessibility):
        self.reaper = reaper
        self.accessibility = accessibility

    def windows(self, title):
        _, out = self.reaper.run(["xdotool", "search", "--onlyvisible", "--name",
                                  "^" + re.escape(title) + "$"])
        return out.split()

    def press(self, window, key, held=None):
        """Focuses `window` and types `key` there; `held`: seconds between
        the key going down and up."""
        # A window under a modal box never becomes active: the wait for it
        # is short, and the key then goes where the focus is, as a person's.
        self.reaper.run(["xdotool", "windowactivate", "--sync", window], timeout=3)
        self.reaper.run(["xdotool", "windowfocus", "--sync", window], timeout=3)
        if held is None:
            self.reaper.run(["xdotool", "key", "--clearmodifiers", key], timeout=10)
        else:
            self.reaper.run(["xdotool", "keydown", "--clearmodifiers", key], timeout=10)
            time.sleep(held)
            self.reaper.run(["xdotool", "keyup", "--clearmodifiers", key], timeout=10)

    def close(self, window):
        self.reaper.run(["wmctrl", "-i", "-c", window], timeout=10)

    def screenshot(self, path):
        if shutil.which("import"):
            self.reaper.run(["import", "-window", "root", path], timeout=30)

    def field_text(self, pid, title, field):
        """The text of the field named `field` in the window `title` of the
        process `pid`, as a screen reader reads it; None when not found."""
        return self.accessibility.ask([pid, title, field])


class Accessibility:
    """Reads the screen through the accessibility bus in a helper process
    of its own: a bus gone wrong makes pyatspi abort, and the helper is then
    started again instead of the trials ending."""

    def __init__(self, reaper, log):
        self.reaper, self.log = reaper, log
        self.process = None
        self.buffer = b""

    def start(self):
        with open(self.log, "ab") as log:
            self.process = self.reaper.popen(
                [sys.executable, os.path.abspath(__file__), "--accessibility-helper"],
                stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=log)
        self.buffer = b""

    def stop(self):
        if self.process is not None:
            self.process.kill()
            self.process.wait()
            self.reaper.release(self.process)
            self.process = None

    def ask(self, question, timeout=10):
        if self.process is None or self.process.poll() is not None:
            self.stop()
            self.start()
        try:
            self.process.stdin.write(json.dumps(question).encode() + b"\n")
            self.process.stdin.flush()
            deadline = time.monotonic() + timeout
            while b"\n" not in self.buffer:
                left = deadline - time.monotonic()
                if left <= 0 or not select.select([self.process.stdout], [], [], left)[0]:
                    raise TimeoutError("no answer")
                piece = os.read(self.process.stdout.fileno(), 65536)
                if not piece:
                    raise EOFError("the helper ended")
                self.buffer += piece
            line, self.buffer = self.buffer.split(b"\n", 1)
            return json.loads(line)
        except (OSError, ValueError, TimeoutError, EOFError):
            self.stop()
            return None


def accessibility_helper():
    """Answers [pid, window title, field name] lines with the field's text."""
    import pyatspi

    def find(node, name, depth=0):
        if depth > 6:
            return None
        for i in range(node.childCount):
            child = node.getChildAtIndex(i)
            if child is None:
                continue
            if child.getRole() == pyatspi.ROLE_TEXT and child.name == name:
                return child
            hit = find(child, name, depth + 1)
            if hit is not None:
                return hit
        return None

    def lookup(pid, title, field):
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            try:
                if app is None or app.get_process_id() != pid:
                    continue
                for j in range(app.childCount):
                    frame = app.getChildAtIndex(j)
                    if frame is not None and frame.name == title:
                        found = find(frame, field)
                        if found is not None:
                            return found.queryText().getText(0, -1)
            except Exception:
                continue
        return None

    for line in sys.stdin:
        try:
            answer = lookup(*json.loads(line))
        except Exception:
            answer = None
        sys.stdout.write(json.dumps(answer) + "\n")
        sys.stdout.flush()


# -- releases ----------------------------------------------------------------

class Releases:
    """Archives, made once per kind and kept: deflating the updater takes a
    while."""

    def __init__(self, exe):
        from release import app_script, make_zip
        self.app_script, self.make_zip = app_script, make_zip
        with open(exe, "rb") as f:
            self.old_updater = f.read()
        self.pool = random.Random(1).randbytes(1 << 20)
        self.cache = {}
        self.stripped = None
        with tempfile.TemporaryDirectory() as folder:
            out = os.path.join(folder, "updater.exe")
            if subprocess.run(["strip", "-o", out, exe], capture_output=True).returncode == 0:
                with open(out, "rb") as f:
                    self.stripped = f.read()

    def make(self, updater_mark=None, data=0, damaged=False, zeros=False, stripped=False):
        """(archive bytes, entries): my application 1.1, optionally a new
        updater ending with `updater_mark` (`stripped`: made from a copy
        without symbols, as releases often are) and `data` bytes of data.bin
        (random, or `zeros`, which deflate to next to nothing)."""
        key = (updater_mark, data, damaged, zeros, stripped)
        if key not in self.cache:
            if damaged:
                self.cache[key] = (b"PK\x03\x04 not really an archive" * (1 + data // 30), {})
            else:
                entries = {EXECUTABLE: self.app_script("1.1")}
                if updater_mark is not None:
                    base = self.stripped if stripped else self.old_updater
                    entries["updater.exe"] = base + updater_mark
                if data:
                    entries["data.bin"] = bytes(data) if zeros else self.pool[:data]
                self.cache[key] = (self.make_zip(entries), entries)
        return self.cache[key]


def fingerprint(content):
    return (len(content), hashlib.sha1(content).hexdigest()[:12])


# -- one trial ---------------------------------------------------------------

class Trial:
    """A folder, a server, the runs of the updater, and the check."""

    def __init__(self, ctx, index, rng):
        self.ctx, self.index, self.rng = ctx, index, rng
        self.reaper, self.desktop = ctx.reaper, ctx.desktop
        self.work = os.path.join(ctx.root, f"trial-{index:04d}")
        self.dir = os.path.join(self.work, "app")
        os.makedirs(self.dir)
        os.chmod(self.work, 0o755)
        os.chmod(self.dir, 0o755)
        self.log = os.path.join(self.work, "output.log")
        self.server = None
        self.app = None
        self.runs = []
        self.immutable = False
        self.notes = []
        self.steps = []
        self.end = None
        self.archive_name = rng.choice(["release.zip", "app-1.1.zip", "Release_1.1.zip"])

    # files

    def path(self, name):
        return os.path.join(self.dir, name)

    def put(self, name, content, mode=0o755):
        with open(self.path(name), "wb") as f:
            f.write(content)
        os.chmod(self.path(name), mode)

    def size(self, name):
        try:
            return os.path.getsize(self.path(name))
        except OSError:
            return -1

    def snapshot(self):
        """name -> (size, hash) of what the folder holds, starts.log aside."""
        found = {}
        for name in os.listdir(self.dir):
            if name == "starts.log":
                continue
            path = self.path(name)
            if os.path.islink(path) or not os.path.isfile(path):
                found[name] = ("not a file", "")
                continue
            try:
                with open(path, "rb") as f:
                    found[name] = fingerprint(f.read())
            except OSError as e:
                found[name] = ("unreadable", str(e))
        return found

    def starts(self):
        try:
            with open(self.path("starts.log")) as f:
                return f.read().split()
        except OSError:
            return []

    # processes

    def start_app(self):
        before = len(self.starts())
        with open(self.log, "ab") as log:
            self.app = self.reaper.popen([self.path(EXECUTABLE)], cwd=self.dir, stdout=log,
                                         stderr=log, stdin=subprocess.DEVNULL,
                                         start_new_session=True)
        self.poll("the application to start", lambda: len(self.starts()) > before, 10)

    def start_updater(self, version="1.0", fsize=None, nobody=False):
        argv = [self.path("updater.exe"), PRODUCT, version, self.server.url("version.txt"),
                self.server.url(self.archive_name), EXECUTABLE]
        env = dict(os.environ)
        if nobody:
            argv = ["setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups",
                    "--"] + argv
            # Another user's programs cannot reach our accessibility bus.
            env["NO_AT_BRIDGE"] = "1"
        if fsize is not None:
            # A full disk: no file grows past `fsize` bytes, and with SIGXFSZ
            # ignored the write that would comes up short instead of killing.
            # Both reach the updater through exec, on the same pid.
            argv = ["/bin/sh", "-c", 'trap "" XFSZ; exec prlimit --fsize="$0" -- "$@"',
                    str(fsize)] + argv

        with open(self.log, "ab") as log:
            log.write(f"--- {' '.join(argv)}\n".encode())
            log.flush()
            run = self.reaper.popen(argv, cwd=self.dir, stdout=log, stderr=log, env=env,
                                    stdin=subprocess.DEVNULL, start_new_session=True)
        self.runs.append(run)
        return run

    def poll(self, what, probe, timeout, interval=0.02, run=None):
        deadline = time.monotonic() + timeout
        while True:
            result = probe()
            if result:
                return result
            if run is not None and run.poll() is not None:
                self.ended_early(run, what)
            if time.monotonic() > deadline:
                if run is not None:
                    self.hang(f"waiting {timeout} s for {what}")
                raise Mismatch(f"timed out after {timeout} s waiting for {what}")
            time.sleep(interval)

    def ended_early(self, run, what):
        code = run.returncode
        if code != 0:
            raise Crash(f"the run ended with exit code {code} while waiting for {what}")
        raise Mismatch(f"the run ended (exit code 0) while waiting for {what}")

    def hang(self, what):
        if self.desktop.windows(REPORT):
            raise Crash(f"a runtime error report is on screen ({what})")
        raise Hang(what)

    def window(self, title, run, timeout=WINDOW_SECONDS):
        return self.poll(f"a window titled {title!r}",
                         lambda: (self.desktop.windows(title) or [None])[-1], timeout,
                         interval=0.03, run=run)

    def press(self, window, key, what):
        self.steps.append(f"{key} ({what})")
        self.desktop.press(window, key)

    def finish(self, run, expect_code=0):
        try:
            run.wait(timeout=HANG_SECONDS)
        except subprocess.TimeoutExpired:
            self.hang(f"the run did not end within {HANG_SECONDS} s of the last input "
                      f"(windows on screen: {self.screen()})")
        self.reaper.release(run)
        if run.returncode != expect_code:
            raise Crash(f"exit code {run.returncode}, expected {expect_code}")

    def screen(self):
        titles = []
        for title in (QUESTION, TITLE, DONE, ERROR, REPORT):
            if self.desktop.windows(title):
                titles.append(title)
        return titles

    def kill(self, run):
        with self.reaper.lock:
            self.reaper.ignored.add(run.pid)
        try:
            os.kill(run.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        run.wait(timeout=10)
        self.reaper.release(run)
        if run.returncode not in (0, -signal.SIGKILL):
            raise Crash(f"exit code {run.returncode} before SIGKILL took effect")

    def end_processes(self, keep=()):
        """Ends every process of the trial, by pid; waits until gone."""
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline:
            pids = [p for p in processes_of(self.work) if p not in keep]
            if not pids:
                break
            with self.reaper.lock:
                self.reaper.ignored.update(pids)
            for pid in pids:
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            for process in self.runs + ([self.app] if self.app else []):
                if process.poll() is not None:
                    self.reaper.release(process)
            time.sleep(0.02)
        for process in self.runs + ([self.app] if self.app else []):
            if process.poll() is None:
                process.kill()
            process.wait(timeout=10)
            self.reaper.release(process)

    def cleanup(self):
        if self.immutable:
            self.reaper.run(["chattr", "-i", self.dir])
        # The pattern from the tests beside this one, then pid by pid.
        self.reaper.run(["pkill", "-KILL", "-f", self.work + "/"])
        self.end_processes()
        if self.server:
            self.server.stop()
        # Everything killed is reaped before the next trial, whose exit codes
        # count.
        me = os.getpid()
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and any(
                ppid == me and state == "Z" for _, ppid, state, _ in processes()):
            time.sleep(0.02)
        self.reaper.take_exits()
        with self.reaper.lock:
            self.reaper.ignored.clear()

    # the setting

    def prepare(self, archive, entries, server, pre=()):
        """The folder with the application 1.0 running; `pre` files put
        there beforehand; `server` a Server serving `archive`."""
        self.archive, self.entries = archive, entries
        self.put(EXECUTABLE, self.ctx.releases.app_script("1.0"))
        self.put("updater.exe", self.ctx.releases.old_updater)
        for name, content, mode in pre:
            self.put(name, content, mode)
        self.server = server
        self.start_app()
        self.initial = self.snapshot()
        self.initial_starts = self.starts()

    def serve(self, mode="fast", **kwargs):
        return Server(self.archive_name, self.archive, mode, **kwargs)

    def release(self, updater=None, data=None, damaged=False):
        """An archive and its entries; `updater`: whether it brings a new
        updater.exe (None: at random)."""
        if data is None:
            data = self.rng.choice([0, 1000, 20000, 60000])
        if updater is None:
            updater = self.rng.random() < 0.5
        return self.ctx.releases.make(NEW_MARK if updater else None, data, damaged)

    def answer(self, run, key="Return"):
        self.press(self.window(QUESTION, run), key, "the question")

    # the oracle

    def expected(self, end, before=None, starts=None):
        """What the folder must hold (name -> matcher) and the starts.log
        lines after an end of the kind `end`."""
        before = dict(self.initial if before is None else before)
        starts = list(self.initial_starts if starts is None else starts)
        before.pop(TOOL, None)
        if end in ("cancel", "no"):
            return before, starts
        if end == "close":
            before[self.archive_name] = ("at most", len(self.archive))
            return before, starts
        if end == "untouched":
            return dict(self.initial), starts
        if end in ("done", "error"):
            before.pop("updater2.exe", None)
            for name, content in self.entries.items():
                before[name] = fingerprint(content)
            before[self.archive_name] = fingerprint(self.archive)
            # A damaged archive brings nothing: the application 1.0 comes back.
            return before, starts + ["1.1" if end == "done" else "1.0"]
        if end == "extraction failed":
            # How far the extraction got is the tool's business; what matters
            # is a whole updater (the old or the new one), the leftovers
            # gone, and the application (whichever) started again.
            old = before["updater.exe"]
            before.pop("updater2.exe", None)
            versions = {fingerprint(self.ctx.releases.app_script(v)): v for v in ("1.0", "1.1")}
            before[EXECUTABLE] = ("one of", sorted(versions))
            if "updater.exe" in self.entries:
                before["updater.exe"] = ("one of", [old, fingerprint(self.entries["updater.exe"])])
            for name in self.entries:
                if name not in (EXECUTABLE, "updater.exe"):
                    before[name] = ("any",)
            before[self.archive_name] = fingerprint(self.archive)
            app = self.path(EXECUTABLE)
            def restarted():
                try:
                    with open(app, "rb") as f:
                        return starts + [versions.get(fingerprint(f.read()), "?")]
                except OSError:
                    return starts + ["?"]
            return before, restarted
        raise ValueError(end)

    def compare(self, expect, starts):
        actual = self.snapshot()
        problems = []
        for name in sorted(set(expect) | set(actual)):
            want, got = expect.get(name), actual.get(name)
            if want is not None and want[0] == "any" and got is None:
                continue
            if want is None:
                problems.append(f"{name}: not expected, found {got}")
            elif got is None:
                problems.append(f"{name}: expected {want}, absent")
            elif want[0] == "at most":
                if not isinstance(got[0], int) or got[0] > want[1]:
                    problems.append(f"{name}: expected at most {want[1]} bytes, found {got}")
            elif want[0] == "one of":
                if got not in want[1]:
                    problems.append(f"{name}: expected one of {want[1]}, found {got}")
            elif want[0] == "any":
                pass
            elif want != got:
                problems.append(f"{name}: expected {want}, found {got}")
        if callable(starts):
            starts = starts()
        if self.starts() != starts:
            problems.append(f"starts.log: expected {starts}, found {self.starts()}")
        return problems, actual

    def check(self, end, app, before=None, starts=None, settle=0.0):
        """Compares the folder with the oracle of `end`, for up to `settle`
        seconds while a second run may still be at work; `app`: "running",
        "stopped" (the updater stopped it) or None (not checked)."""
        expect, starts = self.expected(end, before, starts)
        deadline = time.monotonic() + settle
        while True:
            problems, actual = self.compare(expect, starts)
            if not problems and settle and processes_of_exe(self.dir):
                problems = ["a run of updater.exe is still going"]
            if not problems or time.monotonic() > deadline:
                break
            time.sleep(0.05)
        if problems and problems == ["a run of updater.exe is still going"]:
            self.hang(f"the second run did not end within {settle} s")
        if app is not None and self.app is not None:
            state = "running" if self.app.poll() is None else "stopped"
            if state != app:
                problems.append(f"the application: expected {app}, it is {state}")
        if problems:
            listing = lambda d: ", ".join(f"{n} {v[0]}" for n, v in sorted(d.items()))
            if callable(starts):
                starts = starts()
            raise Mismatch(f"after the end {end!r}:\n      " + "\n      ".join(problems) +
                           f"\n      expected: {listing(expect)}; starts {starts}"
                           f"\n      actual:   {listing(actual)}; starts {self.starts()}")
        self.end = end

    def check_exits(self):
        """Every updater run that came back to us (the second run, the fault
        reporter) must have ended with 0."""
        self.reaper.scan()
        for pid, comm, cmdline, code in self.reaper.take_exits():
            if comm.startswith("updater") and code != 0:
                raise Crash(f"process {pid} ({cmdline or comm}) ended with exit code {code}")


def processes_of_exe(folder):
    """Live runs of the updater at work in `folder`: processes whose
    executable is updater.exe or updater2.exe there (or their deleted
    copies), or that bear its name and work there."""
    names = {os.path.join(folder, n) for n in ("updater.exe", "updater2.exe")}
    found = []
    for pid, _, state, comm in processes():
        if state == "Z":
            continue
        exe = link(pid, "exe").removesuffix(" (deleted)")
        if exe in names or (comm.startswith("updater") and link(pid, "cwd") == folder):
            found.append(pid)
    return found


# -- the faults --------------------------------------------------------------
#
# Each takes a Trial, drives the run, applies its fault and checks the end;
# it returns a short description of what it did.

def drive_install(t, run, box=DONE):
    """Waits for the closing box, answers it, and checks a whole update."""
    t.press(t.window(box, run), "Return", box)
    t.finish(run)
    t.check("done" if box == DONE else "error", "stopped", settle=SETTLE_SECONDS)


def wait_bytes(t, run, at_least, what):
    t.poll(what, lambda: t.size(t.archive_name) >= at_least, WINDOW_SECONDS, 0.005, run)


def wait_failed(t, run):
    """Waits until the window says the download failed."""
    t.poll("'Download failed' in the Transfer Rate field",
           lambda: t.desktop.field_text(run.pid, TITLE, "Transfer Rate") == "Download failed",
           WINDOW_SECONDS, 0.1, run)


def end_after_racy_input(t, run, answers_boxes):
    """After an input that may have come before or after the download's end
    was noticed: either that input ended the run, or the closing box came
    (`answers_boxes`: and the input may have answered it). Returns the end
    that the run took when it was the box's: "done" or "error"."""
    deadline = time.monotonic() + HANG_SECONDS
    while run.poll() is None:
        for box in (DONE, ERROR):
            found = t.desktop.windows(box)
            if found:
                t.press(found[-1], "Return", box)
                t.finish(run)
                return "done" if box == DONE else "error"
        if time.monotonic() > deadline:
            t.hang("the run did not end after the input")
        time.sleep(0.03)
    t.finish(run)
    # A key may have answered a box that had just come up: the archive is
    # then kept (Cancel deletes it) and the second run goes on.
    if answers_boxes and t.size(t.archive_name) == len(t.archive):
        return "done" if t.entries else "error"
    return None


def serve_for_moment(t, moment):
    """Serves a release so that `moment` of its download can be met: held
    before the first byte, slow mid-body, or fast. Returns the archive."""
    if moment == "before the first byte":
        archive, entries = t.release()
        t.prepare(archive, entries, Server(t.archive_name, archive, "hold"))
    elif moment == "mid-body":
        archive, entries = t.release(data=t.rng.choice([200000, 300000, 400000]))
        t.prepare(archive, entries, Server(t.archive_name, archive, "slow",
                                           rate=t.rng.choice([64, 128, 256]) * 1024))
    else:
        archive, entries = t.release()
        t.prepare(archive, entries, Server(t.archive_name, archive, "fast"))
    return archive


def wait_for_moment(t, run, moment, archive):
    """Waits for `moment` of the download, then a random while more; that
    while, in seconds."""
    if moment == "before the first byte":
        wait_bytes(t, run, 0, "the archive file")
        delay = t.rng.uniform(0, 0.8)
    elif moment == "mid-body":
        wait_bytes(t, run, 1, "bytes to arrive")
        delay = t.rng.uniform(0, 1.0)
    else:
        wait_bytes(t, run, len(archive), "every byte")
        delay = t.rng.uniform(0, 1.2)
    time.sleep(delay)
    return delay


def fault_cancel(t):
    moment = t.rng.choice(["before the first byte", "mid-body", "after the last byte"])
    archive = serve_for_moment(t, moment)
    run = t.start_updater()
    t.answer(run)
    window = t.window(TITLE, run)
    # After the last byte, the download's end is noticed at the next tick,
    # somewhen in the coming second. The key goes down and up like a
    # person's, so the click may come as the tick does.
    delay = wait_for_moment(t, run, moment, archive)
    got = t.size(t.archive_name)
    held = t.rng.uniform(0.01, 0.3)
    t.steps.append(f"space held {held:.2f} s (Cancel)")
    t.desktop.press(window, "space", held)
    if moment == "after the last byte":
        end = end_after_racy_input(t, run, True)
        if end:
            t.check(end, "stopped", settle=SETTLE_SECONDS)
            return f"{moment} (+{delay:.2f} s, held {held:.2f} s): installed first"
    else:
        t.finish(run)
    t.check("cancel", "stopped")
    return f"{moment} (+{delay:.2f} s, {got} of {len(archive)} bytes)"


def fault_close(t):
    moment = t.rng.choice(["at the question", "before the first byte", "mid-body",
                           "after the last byte", "at the Done box"])
    archive = serve_for_moment(t, moment)
    run = t.start_updater()
    if moment == "at the question":
        window = t.window(QUESTION, run)
        time.sleep(t.rng.uniform(0, 0.5))
        t.steps.append("close request (the question)")
        t.desktop.close(window)
        t.finish(run)
        t.check("no", "running")
        return moment
    t.answer(run)
    if moment == "at the Done box":
        window = t.window(DONE, run)
        t.steps.append("close request (Done)")
        t.desktop.close(window)
        t.finish(run)
        t.check("done", "stopped", settle=SETTLE_SECONDS)
        return moment
    window = t.window(TITLE, run)
    delay = wait_for_moment(t, run, moment, archive)
    got = t.size(t.archive_name)
    t.steps.append("close request (the download window)")
    t.desktop.close(window)
    if moment == "after the last byte":
        # A close request while the Done box is up is not for the box.
        end = end_after_racy_input(t, run, False)
        if end:
            t.check(end, "stopped", settle=SETTLE_SECONDS)
            return f"{moment}: the download's end came first, installed"
    else:
        t.finish(run)
    t.check("close", "stopped")
    if moment == "mid-body" and not 0 < t.size(t.archive_name) < len(archive):
        raise Mismatch(f"the partial archive has {t.size(t.archive_name)} bytes "
                       f"of {len(archive)}")
    return f"{moment} (+{delay:.2f} s, {got} of {len(archive)} bytes)"


def fault_server_close(t):
    archive, entries = t.release(data=t.rng.choice([0, 20000, 150000]))
    n = len(archive)
    roll = t.rng.random()
    cut = 0 if roll < 0.15 else n - 1 if roll < 0.3 else t.rng.randrange(n)
    reset = t.rng.random() < 0.3
    t.prepare(archive, entries, Server(t.archive_name, archive, "truncate", cut=cut,
                                       reset=reset))
    run = t.start_updater()
    t.answer(run)
    window = t.window(TITLE, run)
    wait_failed(t, run)
    t.press(window, "space", "Cancel")
    t.finish(run)
    t.check("cancel", "stopped")
    t.end = "failed, then Cancel"
    return f"{cut} of {n} bytes, then {'a reset' if reset else 'the end'}"


def fault_stall(t):
    archive, entries = t.release(data=t.rng.choice([0, 20000, 150000]))
    n = len(archive)
    cut = t.rng.choice([0, t.rng.randrange(n), n - 1])
    t.prepare(archive, entries, Server(t.archive_name, archive, "stall", cut=cut))
    run = t.start_updater()
    t.answer(run)
    window = t.window(TITLE, run)
    wait_bytes(t, run, cut, f"{cut} bytes")
    delay = t.rng.uniform(0, 1.5)
    time.sleep(delay)
    rate = t.desktop.field_text(run.pid, TITLE, "Transfer Rate")
    if rate == "Download failed":
        raise Mismatch("a stalled download was reported as failed")
    t.press(window, "space", "Cancel")
    t.finish(run)
    t.check("cancel", "stopped")
    return f"{cut} of {n} bytes, Cancel {delay:.2f} s later"


def fault_disk_full(t):
    # Random data does not deflate: the archive is about data.bin's size.
    archive, entries = t.release(updater=False, data=t.rng.choice([250000, 400000, 600000]))
    n = len(archive)
    fits = t.rng.random() < 0.2
    if fits:
        fsize = t.rng.randrange(n + 1, 2 * n)
    else:
        roll = t.rng.random()
        fsize = 0 if roll < 0.1 else n - 1 if roll < 0.2 else t.rng.randrange(n)
    t.prepare(archive, entries, Server(t.archive_name, archive, "fast"))
    run = t.start_updater(fsize=fsize)
    t.answer(run)
    if fits:
        drive_install(t, run)
        return f"limit {fsize} for {n} bytes: fits"
    window = t.window(TITLE, run)
    wait_failed(t, run)
    t.press(window, "space", "Cancel")
    t.finish(run)
    t.check("cancel", "stopped")
    t.end = "failed, then Cancel"
    return f"limit {fsize} for {n} bytes"


def fault_extract_full(t):
    """A disk that holds the archive but not what it unpacks to."""
    variant = t.rng.choice(["a new updater.exe", "a new stripped updater.exe",
                            "data that deflates well", "the tool itself"])
    if variant == "a new stripped updater.exe" and t.ctx.releases.stripped is None:
        variant = "a new updater.exe"
    if variant == "a new updater.exe":
        archive, entries = t.release(updater=True, data=1000)
        need = len(entries["updater.exe"])
    elif variant == "a new stripped updater.exe":
        archive, entries = t.ctx.releases.make(NEW_MARK, 1000, stripped=True)
        need = len(entries["updater.exe"])
    elif variant == "data that deflates well":
        archive, entries = t.ctx.releases.make(None, 1500000, zeros=True)
        need = len(entries["data.bin"])
    else:
        archive, entries = t.release(updater=False, data=t.rng.choice([0, 20000]))
        need = os.path.getsize("/usr/bin/unzip")
    n = len(archive)
    fsize = t.rng.randrange(n, need)
    t.prepare(archive, entries, Server(t.archive_name, archive, "fast"))
    run = t.start_updater(fsize=fsize)
    t.answer(run)
    box = t.poll("the Done or the Error box", lambda: (
        (DONE, t.desktop.windows(DONE)) if t.desktop.windows(DONE) else
        (ERROR, t.desktop.windows(ERROR)) if t.desktop.windows(ERROR) else None),
        WINDOW_SECONDS, 0.05, run)
    t.press(box[1][-1], "Return", box[0])
    t.finish(run)
    t.check("extraction failed", "stopped", settle=SETTLE_SECONDS)
    t.end = f"the {box[0]} box"
    return f"{variant}: limit {fsize}, archive {n}, needs {need}"


def fault_sigkill(t):
    moment = t.rng.choice(["at the question", "at the download window", "mid-download",
                           "at the Done box", "at the Error box", "a random time after Yes"])
    if moment == "mid-download":
        archive, entries = t.release(data=t.rng.choice([200000, 300000]))
        t.prepare(archive, entries, Server(t.archive_name, archive, "slow", rate=128 * 1024))
    else:
        # Mostly with a new updater, as releases come.
        updater = t.rng.random() < 0.7
        archive, entries = t.release(updater=updater, damaged=moment == "at the Error box")
        t.prepare(archive, entries, Server(t.archive_name, archive, "fast"))
    run = t.start_updater()
    delay = 0.0
    if moment == "at the question":
        t.window(QUESTION, run)
        delay = t.rng.uniform(0, 0.3)
    else:
        t.answer(run)
        if moment == "at the download window":
            t.window(TITLE, run)
            delay = t.rng.uniform(0, 1.3)
        elif moment == "mid-download":
            t.window(TITLE, run)
            wait_bytes(t, run, 1, "bytes to arrive")
            delay = t.rng.uniform(0, 0.8)
        elif moment == "at the Done box":
            t.window(DONE, run)
        elif moment == "at the Error box":
            t.window(ERROR, run)
        else:
            delay = t.rng.uniform(0, 1.6)
    time.sleep(delay)
    t.steps.append("SIGKILL")
    t.kill(run)
    t.check_exits()
    # Whatever the run had started goes on by itself (an extraction); it may
    # finish. Then everything else of the trial ends, like a reboot would.
    t.poll("an extraction to finish", lambda: not [
        p for p in processes_of(t.dir) if link(p, "exe") == t.path(TOOL)], 15)
    t.end_processes()
    left = sorted(t.snapshot())
    if not os.path.exists(t.path("updater.exe")):
        t.notes.append(f"no updater.exe after SIGKILL {moment}")
        t.put("updater.exe", t.ctx.releases.old_updater)

    # A fresh, normal run in the same folder must bring the update.
    t.server.stop()
    t.archive, t.entries = t.ctx.releases.make(FRESH_MARK, 1000)
    t.server = Server(t.archive_name, t.archive, "fast")
    t.start_app()
    before, starts = t.snapshot(), t.starts()
    run = t.start_updater()
    t.answer(run)
    t.press(t.window(DONE, run), "Return", "Done")
    t.finish(run)
    t.check("done", "stopped", before=before, starts=starts, settle=SETTLE_SECONDS)
    t.end = "killed, then a fresh run: done"
    return f"{moment} (+{delay:.2f} s) left {left}"


def fault_leftover(t):
    variant = t.rng.choice(["read-only unzip.exe", "left updater2.exe",
                            "directory not writable (user nobody)",
                            "directory not writable (immutable)"])
    if variant.startswith("directory"):
        return unwritable(t, variant)
    if variant == "read-only unzip.exe":
        # As root the mode bits stop nothing: what this tests is that a
        # stale copy, shorter or longer than the tool and not executable,
        # is written over, used, and removed.
        size = t.rng.choice([100, 5000, 400000])
        pre = [(TOOL, t.rng.randbytes(size), 0o444)]
    else:
        pre = [("updater2.exe", b"left by an earlier run\n" + t.rng.randbytes(
            t.rng.choice([0, 3000])), t.rng.choice([0o755, 0o444]))]
    end = t.rng.choice(["done", "cancel", "close", "no"])
    archive, entries = t.release()
    mode = "fast" if end == "done" else t.rng.choice(["hold", "slow"])
    if mode == "slow":
        archive, entries = t.release(data=200000)
    t.prepare(archive, entries, Server(t.archive_name, archive, mode), pre=pre)
    run = t.start_updater()
    if end == "no":
        t.answer(run, "Escape")
        t.finish(run)
        t.check("no", "running")
        return f"{variant}, No"
    t.answer(run)
    if end == "done":
        drive_install(t, run)
        return f"{variant}, installed"
    window = t.window(TITLE, run)
    wait_bytes(t, run, 1 if mode == "slow" else 0, "the archive")
    time.sleep(t.rng.uniform(0, 0.5))
    if end == "cancel":
        t.press(window, "space", "Cancel")
    else:
        t.steps.append("close request")
        t.desktop.close(window)
    t.finish(run)
    t.check(end, "stopped")
    return f"{variant}, {end}"


def unwritable(t, variant):
    archive, entries = t.release()
    t.prepare(archive, entries, Server(t.archive_name, archive, "fast"))
    nobody = "nobody" in variant
    if not nobody:
        # Even root cannot create or remove names in an immutable folder.
        # A file system without the attribute (tmpfs) gets the other way.
        t.immutable = True
        if t.reaper.run(["chattr", "+i", t.dir])[0] != 0:
            t.immutable = False
            t.notes.append("chattr +i refused: the folder was made unwritable by user instead")
            nobody = True
    end = t.rng.choice(["cancel", "cancel", "close", "no"])
    run = t.start_updater(nobody=nobody)
    if end == "no":
        t.answer(run, "Escape")
        t.finish(run)
        t.check("untouched", "running")
        return f"{variant}, No"
    t.answer(run)
    window = t.window(TITLE, run)
    if nobody:
        # Our accessibility bus is not the other user's: one tick instead.
        time.sleep(1.3)
    else:
        wait_failed(t, run)
    if end == "cancel":
        t.press(window, "space", "Cancel")
    else:
        t.steps.append("close request")
        t.desktop.close(window)
    t.finish(run)
    # Another user's updater cannot stop our application.
    t.check("untouched", "running" if nobody else "stopped")
    if t.server.gets:
        raise Mismatch("the archive was requested although it could not be stored")
    return f"{variant}, {end}"


# "disk full later" fills the disk while the new updater.exe is unpacked:
# the cut-short copy must give way to the intact old updater.
FAULTS = collections.OrderedDict([
    ("cancel", fault_cancel),
    ("close request", fault_close),
    ("server closes", fault_server_close),
    ("server stalls", fault_stall),
    ("disk full", fault_disk_full),
    ("disk full later", fault_extract_full),
    ("SIGKILL", fault_sigkill),
    ("left files", fault_leftover),
])
OPT_IN = []


# -- the driver --------------------------------------------------------------

class Context:
    pass


def main():
    if sys.argv[1:] == ["--accessibility-helper"]:
        accessibility_helper()
        return 0
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--trials", type=int, default=40)
    parser.add_argument("--seed", type=int)
    parser.add_argument("--exe", default=os.path.join(ROOT, "build", "updater.exe"))
    parser.add_argument("--max-minutes", type=float, default=60)
    parser.add_argument("--first", type=int, default=0,
                        help="number of the first trial (with --seed: repeats that trial)")
    parser.add_argument("--kind", action="append", choices=list(FAULTS),
                        help="only these fault kinds")
    parser.add_argument("--all-kinds", action="store_true",
                        help="every fault kind (the default set is every kind)")
    parser.add_argument("--keep", action="store_true", help="keep every trial's folder")
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args()
    exe = os.path.realpath(args.exe)
    if not os.access(exe, os.X_OK):
        print(f"no program at {exe}", file=sys.stderr)
        return 2
    if os.geteuid() != 0:
        print("the trials run as root (chattr, another user, subreaping)", file=sys.stderr)
        return 2
    os.environ.setdefault("UPDATER_EXE", exe)
    # The release helpers of the desktop tests, without leaving caches there.
    sys.dont_write_bytecode = True
    sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

    seed = args.seed if args.seed is not None else random.SystemRandom().randrange(1 << 32)
    print(f"seed {seed}  (repeat: tests/stress/run --seed {seed} --trials {args.trials})",
          flush=True)
    kinds = args.kind or [k for k in FAULTS if args.all_kinds or k not in OPT_IN]

    ctx = Context()
    ctx.reaper = Reaper()
    ctx.releases = Releases(exe)
    ctx.root = tempfile.mkdtemp(prefix="updater-stress-")
    os.chmod(ctx.root, 0o755)
    ctx.accessibility = Accessibility(ctx.reaper, os.path.join(ctx.root, "accessibility.log"))
    ctx.desktop = Desktop(ctx.reaper, ctx.accessibility)
    os.chdir(ctx.root)

    counts = collections.OrderedDict(
        (k, collections.Counter()) for k in kinds)
    notes = collections.Counter()
    ends = collections.defaultdict(collections.Counter)
    failures = []
    started = time.monotonic()
    stopped_early = False
    for index in range(args.first, args.first + args.trials):
        if time.monotonic() - started > args.max_minutes * 60:
            stopped_early = True
            print(f"stopping after {args.max_minutes} minutes", flush=True)
            break
        rng = random.Random(f"{seed}-{index}")
        kind = rng.choice(kinds)
        t = Trial(ctx, index, rng)
        ctx.reaper.take_exits()
        begun = time.monotonic()
        outcome, what = "ok", ""
        try:
            what = FAULTS[kind](t)
            t.check_exits()
        except Mismatch as e:
            # What the runs that came back ended with explains a mismatch.
            try:
                t.check_exits()
            except Crash as crash:
                e = Mismatch(f"{e}\n      and: {crash}")
            outcome, what = "mismatch", str(e)
        except Crash as e:
            outcome, what = "crash", str(e)
        except Hang as e:
            outcome, what = "hang", str(e)
        except Exception:
            outcome, what = "error", traceback.format_exc()
        if outcome != "ok":
            t.desktop.screenshot(os.path.join(t.work, "screen.png"))
        try:
            t.cleanup()
        except Exception:
            outcome, what = "error", what + "\ncleanup: " + traceback.format_exc()
        counts[kind]["trials"] += 1
        counts[kind][outcome] += 1
        if outcome == "ok":
            ends[kind][t.end] += 1
        for note in t.notes:
            notes[note] += 1
        seconds = time.monotonic() - begun
        line = f"trial {index:4d} {kind:14s} {outcome:8s} {seconds:5.1f} s  {what}"
        if outcome != "ok":
            line += f"\n      steps: {', '.join(t.steps)}\n      kept: {t.work}"
            failures.append(index)
        elif args.verbose and t.notes:
            line += "  notes: " + "; ".join(t.notes)
        print(line, flush=True)
        if outcome == "ok" and not args.keep:
            shutil.rmtree(t.work, ignore_errors=True)

    ctx.accessibility.stop()
    ctx.reaper.stop()
    wall = time.monotonic() - started
    columns = ["trials", "ok", "mismatch", "crash", "hang", "error"]
    print()
    print(f"{'fault kind':16s}" + "".join(f"{c:>10s}" for c in columns))
    total = collections.Counter()
    for kind, count in counts.items():
        total.update(count)
        print(f"{kind:16s}" + "".join(f"{count[c]:10d}" for c in columns))
    print(f"{'all':16s}" + "".join(f"{total[c]:10d}" for c in columns))
    for kind, seen in ends.items():
        print(f"ends of the ok {kind} trials: " +
              ", ".join(f"{end} {n}" for end, n in sorted(seen.items())))
    for note, n in notes.items():
        print(f"note: {note}: {n} time(s)")
    print(f"seed {seed}, {total['trials']} trials in {wall:.0f} s"
          + (" (stopped early)" if stopped_early else ""))
    bad = total["mismatch"] + total["crash"] + total["hang"] + total["error"]
    if bad:
        print(f"failed trials kept in {ctx.root}: {failures}")
    elif not args.keep:
        shutil.rmtree(ctx.root, ignore_errors=True)
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
