"""Measures the real updater.exe on a desktop, as a user would run it.

1. A whole update of a 32 MiB and of a 256 MiB release (a stored payload and
   the application), answered with the keyboard: the peak RSS and the CPU
   time of the updater process, and the CPU time of the UnZip it waits for.
2. Start-up: the wall time from starting updater.exe (against a server that
   offers a newer version) until its "Update available" box is shown, next
   to `zenity --question` until its box is shown.

Runs inside scripts/desktop-session (bench/update_bench does that), which
provides DISPLAY, a window manager and a session bus. Servers listen on
127.0.0.1 only. Every process and file made here is removed on the way out,
also on failure; processes are ended by PID.

    update_bench.py PATH/TO/updater.exe [ROUNDS] [--update-rounds N]
"""

import argparse
import ctypes
import ctypes.util
import os
import select
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts"))
from local_web import LocalWeb, WebServerError  # noqa: E402

MIB = 1 << 20
SIZES_MIB = (32, 256)
DOWNLOAD_TITLE = "Downloading {}. Tab for progress fields. - Brinwick 1.8"
PEER_TITLE = "Peer question"


class BenchError(Exception):
    """A failure, with what was going on when it happened."""


def log(message):
    print(message, file=sys.stderr, flush=True)


# -- windows, read straight from the X server -------------------------------
#
# Polling with a new xdotool process every few milliseconds would take a CPU
# from the programs being timed, so windows are watched here through Xlib:
# each map event on the desktop triggers a look for a viewable window with
# the wanted title (what `xdotool search --onlyvisible` reports), with a
# slow poll as a fallback.

class XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int),
                ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("border_width", ctypes.c_int), ("depth", ctypes.c_int),
                ("visual", ctypes.c_void_p), ("root", ctypes.c_ulong),
                ("window_class", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int),
                ("backing_planes", ctypes.c_ulong), ("backing_pixel", ctypes.c_ulong),
                ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong),
                ("map_installed", ctypes.c_int), ("map_state", ctypes.c_int),
                ("all_event_masks", ctypes.c_long), ("your_event_mask", ctypes.c_long),
                ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


IS_VIEWABLE = 2
CREATE_NOTIFY = 16
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)


