#!/usr/bin/env python3
"""Drives the real window program the way a person does, on a display of its
own (Xvfb) with a window manager (openbox): closing, placement, the fatal box
and the clipboard. Usage: window_e2e.py CASE TOVREL FATAL_PROBE"""

import os
import re
import subprocess
import sys
import tempfile
import time

TITLE = "Tovrel  Beta v1.0"
SCREEN = (1023, 767)  # odd sizes, so that the centring's truncation shows
HERE = os.path.dirname(os.path.abspath(__file__))


def wait_for(what, check, timeout=30.0, interval=0.05):
    deadline = time.monotonic() + timeout
    while True:
        result = check()
        if result:
            return result
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(interval)


class Display:
    def __init__(self):
        self.scratch = tempfile.TemporaryDirectory(prefix="tovrel-e2e.")
        root = self.scratch.name
        os.makedirs(f"{root}/home")
        os.makedirs(f"{root}/runtime", mode=0o700)
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
             f"{SCREEN[0]}x{SCREEN[1]}x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_fd,), stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise AssertionError("Xvfb did not start")
        self.env = dict(os.environ, DISPLAY=f":{number}", HOME=f"{root}/home",
                        XDG_RUNTIME_DIR=f"{root}/runtime", QT_QPA_PLATFORM="xcb")
        if self.env.get("LANG", "C") in ("C", "POSIX", ""):
            self.env["LANG"] = "C.UTF-8"
        self.wm = subprocess.Popen(
            ["openbox", "--config-file", os.path.join(HERE, "openbox-rc.xml")],
            env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        wait_for("the window manager", lambda: self.run(["wmctrl", "-m"], check=False)[0] == 0)

    def run(self, args, check=True):
        done = subprocess.run(args, env=self.env, stdin=subprocess.DEVNULL,
                              capture_output=True, text=True, timeout=30)
        if check and done.returncode != 0:
            raise AssertionError(f"{args}: {done.returncode} {done.stderr}")
        return done.returncode, done.stdout

    def close(self):
        for process in (self.wm, self.xvfb):
            process.terminate()
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
        self.scratch.cleanup()

    def find_window(self, title):
        code, out = self.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"],
                             check=False)
        ids = out.split()
        return ids[0] if code == 0 and ids else None

    def geometry(self, window):
        """Client area's absolute x, y, width, height, and the frame extents."""
        _, info = self.run(["xwininfo", "-id", window])
        def field(name):
            return int(re.search(rf"{name}:\s+(-?\d+)", info).group(1))
        def extents():
            _, out = self.run(["xprop", "-id", window, "_NET_FRAME_EXTENTS"], check=False)
            found = re.search(r"=\s*(\d+), (\d+), (\d+), (\d+)", out)
            return tuple(int(n) for n in found.groups()) if found else None
        frame = wait_for("the frame extents", extents)
        return (field("Absolute upper-left X"), field("Absolute upper-left Y"),
                field("Width"), field("Height"), frame)

    def click(self, window, x, y):
        left, top, *_ = self.geometry(window)
        self.run(["xdotool", "mousemove", "--sync", str(left + x), str(top + y), "click", "1"])


STARTED = []


class Program:
    def __init__(self, display, path):
        STARTED.append(self)
        self.display = display
        self.out = tempfile.TemporaryFile()
        self.err = tempfile.TemporaryFile()
        self.process = None
        self.process = subprocess.Popen([path], env=display.env, stdin=subprocess.DEVNULL,
                                        stdout=self.out, stderr=self.err)
        self.window = wait_for("the window", lambda: self.running() and
                               display.find_window(TITLE), timeout=60)

    def running(self):
        if self.process.poll() is not None:
            raise AssertionError(f"the program ended early with {self.process.returncode}:\n"
                                 + self.stderr())
        return True

    def wait_exit(self, timeout=30):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            raise AssertionError("the program did not end:\n" + self.stderr())

    def stderr(self):
        self.err.seek(0)
        return self.err.read().decode("utf-8", "replace")

    def end(self):
        if self.process is not None and self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def close_by_wm(display, tovrel, _probe):
    program = Program(display, tovrel)
    display.run(["wmctrl", "-i", "-c", program.window])
    status = program.wait_exit()
    assert status == 0, f"exit status {status}:\n{program.stderr()}"


def close_by_alt_f4(display, tovrel, _probe):
    program = Program(display, tovrel)
    display.run(["wmctrl", "-i", "-a", program.window])
    wait_for("the window to have the focus", lambda: display.run(
        ["xdotool", "getactivewindow"], check=False)[1].strip() == str(int(program.window)))
    display.run(["xdotool", "key", "--clearmodifiers", "alt+F4"])
    status = program.wait_exit()
    assert status == 0, f"exit status {status}:\n{program.stderr()}"


def placement(display, tovrel, _probe):
    program = Program(display, tovrel)
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
    program = Program(display, probe)
    display.click(program.window, 328 + 40, 6 + 20)  # Get
    box = wait_for("the error box", lambda: program.running() and display.find_window("错误"))
    assert program.process.poll() is None
    display.run(["xdotool", "windowactivate", "--sync", box])
    display.run(["xdotool", "key", "Return"])
    status = program.wait_exit()
    assert status == 255, f"exit status {status}:\n{program.stderr()}"
    assert "运行时出错" not in program.stderr(), "the report went to standard error"


def copy_to_clipboard(display, tovrel, _probe):
    program = Program(display, tovrel)
    address = "http://127.0.0.1:8080/file?id=7&name=a b"
    display.click(program.window, 236 + 20, 86 + 120)  # the download-address box
    display.run(["xdotool", "type", "--delay", "5", address])
    display.click(program.window, 344 + 27, 87 + 12)  # Copy
    wait_for("the clipboard", lambda: display.run(
        ["xclip", "-o", "-selection", "clipboard"], check=False)[1] == address)
    display.run(["wmctrl", "-i", "-c", program.window])
    assert program.wait_exit() == 0


CASES = {"close-by-wm": close_by_wm, "close-by-alt-f4": close_by_alt_f4,
         "placement": placement, "fatal-box": fatal_box,
         "copy-to-clipboard": copy_to_clipboard}


def main():
    case, tovrel, probe = sys.argv[1:4]
    display = Display()
    try:
        CASES[case](display, tovrel, probe)
    finally:
        for program in STARTED:
            program.end()
        display.close()
    print(f"{case}: passed")


if __name__ == "__main__":
    main()
