#!/usr/bin/env python3
"""Drives the real window program the way a person does, on a display of its
own (Xvfb) with a window manager (openbox): closing, placement, the fatal box,
the clipboard, the icon, and a Get that waits on a server that never answers.
Usage: window_e2e.py CASE TOVREL [FATAL_PROBE] (the fatal-box case needs the
probe)."""

import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop import (ADDRESS_BOX, COPY_BUTTON, GET_BUTTON, PAGE_BOX,  # noqa: E402
                     Display, Program, differing_share, wait_for)
from stand_in import StandIn  # noqa: E402

SCREEN = (1023, 767)  # odd sizes, so that the centring's truncation shows
STARTED = []


def start(display, path):
    program = Program(display, path)
    STARTED.append(program)
    return program


def close_by_wm(display, tovrel, _probe):
    program = start(display, tovrel)
    display.close_window(program.window)
    status = program.wait_exit()
    assert status == 0, f"exit status {status}:\n{program.stderr()}"


def close_by_alt_f4(display, tovrel, _probe):
    program = start(display, tovrel)
    display.run(["wmctrl", "-i", "-a", program.window])
    wait_for("the window to have the focus", lambda: display.run(
        ["xdotool", "getactivewindow"], check=False)[1].strip() == str(int(program.window)))
    display.key("alt+F4")
    status = program.wait_exit()
    assert status == 0, f"exit status {status}:\n{program.stderr()}"