class Desktop:
    def __init__(self):
        name = ctypes.util.find_library("X11")
        if name is None:
            raise BenchError("libX11 is not installed")
        x = self.x = ctypes.CDLL(name)
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        x.XConnectionNumber.argtypes = [ctypes.c_void_p]
        x.XPending.argtypes = [ctypes.c_void_p]
        x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
        x.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                 ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_ulong),
                                 ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                                 ctypes.POINTER(ctypes.c_uint)]
        x.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                           ctypes.POINTER(XWindowAttributes)]
        x.XInternAtom.restype = ctypes.c_ulong
        x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x.XGetWindowProperty.argtypes = [
            ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long, ctypes.c_long,
            ctypes.c_int, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
            ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong),
            ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_void_p)]
        x.XFree.argtypes = [ctypes.c_void_p]
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        # Windows come and go while they are looked at; the default handler
        # would end this program on the first BadWindow.
        self.on_error = ERROR_HANDLER(lambda display, event: 0)
        x.XSetErrorHandler(self.on_error)
        self.display = x.XOpenDisplay(None)
        if not self.display:
            raise BenchError(f"cannot open the display {os.environ.get('DISPLAY')!r}")
        self.root = x.XDefaultRootWindow(self.display)
        self.fd = x.XConnectionNumber(self.display)
        self.net_wm_name = x.XInternAtom(self.display, b"_NET_WM_NAME", 0)
        self.wm_name = x.XInternAtom(self.display, b"WM_NAME", 0)
        x.XSelectInput(self.display, self.root, SUBSTRUCTURE_NOTIFY_MASK)
        self.event = (ctypes.c_long * 24)()

    def close(self):
        if self.display:
            self.x.XCloseDisplay(self.display)
            self.display = None

    def _children(self, window):
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children = ctypes.POINTER(ctypes.c_ulong)()
        count = ctypes.c_uint()
        if not self.x.XQueryTree(self.display, window, ctypes.byref(root), ctypes.byref(parent),
                                 ctypes.byref(children), ctypes.byref(count)):
            return []
        result = [children[i] for i in range(count.value)]
        if children:
            self.x.XFree(children)
        return result

    def _viewable(self, window):
        attributes = XWindowAttributes()
        if not self.x.XGetWindowAttributes(self.display, window, ctypes.byref(attributes)):
            return False
        return attributes.map_state == IS_VIEWABLE

    def _property(self, window, atom):
        actual_type, actual_format = ctypes.c_ulong(), ctypes.c_int()
        items, after = ctypes.c_ulong(), ctypes.c_ulong()
        data = ctypes.c_void_p()
        status = self.x.XGetWindowProperty(
            self.display, window, atom, 0, 1024, 0, 0, ctypes.byref(actual_type),
            ctypes.byref(actual_format), ctypes.byref(items), ctypes.byref(after),
            ctypes.byref(data))
        if status != 0 or not data:
            return None
        try:
            if actual_format.value != 8:
                return None
            return ctypes.string_at(data, items.value).decode("utf-8", "replace")
        finally:
            self.x.XFree(data)

    def name(self, window):
        title = self._property(window, self.net_wm_name)
        return title if title is not None else self._property(window, self.wm_name)

    def visible(self):
        """(window, title) of every viewable window, frames' clients included."""
        found = []

        def walk(window, depth):
            for child in self._children(window):
                if not self._viewable(child):
                    continue
                title = self.name(child)
                if title is not None:
                    found.append((child, title))
                if depth < 3:
                    walk(child, depth + 1)
        walk(self.root, 1)
        return found

    def _find(self, titles):
        for window, title in self.visible():
            if title in titles:
                return window, title
        return None

    def _drain(self):
        """Reads the queued events; true if there were any."""
        seen = False
        while self.x.XPending(self.display) > 0:
            self.x.XNextEvent(self.display, self.event)
            seen = True
            if self.event[0] == CREATE_NOTIFY and self.event[4] == self.root:
                # A new top-level window (a frame): its client's mapping is
                # reported to it, not to the root.
                self.x.XSelectInput(self.display, self.event[5], SUBSTRUCTURE_NOTIFY_MASK)
        return seen

    def wait_for(self, titles, timeout, process=None, fallback=0.1):
        """The first viewable window titled one of `titles`, as (window,
        title, monotonic time when seen). Fails after `timeout` s, or as soon
        as `process` has ended."""
        if isinstance(titles, str):
            titles = (titles,)
        deadline = time.monotonic() + timeout
        self._drain()
        hit = self._find(titles)
        while hit is None:
            now = time.monotonic()
            if now > deadline:
                raise BenchError(f"no window titled {' or '.join(map(repr, titles))} after "
                                 f"{timeout} s; visible: {self.describe()}")
            if process is not None and process.poll() is not None:
                raise BenchError(f"{process.args[0]} ended ({describe_status(process.returncode)}) "
                                 f"before a window titled {' or '.join(map(repr, titles))} "
                                 f"showed; visible: {self.describe()}")
            if self.x.XPending(self.display) == 0:
                select.select([self.fd], [], [], min(fallback, max(0.0, deadline - now)))
            self._drain()
            hit = self._find(titles)
        return hit[0], hit[1], time.monotonic()

    def wait_gone(self, window, timeout):
        deadline = time.monotonic() + timeout
        while any(w == window for w, _ in self.visible()):
            if time.monotonic() > deadline:
                raise BenchError(f"window {window} still shown after {timeout} s")
            time.sleep(0.01)

    def describe(self):
        titles = [title for _, title in self.visible() if title]
        return ", ".join(repr(t) for t in titles) or "none"


def describe_status(code):
    if code is None:
        return "still running"
    return f"killed by signal {-code}" if code < 0 else f"exit code {code}"


def xdotool(*args):
    try:
        done = subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True,
                              timeout=30)
    except subprocess.TimeoutExpired:
        raise BenchError(f"xdotool {' '.join(map(str, args))} did not return in 30 s")
    if done.returncode != 0:
        raise BenchError(f"xdotool {' '.join(map(str, args))} failed: {done.stderr.strip()}")
    return done.stdout


def press(window, key):
    """Focuses `window` and types `key` there, as a keyboard user would."""
    xdotool("windowactivate", "--sync", window)
    xdotool("windowfocus", "--sync", window)
    xdotool("key", "--clearmodifiers", key)


# -- the release on a local web server ---------------------------------------

def start_web(root):
    try:
        return LocalWeb(root)
    except WebServerError as error:
        raise BenchError(str(error))


