#!/usr/bin/env python3
"""Drives the real tovrel binary like a person, against the stand-in service.

Run on a display of its own with a window manager (tests/shell/with-xvfb and
openbox): types a share address, clicks Get, waits for the captcha image
request, reads the code from the stand-in's side channel, types it into the
captcha box, releases Enter, clicks Copy and reads the clipboard with xclip;
once for each link kind and once with a wrong code. It checks through the
stand-in that the image request carried the share page's cookie and the POST
the image's, and that closing the window ends the program with status 0.

    flow_test.py TOVREL_BINARY STAND_IN_SCRIPT HOST:PORT
"""

import re
import subprocess
import sys
import time
import urllib.request

TITLE = "Tovrel  Beta v1.0"

# Control centres in the window's client area.
PAGE_BOX = (150, 24)
GET_BUTTON = (368, 26)
COPY_BUTTON = (371, 99)
CAPTCHA_BOX = (120, 254)

FLOWS = [
    ("thunder", "http://downloads.example.invalid/1001/report.zip"),
    ("flashget", "http://downloads.example.invalid/1002/photos.rar"),
    ("qqdl", "http://downloads.example.invalid/1003/\u8d44\u6599.7z"),
    ("plain", "http://downloads.example.invalid/1004/notes.txt"),
]


def fail(message):
    print("FAIL: " + message, flush=True)
    sys.exit(1)


def wait_for(what, condition, seconds=30.0, on_timeout=None):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    if on_timeout is not None:
        on_timeout()
    subprocess.run(["import", "-window", "root", "/tmp/tovrel-flow-failure.png"])
    fail("timed out waiting for " + what)


def xdotool(*args):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True).stdout.strip()


class StandIn:
    def __init__(self, script, host):
        self.base = "http://" + host
        port = host.rsplit(":", 1)[1]
        self.process = subprocess.Popen([sys.executable, script, "--port", port],
                                        stdout=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        if "listening" not in line:
            fail("the stand-in service did not start on port %s" % port)

    def get(self, path):
        with urllib.request.urlopen(self.base + path, timeout=10) as answer:
            return answer.read().decode("latin-1")

    def log(self):
        return [line.split("\t") for line in self.get("/__stand-in/log").splitlines()]

    def requests(self, method, path):
        return [r for r in self.log() if r[0] == method and r[1].startswith(path)]

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)


def clipboard():
    result = subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True)
    return result.stdout.decode("utf-8", "replace") if result.returncode == 0 else None


def set_clipboard(text):
    # xclip stays in the background serving the selection until someone else owns it.
    subprocess.run(["xclip", "-i", "-selection", "clipboard"], input=text.encode(), check=True)


class Window:
    def __init__(self, binary):
        self.process = subprocess.Popen([binary])
        self.id = wait_for("the window", lambda: xdotool("search", "--onlyvisible", "--name", "^%s$" % TITLE)
                           .split("\n")[0])

        # The window manager frames and places the window after it is mapped;
        # clicks only land where meant once that has happened.
        wait_for("the window manager's frame", lambda: "=" in subprocess.run(
            ["xprop", "-id", self.id, "_NET_FRAME_EXTENTS"], capture_output=True,
            text=True).stdout)

    def click(self, point):
        # Qt may replace the native window once the browser engine starts, so
        # the window is looked up again for every click.
        self.id = wait_for("the window", lambda: xdotool(
            "search", "--onlyvisible", "--name", "^%s$" % TITLE).split("\n")[0])
        info = subprocess.run(["xwininfo", "-id", self.id], capture_output=True,
                              text=True).stdout
        left = int(re.search(r"Absolute upper-left X:\s+(-?\d+)", info).group(1))
        top = int(re.search(r"Absolute upper-left Y:\s+(-?\d+)", info).group(1))
        xdotool("mousemove", "--sync", str(left + point[0]), str(top + point[1]), "click", "1")

    def type_into(self, point, text):
        self.click(point)
        xdotool("key", "--clearmodifiers", "ctrl+a", "BackSpace")
        xdotool("type", "--delay", "5", text)

    def enter(self):
        xdotool("key", "Return")

    def copy_address(self):
        sentinel = "nothing copied yet %f" % time.monotonic()
        set_clipboard(sentinel)
        wait_for("the sentinel on the clipboard", lambda: clipboard() == sentinel)
        self.click(COPY_BUTTON)
        return wait_for("Copy", lambda: (lambda c: c is not None and c != sentinel and [c])(
            clipboard()))[0]


def start_window_manager():
    wm = subprocess.Popen(["openbox"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_for("the window manager", lambda: subprocess.run(
        ["wmctrl", "-m"], capture_output=True).returncode == 0)
    return wm


def one_flow(window, service, page, code_override=None):
    images_before = len(service.requests("GET", "/randcodeV2.php"))
    posts_before = len(service.requests("POST", "/guest_loginV2.php"))
    window.type_into(PAGE_BOX, service.base + "/s/" + page)
    window.click(GET_BUTTON)
    wait_for("the captcha image request",
             lambda: len(service.requests("GET", "/randcodeV2.php")) > images_before,
             on_timeout=lambda: print("requests so far: %r" % service.log()))
    image = service.requests("GET", "/randcodeV2.php")[-1]
    code = wait_for("the captcha code", lambda: service.get("/__stand-in/code"))
    window.type_into(CAPTCHA_BOX, code_override or code)
    window.enter()
    wait_for("the login POST",
             lambda: len(service.requests("POST", "/guest_loginV2.php")) > posts_before)
    post = service.requests("POST", "/guest_loginV2.php")[-1]
    return window.copy_address(), image, post


def main():
    binary, script, host = sys.argv[1:4]
    service = StandIn(script, host)
    wm = start_window_manager()
    window = None
    failures = 0
    try:
        window = Window(binary)
        for page, expected in FLOWS:
            copied, image, post = one_flow(window, service, page)
            ok = copied == expected
            if "sharesid=" not in image[2]:
                print("image request without the share page's cookie: %r" % image[2])
                ok = False
            if "codesid=" not in post[2] or "sharesid=" not in post[2]:
                print("POST without both cookies: %r" % post[2])
                ok = False
            print("%s %s: copied %r" % ("ok  " if ok else "FAIL", page, copied), flush=True)
            failures += 0 if ok else 1
        copied, _, _ = one_flow(window, service, "thunder", code_override="99999")
        ok = copied == ""
        print("%s wrong code: copied %r" % ("ok  " if ok else "FAIL", copied), flush=True)
        failures += 0 if ok else 1

        subprocess.run(["wmctrl", "-c", TITLE], check=False)
        status = window.process.wait(timeout=30)
        ok = status == 0
        print("%s closed through the window manager: exit status %d" % (
            "ok  " if ok else "FAIL", status), flush=True)
        failures += 0 if ok else 1
    finally:
        if window is not None and window.process.poll() is None:
            window.process.kill()
        wm.terminate()
        service.stop()
    print("%d passed, %d failed" % (len(FLOWS) + 2 - failures, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