def placement(display, tovrel, _probe):
    program = start(display, tovrel)
    x, y, width, height, (left, _right, top, _bottom) = display.geometry(program.window)
    want = ((SCREEN[0] - 428) // 2, (SCREEN[1] - 314) // 2)
    assert (width, height) == (422, 286), f"client area {width}x{height}"
    assert (x - left, y - top) == want, f"outer corner {(x - left, y - top)}, want {want}"
    _, hints = display.run(["xprop", "-id", program.window, "WM_NORMAL_HINTS",
                            "_MOTIF_WM_HINTS", "_NET_WM_ALLOWED_ACTIONS", "_NET_WM_STATE"])
    # Fixed size: the window manager offers neither resizing nor maximizing.
    assert "minimum size: 422 by 286" in hints and "maximum size: 422 by 286" in hints, hints
    for action in ("_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_RESIZE"):
        assert action not in hints, f"{action} allowed:\n{hints}"
    for action in ("_NET_WM_ACTION_CLOSE", "_NET_WM_ACTION_MOVE"):
        assert action in hints, f"{action} not allowed:\n{hints}"
    # The window asks for move and close only, and no minimize or maximize
    # box (openbox keeps its own iconify action regardless).
    motif = re.search(r"_MOTIF_WM_HINTS\(_MOTIF_WM_HINTS\) = (\w+), (\w+), (\w+)", hints)
    assert motif, hints
    functions, decorations = int(motif.group(2), 16), int(motif.group(3), 16)
    minimize, maximize, close, move = 0x08, 0x10, 0x20, 0x04
    assert functions & (minimize | maximize) == 0 and functions & (close | move) == close | move, hints
    assert decorations & (0x20 | 0x40) == 0, hints
    assert "_NET_WM_STATE_ABOVE" not in hints, hints
    program.end()


def fatal_box(display, _tovrel, probe):
    program = start(display, probe)
    display.click(*GET_BUTTON)
    box = wait_for("the error box", lambda: program.running() and display.find_window("错误"))
    assert program.process.poll() is None
    display.run(["xdotool", "windowactivate", "--sync", box])
    display.run(["xdotool", "key", "Return"])
    status = program.wait_exit()
    assert status == 255, f"exit status {status}:\n{program.stderr()}"
    assert "运行时出错" not in program.stderr(), "the report went to standard error"


def copy_to_clipboard(display, tovrel, _probe):
    program = start(display, tovrel)
    address = "http://127.0.0.1:8080/file?id=7&name=a b"
    display.click(*ADDRESS_BOX)
    display.type_text(address)
    display.click(*COPY_BUTTON)
    wait_for("the clipboard", lambda: display.clipboard() == address)
    display.close_window(program.window)
    assert program.wait_exit() == 0


def icon_sizes(display, window):
    """The (width, height) of each image in the window's _NET_WM_ICON, as far
    as xprop prints it."""
    _, out = display.run(["xprop", "-id", window, "-notype", "32c", "_NET_WM_ICON"],
                         check=False)
    _, equals, listed = out.partition("=")
    values = [int(v) for v in listed.replace(",", " ").split()] if equals else []
    sizes, at = [], 0
    while at + 2 <= len(values):
        width, height = values[at], values[at + 1]
        sizes.append((width, height))
        at += 2 + width * height
    return sizes


def icon(display, tovrel, _probe):
    """The window carries the program's own icon, in 48 and 256 px, which it
    hands over a moment after its first paint. (openbox gives a window that
    sets none a 48 px icon of its own, hence the 256 px image.)"""
    program = start(display, tovrel)

    def has_icon():
        window = display.find_window()
        return window is not None and {(48, 48), (256, 256)} <= set(icon_sizes(display, window))

    wait_for("the 48 and 256 px icon on the window", lambda: program.running() and has_icon(),
             shows=lambda: f"the icon's sizes: {icon_sizes(display, program.window)}")
    display.close_window(program.window)
    assert program.wait_exit() == 0


def stall_repaint_close(display, tovrel, _probe):
    """A Get on a share page that never answers: the window repaints what
    another window uncovers while it waits, and a close through the window
    manager ends the program within a second."""
    service = StandIn()
    try:
        program = start(display, tovrel)
        display.click(*PAGE_BOX)
        display.type_text(service.page("stall"))
        display.click(*GET_BUTTON)
        wait_for("the stalled request", lambda: service.requests("GET", "/s/stall"))
        window = display.find_window()
        x, y, width, height, _ = display.geometry(window)
        before = display.pixels(x, y, width, height)

        cover = start_cover(display, x, y)
        try:
            wait_for("the cover over the window", lambda: differing_share(
                before, display.pixels(x, y, width, height)) > 0.5)
        finally:
            cover.terminate()
            cover.wait(timeout=10)
        # The caret blinks in the page-address box; the rest is as before.
        wait_for("the window repainted", lambda: differing_share(
            before, display.pixels(x, y, width, height)) < 0.01, timeout=5)
        display.screenshot(os.path.join(os.environ.get("TMPDIR", "/tmp"),
                                        "tovrel-stall-repainted.png"))
        assert program.process.poll() is None

        closed = time.monotonic()
        display.close_window(window)
        status = program.wait_exit(timeout=10)
        took = time.monotonic() - closed
        assert status == 0, f"exit status {status}:\n{program.stderr()}"
        assert took < 1.0, f"ended {took:.2f} s after the close"
    finally:
        service.stop()


def start_cover(display, x, y):
    """Another window, placed over the given point."""
    cover = subprocess.Popen(["xmessage", "-geometry", f"500x400+{x - 40}+{y - 60}",
                              "-bg", "#ff00ff", "covering"], env=display.env,
                             stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
    wait_for("the covering window", lambda: display.find_window("xmessage"))
    return cover


CASES = {"close-by-wm": close_by_wm, "close-by-alt-f4": close_by_alt_f4,
         "placement": placement, "fatal-box": fatal_box,
         "copy-to-clipboard": copy_to_clipboard, "icon": icon,
         "stall-repaint-close": stall_repaint_close}


def main():
    case, tovrel = sys.argv[1:3]
    probe = sys.argv[3] if len(sys.argv) > 3 else None
    display = Display(SCREEN)
    try:
        CASES[case](display, tovrel, probe)
    finally:
        for program in STARTED:
            program.end()
        display.close()
    print(f"{case}: passed")


if __name__ == "__main__":
    main()