def stat_fields(pid):
    """The fields of /proc/PID/stat from the state on; None if it is gone."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            stat = f.read()
    except OSError:
        return None
    return stat[stat.rfind(")") + 2:].split()


def read_text(path, limit=4000):
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError as error:
        return f"({error})"
    text = data[-limit:].decode("utf-8", "replace").strip()
    return text or "(empty)"


def app_script(version):
    """The application: records each start with its version, then stays."""
    return (f"#!/bin/sh\necho {version} >> \"$(dirname \"$0\")/starts.log\"\n"
            "while :; do sleep 1; done\n").encode()


def make_release(path, app_name, payload_mib):
    """A ZIP of the application and a stored, incompressible payload."""
    with zipfile.ZipFile(path, "w", zipfile.ZIP_STORED) as z:
        info = zipfile.ZipInfo(app_name, date_time=(2026, 1, 1, 0, 0, 0))
        info.external_attr = 0o100755 << 16
        z.writestr(info, app_script("1.1"))
        info = zipfile.ZipInfo("payload.bin", date_time=(2026, 1, 1, 0, 0, 0))
        info.external_attr = 0o100644 << 16
        info.file_size = payload_mib * MIB
        with z.open(info, "w") as out:
            for _ in range(payload_mib):
                out.write(os.urandom(MIB))


# -- reading a running process ------------------------------------------------

TICK = os.sysconf("SC_CLK_TCK")


def proc_status(pid):
    """VmHWM and VmRSS of `pid`, in KiB."""
    figures = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, value = line.partition(":")
            if key in ("VmHWM", "VmRSS"):
                figures[key] = int(value.split()[0])
    return figures


def proc_times(pid):
    """(own CPU s, CPU s of the children it has waited for) of `pid`."""
    fields = stat_fields(pid)
    if fields is None:
        raise BenchError(f"process {pid} is gone")
    # Fields from the state on: utime, stime, cutime, cstime are 11 to 14.
    utime, stime, cutime, cstime = (int(v) for v in fields[11:15])
    return (utime + stime) / TICK, (cutime + cstime) / TICK


def cpu_seconds(usage):
    return usage.ru_utime + usage.ru_stime


# -- the benchmark ------------------------------------------------------------

class Bench:
    def __init__(self, updater):
        self.processes = []
        self.dir = tempfile.mkdtemp(prefix="update-bench-")
        self.source = updater
        self.updater = os.path.join(self.dir, "updater.exe")
        # A name no other program on this machine has: the updater stops
        # every process of the user that runs it.
        self.app_name = f"ub-app-{os.getpid()}"[:15]
        self.nginx = None
        self.desktop = None

    def start(self, argv, cwd, log_name, **options):
        # Output goes to a file: programs the run starts inherit it and may
        # hold a pipe open long after the run has ended.
        with open(os.path.join(self.dir, log_name), "ab") as out:
            process = subprocess.Popen(argv, cwd=cwd, stdout=out, stderr=out,
                                       stdin=subprocess.DEVNULL, **options)
        self.processes.append(process)
        return process

    def setup(self):
        # A copy: others may rebuild build/ while this runs.
        shutil.copy2(self.source, self.updater)
        self.desktop = Desktop()
        self.nginx = start_web(os.path.join(self.dir, "web"))
        with open(self.nginx.path("version.txt"), "wb") as f:
            f.write(b"1.1\n")
        for mib in SIZES_MIB:
            log(f"making the {mib} MiB release")
            make_release(self.nginx.path(f"release-{mib}.zip"), self.app_name, mib)

    def cleanup(self):
        for process in self.processes:
            if process.returncode is None and process.poll() is None:
                process.kill()
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    pass
        if self.nginx is not None:
            self.nginx.stop()
        # What the updater started without us: the application its second
        # run starts, and that run itself.
        self.kill_strays()
        if self.desktop is not None:
            self.desktop.close()
        shutil.rmtree(self.dir, ignore_errors=True)

    def strays(self, under):
        """PIDs of processes working in or run from `under`."""
        found = []
        prefix = under.rstrip("/") + "/"
        for entry in os.listdir("/proc"):
            if not entry.isdigit() or int(entry) == os.getpid():
                continue
            for link in ("cwd", "exe"):
                try:
                    target = os.readlink(f"/proc/{entry}/{link}")
                except OSError:
                    continue
                if target == under or target.startswith(prefix):
                    found.append(int(entry))
                    break
        return found

    def kill_strays(self, under=None):
        for _ in range(20):
            pids = self.strays(under or self.dir)
            if not pids:
                return
            for pid in pids:
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            time.sleep(0.05)

    # -- 1. a whole update -----------------------------------------------------

    def whole_update(self, mib, round_number):
        app = os.path.join(self.dir, f"app-{mib}-{round_number}")
        os.mkdir(app)
        try:
            return self._whole_update(app, mib)
        finally:
            self.kill_strays(app)
            shutil.rmtree(app, ignore_errors=True)

    def _whole_update(self, app, mib):
        shutil.copy2(self.updater, os.path.join(app, "updater.exe"))
        app_path = os.path.join(app, self.app_name)
        with open(app_path, "wb") as f:
            f.write(app_script("1.0"))
        os.chmod(app_path, 0o755)
        starts = os.path.join(app, "starts.log")
        running = self.start([app_path], app, "app-output.log")
        wait_until("the application to start", lambda: read_lines(starts), 20)

        log_name = f"updater-{os.path.basename(app)}.log"
        started = time.monotonic()
        run = self.start([os.path.join(app, "updater.exe"), "Bench Product", "1.0",
                          self.nginx.url("version.txt"), self.nginx.url(f"release-{mib}.zip"),
                          self.app_name], app, log_name)
        log_path = os.path.join(self.dir, log_name)
        try:
            window, _, _ = self.desktop.wait_for("Update available", 30, run)
            press(window, "Return")
            self.desktop.wait_for(DOWNLOAD_TITLE.format("Bench Product"), 30, run)
            window, title, _ = self.desktop.wait_for(("Done", "Error"), 600, run)
            if title != "Done":
                raise BenchError(f"the updater showed {title!r} instead of 'Done'")
            # Extraction is over; only the box, the start of the second run
            # and the exit are left.
            at_done = proc_status(run.pid)
            own_cpu_at_done, children_cpu = proc_times(run.pid)
            press(window, "Return")
            deadline = time.monotonic() + 30
            while True:
                pid, status, usage = os.wait4(run.pid, os.WNOHANG)
                if pid == run.pid:
                    break
                if time.monotonic() > deadline:
                    raise BenchError("updater.exe still running 30 s after 'Done' was answered")
                time.sleep(0.005)
            ended = time.monotonic()
            run.returncode = os.waitstatus_to_exitcode(status)
            if run.returncode != 0:
                raise BenchError(f"updater.exe ended with {describe_status(run.returncode)}")
            wait_until("the updated application to start",
                       lambda: read_lines(starts)[1:] == ["1.1"], 30)
            if running.poll() is None:
                raise BenchError("the running application was not stopped")
            extracted = os.path.getsize(os.path.join(app, "payload.bin"))
            if extracted != mib * MIB:
                raise BenchError(f"payload.bin has {extracted} bytes, not {mib * MIB}")
        except BenchError as error:
            raise BenchError(f"{mib} MiB update in {app}: {error}\n  updater output: "
                             f"{read_text(log_path)}") from None
        # wait4 folds the children the updater waited for (UnZip) into its
        # figures; their CPU time is known from /proc at "Done", and nothing
        # is waited for after that.
        return {
            "wall": ended - started,
            "cpu": cpu_seconds(usage) - children_cpu,
            "unzip_cpu": children_cpu,
            "cpu_at_done": own_cpu_at_done,
            "maxrss": usage.ru_maxrss,
            "hwm_at_done": at_done["VmHWM"],
            "rss_at_done": at_done["VmRSS"],
        }

    # -- 2. start-up ---------------------------------------------------------

    def startup_updater(self, where):
        run = self.start([os.path.join(where, "updater.exe"), "Bench Product", "1.0",
                          self.nginx.url("version.txt"), self.nginx.url("release-32.zip"),
                          self.app_name], where, "updater-startup.log")
        return run, "Update available", "updater-startup.log"

    def startup_zenity(self, where):
        run = self.start(["zenity", "--question", "--title", PEER_TITLE, "--text", "x"],
                         where, "zenity.log")
        return run, PEER_TITLE, "zenity.log"

    def time_box(self, launch, where):
        """Seconds from start until the box is shown; then closes it."""
        self.desktop._drain()
        started = time.monotonic()
        run, title, log_name = launch(where)
        try:
            window, _, shown = self.desktop.wait_for(title, 30, run, fallback=0.05)
            press(window, "Escape")
            run.wait(timeout=20)
        except (BenchError, subprocess.TimeoutExpired) as error:
            raise BenchError(f"start-up of {run.args[0]}: {error}\n  output: "
                             f"{read_text(os.path.join(self.dir, log_name))}") from None
        finally:
            if run.poll() is None:
                run.kill()
                run.wait()
        self.desktop.wait_gone(window, 10)
        return shown - started


def read_lines(path):
    try:
        with open(path) as f:
            return f.read().split()
    except FileNotFoundError:
        return []


def wait_until(what, probe, timeout):
    deadline = time.monotonic() + timeout
    while not probe():
        if time.monotonic() > deadline:
            raise BenchError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(0.02)


def median(values):
    return statistics.median(values)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("updater", help="the built updater.exe")
    parser.add_argument("rounds", nargs="?", type=int, default=7,
                        help="start-up rounds of each program (default 7)")
    parser.add_argument("--update-rounds", type=int, default=3,
                        help="whole updates of each archive size (default 3)")
    options = parser.parse_args()
    if options.rounds < 1 or options.update_rounds < 1:
        parser.error("rounds must be at least 1")
    if not os.access(options.updater, os.X_OK):
        parser.error(f"{options.updater} is not an executable file; build it first")
    for tool in ("nginx", "xdotool", "zenity"):
        if shutil.which(tool) is None:
            raise BenchError(f"{tool} is not installed")

    # A stop by signal still runs the cleanup below.
    def stop(signum, frame):
        raise SystemExit(f"update_bench: stopped by signal {signum}")
    for signum in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, stop)

    bench = Bench(options.updater)
    try:
        bench.setup()
        updates = {mib: [] for mib in SIZES_MIB}
        for round_number in range(options.update_rounds):
            for mib in SIZES_MIB if round_number % 2 == 0 else reversed(SIZES_MIB):
                figures = bench.whole_update(mib, round_number)
                updates[mib].append(figures)
                log(f"update {mib:3} MiB round {round_number + 1}: wall {figures['wall']:.2f} s, "
                    f"updater CPU {figures['cpu']:.2f} s ({figures['cpu_at_done']:.2f} at Done), UnZip CPU {figures['unzip_cpu']:.2f} s, "
                    f"peak RSS {figures['maxrss']} KiB (VmHWM at Done {figures['hwm_at_done']})")

        startup_dir = os.path.join(bench.dir, "startup")
        os.mkdir(startup_dir)
        shutil.copy2(bench.updater, os.path.join(startup_dir, "updater.exe"))
        programs = {"updater.exe": bench.startup_updater, "zenity": bench.startup_zenity}
        # One unrecorded start of each first: the first start of a program
        # pays for reading it and its libraries from disk.
        for launch in programs.values():
            bench.time_box(launch, startup_dir)
        startups = {name: [] for name in programs}
        for round_number in range(options.rounds):
            names = list(programs)
            if round_number % 2:
                names.reverse()
            for name in names:
                seconds = bench.time_box(programs[name], startup_dir)
                startups[name].append(seconds)
                log(f"start-up {name} round {round_number + 1}: {seconds * 1000:.1f} ms")
                time.sleep(0.2)
    finally:
        bench.cleanup()

    def m(mib, key):
        return median(f[key] for f in updates[mib])

    print()
    print(f"Whole update, {options.update_rounds} rounds of each, alternating; medians")
    print(f"{'archive':>8} {'wall s':>7} {'updater CPU s':>14} {'UnZip CPU s':>12} "
          f"{'peak RSS KiB':>13} {'VmHWM at Done KiB':>18}")
    for mib in SIZES_MIB:
        print(f"{str(mib) + ' MiB':>8} {m(mib, 'wall'):7.2f} {m(mib, 'cpu'):14.2f} "
              f"{m(mib, 'unzip_cpu'):12.2f} {m(mib, 'maxrss'):13.0f} {m(mib, 'hwm_at_done'):18.0f}")
    small, large = SIZES_MIB
    growth = m(large, "maxrss") - m(small, "maxrss")
    hwm_growth = m(large, "hwm_at_done") - m(small, "hwm_at_done")
    print(f"RSS growth {large} vs {small} MiB: {growth:+.0f} KiB peak RSS, "
          f"{hwm_growth:+.0f} KiB VmHWM (target: under 1024 KiB)")
    print()
    print(f"Start-up until the box is shown, {options.rounds} rounds of each, alternating; medians")
    for name, values in startups.items():
        print(f"{name:>12} {median(values) * 1000:8.1f} ms   "
              f"(min {min(values) * 1000:.1f}, max {max(values) * 1000:.1f})")
    ratio = median(startups["updater.exe"]) / median(startups["zenity"])
    print(f"ratio updater/zenity: {ratio:.2f} (target: at most 1.2)")


if __name__ == "__main__":
    try:
        main()
    except BenchError as error:
        print(f"update_bench: {error}", file=sys.stderr)
        sys.exit(1)
    except KeyboardInterrupt:
        print("update_bench: interrupted", file=sys.stderr)
        sys.exit(130)
