"""A desktop of its own for the end-to-end harnesses: an Xvfb display with the
openbox window manager, the window program started on it and found by its
title, clicks and keys through xdotool, the clipboard through xclip, screen
pixels through ImageMagick, and where the window's controls are.

Every wait polls its condition against a deadline (wait_for, from
stand_in.py)."""

import os
import re
import subprocess
import tempfile

from stand_in import wait_for

TITLE = "Tovrel  Beta v1.0"
HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
OPENBOX_RC = os.path.join(ROOT, "tests", "e2e", "openbox-rc.xml")

# Points to click in the window's client area (shell/main_window.cpp places
# the controls): the centres of the Get and Copy buttons, and points inside
# the page-address box, the captcha box, and the download-address box below
# the Copy button that lies over its top.
PAGE_BOX = (150, 24)
GET_BUTTON = (368, 26)
COPY_BUTTON = (371, 99)
ADDRESS_BOX = (256, 206)
CAPTCHA_BOX = (120, 254)


class Display:
    """Xvfb on a free display number, with a fresh HOME and XDG_RUNTIME_DIR,
    and openbox on it once it answers."""

    def __init__(self, size=(1024, 768)):
        self.size = size
        self.scratch = tempfile.TemporaryDirectory(prefix="tovrel-e2e.")
        root = self.scratch.name
        os.makedirs(f"{root}/home")
        os.makedirs(f"{root}/runtime", mode=0o700)
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
             f"{size[0]}x{size[1]}x24", "-nolisten", "tcp", "-noreset"],
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
            ["openbox", "--config-file", OPENBOX_RC], env=self.env, stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for("the window manager", lambda: self.run(["wmctrl", "-m"], check=False)[0] == 0)

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()

    def run(self, args, check=True, input=None):
        """Runs a command on this display: (exit status, standard output)."""
        done = subprocess.run(args, env=self.env, input=input,
                              stdin=None if input is not None else subprocess.DEVNULL,
                              capture_output=True, timeout=30)
        out = done.stdout.decode("utf-8", "replace")
        if check and done.returncode != 0:
            raise AssertionError(f"{args}: {done.returncode} {done.stderr!r}")
        return done.returncode, out

    def close(self):
        for process in (self.wm, self.xvfb):
            process.terminate()
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        self.scratch.cleanup()

    # --- windows ------------------------------------------------------------

    def find_window(self, title=TITLE):
        """The id of the visible window with exactly this title, or None."""
        code, out = self.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"],
                             check=False)
        ids = out.split()
        return ids[0] if code == 0 and ids else None

    def frame_extents(self, window):
        """(left, right, top, bottom) once the window manager has framed it."""
        def extents():
            _, out = self.run(["xprop", "-id", window, "_NET_FRAME_EXTENTS"], check=False)
            found = re.search(r"=\s*(\d+), (\d+), (\d+), (\d+)", out)
            return tuple(int(n) for n in found.groups()) if found else None
        return wait_for("the frame extents", extents)

    def geometry(self, window):
        """The client area's absolute x, y, width, height, and the frame extents."""
        _, info = self.run(["xwininfo", "-id", window])

        def field(name):
            return int(re.search(rf"{name}:\s+(-?\d+)", info).group(1))
        frame = self.frame_extents(window)
        return (field("Absolute upper-left X"), field("Absolute upper-left Y"),
                field("Width"), field("Height"), frame)

    def click(self, x, y, title=TITLE):
        """Clicks at x, y of the titled window's client area. The window is
        looked up for every click: Qt may replace its native window once the
        browser engine starts."""
        window = wait_for("the window", lambda: self.find_window(title))
        left, top, *_ = self.geometry(window)
        self.run(["xdotool", "mousemove", "--sync", str(left + x), str(top + y), "click", "1"])

    def key(self, *keys):
        self.run(["xdotool", "key", "--clearmodifiers", *keys])

    def type_text(self, text):
        self.run(["xdotool", "type", "--delay", "5", text])

    def close_window(self, window):
        """Asks the window manager to close the window, as its close box does."""
        self.run(["wmctrl", "-i", "-c", window])

    # --- the clipboard --------------------------------------------------------

    def clipboard(self):
        """The clipboard's text, or None when no one holds it."""
        code, out = self.run(["xclip", "-o", "-selection", "clipboard"], check=False)
        return out if code == 0 else None

    def set_clipboard(self, text):
        # xclip stays in the background serving the selection until someone
        # else owns it.
        subprocess.run(["xclip", "-i", "-selection", "clipboard"], input=text.encode(),
                       env=self.env, check=True, timeout=30)

    # --- pixels ------------------------------------------------------------------

    def pixels(self, x, y, width, height):
        """The screen's RGB bytes in a rectangle, row by row."""
        done = subprocess.run(["import", "-window", "root", "-crop",
                               f"{width}x{height}+{x}+{y}", "-depth", "8", "rgb:-"],
                              env=self.env, capture_output=True, timeout=30, check=True)
        return done.stdout

    def screenshot(self, path):
        subprocess.run(["import", "-window", "root", path], env=self.env, timeout=30,
                       check=False)


def differing_share(a, b):
    """The share of RGB pixels that differ between two equal-sized captures."""
    pixels = len(a) // 3
    differ = sum(1 for i in range(0, len(a), 3) if a[i:i + 3] != b[i:i + 3])
    return differ / pixels if pixels else 1.0


class Program:
    """A window program started on a display, up once its window shows."""

    def __init__(self, display, path, title=TITLE):
        self.display = display
        self.out = tempfile.TemporaryFile()
        self.err = tempfile.TemporaryFile()
        self.process = subprocess.Popen([path], env=display.env, stdin=subprocess.DEVNULL,
                                        stdout=self.out, stderr=self.err)
        self.window = wait_for("the window", lambda: self.running() and
                               display.find_window(title), timeout=60)
        display.frame_extents(self.window)

    def running(self):
        if self.process.poll() is not None:
            raise AssertionError(f"the program ended early with {self.process.returncode}:\n"
                                 + self.stderr())
        return True

    def wait_exit(self, timeout=30):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.end()
            raise AssertionError("the program did not end:\n" + self.stderr())

    def stderr(self):
        self.err.seek(0)
        return self.err.read().decode("utf-8", "replace")

    def end(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
