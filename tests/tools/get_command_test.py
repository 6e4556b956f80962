#!/usr/bin/env python3
"""tovrel-get from pipes against the stand-in service, the code read from the
service's side channel: every link kind, a wrong code, pages that give no
captcha, an image that is none, the end of input, and the usage errors.

    get_command_test.py path/to/tovrel-get PROJECT_VERSION
"""

import os
import signal
import subprocess
import sys
import tempfile
import unittest

from piped import run_piped

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from stand_in import StandIn, wait_for  # noqa: E402

TOVREL_GET = None
VERSION = None
USAGE = ("usage: tovrel-get [--service-host HOST[:PORT]] [--captcha-file FILE] [--tries N] "
         "SHARE_URL...")


class PipedExchange(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.service = StandIn()

    @classmethod
    def tearDownClass(cls):
        cls.service.stop()

    def setUp(self):
        self.work = tempfile.TemporaryDirectory()
        self.captcha = os.path.join(self.work.name, "captcha.png")

    def tearDown(self):
        self.work.cleanup()

    def run_get(self, urls, answer, host=None, extra=()):
        """Runs tovrel-get in an empty directory of its own (also its HOME)."""
        command = [TOVREL_GET, "--service-host", host or self.service.host,
                   "--captcha-file", self.captcha, *extra, *urls]
        env = dict(os.environ, HOME=self.work.name)
        return run_piped(command, answer, cwd=self.work.name, env=env)

    def right_code(self, _):
        return self.service.code()

    def test_each_link_kind_gives_its_address(self):
        rows = [
            ("thunder", "http://downloads.example.invalid/1001/report.zip"),
            ("flashget", "http://downloads.example.invalid/1002/photos.rar"),
            ("qqdl", "http://downloads.example.invalid/1003/资料.7z"),
            ("plain", "http://downloads.example.invalid/1004/notes.txt"),
            ("utf8", "http://downloads.example.invalid/1005/相册.zip"),
            ("upper", "http://downloads.example.invalid/1006/UPPER.bin"),
            ("decoy", "http://downloads.example.invalid/1007/decoy.iso"),
            ("twice", "http://downloads.example.invalid/1008/first.zip"),
        ]
        status, out, err, prompts = self.run_get([self.service.page(n) for n, _ in rows],
                                                 self.right_code)
        self.assertEqual(out.decode("utf-8").splitlines(), [a for _, a in rows], err)
        self.assertEqual(status, 0, err)
        self.assertEqual(prompts, len(rows))
        # The last captcha went to the file; nothing else was left on disk.
        with open(self.captcha, "rb") as f:
            self.assertEqual(f.read(8), b"\x89PNG\r\n\x1a\n")
        self.assertEqual(os.listdir(self.work.name), ["captcha.png"])
        self.assertNotIn(b"tovrel-get:", err)

    def test_wrong_code_gives_an_empty_line_and_no_retry_from_a_pipe(self):
        before = len(self.service.requests())
        answers = lambda n: "x" + self.service.code() if n == 0 else self.service.code()
        status, out, err, prompts = self.run_get(
            [self.service.page("thunder"), self.service.page("plain")], answers)
        self.assertEqual(out.decode(), "\nhttp://downloads.example.invalid/1004/notes.txt\n", err)
        self.assertEqual(status, 1)
        self.assertEqual(prompts, 2)
        self.assertIn(b"tovrel-get: no download link in the answer for " +
                      self.service.page("thunder").encode() + b" (wrong code?)\n", err)
        shares = [r[:2] for r in self.service.requests()[before:] if r.path.startswith("/s/")]
        self.assertEqual(shares, [("GET", "/s/thunder"), ("GET", "/s/plain")])

    def test_failures_before_the_prompt_say_why_in_one_line(self):
        other = StandIn()  # knows no session of this service's share pages
        try:
            rows = [
                ("http://127.0.0.1:1/s/thunder", None, b"share page unreachable: "
                 b"http://127.0.0.1:1/s/thunder ("),
                (self.service.page("noscript"), None, b"no captcha on the share page " +
                 self.service.page("noscript").encode() + b"\n"),
                (self.service.page("thunder"), other.host, b"captcha image http://" +
                 other.host.encode() + b"/randcodeV2.php?fid=1001&key="),
            ]
            for url, host, said in rows:
                with self.subTest(url=url, host=host):
                    status, out, err, prompts = self.run_get([url], self.right_code, host=host)
                    self.assertEqual((status, out, prompts), (1, b"\n", 0), err)
                    lines = err.decode().splitlines()
                    self.assertEqual(len(lines), 1, err)
                    self.assertIn(said, err)
                    self.assertTrue(lines[0].startswith("tovrel-get: "), err)
            self.assertIn(b"is not an image", err)
        finally:
            other.stop()

    def test_ctrl_c_during_a_request_says_only_interrupted(self):
        before = len(self.service.requests("GET", "/s/stall"))
        process = subprocess.Popen(
            [TOVREL_GET, "--service-host", self.service.host, "--captcha-file", self.captcha,
             self.service.page("stall"), self.service.page("thunder")],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
            cwd=self.work.name, env=dict(os.environ, HOME=self.work.name))
        try:
            wait_for("the stalling share page's request",
                     lambda: len(self.service.requests("GET", "/s/stall")) > before)
            process.send_signal(signal.SIGINT)
            out, err = process.communicate(timeout=10)
        finally:
            if process.poll() is None:
                process.kill()
                process.communicate()
        self.assertEqual((process.returncode, out), (130, b""), err)
        # The abandoned request is no failure of its own to tell.
        said = [line for line in err.decode().splitlines() if line]
        self.assertEqual(said, ["tovrel-get: interrupted"], err)

    def test_end_of_input_leaves_the_rest_without_requests(self):
        before = len(self.service.requests())
        status, out, err, prompts = self.run_get(
            [self.service.page("thunder"), self.service.page("qqdl")], lambda n: None)
        self.assertEqual((status, out, prompts), (1, b"\n\n", 1), err)
        self.assertIn(b"no code read for " + self.service.page("thunder").encode() +
                      b": standard input ended", err)
        paths = [r.path for r in self.service.requests()[before:]]
        self.assertNotIn("/s/qqdl", paths)
        self.assertNotIn("/guest_loginV2.php", paths)

    def test_usage_errors_exit_2_before_any_request(self):
        before = len(self.service.requests())
        url = self.service.page("thunder")
        rows = [
            ([], "no SHARE_URL given"),
            (["--bogus", url], "unknown option --bogus"),
            (["--tries", "0", url], "--tries needs a number"),
            (["--tries", "three", url], "--tries needs a number"),
            (["--tries=101", url], "--tries needs a number"),
            ([url, "--tries"], "--tries needs a number"),
            (["--service-host", "bad host", url], "--service-host needs"),
            (["--service-host", "127.0.0.1:0", url], "--service-host needs"),
            (["--service-host=", url], "--service-host needs"),
            (["--captcha-file"], "--captcha-file needs"),
            # Standard error is a pipe here: without a file the captcha
            # cannot be shown anywhere.
            (["--service-host", self.service.host, url], "no terminal to draw the captcha on"),
        ]
        for args, said in rows:
            with self.subTest(args=args):
                done = subprocess.run([TOVREL_GET, *args], stdin=subprocess.DEVNULL,
                                      capture_output=True, timeout=20)
                self.assertEqual(done.returncode, 2, done.stderr)
                self.assertEqual(done.stdout, b"")
                lines = done.stderr.decode().splitlines()
                self.assertEqual(len(lines), 1, done.stderr)
                self.assertTrue(lines[0].startswith("tovrel-get: "), done.stderr)
                self.assertIn(said, lines[0])
        self.assertEqual(self.service.requests()[before:], [])

    def test_help_and_version(self):
        done = subprocess.run([TOVREL_GET, "--help"], capture_output=True, timeout=20)
        self.assertEqual((done.returncode, done.stderr), (0, b""))
        self.assertEqual(done.stdout.decode().splitlines()[0], USAGE)
        done = subprocess.run([TOVREL_GET, "--version"], capture_output=True, timeout=20)
        self.assertEqual((done.returncode, done.stdout, done.stderr),
                         (0, ("tovrel-get %s\n" % VERSION).encode(), b""))


if __name__ == "__main__":
    TOVREL_GET, VERSION = os.path.abspath(sys.argv[1]), sys.argv[2]
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
