"""Helpers for driving tovrel-get against the stand-in service: the service on
a free loopback port, and a run of the command from pipes that answers each
captcha prompt as it appears."""

import os
import selectors
import subprocess
import tempfile
import time
import urllib.request

SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SERVICE = os.path.join(SOURCE_DIR, "tools", "stand_in_service.py")
PROMPT = "验证码: ".encode("utf-8")


class StandIn:
    """The stand-in service, started on a port the system picks."""

    def __init__(self):
        self._dir = tempfile.TemporaryDirectory()
        port_file = os.path.join(self._dir.name, "port")
        self._process = subprocess.Popen(["python3", SERVICE, "--port", "0", "--port-file", port_file],
                                         stdout=subprocess.DEVNULL)
        deadline = time.monotonic() + 20
        self.port = 0
        while time.monotonic() < deadline and not self.port:
            if os.path.exists(port_file):
                with open(port_file) as f:
                    self.port = int(f.read())
            else:
                time.sleep(0.02)
        if not self.port:
            self.stop()
            raise RuntimeError("the stand-in service did not start")
        self.host = "127.0.0.1:%d" % self.port
        self.base = "http://" + self.host

    def page(self, name):
        return "%s/s/%s" % (self.base, name)

    def _get(self, path):
        with urllib.request.urlopen(self.base + path, timeout=10) as answer:
            return answer.read()

    def code(self):
        """The code of the last captcha image the service drew."""
        return self._get("/__stand-in/code").decode()

    def requests(self):
        """The requests received so far: (method, path) pairs."""
        lines = self._get("/__stand-in/log").decode("latin-1").splitlines()
        return [tuple(line.split("\t")[:2]) for line in lines]

    def stop(self):
        self._process.terminate()
        self._process.wait(timeout=10)
        self._dir.cleanup()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


def run_piped(command, answer, timeout=30, cwd=None, env=None):
    """Runs command with standard input, output and error on pipes. Each time
    the captcha prompt appears on standard error, answer(n) (n counting from 0)
    gives the line to type, or None to close standard input. Returns (exit
    status, stdout bytes, stderr bytes, prompts seen)."""
    process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, cwd=cwd, env=env)
    selector = selectors.DefaultSelector()
    selector.register(process.stdout, selectors.EVENT_READ)
    selector.register(process.stderr, selectors.EVENT_READ)
    out, err, prompts = b"", b"", 0
    deadline = time.monotonic() + timeout
    while selector.get_map() and time.monotonic() < deadline:
        for key, _ in selector.select(timeout=max(0.0, deadline - time.monotonic())):
            chunk = os.read(key.fileobj.fileno(), 65536)
            if not chunk:
                selector.unregister(key.fileobj)
                continue
            if key.fileobj is process.stdout:
                out += chunk
                continue
            err += chunk
            while err.count(PROMPT) > prompts:
                line = answer(prompts)
                prompts += 1
                if line is None:
                    process.stdin.close()
                elif not process.stdin.closed:
                    try:
                        process.stdin.write(line.encode("utf-8") + b"\n")
                        process.stdin.flush()
                    except BrokenPipeError:
                        pass
    if selector.get_map():
        process.kill()
        process.communicate()
        raise AssertionError("%s did not finish within %ds; stderr: %r" % (command, timeout, err))
    for pipe in (process.stdin, process.stdout, process.stderr):
        pipe.close()
    return process.wait(timeout=10), out, err, prompts
