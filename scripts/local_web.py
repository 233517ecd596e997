"""nginx serving a folder on a free port of 127.0.0.1, with its configuration,
logs and temporary files in a folder of its own. Shared by the desktop tests,
the demo and the benchmarks.

It runs as one process without workers, so that ending it ends the server.
"""

import os
import shutil
import socket
import subprocess
import time

NGINX = shutil.which("nginx") or shutil.which("nginx", path="/usr/sbin:/sbin")


class WebServerError(Exception):
    pass


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class LocalWeb:
    """Serves `root`/site. `rate_limits` maps nginx locations ("/slow/",
    "= /a.zip") to rates ("64k" bytes a second)."""

    def __init__(self, root, rate_limits=None, timeout=20):
        if NGINX is None:
            raise WebServerError("nginx is not installed (Debian's package nginx)")
        self.root = root
        self.site = os.path.join(root, "site")
        os.makedirs(self.site, exist_ok=True)
        self.port = free_port()
        limits = "".join(f"    location {where} {{ limit_rate {rate}; }}\n"
                         for where, rate in (rate_limits or {}).items())
        conf = os.path.join(root, "nginx.conf")
        # As root, nginx would otherwise serve as nobody, who may not read
        # a private temporary folder.
        user = "user root;\n" if os.geteuid() == 0 else ""
        with open(conf, "w") as f:
            f.write(f"""{user}daemon off;
master_process off;
pid {root}/nginx.pid;
error_log {root}/error.log;
events {{ worker_connections 64; }}
http {{
  access_log off;
  sendfile on;
  client_body_temp_path {root}/body;
  proxy_temp_path {root}/proxy;
  fastcgi_temp_path {root}/fastcgi;
  uwsgi_temp_path {root}/uwsgi;
  scgi_temp_path {root}/scgi;
  types {{ text/plain txt; application/zip zip; }}
  server {{
    listen 127.0.0.1:{self.port};
    root {self.site};
{limits}  }}
}}
""")
        self.log = os.path.join(root, "nginx-output.log")
        command = [NGINX, "-c", conf, "-p", root + "/", "-e", root + "/error.log"]
        with open(self.log, "wb") as log:
            try:
                self.process = subprocess.Popen(command, stdout=log, stderr=log)
            except OSError as error:
                raise WebServerError(f"{' '.join(command)}: {error}")
        deadline = time.monotonic() + timeout
        while True:
            if self.process.poll() is not None:
                raise WebServerError(f"nginx ended at once ({' '.join(command)}): "
                                     + self.read_log())
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                return
            except OSError:
                if time.monotonic() > deadline:
                    self.stop()
                    raise WebServerError(f"nginx did not listen on 127.0.0.1:{self.port} "
                                         f"within {timeout} s: " + self.read_log())
                time.sleep(0.05)

    def read_log(self):
        with open(self.log, errors="replace") as log:
            return log.read()[-4000:]

    def path(self, name):
        return os.path.join(self.site, name)

    def url(self, name):
        return f"http://127.0.0.1:{self.port}/{name}"

    def publish(self, name, content):
        with open(self.path(name), "wb") as f:
            f.write(content)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
