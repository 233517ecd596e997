"""A release on a web server, and an application directory to update.

The web server is nginx on a free port of 127.0.0.1, with a configuration of
its own in a temporary directory; /slow/ is served at 64 KiB/s.
"""

import os
import shutil
import socket
import subprocess
import time
import zipfile

from desktop import UPDATER, poll


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Nginx:
    def __init__(self, root):
        self.root = root
        self.site = os.path.join(root, "site")
        os.makedirs(os.path.join(self.site, "slow"), exist_ok=True)
        self.port = free_port()
        conf = os.path.join(root, "nginx.conf")
        user = "user root;\n" if os.geteuid() == 0 else ""
        with open(conf, "w") as f:
            f.write(f"""{user}daemon off;
worker_processes 1;
pid {root}/nginx.pid;
error_log {root}/error.log;
events {{ worker_connections 64; }}
http {{
  access_log off;
  client_body_temp_path {root}/body;
  proxy_temp_path {root}/proxy;
  fastcgi_temp_path {root}/fastcgi;
  uwsgi_temp_path {root}/uwsgi;
  scgi_temp_path {root}/scgi;
  types {{ text/plain txt; application/zip zip; }}
  server {{
    listen 127.0.0.1:{self.port};
    root {self.site};
    location /slow/ {{ limit_rate 64k; }}
  }}
}}
""")
        self.log = os.path.join(root, "nginx-output.log")
        nginx = shutil.which("nginx") or "/usr/sbin/nginx"
        with open(self.log, "wb") as log:
            self.process = subprocess.Popen([nginx, "-c", conf, "-p", root],
                                            stdout=log, stderr=log)

        def listening():
            if self.process.poll() is not None:
                with open(self.log) as log:
                    raise AssertionError("nginx ended: " + log.read())
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                return True
            except OSError:
                return False
        poll("nginx to listen", listening)

    def url(self, name):
        return f"http://127.0.0.1:{self.port}/{name}"

    def publish(self, name, content):
        path = os.path.join(self.site, name)
        with open(path, "wb") as f:
            f.write(content)

    def stop(self):
        # TERM: the master takes its worker with it; KILL would orphan it.
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def make_zip(entries):
    """ZIP bytes holding `entries` (name -> bytes), executables marked so."""
    import io
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as z:
        for name, content in entries.items():
            info = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
            info.external_attr = (0o100755 << 16)
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, content)
    return buffer.getvalue()


def app_script(version):
    """The application: records each start with its version, then stays."""
    return (f"#!/bin/sh\necho {version} >> \"$(dirname \"$0\")/starts.log\"\n"
            "while :; do sleep 1; done\n").encode()


def updater_bytes(marker=b""):
    with open(UPDATER, "rb") as f:
        return f.read() + marker
