#!/usr/bin/env python3
"""tovrel-get in a real terminal: a tmux session of a fixed size runs it
against the stand-in service. The captcha must be drawn in block characters
above the prompt; a wrong code must bring a fresh captcha and a second prompt,
and the right code the address and exit status 0.

    get_interactive_test.py path/to/tovrel-get
"""

import os
import shlex
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from stand_in import StandIn, wait_for  # noqa: E402

TOVREL_GET = None
# The prompt is "验证码: "; the capture drops the blank at the end of a line.
PROMPT = "验证码:"
ADDRESS = "http://downloads.example.invalid/1001/report.zip"


def block_characters(text):
    """How many of the Unicode block elements (U+2580 to U+259F) text holds."""
    return sum(1 for c in text if "\u2580" <= c <= "\u259f")


@unittest.skipIf(shutil.which("tmux") is None, "tmux is not installed")
class InteractiveExchange(unittest.TestCase):
    def setUp(self):
        self.service = StandIn()
        self.work = tempfile.TemporaryDirectory()
        self.socket = os.path.join(self.work.name, "tmux.sock")

    def tearDown(self):
        subprocess.run(self.tmux("kill-server"), capture_output=True, timeout=10)
        self.service.stop()
        self.work.cleanup()

    def tmux(self, *args):
        return ["tmux", "-u", "-f", "/dev/null", "-S", self.socket, *args]

    def screen(self):
        done = subprocess.run(self.tmux("capture-pane", "-p", "-S", "-100", "-t", "get"),
                              capture_output=True, timeout=10)
        return done.stdout.decode("utf-8", "replace")

    def wait_in_terminal(self, what, condition):
        """Waits for condition; a failure shows what the terminal shows."""
        wait_for(what, condition, timeout=20,
                 shows=lambda: "the terminal shows:\n" + self.screen())

    def type_line(self, text):
        subprocess.run(self.tmux("send-keys", "-t", "get", "-l", text), check=True, timeout=10)
        subprocess.run(self.tmux("send-keys", "-t", "get", "Enter"), check=True, timeout=10)

    def test_wrong_code_then_right_code(self):
        out = os.path.join(self.work.name, "out")
        status = os.path.join(self.work.name, "status")
        command = "%s --service-host %s %s >%s; echo $? >%s.tmp; mv %s.tmp %s" % (
            shlex.quote(TOVREL_GET), self.service.host, self.service.page("thunder"),
            shlex.quote(out), status, status, status)
        env = dict(os.environ, LANG="C.UTF-8", TERM="xterm-256color")
        subprocess.run(self.tmux("new-session", "-d", "-s", "get", "-x", "100", "-y", "40",
                                 "sh", "-c", command), check=True, env=env, timeout=10)

        self.wait_in_terminal("the prompt", lambda: PROMPT in self.screen())
        first = self.screen()
        above = first[:first.index(PROMPT)]
        self.assertGreater(block_characters(above), 100, first)

        self.type_line("x" + self.service.code())
        self.wait_in_terminal("the second prompt", lambda: self.screen().count(PROMPT) == 2)
        second = self.screen()
        self.assertIn("no download link in the answer (wrong code?); fresh captcha, try 2 of 3",
                      second)
        # A fresh Get and a fresh image before the second prompt.
        paths = [r.path for r in self.service.requests()]
        self.assertEqual(paths.count("/s/thunder"), 2)
        self.assertEqual(sum(p.startswith("/randcodeV2.php") for p in paths), 2)
        between = second[second.index(PROMPT) + len(PROMPT):second.rindex(PROMPT)]
        self.assertGreater(block_characters(between), 100, second)

        self.type_line(self.service.code())
        self.wait_in_terminal("the exit", lambda: os.path.exists(status))
        with open(status) as f:
            self.assertEqual(f.read().strip(), "0", self.screen())
        with open(out, encoding="utf-8") as f:
            self.assertEqual(f.read(), ADDRESS + "\n")


if __name__ == "__main__":
    TOVREL_GET = os.path.abspath(sys.argv[1])
    unittest.main(argv=sys.argv[:1], verbosity=2)
