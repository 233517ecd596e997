"""A release on a web server, and an application directory to update.

The web server is nginx on a free port of 127.0.0.1, with a configuration of
its own in a temporary directory; /slow/ is served at 64 KiB/s.
"""

import io
import os
import sys
import zipfile

from desktop import UPDATER

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from local_web import LocalWeb  # noqa: E402


class Nginx(LocalWeb):
    """The release server of the desktop tests: /slow/ at 64 KiB/s."""

    def __init__(self, root):
        super().__init__(root, {"/slow/": "64k"})
        os.makedirs(self.path("slow"), exist_ok=True)


def make_zip(entries):
    """ZIP bytes holding `entries` (name -> bytes), executables marked so."""
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
