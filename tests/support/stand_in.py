"""The stand-in service (tools/stand_in_service.py) for the harnesses and
benchmarks: started on loopback, on a port the system picks or on the port of
a given loopback host, and read back through its side channel (the last
captcha code, the requests received). Also the deadline poll every harness
waits with."""

import collections
import os
import re
import subprocess
import sys
import tempfile
import time
import urllib.request

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SERVICE = os.path.join(ROOT, "tools", "stand_in_service.py")

# One request as the service logged it: method, path, Cookie header, body.
Request = collections.namedtuple("Request", "method path cookie body")


def wait_for(what, check, timeout=30.0, interval=0.05, shows=None):
    """Polls check until it gives a true value, which is returned; raises
    AssertionError after timeout seconds, with the text shows() gives, when
    given, to tell what was there instead."""
    deadline = time.monotonic() + timeout
    while True:
        result = check()
        if result:
            return result
        if time.monotonic() > deadline:
            said = f"timed out waiting for {what} ({timeout:g} s)"
            raise AssertionError(said + (":\n" + shows() if shows is not None else ""))
        time.sleep(interval)


def split_host(host):
    """(name, port) of "name" or "name:port"; port 80 when none is given."""
    if ":" not in host:
        return host, 80
    name, _, port = host.rpartition(":")
    return name, int(port)


def is_loopback(host):
    name, _ = split_host(host)
    return name == "localhost" or re.fullmatch(r"127(\.\d{1,3}){3}", name) is not None


class StandIn:
    """The stand-in service on loopback: on a port the system picks, or on
    the port of a given loopback host (the one a program is built for).
    host is "127.0.0.1:PORT" (or the host given) and base its http:// address."""

    def __init__(self, host=None, script=SERVICE):
        if host is not None and not is_loopback(host):
            raise AssertionError(f"{host} is not on loopback")
        name, port = split_host(host) if host is not None else ("127.0.0.1", 0)
        address = "127.0.0.1" if name == "localhost" else name
        self._dir = tempfile.TemporaryDirectory(prefix="tovrel-stand-in.")
        port_file = os.path.join(self._dir.name, "port")
        self._process = subprocess.Popen(
            [sys.executable, script, "--host", address, "--port", str(port),
             "--port-file", port_file],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        try:
            self.port = wait_for(f"the stand-in service on port {port}",
                                 lambda: self._started() and self._read_port(port_file),
                                 timeout=20, interval=0.02)
        except AssertionError:
            self.stop()
            raise
        self.host = host if host is not None else f"127.0.0.1:{self.port}"
        self.base = "http://" + self.host

    def _started(self):
        if self._process.poll() is not None:
            raise AssertionError(f"the stand-in service ended with {self._process.returncode}")
        return True

    @staticmethod
    def _read_port(port_file):
        # The service writes the file whole under another name and renames it.
        if not os.path.exists(port_file):
            return None
        with open(port_file) as f:
            return int(f.read())

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.stop()

    def page(self, name):
        """The address of a share page."""
        return f"{self.base}/s/{name}"

    def get(self, path):
        """The body of a GET of path, as text (bytes read as Latin-1)."""
        with urllib.request.urlopen(self.base + path, timeout=10) as answer:
            return answer.read().decode("latin-1")

    def code(self):
        """The code of the last captcha image the service drew ("" before any)."""
        return self.get("/__stand-in/code")

    def log(self):
        """Every request received so far, as Request rows."""
        rows = []
        for line in self.get("/__stand-in/log").splitlines():
            fields = line.split("\t", 3)
            rows.append(Request(*fields, *[""] * (4 - len(fields))))
        return rows

    def requests(self, method=None, path=None):
        """The requests received so far, those with this method and a path
        starting with path when given."""
        return [r for r in self.log() if (method is None or r.method == method)
                and (path is None or r.path.startswith(path))]

    def stop(self):
        self._process.terminate()
        try:
            self._process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self._process.kill()
            self._process.wait()
        self._dir.cleanup()
