#!/usr/bin/env python3
"""Drives the real tovrel binary like a person, against the stand-in service.

On a display of its own with a window manager (Xvfb and openbox): types a
share address, clicks Get, waits for the captcha image request, reads the
code from the stand-in's side channel, types it into the captcha box,
releases Enter, clicks Copy and reads the clipboard with xclip; once for each
link kind, once with a wrong code, and once for a link whose text is two
lines (nothing may reach the clipboard). It checks through the stand-in that
the image request carried the share page's cookie and the POST the image's,
and that closing the window ends the program with status 0.

The stand-in listens where the binary looks: on the port of the host it is
built for, which must be on loopback (port 80 when the host names none).

    flow_test.py TOVREL_BINARY STAND_IN_SCRIPT HOST[:PORT]
"""

import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop import (CAPTCHA_BOX, COPY_BUTTON, GET_BUTTON, PAGE_BOX,  # noqa: E402
                     Display, Program, wait_for)
from stand_in import StandIn  # noqa: E402

FLOWS = [
    ("thunder", "http://downloads.example.invalid/1001/report.zip"),
    ("flashget", "http://downloads.example.invalid/1002/photos.rar"),
    ("qqdl", "http://downloads.example.invalid/1003/\u8d44\u6599.7z"),
    ("plain", "http://downloads.example.invalid/1004/notes.txt"),
    # A thunder link whose address is UTF-8: the clipboard gets the name the
    # link named, not its bytes read as code page 936.
    ("utf8thunder", "http://downloads.example.invalid/1015/\u65e5\u672c\u8a9e.zip"),
    # A link decoding to two lines is no download address: the box stays
    # empty, and so does the clipboard after Copy.
    ("twolines", ""),
]


class Window:
    """The program's window, driven through the display."""

    def __init__(self, display, binary):
        self.display = display
        self.program = Program(display, binary)

    def click(self, point):
        self.display.click(*point)

    def type_into(self, point, text):
        self.click(point)
        self.display.key("ctrl+a", "BackSpace")
        self.display.type_text(text)

    def enter(self):
        self.display.key("Return")

    def copy_address(self):
        sentinel = "nothing copied yet %f" % time.monotonic()
        self.display.set_clipboard(sentinel)
        wait_for("the sentinel on the clipboard", lambda: self.display.clipboard() == sentinel)
        self.click(COPY_BUTTON)
        return wait_for("Copy", lambda: (lambda c: c is not None and c != sentinel and [c])(
            self.display.clipboard()))[0]


def one_flow(window, service, page, code_override=None):
    images_before = len(service.requests("GET", "/randcodeV2.php"))
    posts_before = len(service.requests("POST", "/guest_loginV2.php"))
    window.type_into(PAGE_BOX, service.page(page))
    window.click(GET_BUTTON)
    try:
        wait_for("the captcha image request",
                 lambda: len(service.requests("GET", "/randcodeV2.php")) > images_before)
    except AssertionError:
        print("requests so far: %r" % service.log())
        raise
    image = service.requests("GET", "/randcodeV2.php")[-1]
    code = wait_for("the captcha code", service.code)
    window.type_into(CAPTCHA_BOX, code_override or code)
    window.enter()
    wait_for("the login POST",
             lambda: len(service.requests("POST", "/guest_loginV2.php")) > posts_before)
    post = service.requests("POST", "/guest_loginV2.php")[-1]
    return window.copy_address(), image, post


def run_flows(display, binary, service):
    """The flows in one window; returns the number of failed checks."""
    window = Window(display, binary)
    failures = 0
    try:
        for page, expected in FLOWS:
            copied, image, post = one_flow(window, service, page)
            ok = copied == expected
            if "sharesid=" not in image.cookie:
                print("image request without the share page's cookie: %r" % image.cookie)
                ok = False
            if "codesid=" not in post.cookie or "sharesid=" not in post.cookie:
                print("POST without both cookies: %r" % post.cookie)
                ok = False
            print("%s %s: copied %r" % ("ok  " if ok else "FAIL", page, copied), flush=True)
            failures += 0 if ok else 1
        copied, _, _ = one_flow(window, service, "thunder", code_override="99999")
        ok = copied == ""
        print("%s wrong code: copied %r" % ("ok  " if ok else "FAIL", copied), flush=True)
        failures += 0 if ok else 1

        display.close_window(window.program.window)
        status = window.program.wait_exit()
        ok = status == 0
        print("%s closed through the window manager: exit status %d" % (
            "ok  " if ok else "FAIL", status), flush=True)
        failures += 0 if ok else 1
    except AssertionError:
        display.screenshot(os.path.join(os.environ.get("TMPDIR", "/tmp"),
                                        "tovrel-flow-failure.png"))
        raise
    finally:
        window.program.end()
    return failures


def main():
    binary, script, host = sys.argv[1:4]
    service = StandIn(host, script)
    try:
        with Display() as display:
            failures = run_flows(display, binary, service)
    finally:
        service.stop()
    print("%d passed, %d failed" % (len(FLOWS) + 2 - failures, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
